#include "pst/check/pst_file.h"
#include "platform/path_text.h"

#include "pst/check/block.h"
#include "pst/io/crc.h"
#include "pst/io/permute.h"

#include <algorithm>
#include <fstream>

namespace tressimo::pst::check {
namespace {

// Deeper than any real tree: a file with 2^64 entries needs fewer levels than this.
constexpr int kMaxTreeDepth = 12;

std::string pageWhere(PageType type, BlockRef ref)
{
    return std::string(pageTypeName(static_cast<std::uint8_t>(type))) + " page " + hex(ref.bid) + " at " +
           hex(ref.ib);
}

} // namespace

std::shared_ptr<const PstFile> PstFile::open(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ReadError("cannot open " + platform::textOfPath(path) + " for reading");
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0)
        throw ReadError("cannot read " + platform::textOfPath(path));
    in.seekg(0);
    Bytes bytes(static_cast<std::size_t>(length));
    if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length))
        throw ReadError("cannot read " + platform::textOfPath(path) + " (read stopped early)");
    return fromBytes(std::move(bytes), platform::textOfPath(path));
}

std::shared_ptr<const PstFile> PstFile::fromBytes(Bytes bytes, std::string name)
{
    if (bytes.size() < kHeaderSize)
        throw ReadError(name + " has " + std::to_string(bytes.size()) + " bytes, fewer than a PST header (" +
                        std::to_string(kHeaderSize) + ")");
    std::shared_ptr<PstFile> file(new PstFile(std::move(bytes), std::move(name)));
    file->load();
    return file;
}

PstFile::PstFile(Bytes bytes, std::string name) : m_bytes(std::move(bytes)), m_name(std::move(name)) {}

void PstFile::load()
{
    m_header = parseHeader(m_bytes);
    // A process stopped while growing the file leaves the new, still unused region after the
    // end of file the (intact) header states; everything the header describes lies before it.
    const std::uint64_t eof = m_header.fileEof;
    if (m_header.crcFull == m_header.computedCrcFull && eof < m_bytes.size() &&
        eof >= kFirstAMapOffset + kAMapCoverage && (eof - kFirstAMapOffset) % kAMapCoverage == 0) {
        m_tailBytes = m_bytes.size() - eof;
        m_bytes.resize(eof);
    }
    walk(PageType::Nbt, m_header.nbt, -1, nullptr, 0);
    walk(PageType::Bbt, m_header.bbt, -1, nullptr, 0);
    // Lookups rely on order; a tree that breaks it has been reported already.
    std::stable_sort(m_nodes.begin(), m_nodes.end(), [](auto& a, auto& b) { return a.nid < b.nid; });
    std::stable_sort(m_blocks.begin(), m_blocks.end(),
                     [](auto& a, auto& b) { return bidKey(a.bid) < bidKey(b.bid); });
}

void PstFile::walk(PageType type, BlockRef ref, int expectedLevel, const std::uint64_t* expectedFirstKey,
                   int depth)
{
    const std::string where = pageWhere(type, ref);
    const int tree = type == PageType::Nbt ? 0 : 1;
    if (depth > kMaxTreeDepth) {
        m_findings.error("BTREE_LEVEL", where, "at most " + std::to_string(kMaxTreeDepth) + " levels",
                         "a deeper chain of pages");
        return;
    }
    if (ref.ib % kPageSize != 0)
        m_findings.error("PAGE_ALIGNMENT", where, "an offset that is a multiple of 512", hex(ref.ib));
    if (ref.ib < kFirstAMapOffset || ref.ib > size() || size() - ref.ib < kPageSize) {
        m_findings.error("PAGE_OUT_OF_FILE", where,
                         "a page between " + hex(kFirstAMapOffset) + " and the end of file " + hex(size()),
                         "offset " + hex(ref.ib));
        return;
    }
    if (!m_visitedPages.insert(ref.ib).second) {
        m_findings.error("BTREE_PAGE_REUSED", where, "each page reached once", "reached again");
        return;
    }
    const std::uint8_t* page = m_bytes.data() + ref.ib;
    const PageTrailer trailer = parsePageTrailer(page);
    const auto ptype = static_cast<std::uint8_t>(type);
    if (trailer.ptype != ptype || trailer.ptypeRepeat != ptype) {
        m_findings.error("PAGE_TYPE", where, "ptype and ptypeRepeat " + hex(ptype),
                         hex(trailer.ptype) + " and " + hex(trailer.ptypeRepeat));
        if (trailer.ptype != ptype)
            return; // whatever this page is, its body is not a B-tree page of this tree
    }
    if (trailer.bid != ref.bid)
        m_findings.error("PAGE_BID", where, "trailer bid " + hex(ref.bid) + " as its parent refers to it",
                         hex(trailer.bid));
    const std::uint16_t sig = computeSignature(ref.ib, trailer.bid);
    if (trailer.signature != sig)
        m_findings.error("PAGE_SIGNATURE", where, hex(sig), hex(trailer.signature));
    const std::uint32_t crc = computeCrc(page, kPageDataSize);
    if (trailer.crc != crc)
        m_findings.error("PAGE_CRC", where, hex(crc), hex(trailer.crc));

    const BTreePage bt = parseBTreePage(page);
    m_pages.push_back({type, ref.bid, ref.ib, bt.level, bt.entryCount});
    if (expectedLevel >= 0 && bt.level != expectedLevel)
        m_findings.error("BTREE_LEVEL", where,
                         "cLevel " + std::to_string(expectedLevel) + " (parent's less one)",
                         "cLevel " + std::to_string(bt.level));
    const bool leaf = bt.level == 0;
    const std::uint8_t size =
        leaf ? (type == PageType::Nbt ? kNbtLeafEntrySize : kBbtLeafEntrySize) : kIntermediateEntrySize;
    const std::uint8_t max =
        leaf ? (type == PageType::Nbt ? kNbtLeafEntryMax : kBbtLeafEntryMax) : kIntermediateEntryMax;
    if (bt.entrySize != size || bt.entryMax != max)
        m_findings.error(
            "BTREE_ENTRY_FORMAT", where, "cbEnt " + std::to_string(size) + ", cEntMax " + std::to_string(max),
            "cbEnt " + std::to_string(bt.entrySize) + ", cEntMax " + std::to_string(bt.entryMax));
    std::size_t count = bt.entryCount;
    if (bt.entryCount > max) {
        m_findings.error("BTREE_ENTRY_COUNT", where, "cEnt at most " + std::to_string(max),
                         "cEnt " + std::to_string(bt.entryCount));
        count = max; // read on as far as the page can hold entries
    }
    if (bt.entryCount == 0 && depth > 0)
        m_findings.error("BTREE_ENTRY_COUNT", where, "a page below the root with entries", "cEnt 0");

    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = bt.entries + i * size;
        const std::uint64_t key = getU64(e);
        if (i == 0 && expectedFirstKey && key != *expectedFirstKey)
            m_findings.error("BTREE_KEY", where,
                             "first key " + hex(*expectedFirstKey) + " (the parent's key)", hex(key));
        if (leaf) {
            const std::uint64_t k = type == PageType::Bbt ? bidKey(key) : key;
            if (m_haveKey[tree] && k <= m_lastKey[tree])
                m_findings.error("BTREE_ORDER", where + " entry " + std::to_string(i),
                                 "a key above " + hex(m_lastKey[tree]), hex(key));
            m_lastKey[tree] = k;
            m_haveKey[tree] = true;
            if (type == PageType::Nbt)
                m_nodes.push_back({static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32),
                                   getU64(e + 8), getU64(e + 16), getU32(e + 24)});
            else
                m_blocks.push_back({key, getU64(e + 8), getU16(e + 16), getU16(e + 18)});
        } else {
            if (i > 0 && key <= previous)
                m_findings.error("BTREE_ORDER", where + " entry " + std::to_string(i),
                                 "a key above " + hex(previous), hex(key));
            previous = key;
            walk(type, {getU64(e + 8), getU64(e + 16)}, bt.level - 1, &key, depth + 1);
        }
    }
}

const NodeEntry* PstFile::findNode(std::uint32_t nid) const
{
    auto it = std::lower_bound(m_nodes.begin(), m_nodes.end(), nid,
                               [](const NodeEntry& n, std::uint32_t v) { return n.nid < v; });
    return it != m_nodes.end() && it->nid == nid ? &*it : nullptr;
}

const BlockEntry* PstFile::findBlock(std::uint64_t bid) const
{
    const std::uint64_t key = bidKey(bid);
    auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), key,
                               [](const BlockEntry& b, std::uint64_t v) { return bidKey(b.bid) < v; });
    return it != m_blocks.end() && bidKey(it->bid) == key ? &*it : nullptr;
}

std::vector<NodeEntry> PstFile::children(std::uint32_t nid) const
{
    std::vector<NodeEntry> out;
    for (const NodeEntry& n : m_nodes)
        if (n.nidParent == nid && n.nid != nid)
            out.push_back(n);
    return out;
}

ByteView PstFile::rawBlock(const BlockEntry& block) const
{
    const std::uint64_t disk = blockDiskSize(block.cb);
    if (block.ib > size() || size() - block.ib < disk)
        throw FormatError("block " + hex(block.bid) + " at " + hex(block.ib) + " (" + std::to_string(disk) +
                          " bytes) runs past the end of the file");
    return ByteView(m_bytes.data() + block.ib, disk);
}

Bytes PstFile::readBlock(std::uint64_t bid) const
{
    const BlockEntry* entry = findBlock(bid);
    if (!entry)
        throw FormatError("block " + hex(bid) + " is not in the block B-tree");
    if (entry->cb > kMaxBlockDataSize)
        throw FormatError("block " + hex(bid) + " claims " + std::to_string(entry->cb) +
                          " bytes, more than a block holds");
    const ByteView raw = rawBlock(*entry);
    Bytes data(raw.begin(), raw.begin() + entry->cb);
    if (!isInternalBid(entry->bid) && m_header.cryptMethod == static_cast<std::uint8_t>(CryptMethod::Permute))
        permuteDecode(data.data(), data.size());
    return data;
}

std::vector<Bytes> PstFile::readDataTree(std::uint64_t bid) const
{
    std::vector<Bytes> out;
    if (!isInternalBid(bid)) {
        out.push_back(readBlock(bid));
        return out;
    }
    const InternalBlock top = parseInternalBlock(readBlock(bid));
    if (!top.problem.empty())
        throw FormatError("data tree block " + hex(bid) + ": " + top.problem);
    if (top.kind != InternalKind::XBlock && top.kind != InternalKind::XXBlock)
        throw FormatError("block " + hex(bid) + " is an " + internalKindName(top.kind) +
                          " where a data tree was expected");
    for (std::uint64_t child : top.childBids) {
        if (top.kind == InternalKind::XBlock) {
            if (isInternalBid(child))
                throw FormatError("XBLOCK " + hex(bid) + " refers to internal block " + hex(child));
            out.push_back(readBlock(child));
            continue;
        }
        const InternalBlock x = parseInternalBlock(readBlock(child));
        if (!x.problem.empty() || x.kind != InternalKind::XBlock)
            throw FormatError("XXBLOCK " + hex(bid) + " entry " + hex(child) + " is not an XBLOCK");
        for (std::uint64_t leaf : x.childBids) {
            if (isInternalBid(leaf))
                throw FormatError("XBLOCK " + hex(child) + " refers to internal block " + hex(leaf));
            out.push_back(readBlock(leaf));
        }
    }
    return out;
}

Bytes PstFile::readData(std::uint64_t bid) const
{
    Bytes all;
    for (const Bytes& b : readDataTree(bid))
        all.insert(all.end(), b.begin(), b.end());
    return all;
}

std::vector<SubnodeEntry> PstFile::readSubnodes(std::uint64_t bidSub) const
{
    std::vector<SubnodeEntry> out;
    if (bidSub != 0)
        collectSubnodes(bidSub, out, 0);
    std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.nid < b.nid; });
    return out;
}

void PstFile::collectSubnodes(std::uint64_t bid, std::vector<SubnodeEntry>& out, int depth) const
{
    if (depth > 1)
        throw FormatError("subnode tree deeper than SIBLOCK over SLBLOCK at " + hex(bid));
    if (!isInternalBid(bid))
        throw FormatError("subnode tree block " + hex(bid) + " is not an internal block");
    const InternalBlock b = parseInternalBlock(readBlock(bid));
    if (!b.problem.empty())
        throw FormatError("subnode tree block " + hex(bid) + ": " + b.problem);
    if (b.kind == InternalKind::SLBlock) {
        for (const SubnodeLeafEntry& e : b.leaves)
            out.push_back({e.nid, e.bidData, e.bidSub});
    } else if (b.kind == InternalKind::SIBlock) {
        for (const SubnodeIntermediateEntry& e : b.intermediates)
            collectSubnodes(e.bid, out, depth + 1);
    } else {
        throw FormatError("block " + hex(bid) + " is an " + internalKindName(b.kind) +
                          " where a subnode tree was expected");
    }
}

} // namespace tressimo::pst::check
