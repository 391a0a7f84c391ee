#pragma once
// Dates and times of the contact model: OLE Automation dates in, FILETIMEs out.

#include "env/environment.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace tressimo::mapi::contact {

// A FILETIME: 100-nanosecond ticks since 1601-01-01 00:00 UTC.
struct FileTime
{
    std::uint64_t ticks = 0;
    friend bool operator==(FileTime, FileTime) = default;
};

// Converts a local wall-clock time to UTC; injected so that tests can run any time zone.
using LocalToUtc = env::LocalToUtc;

// A zone that is always offsetMinutes ahead of UTC (east positive: +60 for Central Europe in
// winter, -300 for New York in winter).
LocalToUtc fixedOffsetZone(int offsetMinutes);

// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t fileTimeEpochOffsetSeconds = 11644473600;
inline constexpr std::int64_t fileTimeTicksPerSecond = 10000000;

// The FILETIME of seconds since 1970 (UTC), or nothing before 1601.
std::optional<FileTime> fileTimeFromUnixSeconds(std::int64_t seconds);
FileTime fileTimeFromTimePoint(std::chrono::system_clock::time_point time);

// The day number (days since 1970-01-01) of an OLE Automation date's calendar date. OLE dates
// before 1899-12-30 are negative with a positive time-of-day fraction (-1.25 is 1899-12-29
// 06:00), so the date is the value truncated toward zero. Nothing for NaN, infinities and
// dates outside what a FILETIME can hold in every time zone (1601-01-02 ... 9999-12-31).
std::optional<std::int64_t> oleDateDay(double oleDate);

// Seconds since 1970 of an OLE Automation date's wall-clock time, rounded to the second;
// nothing when oleDateDay refuses the date.
std::optional<std::int64_t> oleDateSeconds(double oleDate);

} // namespace tressimo::mapi::contact
