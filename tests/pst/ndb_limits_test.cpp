// The node database at the format's limits: more sharers of one block than its 16-bit
// reference count holds, and the map pages of the regions past 2 GB, where the writer and the
// checker must agree on every page's place.

#include "ndb_test_util.h"
#include "pst/ndb/format.h"

#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace tressimo::pst::testing {
namespace {

TEST(NdbLimits, MoreSharersThanAReferenceCountHoldsGetACopyOfTheBlock)
{
    // A table whose rows all hold the same value: 70,000 identical blocks, shared block by
    // block once the node is put again.
    constexpr std::size_t kBlocks = 70000;
    NodeContent table;
    table.data.blocks.assign(kBlocks, patternBytes(16, 7));
    MemoryStore store;
    const Nid nid{0x8E2E};
    for (int put = 0; put < 2; ++put)
        store.writer->putNode(nid, Nid{}, table);
    store.writer->commit();
    ASSERT_EQ(ndbErrors(store.bytes()), "") << "the checker counts every reference";
    const PstFilePtr file = readPst(store.bytes());
    std::vector<Bytes> data = file->readDataTree(nodeAt(*file, nid.value).bidData);
    EXPECT_EQ(data, table.data.blocks);
    std::set<std::uint64_t> leaves;
    for (const check::BlockEntry& b : file->blocks())
        if (b.cb == 16)
            leaves.insert(b.bid);
    EXPECT_EQ(leaves.size(), 2u) << "one block at the limit and one copy for the rest";
}

// Where the writer puts each map page of a region (and so where regions start), and where
// the checker requires them.
std::set<std::tuple<std::uint64_t, int>> writerMapPages(std::uint64_t first, std::uint64_t last)
{
    std::set<std::tuple<std::uint64_t, int>> pages;
    for (std::uint64_t r = first; r <= last; ++r) {
        const ndb::RegionLayout layout = ndb::regionLayout(r);
        pages.emplace(ndb::regionOffset(r), 0x84);
        if (layout.pmap)
            pages.emplace(ndb::pmapOffset(r), 0x83);
        if (layout.fmap)
            pages.emplace(ndb::fmapOffset(r), 0x82);
        if (layout.fpmap)
            pages.emplace(ndb::fpmapOffset(r), 0x85);
    }
    return pages;
}

TEST(NdbLimits, WriterAndCheckerPlaceTheMapPagesPast2GBAlike)
{
    // The first regions, a second PMap (region 8), the first FMaps (128, 624), the first FPMap
    // (region 8192, at 2 GB) and the second (region 39936).
    for (std::uint64_t boundary : {2, 8, 128, 624, 8064, 8192, 8192 + 31744}) {
        SCOPED_TRACE("region " + std::to_string(boundary));
        const std::uint64_t first = boundary - 2, last = boundary + 2;
        std::set<std::tuple<std::uint64_t, int>> required;
        for (const check::MapPage& m : check::requiredMapPages(ndb::regionOffset(last + 1)))
            if (m.region >= first)
                required.emplace(m.offset, static_cast<int>(m.type));
        EXPECT_EQ(required, writerMapPages(first, last));
    }
}

} // namespace
} // namespace tressimo::pst::testing
