// The node database writer.
//
// How the file stays whole when the process dies at any instant
// ---------------------------------------------------------------
// The header is the commit point: it names the roots of the node and block B-trees, and
// everything reachable from them is immutable once a header refers to it. The only bytes ever
// rewritten in place are the header, the allocation maps (AMap, FMap) and the density list.
//
// 1. Between commits, putNode() writes new blocks straight to the file, but only into slots
//    that the committed AMaps (those on disk) mark free. The writer keeps two views of every
//    region, working and committed; space is handed out only where both say free. Space that
//    the last commit uses and that has since been released stays untouchable until the next
//    commit is on disk; space allocated and released again since the last commit was never on
//    record and is free for reuse at once.
// 2. commit():
//    a. writes the B-tree leaves that changed, and the intermediate pages above them, to new
//       pages (again only in committed-free space); the pages they replace are released;
//    b. writes the last committed header again with fAMapValid = INVALID; sync;
//    c. rewrites the AMaps of the regions that changed or were added, the FMaps over them and
//       the density list; sync;
//    d. writes the new header (new roots, counters, end of file, free space) with
//       fAMapValid = VALID; sync. Only now does released space become free for reuse.
//    Dying before (b) is on disk leaves the old valid header over untouched old trees and old
//    maps. Dying between (b) and (d) leaves the old trees under a header that says the maps
//    are being rewritten, which tells a reader to rebuild them ([MS-PST] 2.6.1.3.7). After
//    (d) the new store is complete.
// 3. The file grows by whole regions, in steps of an eighth of its size (at least about 4 MB,
//    at most NdbOptions::maxGrowthRegions), and the growth is committed before any block goes
//    there: extend the file and write the new regions' map pages (all free but the maps
//    themselves), sync; write the last commit's header again naming the new end of file,
//    sync. An FMap page says of regions yet to come what a new region holds, so no map page
//    of an older region changes. The file sink takes these steps in a child process that the
//    writer waits for (Sink::growAndCommit), so a writer killed meanwhile still leaves them
//    done: the file's size is always the end of file of the header on disk.
// A header write spans two disk sectors; the protocol relies on it reaching the disk whole,
// as every PST writer must.
//
// Errors: the first failure of the sink is kept and thrown again by every later call; the
// file then stays as its last durable header describes it.

#include "pst/ndb/ndb_writer.h"

#include "pst/io/crc.h"
#include "pst/io/sticky_failure.h"
#include "pst/ndb/block.h"
#include "pst/ndb/btree.h"
#include "pst/ndb/child_table.h"
#include "pst/ndb/fingerprint.h"
#include "pst/ndb/header.h"
#include "pst/ndb/map_pages.h"
#include "pst/ndb/space_map.h"
#include "text/ascii.h"
#include "pst/ndb/write_buffer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace tressimo::pst {
namespace {

using namespace ndb;

constexpr std::uint32_t kMaxNidIndex = (std::uint32_t{1} << 27) - 1;
// Row versions stop here, leaving the header writes that follow room to count above them.
constexpr std::uint32_t kMaxUnique = 0xFFFF0000;
constexpr Bid kFirstDataBid = 4;
constexpr Bid kFirstPageBid = 1;
// The smallest growth, in regions (about 4 MB), unless the options allow less.
constexpr std::size_t kMinGrowthRegions = 16;
// The most references a BBT entry counts (cRef is 16 bits).
constexpr std::uint16_t kMaxRef = 0xFFFF;

class NdbFileWriter final : public NdbWriter, private PageOutput
{
public:
    NdbFileWriter(std::unique_ptr<Sink> sink, const NdbOptions& options)
        : m_sink(std::move(sink)), m_options(options), m_out(*m_sink, options.writeBufferSize),
          m_failure(m_sink->name())
    {
    }

    void create()
    {
        guarded([&] {
            m_rgnid = initialNidHighWater();
            m_bidNextB = kFirstDataBid;
            m_bidNextP = kFirstPageBid;
            m_sink->resize(regionOffset(1));
            m_space.addRegion();
            writeFreshMapPages(0);
            m_changed = true;
            commitChanges();
        });
    }

    void putNode(Nid nid, Nid parent, const NodeContent& content) override
    {
        throwIfFailed();
        validateNode(nid, content);
        guarded([&] {
            std::optional<NodeEntry> previous;
            if (const NodeEntry* old = m_nbt.find(nid.value))
                previous = *old;
            Reusable reusable;
            if (previous) {
                collectReusable(previous->data, reusable);
                collectReusable(previous->sub, reusable);
            }
            Bid data = storeStream(content.data, reusable);
            Bid sub = storeSubnodes(content.subnodes, reusable);
            m_nbt.upsert(NodeEntry{nid.value, parent.value, data, sub});
            // Released after the new references are counted, so a node put again over a
            // shared block never lets it drop to nothing in between.
            if (previous) {
                dropRef(previous->data);
                dropRef(previous->sub);
            }
            raiseHighWater(nid);
            m_changed = true;
        });
    }

    void deleteNode(Nid nid) override
    {
        guarded([&] {
            const NodeEntry* found = m_nbt.find(nid.value);
            if (!found)
                return;
            NodeEntry entry = *found;
            m_nbt.erase(nid.value);
            dropRef(entry.data);
            dropRef(entry.sub);
            m_changed = true;
        });
    }

    std::optional<NodeInfo> findNode(Nid nid) const override
    {
        throwIfFailed();
        const NodeEntry* entry = m_nbt.find(nid.value);
        if (!entry)
            return std::nullopt;
        return NodeInfo{Nid{entry->nid}, Nid{entry->parent}, entry->data, entry->sub};
    }

    Nid allocateNid(NidType type) override
    {
        throwIfFailed();
        std::uint32_t& last = m_rgnid[static_cast<std::size_t>(type)];
        if (last >= kMaxNidIndex)
            throw std::length_error("No node identifiers of type " + text::hexNumber(static_cast<unsigned>(type)) +
                                    " are left in \"" + m_sink->name() + "\"");
        ++last;
        m_changed = true;
        return Nid::make(type, last);
    }

    void reserveNid(Nid nid) override
    {
        throwIfFailed();
        raiseHighWater(nid);
        m_changed = true;
    }

    std::uint32_t nextUnique() override
    {
        throwIfFailed();
        if (m_unique >= kMaxUnique)
            throw std::length_error("No row versions are left in \"" + m_sink->name() + "\"");
        return ++m_unique;
    }

    void commit() override
    {
        guarded([&] { commitChanges(); });
    }

    std::uint64_t fileSize() const override
    {
        throwIfFailed();
        return regionOffset(m_space.regionCount());
    }

private:
    // --- errors -----------------------------------------------------------------------------

    void throwIfFailed() const { m_failure.throwIfFailed(); }

    // Runs a step that writes; its first failure sticks.
    template <typename F> void guarded(F&& step) { m_failure.guard(std::forward<F>(step)); }

    // --- checking what callers hand in (before anything is written) -----------------------

    // Where in a node a problem lies: the node, then each subnode on the way down. Only a
    // refusal spells it out, so checking a sound node allocates nothing.
    struct Where
    {
        const Where* outer = nullptr;
        std::uint32_t nid = 0;
        std::string text() const
        {
            return outer ? outer->text() + ", subnode " + text::hexNumber(nid) : "node " + text::hexNumber(nid);
        }
    };
    // Blocks a node shares and how often (few: a node shares a template's block or two).
    using SharedUses = std::vector<std::pair<Bid, std::uint32_t>>;

    void validateNode(Nid nid, const NodeContent& content) const
    {
        if (nid.value == 0)
            throw std::invalid_argument("Node identifier 0 is not a valid node");
        const Where node{nullptr, nid.value};
        m_sharedUses.clear();
        validateStream(content.data, node, m_sharedUses);
        validateSubnodes(content.subnodes, node, m_sharedUses);
        for (auto [bid, uses] : m_sharedUses) {
            const BlockEntry* entry = m_bbt.find(bid);
            if (!entry)
                throw std::invalid_argument(node.text() + " shares block " + text::hexNumber(bid) +
                                            ", which does not exist");
            if (entry->cRef + uses > kMaxRef)
                throw std::invalid_argument(node.text() + " shares block " + text::hexNumber(bid) +
                                            " more often than a block can be");
        }
    }

    static void validateStream(const NodeStream& stream, const Where& where, SharedUses& shared)
    {
        if (stream.sharedBid != 0) {
            if (!stream.blocks.empty())
                throw std::invalid_argument(where.text() + " has both its own blocks and a shared block");
            const auto it = std::find_if(shared.begin(), shared.end(),
                                         [&](const auto& use) { return use.first == stream.sharedBid; });
            if (it != shared.end())
                ++it->second;
            else
                shared.emplace_back(stream.sharedBid, 1);
            return;
        }
        if (stream.source) {
            if (!stream.blocks.empty())
                throw std::invalid_argument(where.text() + " has both its own blocks and a source of bytes");
            if (stream.source->size() > 0xFFFFFFFF)
                throw std::invalid_argument(where.text() + " holds more than 4 GB of data");
            return;
        }
        if (stream.blocks.size() > kXBlockMax * kXBlockMax)
            throw std::invalid_argument(where.text() + " has more blocks than a data tree holds");
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < stream.blocks.size(); ++i) {
            if (stream.blocks[i].size() > kMaxBlockData)
                throw std::invalid_argument(where.text() + ": block " + std::to_string(i) + " holds " +
                                            std::to_string(stream.blocks[i].size()) +
                                            " bytes; a block holds at most 8176");
            total += stream.blocks[i].size();
        }
        if (total > 0xFFFFFFFF)
            throw std::invalid_argument(where.text() + " holds more than 4 GB of data");
    }

    static void validateSubnodes(const std::vector<SubnodeContent>& subnodes, const Where& where,
                                 SharedUses& shared)
    {
        if (subnodes.size() > kSLBlockMax * kSIBlockMax)
            throw std::invalid_argument(where.text() + " has more subnodes than a subnode tree holds");
        // Repeated identifiers: compared pairwise while there are few, else sorted.
        constexpr std::size_t kFewSubnodes = 16;
        std::vector<std::uint32_t> sortedNids;
        if (subnodes.size() > kFewSubnodes) {
            sortedNids.reserve(subnodes.size());
            for (const SubnodeContent& sub : subnodes)
                sortedNids.push_back(sub.nid.value);
            std::sort(sortedNids.begin(), sortedNids.end());
        }
        for (std::size_t i = 0; i < subnodes.size(); ++i) {
            const SubnodeContent& sub = subnodes[i];
            const Where inner{&where, sub.nid.value};
            if (sub.nid.value == 0)
                throw std::invalid_argument(where.text() + " has a subnode with identifier 0");
            bool repeated = false;
            if (subnodes.size() <= kFewSubnodes) {
                for (std::size_t k = 0; k < i && !repeated; ++k)
                    repeated = subnodes[k].nid == sub.nid;
            } else {
                const auto first = std::lower_bound(sortedNids.begin(), sortedNids.end(), sub.nid.value);
                // Reported at the second appearance, as the walk in order meets it.
                repeated = first + 1 != sortedNids.end() && first[1] == sub.nid.value &&
                           std::any_of(subnodes.begin(), subnodes.begin() + static_cast<std::ptrdiff_t>(i),
                                       [&](const SubnodeContent& s) { return s.nid == sub.nid; });
            }
            if (repeated)
                throw std::invalid_argument(inner.text() + " appears twice");
            validateStream(sub.data, inner, shared);
            validateSubnodes(sub.subnodes, inner, shared);
        }
    }

    // --- blocks, data trees, subnode trees, reference counts -------------------------------

    std::uint64_t allocate(std::uint32_t bytes, bool page)
    {
        std::uint64_t ib = m_space.allocate(bytes, page);
        if (ib == 0) {
            grow();
            ib = m_space.allocate(bytes, page);
            assert(ib != 0);
        }
        return ib;
    }

    // Writes a new block. It starts with two references: the BBT's own and that of whatever
    // will point to it (a node, an SLENTRY, an XBLOCK or SIBLOCK).
    Bid writeBlock(ByteView data, bool internal, std::span<const Bid> children = {})
    {
        Bid bid = m_bidNextB | (internal ? kBidInternalFlag : 0);
        m_bidNextB += kBidStep;
        const std::uint32_t size = blockDiskSize(data.size());
        std::uint64_t ib = allocate(size, false);
        encodeBlockInto(data, bid, ib, m_options.cryptMethod, m_out.claim(ib, size));
        m_out.release();
        m_bbt.upsert(
            BlockEntry{bid, ib, static_cast<std::uint16_t>(data.size()), 2, m_children.add(children)});
        return bid;
    }

    // Blocks of the data trees of a node being replaced, by content hash.
    using Reusable = std::unordered_map<std::uint64_t, Bid>;

    void collectReusable(Bid bid, Reusable& reusable) const
    {
        if (bid == 0)
            return;
        if (auto print = m_prints.find(bid); print != m_prints.end()) {
            reusable.emplace(print->second.hash, bid);
            return;
        }
        if (!isInternalBid(bid))
            return;
        const BlockEntry* entry = m_bbt.find(bid);
        assert(entry);
        for (Bid child : m_children.get(entry->children))
            collectReusable(child, reusable);
    }

    Bid storeStream(const NodeStream& stream, Reusable& reusable)
    {
        if (stream.sharedBid != 0) {
            addRef(stream.sharedBid);
            return stream.sharedBid;
        }
        if (stream.source)
            return storeSource(*stream.source);
        if (stream.blocks.empty())
            return 0;
        if (stream.blocks.size() == 1)
            return writeBlock(stream.blocks.front(), false);
        // A data tree: a block its node held before, unchanged, is kept with one more
        // reference instead of being written again ([MS-PST] 2.6.1.2.3), so that putting a
        // large table again costs only the blocks that changed.
        std::vector<Bid> leaves;
        leaves.reserve(stream.blocks.size());
        std::uint64_t total = 0;
        for (const Bytes& block : stream.blocks) {
            total += block.size();
            Fingerprint print = fingerprint(block);
            auto same = reusable.find(print.hash);
            const bool identical = same != reusable.end() && m_prints.at(same->second) == print;
            if (identical && m_bbt.find(same->second)->cRef < kMaxRef) {
                addRef(same->second);
                leaves.push_back(same->second);
                continue;
            }
            // Identical blocks by the ten thousand (one value repeated row after row) would
            // count past what a BBT entry holds: the block is written again, and the copy is
            // the one shared from here on.
            Bid bid = writeBlock(block, false);
            m_prints.emplace(bid, print);
            leaves.push_back(bid);
            if (identical)
                same->second = bid;
        }
        return writeDataTree(leaves, total, [&](std::size_t first, std::size_t count) {
            std::uint64_t bytes = 0;
            for (std::size_t i = first; i < first + count; ++i)
                bytes += stream.blocks[i].size();
            return bytes;
        });
    }

    // The XBLOCK over a data tree's leaves, or past 1021 leaves full XBLOCKs under one XXBLOCK;
    // bytesIn(first, count) is what the leaves [first, first + count) hold.
    template <class BytesIn>
    Bid writeDataTree(const std::vector<Bid>& leaves, std::uint64_t total, BytesIn bytesIn)
    {
        if (leaves.size() <= kXBlockMax)
            return writeBlock(encodeXBlock(1, leaves, static_cast<std::uint32_t>(total)), true, leaves);
        std::vector<Bid> xblocks;
        for (std::size_t first = 0; first < leaves.size(); first += kXBlockMax) {
            const std::size_t count = std::min(kXBlockMax, leaves.size() - first);
            std::span<const Bid> chunk(leaves.data() + first, count);
            const auto bytes = static_cast<std::uint32_t>(bytesIn(first, count));
            xblocks.push_back(writeBlock(encodeXBlock(1, chunk, bytes), true, chunk));
        }
        return writeBlock(encodeXBlock(2, xblocks, static_cast<std::uint32_t>(total)), true, xblocks);
    }

    // A plain stream made as it is stored: one block is in memory at a time.
    Bid storeSource(StreamSource& source)
    {
        const std::uint64_t total = source.size();
        if (total == 0)
            return 0;
        m_sourceBlock.resize(kMaxBlockData);
        std::vector<Bid> leaves;
        leaves.reserve(static_cast<std::size_t>((total + kMaxBlockData - 1) / kMaxBlockData));
        for (std::uint64_t at = 0; at < total; at += kMaxBlockData) {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kMaxBlockData, total - at));
            source.read(m_sourceBlock.data(), size);
            leaves.push_back(writeBlock(ByteView(m_sourceBlock.data(), size), false));
        }
        if (leaves.size() == 1)
            return leaves.front();
        return writeDataTree(leaves, total, [&](std::size_t first, std::size_t count) {
            return std::min<std::uint64_t>(count * kMaxBlockData, total - first * kMaxBlockData);
        });
    }

    Bid storeSubnodes(const std::vector<SubnodeContent>& subnodes, Reusable& reusable, std::size_t depth = 0)
    {
        if (subnodes.empty())
            return 0;
        // Each level of the subnode tree reuses its own lists from node to node.
        if (m_subnodeScratch.size() <= depth)
            m_subnodeScratch.resize(depth + 1);
        SubnodeScratch& scratch = m_subnodeScratch[depth];
        std::vector<const SubnodeContent*>& sorted = scratch.sorted;
        sorted.clear();
        for (const SubnodeContent& sub : subnodes)
            sorted.push_back(&sub);
        std::sort(sorted.begin(), sorted.end(), [](const SubnodeContent* a, const SubnodeContent* b) {
            return a->nid.value < b->nid.value;
        });
        std::vector<SubnodeLeafEntry>& entries = scratch.entries;
        entries.clear();
        for (const SubnodeContent* sub : sorted)
            entries.push_back(SubnodeLeafEntry{sub->nid.value, storeStream(sub->data, reusable),
                                               storeSubnodes(sub->subnodes, reusable, depth + 1)});
        if (entries.size() <= kSLBlockMax)
            return writeSubnodeLeaf(entries);
        // Past 340 subnodes: SLBLOCKs of even size under one SIBLOCK.
        std::size_t blocks = (entries.size() + kSLBlockMax - 1) / kSLBlockMax;
        std::vector<SubnodeIndexEntry> index;
        std::vector<Bid> leaves;
        for (std::size_t b = 0, first = 0; b < blocks; ++b) {
            std::size_t count = (entries.size() - first) / (blocks - b);
            std::span<const SubnodeLeafEntry> chunk(entries.data() + first, count);
            Bid bid = writeSubnodeLeaf(chunk);
            index.push_back(SubnodeIndexEntry{chunk.front().nid, bid});
            leaves.push_back(bid);
            first += count;
        }
        return writeBlock(encodeSIBlock(index), true, leaves);
    }

    Bid writeSubnodeLeaf(std::span<const SubnodeLeafEntry> entries)
    {
        m_leafChildren.clear();
        for (const SubnodeLeafEntry& e : entries) {
            if (e.data != 0)
                m_leafChildren.push_back(e.data);
            if (e.sub != 0)
                m_leafChildren.push_back(e.sub);
        }
        encodeSLBlock(entries, m_leafBytes);
        return writeBlock(m_leafBytes, true, m_leafChildren);
    }

    void addRef(Bid bid)
    {
        BlockEntry* entry = m_bbt.findForUpdate(bid);
        assert(entry && entry->cRef < kMaxRef);
        ++entry->cRef;
    }

    // Drops one reference; a block left with only the BBT's own goes, and with it one
    // reference to each block it points to ([MS-PST] 2.6.1.1.7).
    void dropRef(Bid bid)
    {
        if (bid == 0)
            return;
        BlockEntry* entry = m_bbt.findForUpdate(bid);
        assert(entry && entry->cRef > 1);
        if (--entry->cRef > 1)
            return;
        BlockEntry gone = *entry;
        m_bbt.erase(bid);
        m_prints.erase(bid);
        m_space.release(gone.ib, blockDiskSize(gone.cb));
        for (Bid child : m_children.take(gone.children))
            dropRef(child);
    }

    void raiseHighWater(Nid nid)
    {
        std::uint32_t& last = m_rgnid[static_cast<std::size_t>(nid.type())];
        last = std::max(last, nid.index());
    }

    // --- pages of the B-trees -----------------------------------------------------------------

    BlockRef newPage() override
    {
        BlockRef ref;
        ref.bid = m_bidNextP++;
        ref.ib = allocate(kPageSize, true);
        return ref;
    }

    void dropPage(const BlockRef& page) override { m_space.release(page.ib, kPageSize); }

    void writePage(const BlockRef& page, const Page& bytes) override { m_out.write(page.ib, bytes); }

    // --- maps, header, commits ----------------------------------------------------------------

    void syncAll()
    {
        m_out.flush();
        m_sink->sync();
    }

    void writeHeader(Header header)
    {
        header.dwUnique = ++m_unique;
        HeaderBytes bytes = encodeHeader(header);
        m_out.write(0, bytes);
    }

    void writeFreshMapPages(std::size_t region)
    {
        std::uint64_t ib = regionOffset(region);
        m_out.write(ib, encodeAMap(m_space.bits(region, SpaceMap::View::Committed), ib));
        RegionLayout layout = regionLayout(region);
        if (layout.pmap)
            m_out.write(pmapOffset(region), encodePMap(pmapOffset(region)));
        if (layout.fpmap)
            m_out.write(fpmapOffset(region), encodeFPMap(fpmapOffset(region)));
    }

    void writeFMap(std::size_t fmapRegion, SpaceMap::View view)
    {
        m_out.write(fmapOffset(fmapRegion), fmapPage(fmapRegion, view));
    }

    Page fmapPage(std::size_t fmapRegion, SpaceMap::View view) const
    {
        // Regions yet to come are said to have what a new region has (far more than 255 free
        // slots in a row), so that growing the file never has to rewrite an FMap in place.
        std::array<std::uint8_t, kPageDataSize> runs;
        runs.fill(255);
        for (std::size_t i = 0; i < runs.size() && fmapRegion + i < m_space.regionCount(); ++i)
            runs[i] = static_cast<std::uint8_t>(
                std::min<std::uint32_t>(255, m_space.longestFreeRun(fmapRegion + i, view)));
        return encodeFMap(runs, fmapOffset(fmapRegion));
    }

    void writeDList(SpaceMap::View view, Bid bid)
    {
        std::vector<DListEntry> entries;
        entries.reserve(m_space.regionCount());
        for (std::size_t r = 0; r < m_space.regionCount(); ++r)
            entries.push_back(DListEntry{static_cast<std::uint32_t>(r), m_space.freeSlots(r, view)});
        std::stable_sort(entries.begin(), entries.end(),
                         [](const DListEntry& a, const DListEntry& b) { return a.freeSlots > b.freeSlots; });
        if (entries.size() > kDListMaxEntries)
            entries.resize(kDListMaxEntries);
        m_out.write(kDListOffset, encodeDList(entries, entries.empty() ? 0 : entries.front().amap, bid));
    }

    // FMap pages that cover any of the given regions.
    static std::set<std::size_t> fmapsOver(const std::vector<std::size_t>& regions)
    {
        std::set<std::size_t> fmaps;
        for (std::size_t r : regions)
            if (r >= kAMapsBeforeFirstFMap)
                fmaps.insert(fmapRegionFor(r));
        return fmaps;
    }

    // The file grows by whole regions, and the growth is a commit of its own before any block
    // goes there (see 3 above). Each growth waits for the disk, so the steps are large.
    void grow()
    {
        const std::size_t regions = m_space.regionCount();
        const std::size_t limit = std::max<std::size_t>(1, m_options.maxGrowthRegions);
        const std::size_t added =
            std::clamp<std::size_t>(regions / 8, std::min<std::size_t>(kMinGrowthRegions, limit), limit);

        std::vector<std::size_t> fresh;
        for (std::size_t i = 0; i < added; ++i) {
            m_space.addRegion();
            fresh.push_back(regions + i);
        }
        if (m_committed.ibFileEof == 0) {
            // The store's creation: its first commit names the whole file.
            m_out.flush();
            m_sink->resize(regionOffset(m_space.regionCount()));
            for (std::size_t r : fresh)
                writeFreshMapPages(r);
            return;
        }
        // The new regions' map pages (an FMap in a new region included; one of an older
        // region already says what the new ones hold), then the last commit's header naming
        // the new regions.
        std::vector<Page> pages;
        std::vector<Sink::Piece> pieces;
        pages.reserve(4 * fresh.size());
        auto add = [&](std::uint64_t ib, const Page& page) {
            pages.push_back(page);
            pieces.push_back(Sink::Piece{ib, ByteView(pages.back().data(), pages.back().size())});
        };
        for (std::size_t r : fresh) {
            add(regionOffset(r), encodeAMap(m_space.bits(r, SpaceMap::View::Committed), regionOffset(r)));
            const RegionLayout layout = regionLayout(r);
            if (layout.pmap)
                add(pmapOffset(r), encodePMap(pmapOffset(r)));
            if (layout.fmap)
                add(fmapOffset(r), fmapPage(r, SpaceMap::View::Committed));
            if (layout.fpmap)
                add(fpmapOffset(r), encodeFPMap(fpmapOffset(r)));
        }
        Header grown = m_committed;
        grown.ibFileEof = regionOffset(m_space.regionCount());
        grown.ibAMapLast = regionOffset(m_space.regionCount() - 1);
        grown.cbAMapFree = m_space.freeBytes(SpaceMap::View::Committed);
        grown.dwUnique = ++m_unique;
        const HeaderBytes header = encodeHeader(grown);
        m_out.flush();
        m_sink->growAndCommit(grown.ibFileEof, pieces,
                              Sink::Piece{0, ByteView(header.data(), header.size())});
        m_committed = grown;
    }

    void commitChanges()
    {
        if (!m_changed)
            return;
        // The density list takes the first page BID of the commit: no page shares it, and the
        // header on disk at any moment of the commit counts past it or up to it, as Outlook's
        // does ([MS-PST] 2.2.2.7.1).
        Bid dlistBid = m_bidNextP++;
        BlockRef nbt = m_nbt.flush(*this);
        BlockRef bbt = m_bbt.flush(*this);

        if (m_committed.ibFileEof != 0) {
            Header invalid = m_committed;
            invalid.fAMapValid = kAMapInvalid;
            writeHeader(invalid);
        }
        syncAll();

        std::vector<std::size_t> changed;
        for (std::size_t r = 0; r < m_space.regionCount(); ++r)
            if (m_space.dirty(r))
                changed.push_back(r);
        for (std::size_t r : changed)
            m_out.write(regionOffset(r),
                        encodeAMap(m_space.bits(r, SpaceMap::View::Working), regionOffset(r)));
        for (std::size_t f : fmapsOver(changed))
            writeFMap(f, SpaceMap::View::Working);
        writeDList(SpaceMap::View::Working, dlistBid);
        syncAll();

        Header header;
        header.bidNextP = m_bidNextP;
        header.bidNextB = m_bidNextB;
        header.rgnid = m_rgnid;
        header.ibFileEof = regionOffset(m_space.regionCount());
        header.ibAMapLast = regionOffset(m_space.regionCount() - 1);
        header.cbAMapFree = m_space.freeBytes(SpaceMap::View::Working);
        header.nbt = nbt;
        header.bbt = bbt;
        header.fAMapValid = kAMapValid;
        header.cryptMethod = m_options.cryptMethod;
        writeHeader(header);
        syncAll();

        m_committed = header;
        m_space.commitDone();
        m_changed = false;
    }

    std::unique_ptr<Sink> m_sink;
    NdbOptions m_options;
    WriteBuffer m_out;
    SpaceMap m_space;
    BTreeIndex<NodeTreeTraits> m_nbt;
    BTreeIndex<BlockTreeTraits> m_bbt;
    ChildTable m_children;
    std::unordered_map<Bid, Fingerprint> m_prints; // the data blocks of data trees
    Header m_committed{};                          // the header on disk; ibFileEof 0 until the first commit
    std::array<std::uint32_t, kNidTypeCount> m_rgnid{};
    Bid m_bidNextB = 0;
    Bid m_bidNextP = 0;
    std::uint32_t m_unique = 0;
    bool m_changed = false;
    StickyFailure m_failure;
    mutable SharedUses m_sharedUses; // validateNode's scratch
    // storeSubnodes' lists by level, and writeSubnodeLeaf's: reused from node to node.
    struct SubnodeScratch
    {
        std::vector<const SubnodeContent*> sorted;
        std::vector<SubnodeLeafEntry> entries;
    };
    std::deque<SubnodeScratch> m_subnodeScratch; // a deque: growing it keeps the levels in use in place
    std::vector<Bid> m_leafChildren;
    Bytes m_leafBytes;
    Bytes m_sourceBlock; // storeSource's block
};

} // namespace

std::unique_ptr<NdbWriter> NdbWriter::create(std::unique_ptr<Sink> sink, const NdbOptions& options)
{
    if (options.cryptMethod > 1)
        throw std::invalid_argument("Only unencoded (0) and permute-encoded (1) files can be written");
    auto writer = std::make_unique<NdbFileWriter>(std::move(sink), options);
    writer->create();
    return writer;
}

} // namespace tressimo::pst
