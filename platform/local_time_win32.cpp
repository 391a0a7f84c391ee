#include "platform/local_time.h"

#include <windows.h>

namespace tressimo::platform {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;

using TzToSystemEx = BOOL(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*, const SYSTEMTIME*, SYSTEMTIME*);

// The year-specific rules where the system has them (Windows 7 and later), else the zone's
// current rules for every year.
bool toUtc(const SYSTEMTIME& local, SYSTEMTIME& utc)
{
    static const auto ex = reinterpret_cast<TzToSystemEx>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "TzSpecificLocalTimeToSystemTimeEx")));
    if (ex) {
        DYNAMIC_TIME_ZONE_INFORMATION zone{};
        if (::GetDynamicTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && ex(&zone, &local, &utc))
            return true;
    }
    return ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) != 0;
}

} // namespace

// Not mktime: the C runtime's gives -1 for any time before 1970.
std::int64_t utcSecondsOfLocal(const LocalTime& local)
{
    SYSTEMTIME wall{};
    wall.wYear = static_cast<WORD>(local.year);
    wall.wMonth = static_cast<WORD>(local.month);
    wall.wDay = static_cast<WORD>(local.day);
    wall.wHour = static_cast<WORD>(local.hour);
    wall.wMinute = static_cast<WORD>(local.minute);
    wall.wSecond = static_cast<WORD>(local.second);
    SYSTEMTIME utc{};
    FILETIME ticks{};
    // A time the zone cannot convert (none Outlook holds) is taken as UTC.
    if (!toUtc(wall, utc) || !::SystemTimeToFileTime(&utc, &ticks)) {
        if (!::SystemTimeToFileTime(&wall, &ticks))
            return 0;
    }
    const std::int64_t since1601 =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime);
    return since1601 / kTicksPerSecond - kSeconds1601To1970;
}

// The system's conversion reads no zone file.
void settleTimeZone() {}

} // namespace tressimo::platform
