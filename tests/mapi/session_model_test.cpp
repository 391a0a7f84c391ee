// The session, store, folder and item model over the real writer into memory, read back with
// the checker's reader: what the conversion relies on, when saved items become durable, and
// what a failed Save says. (The values a contact stores, end to end in tests/cli.)

#include "mapi/contact_properties.h"
#include "mapi/contact_time.h"
#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"
#include "session_test_support.h"
#include "tests/support/support.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace tressimo::mapi::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using tressimo::testing::TempDir;

template <class F> std::string errorOf(F&& f)
{
    try {
        f();
    } catch (const MapiError& e) {
        return e.what();
    }
    return "<no error>";
}

using pst::check::PropertyMap;
using pst::check::PstReader;

std::string textProp(const PropertyMap& m, std::uint32_t tag)
{
    const auto it = m.find(tag);
    return it == m.end() ? "<absent>" : it->second.toUtf8();
}

std::optional<std::uint64_t> timeProp(const PropertyMap& m, std::uint32_t tag)
{
    const auto it = m.find(tag);
    return it == m.end() ? std::nullopt : std::optional(it->second.toFileTime());
}

PstReader durable(const Written& w)
{
    return PstReader::fromBytes(w.bytes.bytes());
}

std::vector<PropertyMap> contactsIn(const Written& w)
{
    const PstReader pst = durable(w);
    std::vector<PropertyMap> out;
    for (std::uint32_t nid : pst.messages(*pst.findFolder("Contacts")))
        out.push_back(pst.properties(nid));
    return out;
}

constexpr std::uint32_t PR_DISPLAY_NAME = 0x3001001F;
constexpr std::uint32_t PR_GIVEN_NAME = 0x3A06001F;
constexpr std::uint32_t PR_SURNAME = 0x3A11001F;
constexpr std::uint32_t PR_GENERATION = 0x3A05001F;
constexpr std::uint32_t PR_BIRTHDAY = 0x3A420040;
constexpr std::uint32_t PR_CREATION_TIME = 0x30070040;
constexpr std::uint32_t PR_LAST_MODIFICATION_TIME = 0x30080040;

// A store set up as the conversion sets it up: logged on, added, tree built.
struct Opened
{
    Rig rig;
    std::unique_ptr<RDOSession> session;
    RDOStore* store = nullptr;

    Opened()
    {
        session = rig.session();
        store = &session->Stores().AddPSTStore("/out/WindowsContacts5.3.10 9.7.04.pst", olStoreDefault,
                                               "Windows Contacts : Created - 5.3.10 9.7.04");
        store->ValidateIPMTree();
    }
    RDOFolder& contacts() { return store->GetDefaultFolder(olFolderContacts); }
    Written& written() { return *rig.written; }
};

// Steps on an item: a put by name, a single-property write (saving or not).
using Step = std::function<void(RDOContactItem&)>;
Step put(const char* name, const char* value)
{
    return [=](RDOContactItem& i) { i.put(name, value); };
}
Step set(std::uint32_t tag, PropertyValue value, bool save = true)
{
    return [=](RDOContactItem& i) { MAPIUtils().HrSetOneProp(i.MAPIOBJECT(), tag, value, save); };
}

TEST(SessionStore, AddPSTStoreRefusesWhatItCannotCreate)
{
    TempDir dir;
    std::ofstream(dir.path() / "existing.pst") << "keep me";

    const std::tuple<fs::path, int, const char*> cases[] = {
        {dir.path() / "existing.pst", olStoreDefault, "File exists"},
        {dir.path() / "missing" / "x.pst", olStoreUnicode, "No such file or directory"},
        {dir.path() / "ansi.pst", olStoreANSI, "ANSI"},
    };
    for (const auto& [path, format, reason] : cases) {
        Rig rig;
        auto options = rig.options();
        options.openSink = {}; // the real exclusive create
        auto session = rig.session(std::move(options));
        const std::string message =
            errorOf([&] { session->Stores().AddPSTStore(path, format, "Windows Contacts"); });
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_NE(message.find(path.filename().string()), std::string::npos) << message;
    }
    EXPECT_EQ(tressimo::testing::readWholeFile(dir.path() / "existing.pst"), "keep me");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"existing.pst"});
}

// A store that fails while being made leaves no file under its name, nor beside it. (Unnamed
// until published: staged_file_test.)
TEST(SessionStore, AddPSTStoreLeavesEitherTheWholeStoreOrNothing)
{
    TempDir dir;
    Rig rig;
    const auto realStore = pstMessageStoreFactory();
    struct Case
    {
        const char* what;
        std::function<void(const fs::path&)> duringCreate; // throws, or makes the name taken
        std::string messageHas;
    };
    const Case cases[] = {
        {"disk full",
         [](const fs::path& p) {
             throw pst::IoError("Cannot write to \"" + p.string() + "\": No space left on device");
         },
         "No space left on device"},
        {"writer fault", [](const fs::path&) { throw std::logic_error("table overflow"); }, "table overflow"},
        {"name taken meanwhile", [](const fs::path& p) { std::ofstream(p) << "theirs"; }, "File exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir.path() / "second.pst";
        auto failingOptions = rig.options();
        failingOptions.openSink = {};
        failingOptions.createStore = [&](std::unique_ptr<pst::Sink> sink, std::string_view name,
                                         const pst::StoreOptions& o) {
            c.duringCreate(path);
            return realStore(std::move(sink), name, o);
        };
        auto failing = rig.session(failingOptions);
        const std::string message =
            errorOf([&] { failing->Stores().AddPSTStore(path, olStoreDefault, "Windows Contacts"); });
        EXPECT_NE(message.find(c.messageHas), std::string::npos) << message;
        EXPECT_NE(message.find("second.pst"), std::string::npos) << message;
        const bool taken = fs::exists(path);
        EXPECT_EQ(filesIn(dir.path()).size(), taken ? 1u : 0u);
        if (taken) {
            EXPECT_EQ(tressimo::testing::readWholeFile(path), "theirs");
            fs::remove(path);
        }
    }
}

// The store ID is opaque hex to its users: GetStoreFromID takes it in any case and nothing else.
TEST(SessionStore, EntryIdFindsTheStore)
{
    Opened o;
    const std::string id = o.store->EntryID();
    RDOStore& second = o.session->Stores().AddPSTStore("/out/second.pst", olStoreDefault, "Second");
    ASSERT_NE(id, second.EntryID());

    std::string mixed = id; // letter case does not matter
    for (std::size_t i = 0; i < mixed.size(); i += 2)
        mixed[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(mixed[i])));
    EXPECT_EQ(&o.session->GetStoreFromID(mixed), o.store);
    EXPECT_EQ(&o.session->GetStoreFromID(second.EntryID()), &second);

    std::string flipped = id;
    flipped[90] = flipped[90] == '0' ? '1' : '0';
    Rig otherRig;
    auto other = otherRig.session();
    const std::string foreign =
        other->Stores().AddPSTStore("/out/other.pst", olStoreDefault, "Other").EntryID();
    const std::string refused[] = {
        "",      id.substr(0, id.size() - 2),           id + "00", flipped, " " + id,
        foreign, id.substr(0, 10) + "G" + id.substr(11)};
    for (const std::string& bad : refused) {
        const std::string message = errorOf([&] { o.session->GetStoreFromID(bad); });
        EXPECT_NE(message.find("No store of this session has the entry ID"), std::string::npos)
            << bad << ": " << message;
    }
}

struct StandardFolderCase
{
    int number;
    const char* name;
    const char* containerClass;
};
const StandardFolderCase standardFolders[] = {
    {olFolderInbox, "Inbox", "IPF.Note"},          {olFolderOutbox, "Outbox", "IPF.Note"},
    {olFolderSentMail, "Sent Items", "IPF.Note"},  {olFolderCalendar, "Calendar", "IPF.Appointment"},
    {olFolderContacts, "Contacts", "IPF.Contact"}, {olFolderJournal, "Journal", "IPF.Journal"},
    {olFolderNotes, "Notes", "IPF.StickyNote"},    {olFolderTasks, "Tasks", "IPF.Task"},
    {olFolderDrafts, "Drafts", "IPF.Note"},
};

TEST(SessionStore, ValidateIpmTreeBuildsTheStandardFoldersWithTheirDefaultEntryIds)
{
    Opened o;
    const PstReader pst = durable(o.written()); // the tree is committed at once
    EXPECT_TRUE(pst::check::checkPstBytes(o.written().bytes.bytes()).empty());
    const auto storeProps = pst.storeProperties();
    const auto recordKey = storeProps.at(0x0FF90102).data();
    const auto entryIdOf = [&](std::uint32_t nid) {
        pst::Bytes id(24, 0);
        std::copy(recordKey.begin(), recordKey.end(), id.begin() + 4);
        pst::putU32(id.data() + 20, nid);
        return id;
    };
    const pst::Bytes ipmId = storeProps.at(0x35E00102).data();
    const std::uint32_t ipm = pst::getU32(ipmId.data() + 20);
    ASSERT_EQ(ipmId, entryIdOf(ipm));
    std::map<std::string, std::uint32_t> nids;
    std::size_t underIpm = 0;
    for (const auto& folder : pst.folders()) {
        nids[folder.name] = folder.nid;
        underIpm += folder.parent == ipm && folder.nid != ipm;
    }
    for (const auto& f : standardFolders) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(nids.contains(f.name));
        EXPECT_EQ(pst.properties(nids.at(f.name)).at(0x3613001F).toUtf8(), f.containerClass);
    }
    EXPECT_EQ(underIpm, 1u + std::size(standardFolders)) << "the standard folders and Deleted Items";

    const std::pair<std::uint32_t, const char*> onRootAndInbox[] = {
        {0x36D00102, "Calendar"}, {0x36D10102, "Contacts"}, {0x36D20102, "Journal"},
        {0x36D30102, "Notes"},    {0x36D40102, "Tasks"},    {0x36D70102, "Drafts"}};
    for (std::uint32_t holder : {std::uint32_t{0x122}, nids.at("Inbox")}) {
        const auto props = pst.properties(holder);
        for (const auto& [tag, name] : onRootAndInbox) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(props.contains(tag));
            EXPECT_EQ(props.at(tag).data(), entryIdOf(nids.at(name)));
        }
    }
    EXPECT_EQ(storeProps.at(0x35E20102).data(), entryIdOf(nids.at("Outbox")));
    EXPECT_EQ(storeProps.at(0x35E40102).data(), entryIdOf(nids.at("Sent Items")));
    // Subtree, Inbox, Outbox, Deleted Items, Sent Items, finder (and common views).
    EXPECT_EQ(storeProps.at(0x35DF0003).toInt32() & 0xDF, 0xDF);
    std::set<std::string> receivedInInbox;
    for (const auto& row : pst.table(0x62B).rows) // the receive folder table
        if (static_cast<std::uint32_t>(row.values.at(0x66050003).toInt32()) == nids.at("Inbox"))
            receivedInInbox.insert(textProp(row.values, 0x001A001F));
    EXPECT_EQ(receivedInInbox, (std::set<std::string>{"", "IPM", "Report.IPM"}));

    const std::uint64_t operations = o.written().operations;
    o.store->ValidateIPMTree();
    EXPECT_EQ(o.written().operations, operations) << "a second call changes nothing";
}

// Before Logon nothing works; an unnamed store is named after its file.
TEST(SessionStore, GetDefaultFolderTakesOutlooksNumbers)
{
    Rig rig;
    auto session = createPstSession(rig.options());
    EXPECT_THROW(session->Stores(), MapiError);
    EXPECT_THROW(session->GetStoreFromID("00"), MapiError);
    session->Logon();
    RDOStore& store = session->Stores().AddPSTStore("/out/Contacts of 2026.pst");
    EXPECT_EQ(durable(*rig.written).storeProperties().at(PR_DISPLAY_NAME).toUtf8(), "Contacts of 2026");
    EXPECT_EQ(store.GetDefaultFolder(olFolderDeletedItems).Name(), "Deleted Items");
    const std::string early = errorOf([&] { store.GetDefaultFolder(olFolderContacts); });
    EXPECT_NE(early.find("ValidateIPMTree"), std::string::npos) << early;

    store.ValidateIPMTree();
    for (const auto& f : standardFolders)
        EXPECT_EQ(store.GetDefaultFolder(f.number).Name(), f.name) << f.number;
    EXPECT_EQ(&store.GetDefaultFolder(olFolderContacts), &store.GetDefaultFolder(olFolderContacts));
    for (int unknown : {-1, 0, 1, 2, 7, 8, 14, 15, 17, 18, 28, 1000})
        EXPECT_THROW(store.GetDefaultFolder(unknown), MapiError) << unknown;
}

// Refusals, before an item's first save (values go to the saved state at once) and after it
// (values wait for the next save): either way a refused value is neither kept nor written.
TEST(SessionItems, RefusedValuesAreNeitherKeptNorWritten)
{
    struct Case
    {
        const char* what;
        Step step;
        std::string messageHas;
    };
    const Case cases[] = {
        {"unknown name", put("FirstNam", "x"), "\"FirstNam\""},
        {"a gender no 16 bits hold", put("Gender", "65536"), "Gender"},
        {"date for a text tag", set(PR_GENERATION, OleDate{100}), "0x3A05001F"},
        {"date past 9999", set(PR_BIRTHDAY, OleDate{3e6}), "0x3A420040"},
    };
    for (bool saved : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (saved ? ", after a save" : ", before a save"));
            Opened o;
            {
                auto item = o.contacts().Items().Add(olContactItem);
                item->put("LastName", "Kept");
                if (saved)
                    item->Save();
                const std::string message = errorOf([&] { c.step(*item); });
                EXPECT_NE(message.find(c.messageHas), std::string::npos) << message;
                item->put("FirstName", "Also kept");
                item->Save();
            }
            o.session->Logoff();
            const auto written = contactsIn(o.written());
            ASSERT_EQ(written.size(), 1u);
            EXPECT_EQ(textProp(written[0], PR_SURNAME), "Kept");
            EXPECT_EQ(textProp(written[0], PR_GIVEN_NAME), "Also kept");
            EXPECT_EQ(textProp(written[0], PR_GENERATION), "<absent>");
            EXPECT_FALSE(timeProp(written[0], PR_BIRTHDAY));
        }
    }
}

TEST(SessionItems, ChangesAfterTheLastSaveAreNotWritten)
{
    const Step save = [](RDOContactItem& i) { i.Save(); };
    const PropertyValue jr = std::string("Jr."), sr = std::string("Sr."), a = std::string("A");
    struct Case
    {
        const char* what;
        std::vector<Step> steps;
        std::optional<std::string> firstName; // nothing: no message at all
        std::string generation;
    };
    const Case cases[] = {
        {"never saved", {put("FirstName", "A")}, std::nullopt, ""},
        {"put after save", {put("FirstName", "A"), save, put("FirstName", "B")}, "A", "<absent>"},
        {"unsaved write", {put("FirstName", "A"), save, set(PR_GENERATION, jr, false)}, "A", "<absent>"},
        {"saving single write", {set(PR_GENERATION, jr), put("FirstName", "A")}, "<absent>", "Jr."},
        {"saved twice", {put("FirstName", "A"), save, put("FirstName", "B"), save}, "B", "<absent>"},
        {"tag then name", {set(PR_GIVEN_NAME, a), put("FirstName", "B"), save}, "B", "<absent>"},
        {"name then tag", {put("FirstName", "B"), set(PR_GIVEN_NAME, a)}, "A", "<absent>"},
        {"write after Save", {set(PR_GENERATION, jr), save, set(PR_GENERATION, sr)}, "<absent>", "Sr."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Opened o;
        {
            auto item = o.contacts().Items().Add(olContactItem);
            for (const auto& step : c.steps)
                step(*item);
        }
        o.session->Logoff();
        const auto written = contactsIn(o.written());
        ASSERT_EQ(written.size(), c.firstName ? 1u : 0u) << "an item is written once, if saved";
        if (c.firstName) {
            EXPECT_EQ(textProp(written[0], PR_GIVEN_NAME), *c.firstName);
            EXPECT_EQ(textProp(written[0], PR_GENERATION), c.generation);
        }
    }
}

TEST(SessionItems, AddPictureSavesOutlooksContactPhotoAndASecondPictureReplacesTheFirst)
{
    Opened o;
    std::vector<std::uint8_t> first = {0xFF, 0xD8, 0xFF, 0xDB}, second = first;
    first.resize(70000, 0x5A);
    second.resize(300, 0xA5);
    {
        auto item = o.contacts().Items().Add(olContactItem);
        item->put("LastName", "Pictured");
        item->AddPicture(first);
        item->Save();
        const std::vector<std::uint8_t> bitmap = {'B', 'M', 0, 0, 0, 0};
        EXPECT_NE(errorOf([&] { item->AddPicture(bitmap); }).find("JPEG"), std::string::npos);
        item->AddPicture(second);
        item->Save();
    }
    o.session->Logoff();
    EXPECT_TRUE(tressimo::testing::isSound(o.written().bytes.bytes()));
    const PstReader pst = durable(o.written());
    const auto messages = pst.messages(*pst.findFolder("Contacts"));
    ASSERT_EQ(messages.size(), 1u);
    const PropertyMap m = pst.properties(messages[0]);
    const auto* hasPicture = pst.namedValue(m, pst::check::kPsetidAddress, 0x8015);
    ASSERT_NE(hasPicture, nullptr);
    EXPECT_TRUE(hasPicture->toBool());
    const auto table = pst.subnodeTable(messages[0], pst::check::nids::MessageAttachmentTable);
    ASSERT_EQ(table.rows.size(), 1u);
    const PropertyMap a = pst.subnodeProperties(messages[0], table.rows[0].rowId);
    EXPECT_EQ(a.at(0x37010102).data(), second);
    for (const auto& [tag, text] : {std::pair{0x3001001Fu, "ContactPicture.jpg"},
                                    {0x3707001Fu, "ContactPicture.jpg"},
                                    {0x3704001Fu, "ContactP.jpg"},
                                    {0x3703001Fu, ".jpg"},
                                    {0x370E001Fu, "image/jpeg"}})
        EXPECT_EQ(textProp(a, tag), text);
    EXPECT_EQ(a.at(0x37050003).toInt32(), 1);
    EXPECT_EQ(a.at(0x370B0003).toInt32(), -1);
    EXPECT_TRUE(a.at(0x7FFF000B).toBool());
    EXPECT_FALSE(a.at(0x7FFE000B).toBool());
}

TEST(SessionCommits, ACommitTakesSavedItemsStillAliveAndALaterSaveReplacesThem)
{
    Opened o;
    auto held = o.contacts().Items().Add(olContactItem);
    held->put("FirstName", "Held");
    held->Save();
    EXPECT_TRUE(contactsIn(o.written()).empty()) << "no commit before the interval";
    o.rig.advance(2s);
    writeContact(o.contacts(), typicalContact(1));
    const auto first = contactsIn(o.written());
    ASSERT_EQ(first.size(), 2u);
    const auto isHeld = [](const PropertyMap& m) { return textProp(m, PR_GIVEN_NAME) == "Held"; };
    const auto created = timeProp(*std::find_if(first.begin(), first.end(), isHeld), PR_CREATION_TIME);

    held->put("LastName", "Later");
    o.rig.advance(1s);
    held->Save();
    o.rig.advance(1s); // a write at release would carry this time
    held.reset();
    o.session->Logoff();
    const auto last = contactsIn(o.written());
    ASSERT_EQ(last.size(), 2u);
    const PropertyMap& m = *std::find_if(last.begin(), last.end(), isHeld);
    EXPECT_EQ(textProp(m, PR_SURNAME), "Later");
    EXPECT_EQ(timeProp(m, PR_CREATION_TIME), created);
    EXPECT_EQ(*timeProp(m, PR_LAST_MODIFICATION_TIME), *created + 30'000'000) << "as saved, 3 s later";
}

// Logoff, or destroying the session without it, commits what was saved and closes every store.
TEST(SessionCommits, LogoffClosesEveryStoreAndLaterCallsAreRefused)
{
    for (const bool logoff : {true, false}) {
        SCOPED_TRACE(logoff ? "Logoff" : "session destroyed");
        Opened o;
        writeContact(o.contacts(), typicalContact(0));
        auto saved = o.contacts().Items().Add(olContactItem);
        saved->put("FirstName", "Pending");
        saved->Save();
        RDOFolder& contacts = o.contacts();
        const std::string id = o.store->EntryID();
        logoff ? o.session->Logoff() : o.session.reset();
        EXPECT_EQ(contactsIn(o.written()).size(), 2u) << "the pending item was written";
        EXPECT_TRUE(o.written().closed);
        const std::uint64_t operations = o.written().operations;
        if (logoff) {
            EXPECT_NE(errorOf([&] { saved->Save(); }).find("closed"), std::string::npos);
            EXPECT_THROW(contacts.Items().Add(olContactItem), MapiError);
            EXPECT_THROW(o.store->GetDefaultFolder(olFolderContacts), MapiError);
            EXPECT_THROW(o.store->ValidateIPMTree(), MapiError);
            EXPECT_THROW(o.session->GetStoreFromID(id), MapiError);
            EXPECT_NO_THROW(o.session->Logoff()) << "a second Logoff has nothing to do";
        }
        EXPECT_NO_THROW(saved.reset());
        EXPECT_EQ(o.written().operations, operations);
    }
}

// The contact writer learns from Save whether its contact was written: a write that fails
// must fail that Save, not pass it and surface only at the next contact or at Logoff.
TEST(SessionFailures, AnItemWhoseWriteFailsIsNotReportedAsSaved)
{
    for (const std::uint64_t failing : {1, 2}) {
        SCOPED_TRACE("sink operation " + std::to_string(failing) + " of the save fails");
        Opened o;
        Written& w = o.written();
        o.rig.advance(2s); // the save commits
        w.failAt = w.operations + failing;
        const std::size_t reported = o.rig.durable->size();
        auto item = o.contacts().Items().Add(olContactItem);
        item->put("FirstName", "Lost");
        MAPIUtils().HrSetOneProp(item->MAPIOBJECT(), PR_GENERATION, std::string("Jr."), true);
        EXPECT_EQ(errorOf([&] { item->Save(); }),
                  "Cannot write to \"" + w.bytes.name() + "\": No space left on device");
        const std::uint64_t operations = w.operations;
        EXPECT_THROW(item->Save(), StoreFailure) << "a failed store writes nothing more";
        EXPECT_NO_THROW(item.reset());
        EXPECT_THROW(o.session->Logoff(), StoreFailure);
        EXPECT_EQ(w.operations, operations);
        EXPECT_TRUE(contactsIn(w).empty());
        EXPECT_EQ(o.rig.durable->size(), reported) << "a failed commit is never reported durable";
    }
}

} // namespace
} // namespace tressimo::mapi::test
