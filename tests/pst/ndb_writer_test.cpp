// The node database writer, read back with the checker's independent reader.

#include "ndb_test_util.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <stdexcept>

namespace tressimo::pst::testing {
namespace {

constexpr std::uint64_t kRegion = 253952;
constexpr std::uint64_t kFirstAMap = 0x4400;

Nid messageNid(std::uint32_t i)
{
    return Nid::make(NidType::NormalMessage, 0x10001 + i);
}

#define EXPECT_SOUND(bytes) EXPECT_EQ(ndbErrors(bytes), "")
using check::PageType;

// A new store's size, maps and counters are held to Outlook's by the messaging layer's
// structure test; node IDs and their high-water marks, by every store the tests write. A
// failing sink's first error sticks: the crash tests.

// ---- B-trees -----------------------------------------------------------------------------

struct TreeCase
{
    std::uint32_t nodes;
    int nbtLevels;
    int bbtLevels;
};

using NdbTreeDepth = ::testing::TestWithParam<TreeCase>;

// Nodes in order fill leaf pages completely (15 NBT entries, 20 BBT entries) and intermediate
// pages hold 20 children, so the depth follows from the counts.
TEST_P(NdbTreeDepth, GrowsLevelsAsPagesFill)
{
    TreeCase c = GetParam();
    MemoryStore store;
    for (std::uint32_t i = 0; i < c.nodes; ++i)
        store.writer->putNode(messageNid(i), Nid{0x8082}, singleBlock(patternBytes(20 + i % 50, i)));
    const PstFilePtr reader = commitAndRead(store);
    EXPECT_EQ(reader->nodes().size(), c.nodes);
    EXPECT_EQ(treeLevels(*reader, PageType::Nbt), c.nbtLevels);
    EXPECT_EQ(treeLevels(*reader, PageType::Bbt), c.bbtLevels);
}

INSTANTIATE_TEST_SUITE_P(Counts, NdbTreeDepth,
                         ::testing::Values(TreeCase{1, 1, 1}, TreeCase{15, 1, 1}, TreeCase{16, 2, 1},
                                           TreeCase{21, 2, 2}, TreeCase{300, 2, 2}, TreeCase{301, 3, 2},
                                           TreeCase{401, 3, 3}, TreeCase{6001, 4, 3}, TreeCase{20000, 4, 4}));

// Puts, replacements and deletions in random order, over several commits.
TEST(NdbTrees, StaySortedAndCompleteUnderRandomChanges)
{
    MemoryStore store;
    std::mt19937 random(42);
    std::map<std::uint32_t, Bytes> expected;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 900; ++i) {
            std::uint32_t index = random() % 3000;
            Nid nid = Nid::make(static_cast<NidType>(1 + random() % 18), 0x400 + index);
            if (random() % 4 == 0) {
                store.writer->deleteNode(nid);
                expected.erase(nid.value);
            } else {
                Bytes data = patternBytes(1 + random() % 3000, random());
                store.writer->putNode(nid, Nid{}, singleBlock(data));
                expected[nid.value] = data;
            }
        }
        store.writer->commit();
        ASSERT_EQ(ndbErrors(store.bytes()), "") << "round " << round;
        const PstFilePtr reader = readPst(store.bytes());
        ASSERT_EQ(reader->nodes().size(), expected.size());
        for (auto& [nid, data] : expected)
            ASSERT_EQ(reader->readData(nodeAt(*reader, nid).bidData), data) << std::hex << nid;
    }
}

// ---- data trees --------------------------------------------------------------------------

struct DataTreeCase
{
    std::size_t blocks;
    std::size_t blockSize;
    int depth; // 0 one block, 1 XBLOCK, 2 XXBLOCK
};

using NdbDataTree = ::testing::TestWithParam<DataTreeCase>;

TEST_P(NdbDataTree, KeepsBlocksAndTheirBoundaries)
{
    DataTreeCase c = GetParam();
    MemoryStore store;
    NodeContent content;
    for (std::size_t i = 0; i < c.blocks; ++i)
        content.data.blocks.push_back(patternBytes(c.blockSize - i % 7, static_cast<std::uint32_t>(i)));
    store.writer->putNode(messageNid(0), Nid{}, content);
    const PstFilePtr reader = commitAndRead(store);
    std::uint64_t root = nodeAt(*reader, messageNid(0).value).bidData;
    EXPECT_EQ(dataTreeDepth(*reader, root), c.depth);
    EXPECT_EQ(reader->readDataTree(root), content.data.blocks);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NdbDataTree,
                         ::testing::Values(DataTreeCase{1, 8176, 0}, DataTreeCase{2, 8176, 1},
                                           DataTreeCase{128, 8176, 1}, // a 1 MB value
                                           DataTreeCase{1021, 40, 1}, DataTreeCase{1022, 40, 2},
                                           DataTreeCase{2500, 30, 2}));

// ---- subnode trees -----------------------------------------------------------------------

struct SubnodeCase
{
    std::size_t count;
    int depth; // 0 SLBLOCK, 1 SIBLOCK
};

using NdbSubnodes = ::testing::TestWithParam<SubnodeCase>;

TEST_P(NdbSubnodes, AreSortedAndComplete)
{
    SubnodeCase c = GetParam();
    MemoryStore store;
    NodeContent content = singleBlock(patternBytes(200, 1));
    // Given in reverse order; the tree must be sorted by NID.
    for (std::size_t i = c.count; i-- > 0;) {
        SubnodeContent sub;
        sub.nid = Nid::make(NidType::Ltp, 0x400 + static_cast<std::uint32_t>(i) * 3);
        sub.data.blocks.push_back(patternBytes(10 + i % 30, static_cast<std::uint32_t>(i)));
        content.subnodes.push_back(sub);
    }
    store.writer->putNode(messageNid(0), Nid{}, content);
    const PstFilePtr reader = commitAndRead(store);
    std::uint64_t root = nodeAt(*reader, messageNid(0).value).bidSub;
    EXPECT_EQ(subnodeTreeDepth(*reader, root), c.depth);
    auto subnodes = reader->readSubnodes(root);
    ASSERT_EQ(subnodes.size(), c.count);
    for (std::size_t i = 0; i < c.count; ++i) {
        std::uint32_t nid = Nid::make(NidType::Ltp, 0x400 + static_cast<std::uint32_t>(i) * 3).value;
        ASSERT_EQ(subnodes[i].nid, nid);
        EXPECT_EQ(reader->readData(subnodes[i].bidData),
                  patternBytes(10 + i % 30, static_cast<std::uint32_t>(i)));
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, NdbSubnodes,
                         ::testing::Values(SubnodeCase{1, 0}, SubnodeCase{340, 0}, SubnodeCase{341, 1},
                                           SubnodeCase{2000, 1}));

// ---- reference counts --------------------------------------------------------------------

TEST(NdbReferenceCounts, CountEveryReferrerOfASharedBlock)
{
    MemoryStore store;
    Nid templ{0x60D};
    store.writer->putNode(templ, Nid{}, singleBlock(patternBytes(200, 1)));
    Bid shared = store.writer->findNode(templ)->dataBid;
    NodeContent empty;
    empty.data.sharedBid = shared;
    // Five folders' empty hierarchy tables point at the template's block, as Outlook's do.
    for (std::uint32_t i = 0; i < 5; ++i)
        store.writer->putNode(Nid::make(NidType::HierarchyTable, 0x401 + i), Nid{}, empty);
    // A subnode may share it too.
    NodeContent withSub = singleBlock(patternBytes(50, 2));
    withSub.subnodes.push_back(SubnodeContent{Nid{0x692}, empty.data, {}});
    store.writer->putNode(messageNid(0), Nid{}, withSub);
    store.writer->commit();
    EXPECT_SOUND(store.bytes()) << "the checker counts every referrer against the block's cRef";

    // Dropping referrers, and putting the template again, keeps the count exact; the shared
    // block lives as long as anything uses it.
    store.writer->deleteNode(Nid::make(NidType::HierarchyTable, 0x401));
    store.writer->deleteNode(Nid::make(NidType::HierarchyTable, 0x402));
    store.writer->putNode(templ, Nid{}, singleBlock(patternBytes(210, 3)));
    {
        const PstFilePtr reader = commitAndRead(store);
        EXPECT_EQ(cRefOf(*reader, shared), 1 + 3 + 1);
        EXPECT_EQ(reader->readData(nodeAt(*reader, Nid::make(NidType::HierarchyTable, 0x405).value).bidData),
                  patternBytes(200, 1));
    }

    for (std::uint32_t i = 2; i < 5; ++i)
        store.writer->deleteNode(Nid::make(NidType::HierarchyTable, 0x401 + i));
    store.writer->deleteNode(messageNid(0));
    const PstFilePtr reader = commitAndRead(store);
    EXPECT_EQ(reader->findBlock(shared), nullptr) << "the last referrer gone, the block goes";
    EXPECT_EQ(reader->blocks().size(), 1u);
}

// ---- replacing, deleting, reusing space --------------------------------------------------

// A node rewritten at every commit (as a folder's contents table is) must not make the file
// grow without end.
TEST(NdbSpace, RewritingANodeAtEveryCommitReusesSpace)
{
    MemoryStore store;
    for (std::uint32_t round = 0; round < 60; ++round) {
        NodeContent table;
        table.data.blocks = splitIntoBlocks(patternBytes(40000 + round * 100, round));
        store.writer->putNode(Nid{0x804E}, Nid{}, table);
        store.writer->putNode(messageNid(round), Nid{0x8042}, singleBlock(patternBytes(1500, round)));
        store.writer->commit();
    }
    EXPECT_LE(store.writer->fileSize(), kFirstAMap + 2 * kRegion);
    EXPECT_SOUND(store.bytes());
    const PstFilePtr reader = readPst(store.bytes());
    EXPECT_EQ(reader->readData(nodeAt(*reader, 0x804E).bidData), patternBytes(40000 + 59 * 100, 59));
}

// ---- growth ------------------------------------------------------------------------------

struct GrowthCase
{
    std::uint32_t maxGrowthRegions;
    std::uint32_t nodes;       // each one full block of 8192 bytes on disk
    std::uint64_t fileRegions; // expected size of the file
};

using NdbGrowth = ::testing::TestWithParam<GrowthCase>;

TEST_P(NdbGrowth, AddsWholeRegionsWithTheirMaps)
{
    GrowthCase c = GetParam();
    NdbOptions options;
    options.maxGrowthRegions = c.maxGrowthRegions;
    MemoryStore store(options);
    for (std::uint32_t i = 0; i < c.nodes; ++i) {
        store.writer->putNode(messageNid(i), Nid{}, singleBlock(patternBytes(8176, i)));
        if (i % 500 == 499)
            store.writer->commit();
    }
    store.writer->commit();
    EXPECT_EQ(store.bytes().size(), kFirstAMap + c.fileRegions * kRegion);
    EXPECT_SOUND(store.bytes());
    const PstFilePtr reader = readPst(store.bytes());
    EXPECT_EQ(reader->nodes().size(), c.nodes);
    for (std::uint32_t i = 0; i < c.nodes; i += 211)
        EXPECT_EQ(reader->readData(nodeAt(*reader, messageNid(i).value).bidData), patternBytes(8176, i));
}

INSTANTIATE_TEST_SUITE_P(Policies, NdbGrowth,
                         ::testing::Values(
                             // Exactly as Outlook: one region at a time; 30 full blocks and a few
                             // B-tree pages fill one.
                             GrowthCase{1, 29, 1}, GrowthCase{1, 31, 2}, GrowthCase{1, 150, 5},
                             // Past 128 regions (32.5 MB) the first FMap page appears; past 8 a
                             // second PMap. Steps of 16 regions, the most allowed here.
                             GrowthCase{16, 4200, 145}));

// ---- refused contents ----------------------------------------------------------------------------

struct BadNodeCase
{
    const char* name;
    std::function<void(NodeContent&, Bid existing)> spoil;
    Nid nid = messageNid(7);
};

using NdbBadNode = ::testing::TestWithParam<BadNodeCase>;

// Contents no file could hold are refused before anything is written, and the writer goes on.
TEST_P(NdbBadNode, IsRefusedWithoutHarm)
{
    MemoryStore store;
    store.writer->putNode(messageNid(0), Nid{}, singleBlock(patternBytes(10, 1)));
    store.writer->commit();
    Bid existing = store.writer->findNode(messageNid(0))->dataBid;
    Bytes before = store.bytes();

    NodeContent content = singleBlock(patternBytes(10, 2));
    GetParam().spoil(content, existing);
    EXPECT_THROW(store.writer->putNode(GetParam().nid, Nid{}, content), std::invalid_argument);
    EXPECT_EQ(store.bytes(), before);

    store.writer->putNode(messageNid(1), Nid{}, singleBlock(patternBytes(10, 3)));
    const PstFilePtr reader = commitAndRead(store);
    EXPECT_EQ(reader->nodes().size(), 2u);
    EXPECT_EQ(cRefOf(*reader, existing), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NdbBadNode,
    ::testing::Values(
        BadNodeCase{"BlockTooLarge", [](NodeContent& c, Bid) { c.data.blocks.push_back(Bytes(8177, 1)); }},
        BadNodeCase{"SharedAndOwnBlocks", [](NodeContent& c, Bid existing) { c.data.sharedBid = existing; }},
        BadNodeCase{"SharedBlockMissing",
                    [](NodeContent& c, Bid) {
                        c.data.blocks.clear();
                        c.data.sharedBid = 0x9994;
                    }},
        BadNodeCase{"DuplicateSubnode",
                    [](NodeContent& c, Bid) {
                        c.subnodes.push_back(SubnodeContent{Nid{0x692}, {}, {}});
                        c.subnodes.push_back(SubnodeContent{Nid{0x692}, {}, {}});
                    }},
        BadNodeCase{
            "DuplicateAmongManySubnodes",
            [](NodeContent& c, Bid) {
                for (std::uint32_t i = 0; i < 40; ++i)
                    c.subnodes.push_back(SubnodeContent{Nid::make(NidType::Ltp, 0x401 + i % 39), {}, {}});
            }},
        BadNodeCase{"SubnodeZero",
                    [](NodeContent& c, Bid) {
                        c.subnodes.push_back(SubnodeContent{Nid{0}, {}, {}});
                    }},
        BadNodeCase{
            "SharedMoreOftenThanACountHolds", // the block counts 2 references: 65533 more fit
            [](NodeContent& c, Bid existing) {
                NodeStream shared;
                shared.sharedBid = existing;
                for (std::uint32_t i = 0; i < 65534; ++i)
                    c.subnodes.push_back(SubnodeContent{Nid::make(NidType::Ltp, 0x400 + i), shared, {}});
            }},
        BadNodeCase{"NodeZero", [](NodeContent&, Bid) {}, Nid{0}}),
    [](const ::testing::TestParamInfo<BadNodeCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tressimo::pst::testing
