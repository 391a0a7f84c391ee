#pragma once
// Helpers shared by the node database tests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "pst/check/checker.h"
#include "pst/io/sink.h"
#include "pst/ndb/ndb_writer.h"

namespace tressimo::pst::testing {

inline std::filesystem::path referencePst(const std::string& name)
{
    return std::filesystem::path(TRESSIMO_SOURCE_DIR) / "tests/data/reference-pst" / name;
}

inline Bytes readFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that differ from block to block, so that a block written in the wrong place shows.
inline Bytes patternBytes(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return out;
}

// A writer over an in-memory file that the test can look at.
struct MemoryStore
{
    MemorySink* sink = nullptr;
    std::unique_ptr<NdbWriter> writer;

    explicit MemoryStore(NdbOptions options = {})
    {
        auto owned = std::make_unique<MemorySink>("test.pst");
        sink = owned.get();
        writer = NdbWriter::create(std::move(owned), options);
    }
    const Bytes& bytes() const { return sink->bytes(); }
};

inline NodeContent singleBlock(Bytes data)
{
    NodeContent c;
    c.data.blocks.push_back(std::move(data));
    return c;
}

// What the project's checker (pst-check) finds wrong at the node database level of a file:
// its header and NDB checks, the errors only (notes are Outlook habits it accepts). The
// nodes these tests write hold no heaps, so the layers above have nothing to check.
inline std::string checkerErrors(const Bytes& bytes)
{
    auto file = check::PstFile::fromBytes(bytes, "test.pst");
    check::Findings findings;
    check::checkHeader(*file, findings);
    check::checkNodeDatabase(*file, findings);
    std::string out;
    for (const check::Violation& v : findings.all())
        if (v.severity == check::Severity::Error)
            out += v.toString() + "\n";
    return out;
}

} // namespace tressimo::pst::testing
