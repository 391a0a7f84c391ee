#pragma once
// Helpers shared by the node database tests. Files are read back through the checker's own
// reader (pst/check), which shares no code with the writer.

#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/check/page.h"
#include "pst/io/sink.h"
#include "pst/ndb/ndb_writer.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

// A node or subnode that must exist; throws like map::at when it does not.
inline const check::NodeEntry& nodeAt(const check::PstFile& file, std::uint32_t nid)
{
    if (const check::NodeEntry* node = file.findNode(nid))
        return *node;
    throw std::out_of_range("no node " + std::to_string(nid));
}
inline const check::SubnodeEntry& subnodeAt(const std::vector<check::SubnodeEntry>& subnodes,
                                            std::uint32_t nid)
{
    auto it = std::find_if(subnodes.begin(), subnodes.end(), [&](auto& s) { return s.nid == nid; });
    if (it == subnodes.end())
        throw std::out_of_range("no subnode " + std::to_string(nid));
    return *it;
}

// A block's data as stored, still encoded.
inline Bytes storedBlock(const check::PstFile& file, std::uint64_t bid)
{
    const check::BlockEntry& block = *file.findBlock(bid);
    const ByteView raw = file.rawBlock(block);
    return Bytes(raw.begin(), raw.begin() + block.cb);
}

inline std::uint16_t cRefOf(const check::PstFile& file, std::uint64_t bid)
{
    const check::BlockEntry* block = file.findBlock(bid);
    return block ? block->cRef : 0;
}

// The FMaps and the header's rgbFM/rgbFP, which the checker leaves alone. The header's copies
// are deprecated and filled with 0xFF; each FMap byte is the longest run of free slots in the
// AMap it stands for, at most 255 ([MS-PST] 2.2.2.7.5). A region's AMap is its first page.
inline std::string fmapErrors(const check::PstFile& file)
{
    const ByteView bytes = file.bytes();
    std::string out;
    if (!std::all_of(bytes.begin() + 0x100, bytes.begin() + 0x200, [](auto b) { return b == 0xFF; }))
        out += "header rgbFM/rgbFP not all 0xFF\n";
    if (file.header().amapValid == 0)
        return out;
    const std::uint64_t regions = (file.size() - check::kFirstAMapOffset) / check::kAMapCoverage;
    auto longestFreeRun = [&](std::uint64_t region) {
        const std::uint8_t* bits = bytes.data() + check::kFirstAMapOffset + region * check::kAMapCoverage;
        std::uint32_t run = 0, best = 0;
        for (std::size_t s = 0; s < check::kPageDataSize * 8; ++s) {
            run = (bits[s / 8] >> (7 - s % 8)) & 1 ? 0 : run + 1;
            best = std::max(best, run);
        }
        return std::min<std::uint32_t>(best, 255);
    };
    for (const check::MapPage& m : check::requiredMapPages(file.size())) {
        if (m.type != check::PageType::FMap)
            continue;
        for (std::uint64_t i = 0; i < check::kPageDataSize; ++i) {
            // Of AMaps yet to come it says what a new region will have.
            const std::uint32_t expected = m.region + i < regions ? longestFreeRun(m.region + i) : 255;
            if (bytes[m.offset + i] != expected) {
                out += "FMap at " + std::to_string(m.offset) + " says " +
                       std::to_string(bytes[m.offset + i]) + " for AMap " + std::to_string(m.region + i) +
                       ", not " + std::to_string(expected) + "\n";
                break;
            }
        }
    }
    return out;
}

// The errors among the checker's findings, one a line (notes are Outlook habits it accepts).
inline std::string errorsOf(const check::Findings& findings)
{
    std::string out;
    for (const check::Violation& v : findings.all())
        if (v.severity == check::Severity::Error)
            out += v.toString() + "\n";
    return out;
}

// What is wrong at the node database level of a file: the checker's header and NDB errors and
// the FMaps. The nodes these tests write hold no heaps, so the layers above have nothing to check.
inline std::string ndbErrors(const Bytes& bytes)
{
    const PstFilePtr file = readPst(bytes);
    check::Findings findings;
    check::checkHeader(*file, findings);
    check::checkNodeDatabase(*file, findings);
    return errorsOf(findings) + fmapErrors(*file);
}

} // namespace tressimo::pst::testing
