#pragma once
// A strict reader of the node database of a Unicode PST, for tests only. It parses the file
// from its bytes without the writer's code and lists every rule it finds broken: header CRCs,
// page and block trailers, B-tree order and levels, references, reference counts, data and
// subnode trees, counters, and (when the header says they are valid) the allocation maps,
// FMaps and density list against what is really allocated.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "pst/io/bytes.h"

namespace tressimo::pst::testing {

struct ReadNode
{
    std::uint32_t nid = 0;
    std::uint32_t parent = 0;
    std::uint64_t data = 0;
    std::uint64_t sub = 0;
};

struct ReadBlock
{
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
    std::uint16_t cRef = 0;
};

struct ReadSubnode
{
    std::uint32_t nid = 0;
    std::uint64_t data = 0;
    std::uint64_t sub = 0;
};

struct ReaderOptions
{
    // A crash while the file grows may leave bytes past the header's end of file (new regions
    // not yet committed, which nothing refers to); accept those instead of demanding an exact
    // size.
    bool allowUncommittedGrowth = false;
};

class NdbReader
{
public:
    explicit NdbReader(ByteView file, ReaderOptions options = {});

    const std::vector<std::string>& problems() const { return m_problems; }
    std::string report() const;

    // Header fields.
    std::uint8_t fAMapValid = 0;
    std::uint8_t cryptMethod = 0;
    std::uint64_t fileEof = 0;
    std::uint64_t amapLast = 0;
    std::uint64_t amapFree = 0;
    std::uint64_t bidNextB = 0;
    std::uint64_t bidNextP = 0;
    std::uint32_t unique = 0;
    std::array<std::uint32_t, 32> rgnid{};
    int nbtLevels = 0;
    int bbtLevels = 0;
    std::uint64_t regions = 0;

    const std::map<std::uint32_t, ReadNode>& nodes() const { return m_nodes; }
    const std::map<std::uint64_t, ReadBlock>& blocks() const { return m_blocks; }
    std::size_t pageCount() const { return m_pages.size(); }
    // B-tree pages by BID: their file offsets.
    const std::map<std::uint64_t, std::uint64_t>& pages() const { return m_pages; }

    // The data blocks of a data tree, decoded, in order; and their concatenation.
    std::vector<Bytes> streamBlocks(std::uint64_t bid) const;
    Bytes stream(std::uint64_t bid) const;
    // 0 for a single block, 1 under an XBLOCK, 2 under an XXBLOCK; -1 if unreadable.
    int dataTreeDepth(std::uint64_t bid) const;
    // The subnodes of a subnode tree, and its depth (0 SLBLOCK, 1 SIBLOCK).
    std::map<std::uint32_t, ReadSubnode> subnodes(std::uint64_t bid) const;
    int subnodeTreeDepth(std::uint64_t bid) const;
    // The raw bytes of a block as stored (after the trailer is checked), not decoded.
    Bytes storedBlock(std::uint64_t bid) const;

private:
    struct Extent
    {
        std::uint64_t offset;
        std::uint64_t size;
        std::string what;
    };

    void problem(std::string text);
    bool readHeader();
    void readMapPages();
    std::uint64_t walkTree(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype, int expectLevel,
                           int& depth, std::optional<std::uint64_t>& lastKey, bool root);
    void readBlocks();
    void checkReferences();
    void countInternal(const ReadBlock& block, std::map<std::uint64_t, int>& refs);
    void checkAllocation();
    bool checkPage(std::uint64_t ib, std::uint8_t ptype, std::uint64_t bid, bool isSigned, const char* what);
    void addExtent(std::uint64_t offset, std::uint64_t size, std::string what);
    const std::uint8_t* blockData(const ReadBlock& block) const;

    ByteView m_file;
    ReaderOptions m_options;
    std::vector<std::string> m_problems;
    std::map<std::uint32_t, ReadNode> m_nodes;
    std::map<std::uint64_t, ReadBlock> m_blocks;
    std::map<std::uint64_t, std::uint64_t> m_pages; // page BID -> offset
    std::vector<Extent> m_extents;
    std::uint64_t m_nbtBid = 0, m_nbtIb = 0, m_bbtBid = 0, m_bbtIb = 0;
};

} // namespace tressimo::pst::testing
