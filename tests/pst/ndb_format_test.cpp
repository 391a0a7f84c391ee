// The node database's encoders against Outlook's own bytes, and the rules of file layout and
// space allocation.

#include "ndb_test_util.h"
#include "pst/io/permute.h"
#include "pst/ndb/block.h"
#include "pst/ndb/header.h"
#include "pst/ndb/page.h"
#include "pst/ndb/space_map.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tressimo::pst::testing {
namespace {

using namespace ndb;

class NdbOutlookBytes : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        file = readFileBytes(referencePst(GetParam()));
        ASSERT_GT(file.size(), 0x4400u);
    }
    Bytes file;
};

// Sealing a page of Outlook's with its type, BID and offset gives Outlook's trailer back:
// type, signature, CRC and BID all agree.
TEST_P(NdbOutlookBytes, SealedPagesMatchOutlooks)
{
    struct Known
    {
        std::uint64_t ib;
        PageType type;
        Bid bid;
    };
    std::vector<Known> pages = {{0x4400, PageType::AllocationMap, 0x4400},
                                {0x4600, PageType::PageMap, 0x4600},
                                {0x4200, PageType::DensityList, getU64(file.data() + 0x4200 + 504)}};
    // Every B-tree page, found from the header's roots.
    std::vector<std::pair<std::uint64_t, Bid>> todo = {
        {getU64(file.data() + 0xB4 + 44), getU64(file.data() + 0xB4 + 36)},
        {getU64(file.data() + 0xB4 + 60), getU64(file.data() + 0xB4 + 52)}};
    while (!todo.empty()) {
        auto [ib, bid] = todo.back();
        todo.pop_back();
        const std::uint8_t* p = file.data() + ib;
        pages.push_back({ib, static_cast<PageType>(p[496]), bid});
        if (p[491] > 0)
            for (int i = 0; i < p[488]; ++i)
                todo.push_back({getU64(p + 24 * i + 16), getU64(p + 24 * i + 8)});
    }
    ASSERT_GT(pages.size(), 6u);
    for (const Known& k : pages) {
        Page page;
        std::memcpy(page.data(), file.data() + k.ib, kPageSize);
        std::fill(page.begin() + kPageDataSize, page.end(), 0);
        sealPage(page, k.type, k.bid, k.ib);
        EXPECT_TRUE(std::equal(page.begin(), page.end(), file.begin() + static_cast<std::ptrdiff_t>(k.ib)))
            << "page at " << std::hex << k.ib;
    }
}

// Encoding a block's plain data at its BID and offset gives Outlook's stored data and
// trailer (encoding, signature, CRC); only the padding, which Outlook leaves unset, may differ.
TEST_P(NdbOutlookBytes, EncodedBlocksMatchOutlooks)
{
    const PstFilePtr reader = readPst(file);
    ASSERT_GT(reader->blocks().size(), 30u);
    for (const check::BlockEntry& block : reader->blocks()) {
        const Bid bid = block.bid;
        Bytes plain = storedBlock(*reader, bid);
        if (!(bid & 2))
            permuteDecode(plain.data(), plain.size());
        Bytes encoded;
        encodeBlock(plain, bid, block.ib, 1, encoded);
        std::size_t size = blockDiskSize(block.cb);
        ASSERT_EQ(encoded.size(), size);
        const std::uint8_t* stored = file.data() + block.ib;
        EXPECT_TRUE(std::equal(encoded.begin(), encoded.begin() + block.cb, stored)) << std::hex << bid;
        EXPECT_TRUE(std::equal(encoded.end() - 16, encoded.end(), stored + size - 16)) << std::hex << bid;
    }
}

// Our header with Outlook's values is Outlook's header, apart from the fields the format
// leaves to the implementation (Outlook puts junk there; a new file gets zeros) and the CRCs
// over them.
TEST_P(NdbOutlookBytes, HeaderEncodesLikeOutlooks)
{
    const check::Header theirs = readPst(file)->header();
    Header h;
    h.bidNextP = theirs.bidNextP;
    h.bidNextB = theirs.bidNextB;
    h.dwUnique = theirs.unique;
    h.rgnid = theirs.rgnid;
    h.ibFileEof = theirs.fileEof;
    h.ibAMapLast = theirs.amapLast;
    h.cbAMapFree = theirs.amapFree;
    h.nbt = {theirs.nbt.bid, theirs.nbt.ib};
    h.bbt = {theirs.bbt.bid, theirs.bbt.ib};
    h.fAMapValid = theirs.amapValid;
    h.cryptMethod = theirs.cryptMethod;
    HeaderBytes ours = encodeHeader(h);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        bool implementationDefined = (i >= 0x10 && i < 0x18) || (i >= 0x210) || (i >= 0xAC && i < 0xB4) ||
                                     (i >= 0xD0 && i < 0xD8) || (i >= 0x100 && i < 0x200);
        bool crc = (i >= 4 && i < 8) || (i >= 0x20C && i < 0x210);
        if (!implementationDefined && !crc) {
            EXPECT_EQ(ours[i], file[i]) << "header byte " << std::hex << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Outlook, NdbOutlookBytes,
                         ::testing::Values("outlook-empty.pst", "outlook2007-contacts-distlist.pst"));

// ---- layout rules ------------------------------------------------------------------------

struct LayoutCase
{
    std::uint64_t region;
    bool pmap, fmap, fpmap;
};

using NdbRegionLayout = ::testing::TestWithParam<LayoutCase>;

TEST_P(NdbRegionLayout, PlacesMapPagesWhereTheFormatWantsThem)
{
    LayoutCase c = GetParam();
    RegionLayout layout = regionLayout(c.region);
    EXPECT_EQ(layout.pmap, c.pmap);
    EXPECT_EQ(layout.fmap, c.fmap);
    EXPECT_EQ(layout.fpmap, c.fpmap);
    EXPECT_EQ(regionOffset(c.region), 0x4400 + c.region * 253952);
}

INSTANTIATE_TEST_SUITE_P(
    Regions, NdbRegionLayout,
    ::testing::Values(LayoutCase{0, true, false, false}, LayoutCase{1, false, false, false},
                      LayoutCase{8, true, false, false}, LayoutCase{127, false, false, false},
                      LayoutCase{128, true, true, false}, LayoutCase{129, false, false, false},
                      LayoutCase{624, true, true, false}, LayoutCase{8064, true, true, false},
                      LayoutCase{8192, true, false, true}, LayoutCase{8192 + 31744, true, false, true}));

// ---- space allocation --------------------------------------------------------------------

TEST(NdbSpaceMap, CommittedSpaceWaitsForTheNextCommit)
{
    SpaceMap map;
    map.addRegion();
    std::uint32_t startFree = map.freeSlots(0, SpaceMap::View::Working);
    EXPECT_EQ(startFree, 3968u - 16u) << "AMap and PMap pages are in use";

    std::vector<std::uint64_t> blocks;
    while (std::uint64_t ib = map.allocate(8192, false))
        blocks.push_back(ib);
    EXPECT_EQ(blocks.size(), 30u);

    // Allocated and released again before any commit: never on record, free at once.
    map.release(blocks[5], 8192);
    EXPECT_EQ(map.allocate(8192, false), blocks[5]);
    map.commitDone();

    // Released but on record: not handed out again until a commit records it free.
    map.release(blocks[3], 8192);
    EXPECT_EQ(map.allocate(8192, false), 0u);
    EXPECT_EQ(map.freeSlots(0, SpaceMap::View::Working) - map.freeSlots(0, SpaceMap::View::Committed), 128u);
    map.commitDone();
    EXPECT_EQ(map.allocate(8192, false), blocks[3]);
}

TEST(NdbSpaceMap, PagesAreAlignedAndRunsNeverCrossARegion)
{
    SpaceMap map;
    map.addRegion();
    map.addRegion();
    std::uint64_t block = map.allocate(64, false);
    std::uint64_t page = map.allocate(512, true);
    EXPECT_EQ(block, 0x4800u);
    EXPECT_EQ(page % 512, 0u);
    EXPECT_GT(page, block);
    std::uint64_t total = 0;
    while (std::uint64_t ib = map.allocate(8192, false)) {
        std::uint64_t region = (ib - 0x4400) / 253952;
        EXPECT_EQ((ib + 8191 - 0x4400) / 253952, region) << std::hex << ib;
        total += 8192;
    }
    EXPECT_EQ(total, 60u * 8192);
    EXPECT_EQ(map.longestFreeRun(1, SpaceMap::View::Working), 3968u - 8 - 30 * 128);
}

} // namespace
} // namespace tressimo::pst::testing
