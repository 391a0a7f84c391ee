#include "mapi/contact_time.h"

#include <cmath>

namespace tressimo::mapi::contact {

namespace {

constexpr std::int64_t secondsPerDay = 86400;
// 1899-12-30, day 0 of OLE Automation dates, is day -25569 of the Unix calendar.
constexpr std::int64_t oleEpochDay = -25569;
// 1601-01-02 and 9999-12-31 as Unix day numbers: the first keeps a midnight of any zone
// (UTC-12 ... UTC+14) at or after the FILETIME epoch.
constexpr std::int64_t firstStorableDay = -134773;
constexpr std::int64_t lastStorableDay = 2932896;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

static_assert(daysFromCivil(1899, 12, 30) == oleEpochDay);
static_assert(daysFromCivil(1601, 1, 2) == firstStorableDay);
static_assert(daysFromCivil(9999, 12, 31) == lastStorableDay);

} // namespace

LocalToUtc fixedOffsetZone(int offsetMinutes)
{
    return [offsetMinutes](std::int64_t localSeconds) {
        return localSeconds - static_cast<std::int64_t>(offsetMinutes) * 60;
    };
}

std::optional<FileTime> fileTimeFromUnixSeconds(std::int64_t seconds)
{
    const std::int64_t since1601 = seconds + fileTimeEpochOffsetSeconds;
    if (since1601 < 0)
        return std::nullopt;
    return FileTime{static_cast<std::uint64_t>(since1601) * fileTimeTicksPerSecond};
}

FileTime fileTimeFromTimePoint(std::chrono::system_clock::time_point time)
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, fileTimeTicksPerSecond>>;
    const auto ticks = std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count();
    return FileTime{static_cast<std::uint64_t>(ticks + fileTimeEpochOffsetSeconds * fileTimeTicksPerSecond)};
}

std::optional<std::int64_t> oleDateDay(double oleDate)
{
    if (!std::isfinite(oleDate))
        return std::nullopt;
    const double whole = std::trunc(oleDate);
    // Guards the conversion below; the exact bounds follow.
    if (whole < -1.0e7 || whole > 1.0e7)
        return std::nullopt;
    const std::int64_t day = static_cast<std::int64_t>(whole) + oleEpochDay;
    if (day < firstStorableDay || day > lastStorableDay)
        return std::nullopt;
    return day;
}

std::optional<std::int64_t> oleDateSeconds(double oleDate)
{
    const auto day = oleDateDay(oleDate);
    if (!day)
        return std::nullopt;
    const double fraction = std::fabs(oleDate - std::trunc(oleDate));
    return *day * secondsPerDay + static_cast<std::int64_t>(std::llround(fraction * secondsPerDay));
}

} // namespace tressimo::mapi::contact
