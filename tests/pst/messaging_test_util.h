#pragma once
// Helpers shared by the messaging layer's tests: repeatable stores in memory, read back.

#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"
#include "pst/io/sink.h"
#include "pst/messaging/message_store.h"
#include "tests/support/pst_support.h"
#include "tests/support/support.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

namespace tressimo::pst::messaging_test {

using tressimo::testing::isSound;
using tressimo::testing::referencePst;
using tressimo::testing::TempDir;

inline const Guid kPsetidAddress{0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline const Guid kPsPublicStrings{0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The same bytes for the same seed: a fixed clock and a seeded random source.
inline StoreOptions repeatableOptions(std::uint64_t seed = 1)
{
    StoreOptions options;
    options.clock = [] { return tressimo::testing::kTestStart; };
    options.random = [engine = std::make_shared<std::mt19937_64>(seed)](std::span<std::uint8_t> out) {
        for (auto& b : out)
            b = static_cast<std::uint8_t>((*engine)());
    };
    return options;
}

// A store over an in-memory file.
struct MemoryStore
{
    MemorySink* sink = nullptr;
    std::unique_ptr<MessageStore> store;

    explicit MemoryStore(std::string_view name = "Test store", StoreOptions options = repeatableOptions())
    {
        auto owned = std::make_unique<MemorySink>("test.pst");
        sink = owned.get();
        store = MessageStore::create(std::move(owned), name, options);
    }
    MessageStore* operator->() { return store.get(); }
    const Bytes& bytes() const { return sink->bytes(); }
};

inline check::PstReader readBack(const Bytes& bytes)
{
    return check::PstReader::fromBytes(bytes);
}

// Commits, expects the checker to find nothing, and reads the file back.
inline check::PstReader commitAndRead(MemoryStore& s)
{
    s->commit();
    EXPECT_TRUE(isSound(s.bytes()));
    return readBack(s.bytes());
}

} // namespace tressimo::pst::messaging_test
