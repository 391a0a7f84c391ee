// A new store against Outlook's brand-new empty store, node by node and column by column.
// Every difference is listed below with the reason it is accepted.

#include "messaging_test_util.h"
#include "pst/messaging/store_nodes.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace tressimo::pst::messaging_test {
namespace {

using check::PropertyMap;
using check::PstReader;
using check::Table;

// Nodes Outlook's empty store has and ours leaves out: opaque records whose fields no
// document describes (0xE01 a heap of client signature 0xCC around a 52-byte record, 0xEE1
// 28-byte records per folder, 0xF01 GUIDs and a time). They differ between Outlook versions
// (the 2007 store has other ones), so Outlook makes them itself.
const std::map<std::uint32_t, const char*> kLeftOut = {
    {0xE01, "undocumented heap record"},
    {0xEE1, "undocumented per-folder records"},
    {0xF01, "undocumented GUIDs and time"},
};

// Tables to which Outlook had already added view columns when it wrote its file; ours have
// the template's columns, which Outlook extends the same way when it opens a view.
const std::map<std::uint32_t, std::uint32_t> kViewExtended = {
    {0x12F, 0x60F}, {0x802D, 0x60D}, {0x802E, 0x60E}, {0x804D, 0x60D}, {0x808F, 0x60F},
};

// Store properties only Outlook's file has: 0x66FC0003, undocumented, absent from Outlook
// 2007's stores, its value looks build-specific.
const std::set<std::uint32_t> kStorePropsLeftOut = {0x66FC0003};
// Store properties unique to each store: the record key, the replica GUID in the version
// history, and the entry IDs made of the record key.
const std::set<std::uint32_t> kStorePropsPerStore = {0x0FF90102, 0x0E340102, 0x35E00102,
                                                     0x35E30102, 0x35E60102, 0x35E70102};

class StructureTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_ours = new MemoryStore("Empty");
        s_outlook = new PstReader(PstReader::open(referencePst("outlook-empty.pst")));
        s_reader = new PstReader(readBack(s_ours->bytes()));
    }
    static void TearDownTestSuite()
    {
        delete s_reader;
        delete s_outlook;
        delete s_ours;
    }

    static std::map<std::uint32_t, check::NodeEntry> nodeMap(const PstReader& r)
    {
        std::map<std::uint32_t, check::NodeEntry> out;
        for (const check::NodeEntry& n : r.nodes())
            out[n.nid] = n;
        return out;
    }

    static bool isTable(std::uint32_t nid)
    {
        const std::uint32_t type = nid & 0x1F;
        return (type >= 0x0B && type <= 0x12) || type == 0x16 || type == 0x17 || type == 0x18;
    }

    static MemoryStore* s_ours;
    static PstReader* s_outlook;
    static PstReader* s_reader;
};
MemoryStore* StructureTest::s_ours = nullptr;
PstReader* StructureTest::s_outlook = nullptr;
PstReader* StructureTest::s_reader = nullptr;

TEST_F(StructureTest, IsSoundAsLargeAsOutlooksWithOutlooksNodesParentsAndCounters)
{
    EXPECT_TRUE(isSound(s_ours->bytes()));
    EXPECT_EQ(s_ours->bytes().size(), std::filesystem::file_size(referencePst("outlook-empty.pst")));
    EXPECT_EQ(s_reader->header().rgnid, s_outlook->header().rgnid);
    const auto ours = nodeMap(*s_reader);
    const auto outlook = nodeMap(*s_outlook);
    for (const auto& [nid, node] : outlook) {
        if (kLeftOut.count(nid)) {
            EXPECT_FALSE(ours.count(nid)) << "node " << check::hex(nid) << " is listed as left out";
            continue;
        }
        auto it = ours.find(nid);
        ASSERT_NE(it, ours.end()) << "missing node " << check::describeNid(nid);
        EXPECT_EQ(it->second.nidParent, node.nidParent) << "parent of " << check::describeNid(nid);
        // Nodes with no data in Outlook's file (empty queues and lists) have none in ours.
        EXPECT_EQ(it->second.bidData == 0, node.bidData == 0) << "data of " << check::describeNid(nid);
    }
    for (const auto& [nid, node] : ours)
        EXPECT_TRUE(outlook.count(nid)) << "extra node " << check::describeNid(nid);
}

std::map<std::uint32_t, std::tuple<int, int, int>> columns(const Table& t)
{
    std::map<std::uint32_t, std::tuple<int, int, int>> out;
    for (const check::TableColumn& c : t.columns)
        out[c.tag] = {c.offset, c.size, c.cebBit};
    return out;
}

TEST_F(StructureTest, TablesHaveOutlooksColumnsAndLayout)
{
    int compared = 0;
    for (const check::NodeEntry& n : s_reader->nodes()) {
        if (!isTable(n.nid) || n.bidData == 0)
            continue;
        SCOPED_TRACE("table " + check::describeNid(n.nid));
        const Table ours = s_reader->table(n.nid);
        auto extended = kViewExtended.find(n.nid);
        if (extended != kViewExtended.end()) {
            // Ours is the template; every template column is also in Outlook's wider table.
            EXPECT_EQ(columns(ours), columns(s_outlook->table(extended->second)));
            const auto wider = columns(s_outlook->table(n.nid));
            for (const auto& [tag, layout] : columns(ours))
                EXPECT_TRUE(wider.count(tag)) << check::tagHex(tag);
        } else {
            const Table outlook = s_outlook->table(n.nid);
            EXPECT_EQ(columns(ours), columns(outlook));
            EXPECT_EQ(ours.groupEnds, outlook.groupEnds);
        }
        ++compared;
    }
    EXPECT_EQ(compared, 27); // every table node of the store
}

TEST(AttachmentTable, HasTheColumnsAndLayoutOfOutlooksOwnMessages)
{
    MemoryStore s;
    const Nid m = s->createMessage(s->ipmSubtree(), {}, {{PropValue::fromInt32(PropTag{0x37050003}, 1)}});
    const Table ours = commitAndRead(s).subnodeTable(m.value, 0x671);
    // An appointment Outlook 2007 wrote with two attachments.
    const Table outlook =
        PstReader::open(referencePst("outlook2007-contacts-distlist.pst")).subnodeTable(0x2000C4, 0x671);
    EXPECT_EQ(columns(ours), columns(outlook));
    EXPECT_EQ(ours.groupEnds, outlook.groupEnds);
}

TEST_F(StructureTest, TableRowsMatchOutlooksButForRowVersions)
{
    // The root's and IPM subtree's hierarchy rows and the receive-folder row, row order too.
    for (std::uint32_t nid : {0x12Du, 0x802Du, 0x62Bu}) {
        SCOPED_TRACE(check::describeNid(nid));
        const Table ours = s_reader->table(nid);
        const Table outlook = s_outlook->table(nid);
        ASSERT_EQ(ours.rows.size(), outlook.rows.size());
        for (std::size_t i = 0; i < ours.rows.size(); ++i) {
            PropertyMap a = ours.rows[i].values;
            PropertyMap b = outlook.rows[i].values;
            a.erase(check::kTagLtpRowVer);
            b.erase(check::kTagLtpRowVer);
            EXPECT_EQ(ours.rows[i].rowIndex, outlook.rows[i].rowIndex);
            EXPECT_EQ(a, b) << "row " << check::hex(ours.rows[i].rowId);
        }
    }
}

TEST_F(StructureTest, EmptyTablesShareTheirTemplatesBlockAsOutlooksDo)
{
    const auto ours = nodeMap(*s_reader);
    const auto outlook = nodeMap(*s_outlook);
    // Which template's block a table shares, in both files.
    auto shares = [](const std::map<std::uint32_t, check::NodeEntry>& nodes, std::uint32_t nid) {
        for (std::uint32_t t : {0x60Du, 0x60Eu, 0x60Fu, 0x610u})
            if (nodes.at(t).bidData == nodes.at(nid).bidData)
                return t;
        return 0u;
    };
    for (const auto& [nid, node] : outlook) {
        if (!isTable(nid) || kLeftOut.count(nid) || node.bidData == 0 || (nid >= 0x60D && nid <= 0x610))
            continue;
        // A view-extended table Outlook had to copy; ours shares its template while it is empty.
        std::uint32_t expected = shares(outlook, nid);
        if (kViewExtended.count(nid) && s_outlook->table(nid).rows.empty())
            expected = kViewExtended.at(nid);
        EXPECT_EQ(shares(ours, nid), expected) << check::describeNid(nid);
    }
}

TEST_F(StructureTest, StoreObjectHasOutlooksProperties)
{
    const PropertyMap ours = s_reader->storeProperties();
    const PropertyMap outlook = s_outlook->storeProperties();
    for (const auto& [tag, value] : outlook) {
        if (kStorePropsLeftOut.count(tag)) {
            EXPECT_FALSE(ours.count(tag));
            continue;
        }
        ASSERT_TRUE(ours.count(tag)) << check::tagHex(tag);
        if (tag == 0x3001001F) {
            EXPECT_EQ(ours.at(tag).toUtf8(), "Empty");
        } else if (!kStorePropsPerStore.count(tag)) {
            EXPECT_EQ(ours.at(tag), value) << check::tagHex(tag);
        }
    }
    EXPECT_EQ(ours.size() + kStorePropsLeftOut.size(), outlook.size());

    // Entry IDs: our record key, Outlook's folder NIDs; the version history: count, GUID, 1.
    const Bytes& key = ours.at(0x0FF90102).data();
    ASSERT_EQ(key.size(), 16u);
    for (std::uint32_t tag : {0x35E00102u, 0x35E30102u, 0x35E60102u, 0x35E70102u}) {
        const Bytes& id = ours.at(tag).data();
        const Bytes& theirs = outlook.at(tag).data();
        ASSERT_EQ(id.size(), 24u);
        EXPECT_EQ(Bytes(id.begin() + 4, id.begin() + 20), key);
        EXPECT_EQ(getU32(id.data() + 20), getU32(theirs.data() + 20)) << check::tagHex(tag);
    }
    const Bytes& history = ours.at(0x0E340102).data();
    ASSERT_EQ(history.size(), 24u);
    EXPECT_EQ(getU32(history.data()), 1u);
    EXPECT_EQ(getU32(history.data() + 20), 1u);
    EXPECT_NE(Bytes(history.begin() + 4, history.begin() + 20), key);
}

TEST_F(StructureTest, FoldersAndSearchObjectsHaveOutlooksProperties)
{
    for (std::uint32_t nid : {0x122u, 0x8022u, 0x8042u, 0x8062u, 0x8082u, 0x2223u, 0x2227u}) {
        SCOPED_TRACE(check::describeNid(nid));
        EXPECT_EQ(s_reader->properties(nid), s_outlook->properties(nid));
    }
    // The search activity list names the spam search folder.
    const Bytes sal = s_reader->file().readData(s_reader->file().findNode(0x201)->bidData);
    EXPECT_EQ(sal, s_outlook->file().readData(s_outlook->file().findNode(0x201)->bidData));
}

TEST_F(StructureTest, NameToIdMapHoldsOutlooksNamesAtOutlooksIds)
{
    const check::NameMap& ours = s_reader->nameMap();
    const check::NameMap& outlook = s_outlook->nameMap();
    ASSERT_EQ(ours.entries.size(), outlook.entries.size());
    for (std::size_t i = 0; i < ours.entries.size(); ++i)
        EXPECT_EQ(ours.describe(ours.entries[i].id), outlook.describe(outlook.entries[i].id));
    EXPECT_EQ(ours.bucketCount, 251u);
    // The same buckets in use (Outlook leaves empty ones out).
    auto buckets = [](const PropertyMap& props) {
        std::set<std::uint32_t> out;
        for (const auto& [tag, value] : props)
            if (check::tagId(tag) >= 0x1000 && check::tagId(tag) < 0x1000 + 251)
                out.insert(tag);
        return out;
    };
    EXPECT_EQ(buckets(s_reader->properties(0x61)), buckets(s_outlook->properties(0x61)));
}

TEST(StructureRepeatability, SameSeedSameBytesOtherSeedOtherKey)
{
    MemoryStore a("Store", repeatableOptions(7));
    MemoryStore b("Store", repeatableOptions(7));
    MemoryStore c("Store", repeatableOptions(8));
    EXPECT_EQ(a.bytes(), b.bytes());
    EXPECT_NE(a->recordKey(), c->recordKey());
}

} // namespace
} // namespace tressimo::pst::messaging_test
