// Node database rules ([MS-PST] 2.2, 2.6.1): map pages where the file size puts them, the
// B-trees (walked when the file was opened), every block and its trailer, data and subnode
// trees, reference counts, and the AMaps against what is really allocated.

#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/io/crc.h"

#include <algorithm>
#include <map>

namespace tressimo::pst::check {
namespace {

std::string blockWhere(const BlockEntry& b)
{
    return std::string(isInternalBid(b.bid) ? "internal block " : "block ") + hex(b.bid) + " at " + hex(b.ib);
}

bool amapBit(const std::uint8_t* amap, std::uint64_t slot)
{
    // Bits run from the most significant bit of each byte ([MS-PST] 2.2.2.7.2; both reference
    // files agree).
    return (amap[slot / 8] & (0x80 >> (slot % 8))) != 0;
}

void checkTrailer(const PstFile& file, std::uint64_t offset, PageType type, std::uint64_t expectedBid,
                  bool hasSignature, const std::string& where, Findings& f)
{
    const std::uint8_t* page = file.bytes().data() + offset;
    const PageTrailer t = parsePageTrailer(page);
    const auto ptype = static_cast<std::uint8_t>(type);
    if (t.ptype != ptype || t.ptypeRepeat != ptype)
        f.error("PAGE_TYPE", where, "ptype and ptypeRepeat " + hex(ptype) + " (" + pageTypeName(ptype) + ")",
                hex(t.ptype) + " and " + hex(t.ptypeRepeat));
    const std::uint16_t sig = hasSignature ? computeSignature(offset, t.bid) : 0;
    if (t.signature != sig)
        f.error("PAGE_SIGNATURE", where, "wSig " + hex(sig), hex(t.signature));
    const std::uint32_t crc = computeCrc(page, kPageDataSize);
    if (t.crc != crc)
        f.error("PAGE_CRC", where, hex(crc), hex(t.crc));
    if (!hasSignature && t.bid != expectedBid)
        f.error("PAGE_BID", where, "bid " + hex(expectedBid) + " (the page's own offset)", hex(t.bid));
}

// What occupies a stretch of the file: a map page, a B-tree page or a block. Names are
// made only for findings, so a file with a million blocks costs no strings.
struct Occupant
{
    enum Kind { MapPageKind, TreePageKind, BlockKind } kind;
    std::uint8_t pageType = 0;
    std::uint64_t bid = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;

    std::string describe() const
    {
        switch (kind) {
        case MapPageKind:
            return std::string(pageTypeName(pageType)) + " page at " + hex(offset);
        case TreePageKind:
            return std::string(pageTypeName(pageType)) + " page " + hex(bid) + " at " + hex(offset);
        case BlockKind:
            break;
        }
        return std::string(isInternalBid(bid) ? "internal block " : "block ") + hex(bid) + " at " +
               hex(offset);
    }
};

// The 64-byte slots of the file's data area and what occupies each.
class SpaceMap
{
public:
    explicit SpaceMap(std::uint64_t fileSize)
        : m_owner(fileSize > kFirstAMapOffset ? (fileSize - kFirstAMapOffset) / kSlotSize : 0, -1)
    {
    }

    // Records what occupies [offset, offset + size); reports overlaps once per occupant.
    void occupy(const Occupant& o, Findings& f)
    {
        const int id = static_cast<int>(m_occupants.size());
        m_occupants.push_back(o);
        bool reported = false;
        const std::uint64_t end =
            std::min<std::uint64_t>(slotOf(o.offset + o.size + kSlotSize - 1), m_owner.size());
        for (std::uint64_t s = slotOf(o.offset); s < end; ++s) {
            if (m_owner[s] >= 0 && !reported) {
                f.error("ALLOC_OVERLAP", o.describe(), "space of its own",
                        "shares " + hex(kFirstAMapOffset + s * kSlotSize) + " with " +
                            m_occupants[m_owner[s]].describe());
                reported = true;
            }
            if (m_owner[s] < 0)
                m_owner[s] = id;
        }
    }

    std::size_t slots() const { return m_owner.size(); }
    bool used(std::uint64_t slot) const { return m_owner[slot] >= 0; }
    const std::vector<Occupant>& occupants() const { return m_occupants; }

private:
    static std::uint64_t slotOf(std::uint64_t offset) { return (offset - kFirstAMapOffset) / kSlotSize; }

    std::vector<int> m_owner;
    std::vector<Occupant> m_occupants;
};

struct References
{
    std::map<std::uint64_t, std::uint32_t> count; // by bidKey

    // `from` names the referrer; it is called only when there is something to report.
    template <typename From>
    void add(const PstFile& file, std::uint64_t bid, const From& from, Findings& f, bool wantInternal,
             const char* role)
    {
        const BlockEntry* b = file.findBlock(bid);
        if (!b) {
            f.error("REF_MISSING", from(), std::string(role) + " " + hex(bid) + " in the block B-tree",
                    "no such block");
            return;
        }
        ++count[bidKey(bid)];
        if (isInternalBid(bid) != wantInternal)
            f.error("REF_KIND", from(),
                    std::string(role) + " " + hex(bid) + " naming " +
                        (wantInternal ? "an internal" : "a data") + " block",
                    wantInternal ? "a data block" : "an internal block");
    }
};

void checkMapPages(const PstFile& file, Findings& f)
{
    const std::vector<MapPage> maps = requiredMapPages(file.size());
    for (const MapPage& m : maps) {
        const std::string where =
            std::string(pageTypeName(static_cast<std::uint8_t>(m.type))) + " page at " + hex(m.offset);
        checkTrailer(file, m.offset, m.type, m.offset, false, where, f);
    }
    if (file.header().amapValid == 0)
        return;
    // Each AMap marks its own page and the PMap/FMap/FPMap pages that follow it.
    for (const MapPage& m : maps) {
        if (m.type == PageType::AMap)
            continue;
        const std::uint64_t amap = kFirstAMapOffset + m.region * kAMapCoverage;
        const std::uint8_t* bits = file.bytes().data() + amap;
        for (std::uint64_t s = (m.offset - amap) / kSlotSize; s < (m.offset - amap + kPageSize) / kSlotSize;
             ++s)
            if (!amapBit(bits, s)) {
                f.error("AMAP_CONTENT", "AMap page at " + hex(amap),
                        std::string("the ") + pageTypeName(static_cast<std::uint8_t>(m.type)) + " page at " +
                            hex(m.offset) + " marked allocated",
                        "it is marked free");
                break;
            }
    }
    for (const MapPage& m : maps) {
        if (m.type != PageType::AMap)
            continue;
        if (file.bytes()[m.offset] != 0xFF)
            f.error("AMAP_CONTENT", "AMap page at " + hex(m.offset),
                    "its own page marked allocated (first byte 0xFF)", hex(file.bytes()[m.offset]));
    }
}

void checkDList(const PstFile& file, Findings& f)
{
    if (file.size() < kDListOffset + kPageSize)
        return;
    const std::uint8_t* page = file.bytes().data() + kDListOffset;
    const PageTrailer t = parsePageTrailer(page);
    if (t.ptype != static_cast<std::uint8_t>(PageType::DList))
        return; // the DList is optional
    const std::string where = "DList page at " + hex(kDListOffset);
    checkTrailer(file, kDListOffset, PageType::DList, 0, true, where, f);
    const DList d = parseDList(page);
    if (d.entryCount > kDListMaxEntries) {
        f.error("DLIST_PAGE", where, "at most " + std::to_string(kDListMaxEntries) + " entries",
                std::to_string(d.entryCount));
        return;
    }
    const std::uint64_t amaps =
        file.size() <= kFirstAMapOffset ? 0 : (file.size() - kFirstAMapOffset) / kAMapCoverage;
    if ((d.flags & 0x01) && d.currentPage >= amaps && amaps > 0)
        f.error("DLIST_PAGE", where, "ulCurrentPage below the " + std::to_string(amaps) + " AMaps",
                std::to_string(d.currentPage));
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        const DListEntry& e = d.entries[i];
        const std::string entry = where + " entry " + std::to_string(i);
        if (e.amapIndex >= amaps) {
            f.error("DLIST_PAGE", entry, "an AMap index below " + std::to_string(amaps),
                    std::to_string(e.amapIndex));
            continue;
        }
        if (i > 0 && e.freeSlots > d.entries[i - 1].freeSlots)
            f.error("DLIST_PAGE", entry, "entries by descending free space",
                    std::to_string(e.freeSlots) + " free after " +
                        std::to_string(d.entries[i - 1].freeSlots));
        if (file.header().amapValid == 0)
            continue;
        const std::uint8_t* bits = file.bytes().data() + kFirstAMapOffset + e.amapIndex * kAMapCoverage;
        std::uint32_t clear = 0;
        for (std::size_t k = 0; k < kPageDataSize; ++k)
            clear += 8 - std::popcount(bits[k]);
        // The 12-bit field cannot hold every count a region can have; compare what it can hold.
        if (e.freeSlots != (clear & 0xFFF))
            f.error("DLIST_PAGE", entry,
                    std::to_string(clear) + " free slots (AMap " + std::to_string(e.amapIndex) + ")",
                    std::to_string(e.freeSlots));
    }
}

void checkBlocks(const PstFile& file, References& refs, Findings& f)
{
    for (const BlockEntry& b : file.blocks()) {
        auto where = [&] { return blockWhere(b); };
        if (b.ib % kBlockAlignment != 0)
            f.error("BLOCK_ALIGNMENT", where(), "an offset that is a multiple of 64", hex(b.ib));
        if (b.cb > kMaxBlockDataSize) {
            f.error("BLOCK_SIZE", where(), "cb at most " + std::to_string(kMaxBlockDataSize),
                    std::to_string(b.cb));
            continue;
        }
        const std::uint64_t disk = blockDiskSize(b.cb);
        if (b.ib < kFirstAMapOffset || b.ib > file.size() || file.size() - b.ib < disk) {
            f.error("BLOCK_OUT_OF_FILE", where(),
                    "a block between " + hex(kFirstAMapOffset) + " and the end of file " + hex(file.size()),
                    std::to_string(disk) + " bytes at " + hex(b.ib));
            continue;
        }
        const ByteView raw = file.rawBlock(b);
        const BlockTrailer t = parseBlockTrailer(raw.data() + disk - kBlockTrailerSize);
        if (t.cb != b.cb)
            f.error("BLOCK_SIZE", where(),
                    "trailer cb " + std::to_string(b.cb) + " (as the block B-tree says)",
                    std::to_string(t.cb));
        if (t.bid != b.bid)
            f.error("BLOCK_BID", where(), "trailer bid " + hex(b.bid), hex(t.bid));
        const std::uint16_t sig = computeSignature(b.ib, b.bid);
        if (t.signature != sig)
            f.error("BLOCK_SIGNATURE", where(), hex(sig), hex(t.signature));
        const std::uint32_t crc = computeCrc(raw.data(), b.cb);
        if (t.crc != crc)
            f.error("BLOCK_CRC", where(), hex(crc), hex(t.crc));

        if (!isInternalBid(b.bid))
            continue;
        const Bytes data(raw.begin(), raw.begin() + b.cb);
        const InternalBlock ib = parseInternalBlock(data);
        if (!ib.problem.empty()) {
            f.error("INTERNAL_BLOCK", where(), "an XBLOCK, XXBLOCK, SLBLOCK or SIBLOCK", ib.problem);
            continue;
        }
        auto kind = [&] { return std::string(internalKindName(ib.kind)) + " " + hex(b.bid); };
        const std::size_t entrySize = ib.kind == InternalKind::SLBlock   ? 24
                                      : ib.kind == InternalKind::SIBlock ? 16
                                                                         : 8;
        const std::size_t maxEntries = ib.kind == InternalKind::SLBlock   ? kMaxSLBlockEntries
                                       : ib.kind == InternalKind::SIBlock ? kMaxSIBlockEntries
                                                                          : kMaxXBlockEntries;
        if (ib.entryCount == 0 || ib.entryCount > maxEntries)
            f.error("INTERNAL_BLOCK", kind(), "1.." + std::to_string(maxEntries) + " entries",
                    std::to_string(ib.entryCount));
        if (b.cb != 8 + ib.entryCount * entrySize)
            f.error("INTERNAL_BLOCK", kind(),
                    "cb " + std::to_string(8 + ib.entryCount * entrySize) + " for " +
                        std::to_string(ib.entryCount) + " entries",
                    std::to_string(b.cb));
        // The upper half of an SLENTRY's 8-byte NID is not checked: Outlook 2007 leaves junk there
        // (four SLBLOCKs of the reference file do), and every reader takes the low 32 bits.

        if (ib.kind == InternalKind::XBlock || ib.kind == InternalKind::XXBlock) {
            std::uint64_t total = 0;
            bool known = true;
            for (std::uint64_t child : ib.childBids) {
                const bool wantInternal = ib.kind == InternalKind::XXBlock;
                refs.add(file, child, kind, f, wantInternal, "entry");
                const BlockEntry* c = file.findBlock(child);
                if (!c || isInternalBid(child) != wantInternal) {
                    known = false;
                    continue;
                }
                if (!wantInternal) {
                    total += c->cb;
                    continue;
                }
                try {
                    const InternalBlock x = parseInternalBlock(file.readBlock(child));
                    if (!x.problem.empty() || x.kind != InternalKind::XBlock) {
                        f.error("REF_KIND", kind(), "entry " + hex(child) + " naming an XBLOCK",
                                x.problem.empty() ? internalKindName(x.kind) : x.problem);
                        known = false;
                    } else {
                        total += x.totalSize;
                    }
                } catch (const FormatError&) {
                    known = false; // the child's own check reports why
                }
            }
            if (known && total != ib.totalSize)
                f.error("DATA_TREE_SIZE", kind(),
                        "lcbTotal " + std::to_string(total) + " (the data below it)",
                        std::to_string(ib.totalSize));
        } else if (ib.kind == InternalKind::SLBlock) {
            for (std::size_t i = 0; i < ib.leaves.size(); ++i) {
                const SubnodeLeafEntry& e = ib.leaves[i];
                auto entry = [&] { return kind() + " entry " + describeNid(e.nid); };
                if (i > 0 && e.nid <= ib.leaves[i - 1].nid)
                    f.error("SUBNODE_ORDER", kind(), "subnode NIDs in ascending order",
                            hex(e.nid) + " after " + hex(ib.leaves[i - 1].nid));
                if (e.bidData == 0)
                    f.error("REF_MISSING", entry(), "a data block", "bidData 0");
                else
                    refs.add(file, e.bidData, entry, f, isInternalBid(e.bidData), "bidData");
                if (e.bidSub != 0)
                    refs.add(file, e.bidSub, entry, f, true, "bidSub");
            }
        } else {
            for (std::size_t i = 0; i < ib.intermediates.size(); ++i) {
                const SubnodeIntermediateEntry& e = ib.intermediates[i];
                if (i > 0 && e.nid <= ib.intermediates[i - 1].nid)
                    f.error("SUBNODE_ORDER", kind(), "keys in ascending order",
                            hex(e.nid) + " after " + hex(ib.intermediates[i - 1].nid));
                refs.add(file, e.bid, kind, f, true, "entry");
                try {
                    const InternalBlock child = parseInternalBlock(file.readBlock(e.bid));
                    if (child.kind != InternalKind::SLBlock || !child.problem.empty())
                        f.error("REF_KIND", kind(), "entry " + hex(e.bid) + " naming an SLBLOCK",
                                child.problem.empty() ? internalKindName(child.kind) : child.problem);
                    else if (!child.leaves.empty() && child.leaves.front().nid != e.nid)
                        f.error("SUBNODE_ORDER", kind(), "key " + hex(e.nid) + " = first NID of its SLBLOCK",
                                hex(child.leaves.front().nid));
                } catch (const FormatError&) {
                }
            }
        }
    }
}

void checkNodeReferences(const PstFile& file, References& refs, Findings& f)
{
    for (const NodeEntry& n : file.nodes()) {
        auto where = [&] { return "NBT entry " + describeNid(n.nid); };
        if (n.nidHigh != 0)
            f.error("NBT_ENTRY", where(), "a NID with zero upper 32 bits", hex(n.nidHigh));
        if (n.bidData != 0)
            refs.add(file, n.bidData, where, f, isInternalBid(n.bidData), "bidData");
        if (n.bidSub != 0)
            refs.add(file, n.bidSub, where, f, true, "bidSub");
        if (n.bidData != 0 && isInternalBid(n.bidData)) {
            // An internal data block must be a data tree, never a subnode tree.
            try {
                const InternalBlock b = parseInternalBlock(file.readBlock(n.bidData));
                if (b.problem.empty() && b.kind != InternalKind::XBlock && b.kind != InternalKind::XXBlock)
                    f.error("REF_KIND", where(), "bidData naming a data block or data tree",
                            internalKindName(b.kind));
            } catch (const FormatError&) {
            }
        }
        if (n.bidSub != 0 && isInternalBid(n.bidSub)) {
            try {
                const InternalBlock b = parseInternalBlock(file.readBlock(n.bidSub));
                if (b.problem.empty() && b.kind != InternalKind::SLBlock && b.kind != InternalKind::SIBlock)
                    f.error("REF_KIND", where(), "bidSub naming a subnode tree", internalKindName(b.kind));
            } catch (const FormatError&) {
            }
        }
    }
}

void checkReferenceCounts(const PstFile& file, const References& refs, Findings& f)
{
    // [MS-PST] 2.2.2.7.7.3: the BBT entry holds one reference, each pointer to the block another.
    for (const BlockEntry& b : file.blocks()) {
        auto it = refs.count.find(bidKey(b.bid));
        const std::uint32_t n = it == refs.count.end() ? 0 : it->second;
        // A block whose count has dropped to 1 is no longer in use and waits to leave the BBT
        // ([MS-PST] 2.2.2.7.7.3.1); Outlook 2007 leaves such blocks behind, so they are noted,
        // not failed.
        if (n == 0 && b.cRef == 1)
            f.note("BLOCK_RELEASED", blockWhere(b),
                   "cRef 1 and no references: a released block the BBT still lists (Outlook leaves these)");
        else if (n == 0)
            f.error("BLOCK_LEAK", blockWhere(b), "a reference from a node, data tree or subnode tree",
                    "none (cRef " + std::to_string(b.cRef) + ")");
        else if (b.cRef != n + 1)
            f.error("REF_COUNT", blockWhere(b),
                    "cRef " + std::to_string(n + 1) + " (1 + " + std::to_string(n) + " references)",
                    std::to_string(b.cRef));
    }
}

void checkAllocation(const PstFile& file, Findings& f)
{
    if (file.header().amapValid == 0 || file.size() < kFirstAMapOffset + kPageSize)
        return;
    SpaceMap space(file.size());
    for (const MapPage& m : requiredMapPages(file.size()))
        space.occupy({Occupant::MapPageKind, static_cast<std::uint8_t>(m.type), 0, m.offset, kPageSize}, f);
    for (const TreePage& p : file.treePages())
        space.occupy({Occupant::TreePageKind, static_cast<std::uint8_t>(p.type), p.bid, p.ib, kPageSize}, f);
    for (const BlockEntry& b : file.blocks()) {
        const std::uint64_t disk = blockDiskSize(b.cb);
        if (b.ib >= kFirstAMapOffset && b.ib <= file.size() && file.size() - b.ib >= disk &&
            b.ib % kSlotSize == 0)
            space.occupy({Occupant::BlockKind, 0, b.bid, b.ib, disk}, f);
    }

    auto marked = [&](std::uint64_t slot) {
        const std::uint64_t region = slot * kSlotSize / kAMapCoverage;
        const std::uint8_t* amap = file.bytes().data() + kFirstAMapOffset + region * kAMapCoverage;
        return amapBit(amap, slot - region * (kAMapCoverage / kSlotSize));
    };
    // Everything in use must be marked allocated.
    for (const Occupant& o : space.occupants()) {
        for (std::uint64_t s = (o.offset - kFirstAMapOffset) / kSlotSize;
             s < (o.offset + o.size - kFirstAMapOffset) / kSlotSize && s < space.slots(); ++s)
            if (!marked(s)) {
                f.error("ALLOC_UNMARKED", o.describe(), "its space marked allocated in the AMap",
                        hex(kFirstAMapOffset + s * kSlotSize) + " is marked free");
                break;
            }
    }
    // Pages the PMap marks free are reserved from the AMap for later pages ([MS-PST]
    // 2.2.2.7.3): marked allocated, unused, and counted in cbPMapFree.
    const std::uint64_t pages = space.slots() / (kPageSize / kSlotSize);
    constexpr std::uint64_t kSlotsPerPage = kPageSize / kSlotSize;
    constexpr std::uint64_t kPagesPerPMap = kPageDataSize * 8;
    std::vector<bool> reservedPage(pages, false);
    // A file cut inside a page has slots past the last whole page; none of them is reserved.
    auto reserved = [&](std::uint64_t slot) {
        return slot / kSlotsPerPage < pages && reservedPage[slot / kSlotsPerPage];
    };
    std::uint64_t freePages = 0;
    for (std::uint64_t p = 0; p < pages; ++p) {
        const std::uint64_t pmap = kFirstPMapOffset + (p / kPagesPerPMap) * kPMapRegions * kAMapCoverage;
        const std::uint64_t bit = p % kPagesPerPMap;
        if (pmap + kPageSize > file.size() || amapBit(file.bytes().data() + pmap, bit))
            continue;
        ++freePages;
        reservedPage[p] = true;
        const std::string where = "PMap page at " + hex(pmap) + " bit " + std::to_string(bit);
        const std::uint64_t offset = kFirstAMapOffset + p * kPageSize;
        for (std::uint64_t s = p * kSlotsPerPage; s < (p + 1) * kSlotsPerPage; ++s) {
            if (space.used(s)) {
                f.error("PMAP_CONTENT", where, "the page at " + hex(offset) + " free",
                        "it holds something at " + hex(kFirstAMapOffset + s * kSlotSize));
                break;
            }
            if (!marked(s)) {
                f.error("PMAP_CONTENT", where, "the free page at " + hex(offset) + " reserved in the AMap",
                        hex(kFirstAMapOffset + s * kSlotSize) + " is marked free there");
                break;
            }
        }
    }
    if (file.header().pmapFree != freePages * kPageSize)
        f.error("HEADER_PMAP_FREE", "header",
                "cbPMapFree " + std::to_string(freePages * kPageSize) +
                    " (512 bytes per page the PMaps mark free)",
                std::to_string(file.header().pmapFree));

    // Anything else marked allocated that nothing uses is lost to the file until Outlook
    // rebuilds the maps; report it as runs.
    for (std::uint64_t s = 0; s < space.slots();) {
        const bool lost = !space.used(s) && marked(s) && !reserved(s);
        if (!lost) {
            ++s;
            continue;
        }
        std::uint64_t end = s;
        while (end < space.slots() && !space.used(end) && marked(end) && !reserved(end))
            ++end;
        f.error("ALLOC_LEAK", "AMap bits for " + hex(kFirstAMapOffset + s * kSlotSize), "free space",
                std::to_string((end - s) * kSlotSize) + " bytes up to " +
                    hex(kFirstAMapOffset + end * kSlotSize) + " marked allocated with nothing in them");
        s = end;
    }
}

} // namespace

void checkNodeDatabase(const PstFile& file, Findings& f)
{
    checkMapPages(file, f);
    checkDList(file, f);
    f.append(file.treeFindings());
    References refs;
    checkBlocks(file, refs, f);
    checkNodeReferences(file, refs, f);
    checkReferenceCounts(file, refs, f);
    checkAllocation(file, f);
}

} // namespace tressimo::pst::check
