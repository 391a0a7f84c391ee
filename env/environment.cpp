#include "env/environment.h"

#include <memory>
#include <random>
#include <unordered_map>

namespace tressimo::env {
namespace {

// The zone's answers, kept: the C library's conversion rereads the zone file on every call
// (a tenth of the time of writing a contact), and contacts share dates.
LocalToUtc rememberedZone(LocalToUtc zone)
{
    auto known = std::make_shared<std::unordered_map<std::int64_t, std::int64_t>>();
    return [zone = std::move(zone), known](std::int64_t localSeconds) {
        if (const auto it = known->find(localSeconds); it != known->end())
            return it->second;
        if (known->size() >= 65536)
            known->clear();
        const std::int64_t utc = zone(localSeconds);
        known->emplace(localSeconds, utc);
        return utc;
    };
}

} // namespace

Environment systemEnvironment()
{
    Environment environment;
    environment.clock = [] { return std::chrono::system_clock::now(); };
    auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
    environment.random = [engine](std::span<std::uint8_t> out) {
        // Every byte of each draw: a search key costs two draws, not sixteen.
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i % 8 == 0)
                bits = (*engine)();
            out[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * (i % 8)));
        }
    };
    environment.localToUtc = rememberedZone(systemLocalToUtc);
    environment.localTime = systemLocalTime;
    return environment;
}

} // namespace tressimo::env
