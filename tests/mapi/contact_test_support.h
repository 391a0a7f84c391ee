#pragma once
// Shared pieces of the contact model tests: a repeatable environment and readable keys.

#include "mapi/contact_model.h"

#include <chrono>
#include <cstdio>
#include <ostream>

namespace tressimo::mapi::contact {

// How gtest prints a key in failure messages.
inline void PrintTo(const PropertyKey& key, std::ostream* os)
{
    char text[80];
    if (key.isNamed())
        std::snprintf(text, sizeof text, "named %02X%02X%02X%02X/0x%04X %.*s", key.set.bytes[3],
                      key.set.bytes[2], key.set.bytes[1], key.set.bytes[0], static_cast<unsigned>(key.lid),
                      static_cast<int>(key.name.size()), key.name.data());
    else
        std::snprintf(text, sizeof text, "tag 0x%08X", static_cast<unsigned>(key.tag()));
    *os << text;
}

namespace test {

// 2026-12-06 10:00:00 UTC.
inline const auto fixedNow = std::chrono::sys_days{std::chrono::year{2026} / 12 / 6} + std::chrono::hours{10};

inline ContactEnvironment fixedEnvironment(int offsetMinutes = 0)
{
    return {[] { return std::chrono::system_clock::time_point{fixedNow}; },
            [](std::span<std::uint8_t> out) {
                for (std::size_t i = 0; i < out.size(); ++i)
                    out[i] = static_cast<std::uint8_t>(0xA0 + i);
            },
            fixedOffsetZone(offsetMinutes),
            {}};
}

inline std::uint64_t ticksOf(std::chrono::sys_seconds time)
{
    return static_cast<std::uint64_t>(time.time_since_epoch().count() + fileTimeEpochOffsetSeconds) *
           fileTimeTicksPerSecond;
}

// The OLE Automation date of a calendar date plus a time-of-day fraction.
inline double oleDateOf(std::chrono::year_month_day date, double fraction = 0)
{
    using namespace std::chrono;
    const auto days = (sys_days{date} - sys_days{year{1899} / 12 / 30}).count();
    return days >= 0 ? days + fraction : days - fraction;
}

template <class T> const T* valueOf(const std::vector<StoredProperty>& properties, const PropertyKey& key)
{
    const StoredProperty* property = findProperty(properties, key);
    return property ? std::get_if<T>(&property->value) : nullptr;
}

inline std::string textOf(const std::vector<StoredProperty>& properties, const PropertyKey& key)
{
    const auto* text = valueOf<std::string>(properties, key);
    return text ? *text : "<absent>";
}

} // namespace test
} // namespace tressimo::mapi::contact
