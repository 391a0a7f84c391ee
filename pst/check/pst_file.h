#pragma once
// The node database of a PST file, read-only: header, the node and block B-trees, blocks,
// data trees and subnode trees ([MS-PST] 2.2). Opening walks both B-trees once; whatever
// that walk finds wrong with them is kept in treeFindings() for the checker.

#include "pst/check/header.h"
#include "pst/check/page.h"
#include "pst/check/violation.h"
#include "pst/io/bytes.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tressimo::pst::check {

// The file's bytes do not form what the format says they must, so a read cannot go on.
class FormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The file could not be read at all (missing, unreadable, not even a header's worth).
class ReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A leaf entry of the node B-tree ([MS-PST] 2.2.2.7.7.4).
struct NodeEntry
{
    std::uint32_t nid = 0;
    std::uint32_t nidHigh = 0; // upper half of the 8-byte NID field; 0 in a sound file
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
    std::uint32_t nidParent = 0;
};

// A leaf entry of the block B-tree ([MS-PST] 2.2.2.7.7.3).
struct BlockEntry
{
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
    std::uint16_t cRef = 0;
};

// A B-tree page reached while walking from the header's roots.
struct TreePage
{
    PageType type = PageType::Nbt;
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint8_t level = 0;
    std::uint8_t entryCount = 0;
};

// An entry of a subnode tree: a node private to its parent node.
struct SubnodeEntry
{
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

class PstFile
{
public:
    // Throws ReadError when the file cannot be read or is shorter than a header.
    static std::shared_ptr<const PstFile> open(const std::filesystem::path& path);
    static std::shared_ptr<const PstFile> fromBytes(Bytes bytes, std::string name = "memory");

    const std::string& name() const { return m_name; }
    ByteView bytes() const { return m_bytes; }
    // The size checked: the header's end of file (bytes past it are set aside, see tailBytes).
    std::uint64_t size() const { return m_bytes.size(); }
    // Bytes after the header's end of file, left by a growth that was never committed.
    std::uint64_t tailBytes() const { return m_tailBytes; }
    const Header& header() const { return m_header; }

    // Every node and block the B-trees hold, sorted by NID / BID as the trees are (a tree
    // that breaks the order is reported in treeFindings() and sorted here anyway).
    const std::vector<NodeEntry>& nodes() const { return m_nodes; }
    const std::vector<BlockEntry>& blocks() const { return m_blocks; }
    const std::vector<TreePage>& treePages() const { return m_pages; }
    const Violations& treeFindings() const { return m_findings.all(); }

    const NodeEntry* findNode(std::uint32_t nid) const;
    const BlockEntry* findBlock(std::uint64_t bid) const;
    // The nodes whose NBT parent is nid, in NID order.
    std::vector<NodeEntry> children(std::uint32_t nid) const;

    // The data of one block: cb bytes, decoded for external blocks. Throws FormatError.
    Bytes readBlock(std::uint64_t bid) const;
    // The stored (still encoded) data and trailer of one block, without any checking beyond
    // its bounds. Throws FormatError.
    ByteView rawBlock(const BlockEntry& block) const;
    // The data blocks of a data tree (one block, or an XBLOCK/XXBLOCK tree), in order.
    std::vector<Bytes> readDataTree(std::uint64_t bid) const;
    // All data of a data tree, joined.
    Bytes readData(std::uint64_t bid) const;
    // The entries of a subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs), sorted by NID.
    std::vector<SubnodeEntry> readSubnodes(std::uint64_t bidSub) const;

private:
    PstFile(Bytes bytes, std::string name);
    void load();
    void walk(PageType type, BlockRef ref, int expectedLevel, const std::uint64_t* expectedFirstKey,
              int depth);
    void collectSubnodes(std::uint64_t bid, std::vector<SubnodeEntry>& out, int depth) const;

    Bytes m_bytes;
    std::uint64_t m_tailBytes = 0;
    std::string m_name;
    Header m_header;
    std::vector<NodeEntry> m_nodes;
    std::vector<BlockEntry> m_blocks;
    std::vector<TreePage> m_pages;
    Findings m_findings;
    std::set<std::uint64_t> m_visitedPages;
    // The last key seen in each tree, to check order across pages.
    std::uint64_t m_lastKey[2] = {0, 0};
    bool m_haveKey[2] = {false, false};
};

} // namespace tressimo::pst::check
