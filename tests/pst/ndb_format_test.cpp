// The header encoder against Outlook's own bytes (the checker verifies every page's and
// block's trailer and CRC in the other tests), and the rules of space allocation.

#include "ndb_test_util.h"
#include "pst/ndb/header.h"
#include "pst/ndb/space_map.h"

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
