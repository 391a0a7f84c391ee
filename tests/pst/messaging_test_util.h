#pragma once
// Helpers shared by the messaging layer's tests: repeatable stores in memory or in files,
// the checker's verdict as a readable report, and the reader.

#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"
#include "pst/io/sink.h"
#include "pst/messaging/message_store.h"
#include "tests/support/support.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

namespace tressimo::pst::messaging_test {

inline std::filesystem::path sourceDir()
{
    return TRESSIMO_SOURCE_DIR;
}
inline std::filesystem::path outlookEmpty()
{
    return sourceDir() / "tests/data/reference-pst/outlook-empty.pst";
}

using tressimo::testing::TempDir;

inline const Guid kPsetidAddress{0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline const Guid kPsPublicStrings{0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline std::chrono::system_clock::time_point testTime()
{
    // 2026-12-06 12:00:00 UTC.
    return std::chrono::system_clock::time_point(std::chrono::seconds(1796558400));
}

// The same bytes for the same seed: a fixed clock and a seeded random source.
inline StoreOptions repeatableOptions(std::uint64_t seed = 1)
{
    StoreOptions options;
    options.clock = [] { return testTime(); };
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

inline std::string report(const check::Violations& found)
{
    std::ostringstream out;
    for (const check::Violation& v : found)
        out << "  " << v.toString() << "\n";
    return out.str();
}

// The checker's errors (notes are fine) as a failure message.
inline ::testing::AssertionResult isSound(const Bytes& bytes)
{
    const check::Violations found = check::checkPstBytes(bytes);
    if (check::isSound(found))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pst-check finds:\n" << report(found);
}
inline ::testing::AssertionResult isSound(const std::filesystem::path& path)
{
    const check::Violations found = check::checkPst(path);
    if (check::isSound(found))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pst-check finds in " << path << ":\n" << report(found);
}

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
