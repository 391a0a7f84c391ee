#include "contact_test_support.h"
#include "mapi/contact_time.h"
#include "platform/local_time.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace tressimo::mapi::contact {
namespace {

using namespace std::chrono;
using test::oleDateOf;

std::int64_t unixDay(year_month_day date)
{
    return sys_days{date}.time_since_epoch().count();
}

TEST(ContactTime, OleDatesGiveTheirCalendarDay)
{
    const std::pair<double, std::optional<year_month_day>> cases[] = {
        {0.999, year{1899} / 12 / 30},
        {-1.75, year{1899} / 12 / 29}, // negative dates carry a positive time of day
        {oleDateOf(year{1601} / 1 / 2), year{1601} / 1 / 2},
        {oleDateOf(year{9999} / 12 / 31, 0.5), year{9999} / 12 / 31},
        {oleDateOf(year{1601} / 1 / 1), std::nullopt}, // its midnight east of UTC is before 1601
        {oleDateOf(year{9999} / 12 / 31) + 1, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {1e300, std::nullopt},
    };
    for (const auto& [ole, day] : cases)
        EXPECT_EQ(oleDateDay(ole), day ? std::optional(unixDay(*day)) : std::nullopt) << ole;
    EXPECT_EQ(oleDateSeconds(-1.25), unixDay(year{1899} / 12 / 29) * 86400 + 6 * 3600);
}

// Whatever the computer's zone, every date Outlook holds converts to a time at most a zone's
// width away (a C runtime's mktime gives up before 1970 and a 32-bit one after 2038).
TEST(ContactTime, ProcessZoneCoversEveryStorableDate)
{
    for (const year_month_day date : {year{1601} / 1 / 2, year{1960} / 3 / 15, year{1969} / 12 / 31,
                                      year{2050} / 6 / 1, year{9999} / 12 / 31}) {
        const std::int64_t local = unixDay(date) * 86400 + 12 * 3600;
        const std::int64_t offset = local - env::systemLocalToUtc(local);
        EXPECT_TRUE(offset >= -12 * 3600 && offset <= 14 * 3600) << unixDay(date) << ": " << offset;
    }
}

// The default conversion, the process's own zone, in real zones: the extremes, a 45-minute
// offset, summer time, and a night whose midnight daylight saving skips.
TEST(ContactTime, ProcessZoneMidnightConvertsBackToTheSameDate)
{
#ifdef _WIN32
    GTEST_SKIP() << "a Windows process cannot switch its own time zone";
#else
    struct Case
    {
        const char* zone;
        year_month_day date;
        int hourBack; // 0, or 1 after a skipped midnight
    } cases[] = {
        {"Pacific/Kiritimati", year{1990} / 5 / 10, 0}, {"Etc/GMT+12", year{1990} / 5 / 10, 0},
        {"Asia/Kathmandu", year{2001} / 2 / 28, 0},     {"Europe/Berlin", year{1985} / 7 / 1, 0},
        {"America/Sao_Paulo", year{2018} / 11 / 4, 1},  {"Australia/Sydney", year{1960} / 1 / 1, 0},
    };
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    for (const auto& c : cases) {
        if (!std::filesystem::exists(std::filesystem::path("/usr/share/zoneinfo") / c.zone))
            continue;
        setenv("TZ", c.zone, 1);
        tzset();
        const auto utc = static_cast<std::time_t>(env::systemLocalToUtc(unixDay(c.date) * 86400));
        std::tm back{};
        localtime_r(&utc, &back);
        const year_month_day shown{year{back.tm_year + 1900} / (back.tm_mon + 1) / back.tm_mday};
        EXPECT_EQ(shown, c.date) << c.zone;
        EXPECT_EQ(back.tm_hour, c.hourBack) << c.zone;
    }
    saved ? setenv("TZ", savedZone.c_str(), 1) : unsetenv("TZ");
    tzset();
#endif
}

// Settling the zone changes no answer of the system's zone, and leaves a zone the user set.
TEST(ContactTime, SettledZoneKeepsItsAnswers)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows reads no zone file";
#else
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    unsetenv("TZ");
    tzset();
    const std::int64_t locals[] = {-100000 * 86400LL, 0, 7 * 3600, 12000 * 86400LL + 1800, 2'000'000'000};
    std::vector<std::int64_t> before;
    for (const std::int64_t local : locals)
        before.push_back(env::systemLocalToUtc(local));
    platform::settleTimeZone();
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(env::systemLocalToUtc(locals[i]), before[i]) << locals[i];
    setenv("TZ", "Asia/Kathmandu", 1);
    platform::settleTimeZone();
    EXPECT_STREQ(std::getenv("TZ"), "Asia/Kathmandu");
    saved ? setenv("TZ", savedZone.c_str(), 1) : unsetenv("TZ");
    tzset();
#endif
}

// The kept answers are each time's own, however many times share a slot, and a time asked
// again costs no second conversion while nothing has taken its slot.
TEST(ContactTime, RememberedZoneGivesEachTimeItsOwnAnswer)
{
    int asked = 0;
    const env::LocalToUtc zone = env::rememberedZone([&](std::int64_t local) {
        ++asked;
        return local - 3600 - local % 7;
    });
    constexpr std::int64_t kTimes = 20000; // many more than the slots
    for (int round = 0; round < 2; ++round) {
        for (std::int64_t t = 0; t < kTimes; ++t) {
            const std::int64_t local = t * 86400 - 5 * 86400;
            ASSERT_EQ(zone(local), local - 3600 - local % 7) << round << ": " << t;
        }
    }
    EXPECT_GT(asked, kTimes); // slots were taken over
    asked = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(zone(42), 42 - 3600 - 42 % 7);
    EXPECT_EQ(asked, 1);
}

} // namespace
} // namespace tressimo::mapi::contact
