#pragma once
// What a run reads from its surroundings besides files: the clock, random bytes and the local
// time zone. The program's main makes one and hands it down; tests make repeatable ones.

#include "platform/local_time.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

namespace tressimo::env {

// A reading of the local wall clock.
using LocalTime = platform::LocalTime;

using Clock = std::function<std::chrono::system_clock::time_point()>;
// Fills the bytes; unique keys and names, not secrets.
using RandomBytes = std::function<void(std::span<std::uint8_t>)>;
// A local wall-clock time to UTC. Both are seconds since 1970-01-01 00:00; the local one counts
// as if the wall clock were UTC.
using LocalToUtc = std::function<std::int64_t(std::int64_t localSeconds)>;
// A moment as the local wall clock shows it.
using UtcToLocal = std::function<LocalTime(std::chrono::system_clock::time_point)>;

struct Environment
{
    Clock clock;
    RandomBytes random;
    LocalToUtc localToUtc;
    UtcToLocal localTime;

    LocalTime localNow() const { return localTime(clock()); }
};

// The system clock, a random engine seeded once from the system, and the process's time zone.
Environment systemEnvironment();

// The process's time zone (TZ and the system's zone database, daylight saving included). A
// local time that a daylight-saving change skips resolves to the wall time after the gap.
std::int64_t systemLocalToUtc(std::int64_t localSeconds);
LocalTime systemLocalTime(std::chrono::system_clock::time_point time);

// The zone's answers, kept: the C library's conversion rereads the zone file on every call
// (a tenth of the time of writing a contact), and contacts share dates. Not for two threads.
LocalToUtc rememberedZone(LocalToUtc zone);

} // namespace tressimo::env
