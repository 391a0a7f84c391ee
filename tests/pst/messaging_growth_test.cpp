// Stores that outgrow the small cases: 20,000 messages in one folder (B-trees of several
// levels, a contents table whose rows span many blocks), recipient tables past a shared block's reference
// count.

#include "tests/support/support.h"
#include "messaging_test_util.h"
#include "pst/messaging/store_nodes.h"

#include <gtest/gtest.h>

namespace tressimo::pst::messaging_test {
namespace {


std::vector<PropValue> contactLike(MessageStore& store, std::size_t i)
{
    const std::string n = std::to_string(i);
    const std::uint16_t email = store.propertyId({kPsetidAddress, 0x8083, {}});
    return {
        PropValue::fromString(PropTag{0x001A001F}, std::string_view("IPM.Contact")),
        PropValue::fromString(PropTag{0x0037001F}, std::string_view("Person " + n)),
        PropValue::fromString(PropTag{0x0070001F}, std::string_view("Person " + n)),
        PropValue::fromString(PropTag{0x3001001F}, std::string_view("Person " + n)),
        PropValue::fromString(PropTag{0x3A11001F}, std::string_view("Surname" + n)),
        PropValue::fromInt32(PropTag{0x0E070003}, i % 10 == 0 ? 0 : 1),
        PropValue::fromSysTime(PropTag{0x0E060040}, 133000000000000000ull + i),
        PropValue::fromString(PropTag(email, PropType::Unicode), std::string_view("p" + n + "@example.com")),
    };
}

TEST(Growth, TwentyThousandMessagesInOneFolder)
{
    TRESSIMO_NEEDS_LINUX_READERS();
    constexpr std::size_t kMessages = 20000;
    TempDir dir("growth");
    const auto path = dir / "20000.pst";
    Nid folder;
    std::vector<Nid> nids;
    {
        auto store = MessageStore::create(FileSink::createNew(path), "Growth", repeatableOptions());
        folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        for (std::size_t i = 0; i < kMessages; ++i) {
            nids.push_back(store->createMessage(folder, contactLike(*store, i)));
            if ((i + 1) % 5000 == 0)
                store->commit();
        }
        EXPECT_EQ(store->messageCount(folder), kMessages);
    }
    ASSERT_TRUE(isSound(path));

    const auto reader = check::PstReader::open(path);
    // The checker has held the folder's counts and its contents table to the messages.
    const std::uint32_t contentsNid = nodes::withType(folder, NidType::ContentsTable).value;
    const check::Table contents = reader.table(contentsNid);
    ASSERT_EQ(contents.rows.size(), kMessages);
    // Rows in creation order, the matrix in a subnode over many blocks.
    EXPECT_NE(contents.rowsHnid & 0x1F, 0u);
    std::size_t matrixBlocks = 0;
    for (const check::SubnodeEntry& sub : reader.subnodes(contentsNid))
        if (sub.nid == contents.rowsHnid)
            matrixBlocks = reader.file().readDataTree(sub.bidData).size();
    EXPECT_GT(matrixBlocks, 300u);
    for (std::size_t i : {std::size_t{0}, std::size_t{4999}, std::size_t{5000}, kMessages - 1}) {
        const check::TableRow* row = contents.findRow(nids[i].value);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->rowIndex, i);
        EXPECT_EQ(row->values.at(0x0037001F).toUtf8(), "\x01\x01Person " + std::to_string(i));
    }

    // pypff finds every message and reads the last one; a full dump of 20,000 items takes
    // it minutes, so this asks for the count and one subject only.
    const std::string script =
        "import pypff, sys\n"
        "f = pypff.file(); f.open(sys.argv[1])\n"
        "def find(folder):\n"
        "    for s in folder.sub_folders:\n"
        "        if s.name == 'Contacts' or find(s): return s if s.name == 'Contacts' else find(s)\n"
        "c = find(f.get_root_folder())\n"
        "n = c.number_of_sub_messages\n"
        "print(n, c.get_sub_message(n - 1).subject)\n";
    const auto run = tressimo::testing::runProgram({"/usr/bin/python3", "-c", script, path.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::to_string(kMessages) + " Person " + std::to_string(kMessages - 1) + "\n");
}

TEST(Growth, RecipientTablesPastTheSharedBlocksReferenceLimit)
{
    // Empty recipient tables share the template's block until its 16-bit reference count is
    // full; later messages get a block of their own.
    MemoryStore s;
    const Nid folder = s->createFolder(s->ipmSubtree(), "Items", "");
    constexpr std::size_t kMessages = 0xFFFF + 100;
    Nid last;
    for (std::size_t i = 0; i < kMessages; ++i)
        last = s->createMessage(folder, {});
    const auto reader = commitAndRead(s);
    const std::uint64_t templateBlock = reader.file().findNode(0x692)->bidData;
    EXPECT_EQ(reader.file().findBlock(templateBlock)->cRef, 0xFFFF);
    const auto subnodes = reader.subnodes(last.value);
    ASSERT_EQ(subnodes.size(), 1u);
    EXPECT_NE(subnodes[0].bidData, templateBlock);
    EXPECT_TRUE(reader.subnodeTable(last.value, 0x692).rows.empty());
}

} // namespace
} // namespace tressimo::pst::messaging_test
