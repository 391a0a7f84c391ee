#include "mapi/contact_time.h"

#include "contact_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>

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
    struct Case
    {
        double ole;
        std::optional<year_month_day> day;
    } cases[] = {
        {0.0, year{1899} / 12 / 30},
        {0.999, year{1899} / 12 / 30},
        {-1.25, year{1899} / 12 / 29},  // negative dates carry a positive time of day
        {-1.75, year{1899} / 12 / 29},
        {oleDateOf(year{1990} / 5 / 10, 0.75), year{1990} / 5 / 10},
        {oleDateOf(year{1601} / 1 / 2), year{1601} / 1 / 2},
        {oleDateOf(year{9999} / 12 / 31, 0.5), year{9999} / 12 / 31},
        {oleDateOf(year{1601} / 1 / 1), std::nullopt},  // midnight east of UTC is before 1601 in UTC
        {oleDateOf(year{1000} / 1 / 1), std::nullopt},
        {oleDateOf(year{9999} / 12 / 31) + 1, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {1e300, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto day = oleDateDay(c.ole);
        ASSERT_EQ(day.has_value(), c.day.has_value()) << c.ole;
        if (day) {
            EXPECT_EQ(*day, unixDay(*c.day)) << c.ole;
        }
    }
    EXPECT_EQ(oleDateSeconds(-1.25), unixDay(year{1899} / 12 / 29) * 86400 + 6 * 3600);
    EXPECT_EQ(oleDateSeconds(2.5), unixDay(year{1900} / 1 / 1) * 86400 + 12 * 3600);
}

TEST(ContactTime, FileTimesCountFrom1601)
{
    EXPECT_EQ(fileTimeFromUnixSeconds(0)->ticks, 116444736000000000u);
    EXPECT_EQ(fileTimeFromUnixSeconds(-fileTimeEpochOffsetSeconds)->ticks, 0u);
    EXPECT_FALSE(fileTimeFromUnixSeconds(-fileTimeEpochOffsetSeconds - 1));
    EXPECT_EQ(fileTimeFromTimePoint(system_clock::time_point{seconds{1}} + microseconds{5}).ticks,
              116444736000000000u + 10000000u + 50u);
}

// The process's own zone, as the default conversion uses it: a few real zones, among them the
// extremes and a day whose midnight daylight saving skips.
class ProcessZone : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ"))
            m_saved = tz;
    }
    void TearDown() override
    {
        if (m_saved)
            setenv("TZ", m_saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> m_saved;
};

TEST_F(ProcessZone, LocalMidnightConvertsBackToTheSameDate)
{
    struct Case
    {
        const char* zone;
        year_month_day date;
        int expectedHour; // the local hour the UTC value shows again: 0, or 1 after a skipped midnight
    } cases[] = {
        {"Pacific/Kiritimati", year{1990} / 5 / 10, 0}, // UTC+14
        {"Etc/GMT+12", year{1990} / 5 / 10, 0},         // UTC-12
        {"Asia/Kathmandu", year{2001} / 2 / 28, 0},     // UTC+5:45
        {"Europe/Berlin", year{1985} / 7 / 1, 0},       // summer time
        {"America/Sao_Paulo", year{2018} / 11 / 4, 1},  // 00:00 skipped that night
        {"Australia/Sydney", year{1960} / 1 / 1, 0},
    };
    for (const auto& c : cases) {
        if (!std::filesystem::exists(std::filesystem::path("/usr/share/zoneinfo") / c.zone))
            GTEST_SKIP() << "time zone data for " << c.zone << " is not installed";
        setenv("TZ", c.zone, 1);
        tzset();
        const std::int64_t local = unixDay(c.date) * 86400;
        const auto utc = static_cast<std::time_t>(processTimeZone()(local));
        std::tm back{};
        localtime_r(&utc, &back);
        EXPECT_EQ(back.tm_year + 1900, static_cast<int>(c.date.year())) << c.zone;
        EXPECT_EQ(back.tm_mon + 1, static_cast<int>(static_cast<unsigned>(c.date.month()))) << c.zone;
        EXPECT_EQ(back.tm_mday, static_cast<int>(static_cast<unsigned>(c.date.day()))) << c.zone;
        EXPECT_EQ(back.tm_hour, c.expectedHour) << c.zone;
    }
}

} // namespace
} // namespace tressimo::mapi::contact
