// The store's behaviour, read back with the independent reader and judged by the checker:
// what a message stores beyond what it is given, folders and their tables, refused input,
// items saved again, receive folders and named properties. (Folder entry IDs: the session tests.)

#include "messaging_test_util.h"
#include "pst/messaging/message_properties.h"
#include "pst/messaging/store_nodes.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace tressimo::pst::messaging_test {
namespace {

using check::PropertyMap;

constexpr PropTag kClass{0x001A001F};
constexpr PropTag kSubject{0x0037001F};
constexpr PropTag kPrefix{0x003D001F};
constexpr PropTag kNormalized{0x0E1D001F};
constexpr PropTag kFlags{0x0E070003};
constexpr PropTag kSize{0x0E080003};
constexpr PropTag kStatus{0x0E170003};
constexpr PropTag kCreated{0x30070040};
constexpr PropTag kModified{0x30080040};
constexpr PropTag kSearchKey{0x300B0102};
constexpr PropTag kDisplayName{0x3001001F};
constexpr PropTag kComment{0x3004001F};
constexpr PropTag kContentCount{0x36020003};
constexpr PropTag kUnread{0x36030003};
constexpr PropTag kSubfolders{0x360A000B};
constexpr PropTag kContainerClass{0x3613001F};

PropValue text(PropTag tag, std::u16string_view value)
{
    return PropValue::fromString(tag, value);
}

// ---- what a message stores ----------------------------------------------------------------

struct MessageCase
{
    const char* name;
    std::vector<PropValue> given;
    std::vector<PropValue> expected; // stored exactly so
};

std::vector<MessageCase> messageCases()
{
    const std::uint64_t now = toFileTime(tressimo::testing::kTestStart);
    const std::uint64_t earlier = now - 36000000000ull;
    return {
        {"NothingGiven",
         {},
         {text(kClass, u"IPM.Note"), PropValue::fromInt32(kFlags, 1), PropValue::fromInt32(kStatus, 0),
          PropValue::fromSysTime(kCreated, now), PropValue::fromSysTime(kModified, now)}},
        {"PlainSubjectGetsTheMarker", {text(kSubject, u"Jane Doe")}, {text(kSubject, u"\x01\x01Jane Doe")}},
        {"PrefixLikeTextStaysWhole", {text(kSubject, u"Re: Smith")}, {text(kSubject, u"\x01\x01Re: Smith")}},
        {"GivenPrefixIsMarked",
         {text(kSubject, u"RE: Lunch"), text(kPrefix, u"RE: ")},
         {text(kSubject, u"\x01\x05"
                         u"RE: Lunch")}},
        {"NormalizedAndPrefixMakeTheSubject",
         {text(kNormalized, u"Lunch"), text(kPrefix, u"FW: ")},
         {text(kSubject, u"\x01\x05"
                         u"FW: Lunch")}},
        {"StoredFormIsKept", {text(kSubject, u"\x01\x01Name")}, {text(kSubject, u"\x01\x01Name")}},
        {"EmptySubjectStaysEmpty", {text(kSubject, u"")}, {text(kSubject, u"")}},
        {"ModificationTimeAloneDatesTheCreation",
         {PropValue::fromSysTime(kModified, earlier)},
         {PropValue::fromSysTime(kCreated, earlier), PropValue::fromSysTime(kModified, earlier)}},
        {"GivenValuesWin",
         {text(kClass, u"IPM.Contact"), PropValue::fromInt32(kFlags, 0x9),
          PropValue::fromInt32(kStatus, 0x1000), PropValue::fromBinary(kSearchKey, Bytes(16, 0xAB))},
         {text(kClass, u"IPM.Contact"), PropValue::fromInt32(kFlags, 0x9),
          PropValue::fromInt32(kStatus, 0x1000), PropValue::fromBinary(kSearchKey, Bytes(16, 0xAB))}},
        {"UnreadStaysUnread", {PropValue::fromInt32(kFlags, 0)}, {PropValue::fromInt32(kFlags, 0)}},
        {"HasAttachmentsFlagOnlyWithAttachments",
         {PropValue::fromInt32(kFlags, 0x11)},
         {PropValue::fromInt32(kFlags, 1)}},
        {"GivenSizeIsReplaced", {PropValue::fromInt32(kSize, 7)}, {}},
        {"ValuesInSubnodesCountInTheSize",
         {PropValue::fromBinary(PropTag{0x10090102}, Bytes(1 << 20, 0x5A)),
          text(kComment, std::u16string(4000, u'x'))},
         {PropValue::fromBinary(PropTag{0x10090102}, Bytes(1 << 20, 0x5A)),
          text(kComment, std::u16string(4000, u'x'))}},
        {"CjkAndNonBmpText",
         {text(kSubject, u"山田 太郎 \U0001F600"), text(PropTag{0x3A06001F}, u"𠮷野")},
         {text(kSubject, u"\x01\x01山田 太郎 \U0001F600"), text(PropTag{0x3A06001F}, u"𠮷野")}},
    };
}

using MessageStored = ::testing::TestWithParam<MessageCase>;

TEST_P(MessageStored, AsTheFormatAndOutlookWant)
{
    const MessageCase& c = GetParam();
    MemoryStore s;
    const Nid folder = s->createFolder(s->ipmSubtree(), "Items", "IPF.Note");
    const Nid nid = s->createMessage(folder, c.given);
    const auto reader = commitAndRead(s);
    const PropertyMap props = reader.properties(nid.value);
    for (const PropValue& expected : c.expected) {
        ASSERT_TRUE(props.count(expected.tag().value)) << tagName(expected.tag());
        EXPECT_EQ(PropValue(expected.tag(), props.at(expected.tag().value).data()), expected);
    }
    // Never stored: the parts of the subject, calculated properties.
    for (std::uint32_t tag : {kPrefix.value, kNormalized.value})
        EXPECT_FALSE(props.count(tag)) << check::tagHex(tag);
    ASSERT_TRUE(props.count(kSearchKey.value));
    EXPECT_EQ(props.at(kSearchKey.value).data().size(), 16u);

    // The size is the stored size of every value, its own four bytes included.
    std::uint32_t sum = 0;
    for (const auto& [tag, value] : props)
        sum += static_cast<std::uint32_t>(value.data().size());
    EXPECT_EQ(props.at(kSize.value).toInt32(), static_cast<std::int32_t>(sum));

    // The row in the contents table carries the status, which the message itself does not (the
    // checker compares every other cell, and the folder's counts, with the message).
    const check::Table contents = reader.table(nodes::withType(folder, NidType::ContentsTable).value);
    ASSERT_EQ(contents.rows.size(), 1u);
    EXPECT_TRUE(contents.rows[0].values.count(kStatus.value));

    // An empty recipient table with the template's columns.
    const check::Table recipients = reader.subnodeTable(nid.value, 0x692);
    EXPECT_TRUE(recipients.rows.empty());
    EXPECT_EQ(recipients.columns.size(), reader.table(0x692).columns.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageStored, ::testing::ValuesIn(messageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageSize, MatchesOutlooksOwnContact)
{
    // Outlook 2007 stored PidTagMessageSize 953 for its contact: the rule gives the same.
    const auto outlook = check::PstReader::open(referencePst("outlook2007-contacts-distlist.pst"));
    const PropertyMap props = outlook.properties(0x200064);
    std::vector<PropValue> values;
    for (const auto& [tag, value] : props)
        values.emplace_back(PropTag{tag}, value.data());
    EXPECT_EQ(messageSize(values), 953u);
    EXPECT_EQ(props.at(kSize.value).toInt32(), 953);
}

// ---- refused input ------------------------------------------------------------------------

struct Refusal
{
    const char* name;
    std::function<void(MessageStore&, Nid folder)> act;
    const char* says;
};

std::vector<Refusal> refusals()
{
    auto message = [](std::vector<PropValue> props) {
        return [props](MessageStore& s, Nid folder) { s.createMessage(folder, props); };
    };
    auto attached = [](std::vector<PropValue> attachment) {
        return [attachment](MessageStore& s, Nid folder) { s.createMessage(folder, {}, {attachment}); };
    };
    auto folderProperty = [](PropValue value) {
        return [value](MessageStore& s, Nid folder) { s.setFolderProperties(folder, std::vector{value}); };
    };
    return {
        {"MessageInUnknownFolder", [](MessageStore& s, Nid) { s.createMessage(Nid{0x12342}, {}); },
         "No folder 0x12342"},
        {"MessageInSearchFolder", [](MessageStore& s, Nid) { s.createMessage(Nid{0x2223}, {}); },
         "Search folder"},
        {"PropertyTwice", message({text(kDisplayName, u"a"), text(kDisplayName, u"b")}), "given twice"},
        {"CalculatedProperty", message({PropValue::fromBinary(PropTag{0x0FFF0102}, Bytes(24))}),
         "computed by the store"},
        {"UnknownNamedId", message({PropValue::fromInt32(PropTag{0x90000003}, 1)}), "never handed out"},
        {"EightBitSubject", message({PropValue(PropTag{0x0037001E}, Bytes{'a'})}), "Unicode"},
        {"BrokenStoredSubject",
         message({text(kSubject, u"\x01\x09"
                                 u"ab")}),
         "prefix length"},
        {"PrefixNotInSubject", message({text(kSubject, u"Lunch"), text(kPrefix, u"RE: ")}), "prefix"},
        {"AttachmentWithoutMethod", attached({text(kDisplayName, u"a")}), "PidTagAttachMethod"},
        {"AttachmentRowId",
         attached(
             {PropValue::fromInt32(PropTag{0x37050003}, 1), PropValue::fromInt32(PropTag{0x67F20003}, 5)}),
         "computed by the store"},
        {"AttachmentUnknownNamedId", attached({PropValue::fromInt32(PropTag{0x90000003}, 1)}),
         "never handed out"},
        {"CreationTimeNotATime", message({PropValue::fromInt32(PropTag{0x30070003}, 1)}), "must be a time"},
        {"FolderCount", folderProperty(PropValue::fromInt32(kContentCount, 5)), "PidTagContentCount"},
        {"FolderSubfoldersFlag", folderProperty(PropValue::fromBoolean(kSubfolders, true)),
         "PidTagSubfolders"},
        {"FolderRowId", folderProperty(PropValue::fromInt32(PropTag{0x67F20003}, 1)), "PidTagLtpRowId"},
        {"FolderRenamedOntoSibling", folderProperty(text(kDisplayName, u"deleted ITEMS")), "already holds"},
        {"FolderNameNotUnicode", folderProperty(PropValue(PropTag{0x3001001E}, Bytes{'x'})), "Unicode"},
        {"FolderUnderSearchFolder", [](MessageStore& s, Nid) { s.createFolder(Nid{0x2223}, "x", ""); },
         "Search folder"},
        {"FolderNameTaken", [](MessageStore& s, Nid) { s.createFolder(s.ipmSubtree(), "ITEMS", ""); },
         "already holds"},
        {"FolderUnderUnknownParent", [](MessageStore& s, Nid) { s.createFolder(Nid{0x99982}, "x", ""); },
         "No folder"},
        {"FindUnderUnknownParent", [](MessageStore& s, Nid) { s.findFolder(Nid{0x99982}, "x"); },
         "No folder"},
        {"StoreRecordKey",
         [](MessageStore& s, Nid) {
             s.setStoreProperties(std::vector{PropValue::fromBinary(PropTag{0x0FF90102}, Bytes(16))});
         },
         "PidTagRecordKey"},
        {"ReplaceUnknownMessage", [](MessageStore& s, Nid) { s.replaceMessage(Nid{0x2000A4}, {}); },
         "No message"},
        {"ReplaceFolderAsMessage", [](MessageStore& s, Nid f) { s.replaceMessage(f, {}); }, "No message"},
        {"ReceiveFolderUnknown", [](MessageStore& s, Nid) { s.setReceiveFolder("IPM", Nid{0x99982}); },
         "No folder"},
        {"ReceiveFolderSearch", [](MessageStore& s, Nid) { s.setReceiveFolder("IPM", Nid{0x2223}); },
         "Search folder"},
    };
}

using Refused = ::testing::TestWithParam<Refusal>;

TEST_P(Refused, WithAClearMessageAndNoHarm)
{
    MemoryStore s;
    const Nid folder = s->createFolder(s->ipmSubtree(), "Items", "");
    s->createMessage(folder, std::vector{text(kSubject, u"before")});
    try {
        GetParam().act(*s.store, folder);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().says), std::string::npos) << e.what();
    }
    // The store goes on as if nothing had been asked.
    s->createMessage(folder, std::vector{text(kSubject, u"after")});
    s->commit();
    EXPECT_TRUE(isSound(s.bytes()));
    EXPECT_EQ(s->messageCount(folder), 2u);
    EXPECT_EQ(readBack(s.bytes()).messages(folder.value).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Refused, ::testing::ValuesIn(refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- folders ------------------------------------------------------------------------------

TEST(Folders, TreeTablesCountsAndFlagsStayInStep)
{
    MemoryStore s;
    const Nid contacts = s->createFolder(s->ipmSubtree(), "Contacts", "IPF.Contact");
    const Nid friends = s->createFolder(contacts, "Friends", "IPF.Contact");
    const Nid notes = s->createFolder(s->ipmSubtree(), "Notes", "IPF.StickyNote");
    const Nid plain = s->createFolder(s->rootFolder(), "Plain", "");
    for (int i = 0; i < 3; ++i)
        s->createMessage(friends, std::vector{text(kSubject, u"friend")});
    s->createMessage(friends, std::vector{PropValue::fromInt32(kFlags, 0)});
    s->commit();
    ASSERT_TRUE(isSound(s.bytes()));

    EXPECT_EQ(contacts, Nid{0x80A2}) << "the first new folder follows Outlook's";
    EXPECT_EQ(s->findFolder(s->ipmSubtree(), "contacts"), contacts);
    EXPECT_EQ(s->findFolder(contacts, "FRIENDS"), friends);
    EXPECT_FALSE(s->findFolder(s->ipmSubtree(), "Friends"));
    EXPECT_EQ(s->subfolders(s->ipmSubtree()), (std::vector<Nid>{s->deletedItems(), contacts, notes}));
    EXPECT_EQ(s->messageCount(friends), 4u);
    EXPECT_EQ(s->folderProperty(friends, kUnread)->toInt32(), 1);
    EXPECT_TRUE(s->folderProperty(contacts, kSubfolders)->toBoolean());

    const auto reader = readBack(s.bytes());
    struct Expect
    {
        Nid nid;
        Nid parent;
        const char* name;
        const char* containerClass;
    };
    for (const Expect& e : {Expect{contacts, s->ipmSubtree(), "Contacts", "IPF.Contact"},
                            Expect{friends, contacts, "Friends", "IPF.Contact"},
                            Expect{notes, s->ipmSubtree(), "Notes", "IPF.StickyNote"},
                            Expect{plain, s->rootFolder(), "Plain", ""}}) {
        SCOPED_TRACE(e.name);
        const auto folders = reader.folders();
        auto it =
            std::find_if(folders.begin(), folders.end(), [&](const auto& f) { return f.nid == e.nid.value; });
        ASSERT_NE(it, folders.end());
        EXPECT_EQ(it->parent, e.parent.value);
        EXPECT_EQ(it->name, e.name);
        EXPECT_EQ(it->containerClass, e.containerClass);
    }
    // The checker holds the hierarchy tables, counts and flags to the folders and messages.
    EXPECT_EQ(reader.messages(friends.value).size(), 4u);
    // Outlook's folders carry the hidden-item counts.
    EXPECT_EQ(reader.properties(contacts.value).at(0x66350003).toInt32(), 0);
}

TEST(Folders, PropertiesSetLaterReachPropertiesAndRows)
{
    MemoryStore s;
    const Nid inbox = s->createFolder(s->ipmSubtree(), "Inbox", "IPF.Note");
    s->commit();
    s->setFolderProperties(inbox,
                           std::vector{text(kComment, u"Inbox folder"), text(kDisplayName, u"Posteingang"),
                                       text(kContainerClass, u"IPF.Note")});
    s->setFolderProperties(s->rootFolder(),
                           std::vector{PropValue::fromBinary(PropTag{0x36D00102}, s->entryId(inbox))});
    const auto reader = commitAndRead(s);
    EXPECT_EQ(reader.properties(inbox.value).at(kComment.value).toUtf8(), "Inbox folder");
    const check::Table hierarchy = reader.table(0x802D);
    const check::TableRow* row = hierarchy.findRow(inbox.value);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->values.at(kDisplayName.value).toUtf8(), "Posteingang");
    EXPECT_EQ(reader.properties(0x122).at(0x36D00102).data(), s->entryId(inbox));
    EXPECT_EQ(s->folderProperty(inbox, kComment)->toUtf8(), "Inbox folder");
    EXPECT_FALSE(s->folderProperty(inbox, PropTag{0x3004001E}));
}

// ---- messages saved again -----------------------------------------------------------------

TEST(ReplaceMessage, KeepsIdentityPlaceAndCounts)
{
    MemoryStore s;
    const Nid folder = s->createFolder(s->ipmSubtree(), "Items", "");
    std::vector<Nid> nids;
    for (const char16_t* subject : {u"one", u"two", u"three"})
        nids.push_back(s->createMessage(folder, std::vector{text(kSubject, subject)}));
    s->commit();
    const PropertyMap before = readBack(s.bytes()).properties(nids[1].value);

    // Saved again: another subject, unread, no times or search key given.
    s->replaceMessage(nids[1], std::vector{text(kSubject, u"two, edited"), PropValue::fromInt32(kFlags, 0),
                                           text(PropTag{0x1000001F}, std::u16string(5000, u'x'))});
    const auto reader = commitAndRead(s);
    const PropertyMap after = reader.properties(nids[1].value);
    EXPECT_EQ(after.at(kSubject.value).toUtf8(), "\x01\x01two, edited");
    EXPECT_EQ(after.at(kCreated.value), before.at(kCreated.value));
    EXPECT_EQ(after.at(kSearchKey.value), before.at(kSearchKey.value));
    EXPECT_EQ(reader.messages(folder.value).size(), 3u);
    const check::Table contents = reader.table(nodes::withType(folder, NidType::ContentsTable).value);
    EXPECT_EQ(contents.findRow(nids[1].value)->rowIndex, 1u);

    // Read again: the unread count goes back (the checker counts the unread messages).
    s->replaceMessage(nids[1], std::vector{text(kSubject, u"two")});
    s->commit();
    EXPECT_TRUE(isSound(s.bytes()));
}

// ---- row versions ----------------------------------------------------------------------------

// Every row put in any table takes the next value of one store-wide counter: the checker holds
// the versions distinct across the store and below the header's dwUnique at every commit, and
// the rows written after a commit come above every row that commit holds.
TEST(RowVersions, OneCounterAcrossTablesAndCommits)
{
    MemoryStore s;
    std::vector<Nid> folders, messages;
    for (const char* name : {"A", "B", "C"})
        folders.push_back(s->createFolder(s->ipmSubtree(), name, "IPF.Contact"));
    std::uint32_t committed = 0;
    for (std::size_t round = 0; round < 4; ++round) {
        SCOPED_TRACE("commit " + std::to_string(round));
        for (std::size_t i = 0; i < 150; ++i)
            messages.push_back(s->createMessage(folders[i % 3], std::vector{text(kSubject, u"x")}));
        s->replaceMessage(messages[round * 7], std::vector{text(kSubject, u"again")});
        s->setFolderProperties(folders[round % 3], std::vector{text(kComment, u"changed")});
        const auto reader = commitAndRead(s);
        std::vector<check::Table> contents;
        for (Nid f : folders)
            contents.push_back(reader.table(nodes::withType(f, NidType::ContentsTable).value));
        std::uint32_t highest = 0;
        for (std::size_t m = 0; m < messages.size(); ++m) {
            const check::TableRow* row = contents[m % 3].findRow(messages[m].value);
            ASSERT_NE(row, nullptr);
            const auto version = static_cast<std::uint32_t>(row->values.at(0x67F30003).toInt32());
            if (m >= round * 150) {
                EXPECT_GT(version, committed) << "message " << m;
            }
            highest = std::max(highest, version);
        }
        committed = highest;
    }
}

// ---- identity ---------------------------------------------------------------------------------

// Store properties reach the file at the next commit; a commit after it, with nothing
// changed, writes nothing.
TEST(StoreProperties, AreWrittenAtTheNextCommitOnly)
{
    MemoryStore s;
    s->setStoreProperties(
        std::vector{PropValue::fromInt32(PropTag{0x35DF0003}, 0xFF), text(kDisplayName, u"Renamed")});
    const PropertyMap props = commitAndRead(s).storeProperties();
    EXPECT_EQ(props.at(0x35DF0003).toInt32(), 0xFF);
    EXPECT_EQ(props.at(kDisplayName.value).toUtf8(), "Renamed");
    const Bytes before = s.bytes();
    const int syncs = s.sink->syncCount();
    s->commit();
    EXPECT_EQ(s.sink->syncCount(), syncs);
    EXPECT_EQ(s.bytes(), before);
}

// ---- named properties -----------------------------------------------------------------------

TEST(NamedProperties, GetIdsAfterOutlooksAndResolveInTheFile)
{
    MemoryStore s;
    struct Name
    {
        PropertyName name;
        std::uint16_t expectedId;
    };
    const std::vector<Name> names = {
        {{kPsetidAddress, 0x8083, {}}, 0x8023},
        {{kPsPublicStrings, 0, "Keywords"}, 0x8013}, // one of Outlook's own
        {{kPsPublicStrings, 0, "Mein Feld"}, 0x8024},
        {{kPsetidAddress, 0x8005, {}}, 0x8025},
        {{Guid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}}, 0, "日本語の名前"}, 0x8026},
        {{kPsetidAddress, 0x8083, {}}, 0x8023}, // asked again
    };
    for (const Name& n : names)
        EXPECT_EQ(s->propertyId(n.name), n.expectedId);
    const Nid folder = s->createFolder(s->ipmSubtree(), "Items", "");
    const Nid message =
        s->createMessage(folder, std::vector{text(PropTag(0x8023, PropType::Unicode), u"a@b.c"),
                                             text(PropTag(0x8026, PropType::Unicode), u"値")});
    const auto reader = commitAndRead(s);
    const auto addressSet = kPsetidAddress.toBytes();
    EXPECT_EQ(reader.namedTag(addressSet, 0x8083, 0x001F), 0x8023001Fu);
    EXPECT_EQ(reader.namedTag(kPsPublicStrings.toBytes(), "Mein Feld", 0x001F), 0x8024001Fu);
    const PropertyMap props = reader.properties(message.value);
    ASSERT_NE(reader.namedValue(props, addressSet, 0x8083), nullptr);
    EXPECT_EQ(reader.namedValue(props, addressSet, 0x8083)->toUtf8(), "a@b.c");
    const Guid custom{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_NE(reader.namedValue(props, custom.toBytes(), "日本語の名前"), nullptr);
    EXPECT_EQ(reader.namedValue(props, custom.toBytes(), "日本語の名前")->toUtf8(), "値");
}

TEST(NamedProperties, ManyNamesMoveTheStreamsToSubnodes)
{
    MemoryStore s;
    std::vector<std::uint16_t> ids;
    for (std::uint32_t i = 0; i < 700; ++i) {
        const PropertyName name =
            i % 2 ? PropertyName{kPsetidAddress, 0x9000 + i, {}}
                  : PropertyName{kPsPublicStrings, 0, "Field number " + std::to_string(i)};
        ids.push_back(s->propertyId(name));
    }
    const auto reader = commitAndRead(s);
    EXPECT_FALSE(reader.subnodes(0x61).empty()) << "entry and string streams past 3,580 bytes";
    EXPECT_EQ(reader.nameMap().entries.size(), 35u + 700u);
    for (std::uint32_t i = 0; i < 700; i += 7) {
        const auto tag =
            i % 2 ? reader.namedTag(kPsetidAddress.toBytes(), 0x9000 + i, 0x0003)
                  : reader.namedTag(kPsPublicStrings.toBytes(), "Field number " + std::to_string(i), 0x0003);
        ASSERT_TRUE(tag) << i;
        EXPECT_EQ(*tag >> 16, ids[i]);
    }
}

} // namespace
} // namespace tressimo::pst::messaging_test
