// The independent reader on Outlook's own files: what it reads back must be what Outlook
// wrote (values taken from Outlook's files by hand, and cross-checked with pffinfo).

#include "pst/check/pst_reader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace tressimo::pst::check;

namespace {

std::string reference(const std::string& name)
{
    return std::string(TRESSIMO_SOURCE_DIR) + "/tests/data/reference-pst/" + name;
}

struct StoreCase
{
    const char* file;
    const char* storeName;
    std::size_t nodes;
    std::size_t blocks;
    std::vector<std::string> folders;
};

class ReferenceStore : public testing::TestWithParam<StoreCase>
{
};

TEST_P(ReferenceStore, ReadsStoreAndFolderTree)
{
    const StoreCase& c = GetParam();
    const PstReader pst = PstReader::open(reference(c.file));
    EXPECT_EQ(pst.nodes().size(), c.nodes);
    EXPECT_EQ(pst.file().blocks().size(), c.blocks);
    EXPECT_EQ(pst.storeProperties().at(0x3001001F).toUtf8(), c.storeName);

    std::vector<std::string> names;
    for (const FolderInfo& f : pst.folders())
        names.push_back(f.name);
    for (const std::string& expected : c.folders)
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;

    // The IPM subtree's children are exactly the folders whose NBT parent it is.
    const auto children = pst.subfolders(nids::IpmSubtree);
    const Table hierarchy = pst.table(withType(nids::IpmSubtree, nidtype::HierarchyTable));
    EXPECT_EQ(hierarchy.rows.size(), children.size());
    for (std::uint32_t child : children)
        EXPECT_NE(hierarchy.findRow(child), nullptr) << hex(child);
}

INSTANTIATE_TEST_SUITE_P(
    Outlook, ReferenceStore,
    testing::Values(StoreCase{"outlook-empty.pst",
                              "Empty",
                              47,
                              31,
                              {"", "Top of Outlook data file", "Search Root", "Deleted Items",
                               "IPM_COMMON_VIEWS", "SPAM Search Folder 2"}},
                    StoreCase{"outlook2007-contacts-distlist.pst",
                              "Personal Folders",
                              128,
                              155,
                              {"Top of Personal Folders", "Inbox", "Outbox", "Sent Items", "Deleted Items",
                               "Calendar", "Contacts", "Journal", "Notes", "Tasks", "Drafts"}}),
    [](const auto& info) {
        return std::string(info.param.file).substr(0, 12) == "outlook-empt" ? "Empty" : "DistList";
    });

TEST(ReferenceContact, ReadsTheContactThroughTheNameMap)
{
    const PstReader pst = PstReader::open(reference("outlook2007-contacts-distlist.pst"));
    const auto contacts = pst.findFolder("Contacts");
    ASSERT_TRUE(contacts);
    EXPECT_EQ(pst.properties(*contacts).at(0x3613001F).toUtf8(), "IPF.Contact");

    const auto messages = pst.messages(*contacts);
    ASSERT_EQ(messages.size(), 2u);
    std::vector<std::string> classes;
    for (std::uint32_t m : messages)
        classes.push_back(pst.properties(m).at(0x001A001F).toUtf8());
    EXPECT_EQ(classes, (std::vector<std::string>{"IPM.DistList", "IPM.Contact"}));

    const PropertyMap contact = pst.properties(messages[1]);
    EXPECT_EQ(contact.at(0x3001001F).toUtf8(), "contact name 1");
    EXPECT_EQ(contact.at(0x3A06001F).toUtf8(), "contact");
    const PropertyValue* email = pst.namedValue(contact, kPsetidAddress, 0x8083);
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->toUtf8(), "contact1@rjohnson.id.au");
    EXPECT_EQ(pst.namedValue(contact, kPsetidAddress, 0x8005)->toUtf8(), "1, contact name");
    EXPECT_EQ(pst.namedValue(contact, kPsetidAddress, 0x8028)->toInt32List(), std::vector<std::int32_t>{0});
    const auto tag = pst.namedTag(kPsetidAddress, 0x8083, proptype::Unicode);
    ASSERT_TRUE(tag);
    EXPECT_EQ(*tag, 0x8027001Fu);
    EXPECT_EQ(
        pst.namedTag(kPsPublicStrings, "Keywords", proptype::MultiValued | proptype::Unicode).has_value(),
        true);
}

} // namespace
