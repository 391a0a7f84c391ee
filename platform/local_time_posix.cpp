#include "platform/local_time.h"

#include <ctime>

namespace tressimo::platform {

// glibc's mktime covers the whole 64-bit range, its zone rules included.
std::int64_t utcSecondsOfLocal(const LocalTime& local)
{
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1; // let the zone rules decide whether daylight saving applies
    return static_cast<std::int64_t>(std::mktime(&fields));
}

} // namespace tressimo::platform
