#include "contacts/contact_date.h"

#include "text/ascii.h"

#include <cassert>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace tressimo::contacts {

namespace {

constexpr std::chrono::sys_days kOleEpoch = std::chrono::year{1899} / std::chrono::December / 30;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number written by text[from, from + count), which must be all digits.
std::optional<int> digits(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Drops a trailing zone designator of XML Schema's date type; the zone changes nothing here.
std::string_view withoutZone(std::string_view text)
{
    if (!text.empty() && text.back() == 'Z')
        return text.substr(0, text.size() - 1);
    if (text.size() >= 6) {
        const std::string_view zone = text.substr(text.size() - 6);
        if ((zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
            const auto hours = digits(zone, 1, 2);
            const auto minutes = digits(zone, 4, 2);
            if (hours && minutes && *hours <= 14 && *minutes <= 59)
                return text.substr(0, text.size() - 6);
        }
    }
    return text;
}

} // namespace

std::optional<double> oleDateOfDay(int year, unsigned month, unsigned day)
{
    if (year < 100 || year > 9999)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month},
                                          std::chrono::day{day}};
    if (!ymd.ok())
        return std::nullopt;
    return static_cast<double>((std::chrono::sys_days{ymd} - kOleEpoch).count());
}

std::optional<double> dateOfValue(std::string_view value)
{
    std::string_view text = value.substr(0, value.find('T'));
    text = withoutZone(text::trimWhitespace(text));

    std::optional<int> year, month, day;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        year = digits(text, 0, 4);
        month = digits(text, 5, 2);
        day = digits(text, 8, 2);
    } else if (text.size() == 8) {
        year = digits(text, 0, 4);
        month = digits(text, 4, 2);
        day = digits(text, 6, 2);
    }
    if (!year || !month || !day)
        return std::nullopt;
    return oleDateOfDay(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
}

std::string formatOleDate(double oleDate)
{
    assert(std::isfinite(oleDate));
    const auto days = std::chrono::days{static_cast<long>(std::floor(oleDate))};
    const std::chrono::year_month_day ymd{kOleEpoch + days};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

} // namespace tressimo::contacts
