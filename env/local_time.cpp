// Local time by the system's zone rules; the platform layer knows how each system converts.

#include "env/environment.h"

#include <ctime>

namespace tressimo::env {

std::int64_t systemLocalToUtc(std::int64_t localSeconds)
{
    using namespace std::chrono;
    constexpr std::int64_t secondsPerDay = 86400;
    std::int64_t day = localSeconds / secondsPerDay;
    std::int64_t rest = localSeconds % secondsPerDay;
    if (rest < 0) {
        rest += secondsPerDay;
        --day;
    }
    const year_month_day date{sys_days{days{day}}};
    return platform::utcSecondsOfLocal({static_cast<int>(date.year()),
                                        static_cast<int>(static_cast<unsigned>(date.month())),
                                        static_cast<int>(static_cast<unsigned>(date.day())),
                                        static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                                        static_cast<int>(rest % 60)});
}

LocalTime systemLocalTime(std::chrono::system_clock::time_point time)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace tressimo::env
