#pragma once
// A wall-clock time in this computer's time zone, as UTC seconds since 1970. Right for every
// date Outlook can hold (1601-9999), before 1970 and after 2038 alike, with the daylight
// saving rules of that date where the system knows them.

#include <cstdint>

namespace tressimo::platform {

struct LocalTime
{
    int year = 1970;
    int month = 1; // 1-12
    int day = 1;   // 1-31
    int hour = 0;  // 0-23
    int minute = 0;
    int second = 0;
};

std::int64_t utcSecondsOfLocal(const LocalTime& local);

// Once, first thing in main, before any thread starts (it may set an environment variable):
// lets the conversions above keep the zone rules they read instead of checking the zone file
// again on every call. The rules stay those of the system's zone.
void settleTimeZone();

} // namespace tressimo::platform
