#include "env/environment.h"

#include <array>
#include <memory>
#include <random>

namespace tressimo::env {

LocalToUtc rememberedZone(LocalToUtc zone)
{
    // One slot per time by a hash of it, taken over by the next time that lands there: a
    // lookup is a multiplication and a compare (a map's took 2% of writing a contact).
    struct Answer
    {
        std::int64_t local = 0;
        std::int64_t utc = 0;
        bool known = false;
    };
    constexpr int kSlotBits = 12;
    auto answers = std::make_shared<std::array<Answer, std::size_t{1} << kSlotBits>>();
    return [zone = std::move(zone), answers](std::int64_t localSeconds) {
        Answer& answer =
            (*answers)[static_cast<std::uint64_t>(localSeconds) * 0x9E3779B97F4A7C15u >> (64 - kSlotBits)];
        if (!answer.known || answer.local != localSeconds)
            answer = {localSeconds, zone(localSeconds), true};
        return answer.utc;
    };
}

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
