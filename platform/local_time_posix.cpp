#include "platform/local_time.h"

#include <cstdlib>
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

void settleTimeZone()
{
    // With TZ unset, glibc's mktime looks at /etc/localtime again on every call, a system call
    // each (thousands in a large run); with TZ naming that same file it reads the file once.
    if (std::getenv("TZ") == nullptr)
        ::setenv("TZ", ":/etc/localtime", 0);
}

} // namespace tressimo::platform
