#pragma once
// A wall-clock time in this computer's time zone, as UTC seconds since 1970. Right for every
// date Outlook can hold (1601-9999), before 1970 and after 2038 alike, with the daylight
// saving rules of that date where the system knows them.

#include <cstdint>

namespace tressimo::platform {

struct LocalTime
{
    int year;
    int month; // 1-12
    int day;
    int hour;
    int minute;
    int second;
};

std::int64_t utcSecondsOfLocal(const LocalTime& local);

} // namespace tressimo::platform
