// The independent reader on Outlook's own files: what it reads back must be what Outlook
// wrote (values taken from Outlook's files by hand, and cross-checked with pffinfo). The
// oracle test compares every property with pypff; this covers the reader's own navigation.

#include "check_patcher.h"
#include "pst/check/pst_reader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace tressimo::pst::check;

namespace {

TEST(ReferenceStore, ReadsTheTreeAndTheContactThroughTheNameMap)
{
    const PstReader pst =
        PstReader::open(tressimo::pst::check::testing::referencePst("outlook2007-contacts-distlist.pst"));
    EXPECT_EQ(pst.nodes().size(), 128u);
    EXPECT_EQ(pst.file().blocks().size(), 155u);
    EXPECT_EQ(pst.storeProperties().at(0x3001001F).toUtf8(), "Personal Folders");
    std::vector<std::string> names;
    for (const FolderInfo& f : pst.folders())
        names.push_back(f.name);
    for (const char* expected : {"Top of Personal Folders", "Inbox", "Deleted Items", "Calendar", "Drafts"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;

    // The IPM subtree's children are exactly the folders whose NBT parent it is.
    const auto children = pst.subfolders(nids::IpmSubtree);
    const Table hierarchy = pst.table(withType(nids::IpmSubtree, nidtype::HierarchyTable));
    EXPECT_EQ(hierarchy.rows.size(), children.size());
    for (std::uint32_t child : children)
        EXPECT_NE(hierarchy.findRow(child), nullptr) << hex(child);

    const auto contacts = pst.findFolder("Contacts");
    ASSERT_TRUE(contacts);
    const auto messages = pst.messages(*contacts);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(pst.properties(messages[0]).at(0x001A001F).toUtf8(), "IPM.DistList");
    const PropertyMap contact = pst.properties(messages[1]);
    EXPECT_EQ(contact.at(0x001A001F).toUtf8(), "IPM.Contact");
    EXPECT_EQ(pst.namedValue(contact, kPsetidAddress, 0x8083)->toUtf8(), "contact1@rjohnson.id.au");
    EXPECT_EQ(pst.namedValue(contact, kPsetidAddress, 0x8028)->toInt32List(), std::vector<std::int32_t>{0});
    EXPECT_EQ(pst.namedTag(kPsetidAddress, 0x8083, proptype::Unicode), 0x8027001Fu);
    EXPECT_TRUE(pst.namedTag(kPsPublicStrings, "Keywords", proptype::MultiValued | proptype::Unicode));
}

} // namespace
