#pragma once
// Helpers shared by the node database tests. Files are read back through the checker's own
// reader (pst/check), which shares no code with the writer.

#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/check/page.h"
#include "pst/io/sink.h"
#include "pst/ndb/ndb_writer.h"
#include "tests/support/pst_support.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tressimo::pst::testing {

using tressimo::testing::readFileBytes;
using tressimo::testing::referencePst;

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

using PstFilePtr = std::shared_ptr<const check::PstFile>;

inline PstFilePtr readPst(const Bytes& bytes)
{
    return check::PstFile::fromBytes(bytes, "test.pst");
}

// Levels of the node or block B-tree: the root's cLevel plus one (the walk meets the root first).
inline int treeLevels(const check::PstFile& file, check::PageType tree)
{
    for (const check::TreePage& p : file.treePages())
        if (p.type == tree)
            return p.level + 1;
    return 0;
}

// 0 for a single data block, 1 under an XBLOCK, 2 under an XXBLOCK.
inline int dataTreeDepth(const check::PstFile& file, std::uint64_t bid)
{
    if (!check::isInternalBid(bid))
        return 0;
    return check::parseInternalBlock(file.readBlock(bid)).kind == check::InternalKind::XXBlock ? 2 : 1;
}

// 0 for an SLBLOCK, 1 for an SIBLOCK over SLBLOCKs.
inline int subnodeTreeDepth(const check::PstFile& file, std::uint64_t bid)
{
    return check::parseInternalBlock(file.readBlock(bid)).kind == check::InternalKind::SIBlock ? 1 : 0;
}

// A node that must exist; throws like map::at when it does not.
inline const check::NodeEntry& nodeAt(const check::PstFile& file, std::uint32_t nid)
{
    if (const check::NodeEntry* node = file.findNode(nid))
        return *node;
    throw std::out_of_range("no node " + std::to_string(nid));
}

inline std::uint16_t cRefOf(const check::PstFile& file, std::uint64_t bid)
{
    const check::BlockEntry* block = file.findBlock(bid);
    return block ? block->cRef : 0;
}

// The errors among the checker's findings but those of one code, one a line (notes are Outlook
// habits it accepts).
inline std::string errorsOf(const check::Findings& findings, std::string_view ignored = {})
{
    std::string out;
    for (const check::Violation& v : findings.all())
        if (v.severity == check::Severity::Error && v.code != ignored)
            out += v.toString() + "\n";
    return out;
}

// What is wrong at the node database level of a file: the checker's header and NDB errors. The nodes these
// tests write hold no heaps, so the layers above have nothing to check.
inline std::string ndbErrors(const Bytes& bytes)
{
    const PstFilePtr file = readPst(bytes);
    check::Findings findings;
    check::checkHeader(*file, findings);
    check::checkNodeDatabase(*file, findings);
    return errorsOf(findings);
}

// Commits, expects a sound file and reads it back.
inline PstFilePtr commitAndRead(MemoryStore& store)
{
    store.writer->commit();
    EXPECT_EQ(ndbErrors(store.bytes()), "");
    return readPst(store.bytes());
}

} // namespace tressimo::pst::testing
