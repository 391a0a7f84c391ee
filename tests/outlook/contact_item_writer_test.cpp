// The contact item writer against a recording fake session: which value reaches which
// property, the order of the calls, refused steps one at a time, dates and IMAddress.

#include "outlook/contact_item_writer.h"
#include "tests/outlook/fake_session.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace tressimo::testing {
namespace {

using contacts::ContactRecord;
using contacts::kContactFields;
using outlook::CreateContactItem;

// A record whose every text is its own field name ("eContact_FirstName" holds
// "v:eContact_FirstName") and whose dates are set.
ContactRecord everyFieldSet()
{
    ContactRecord record;
    for (const auto& field : kContactFields) {
        if (field.text)
            record.*field.text = "v:" + std::string(field.name);
    }
    record.eContact_BirthDay = 29000.0;
    record.eContact_Anniversary = 38000.0;
    return record;
}

struct Written
{
    std::shared_ptr<FakeWorld> world = std::make_shared<FakeWorld>();
    outlook::ContactItemResult result;
};

Written write(const ContactRecord& record, std::vector<std::string> refusals = {},
              const std::string& storeID = "STORE-1")
{
    Written w;
    w.world->refusals = std::move(refusals);
    FakeSession session(w.world);
    session.AddPSTStore("/tmp/unused.pst", 1, "unused");
    w.world->calls.clear();
    w.result = CreateContactItem(session, storeID, 10, record);
    return w;
}

const std::vector<std::string> kPutOrder = {"FirstName",
                                            "MiddleName",
                                            "LastName",
                                            "JobTitle",
                                            "CompanyName",
                                            "BusinessTelephoneNumber",
                                            "BusinessFaxNumber",
                                            "HomeTelephoneNumber",
                                            "HomeFaxNumber",
                                            "MobileTelephoneNumber",
                                            "PagerNumber",
                                            "BusinessAddressStreet",
                                            "BusinessAddressCity",
                                            "BusinessAddressState",
                                            "BusinessAddressPostalCode",
                                            "BusinessAddressCountry",
                                            "HomeAddressStreet",
                                            "HomeAddressCity",
                                            "HomeAddressState",
                                            "HomeAddressPostalCode",
                                            "HomeAddressCountry",
                                            "Email1Address",
                                            "Email2Address",
                                            "Email3Address",
                                            "WebPage",
                                            "IMAddress",
                                            "Categories",
                                            "Department",
                                            "OfficeLocation",
                                            "Profession",
                                            "ManagerName",
                                            "AssistantName",
                                            "Spouse",
                                            "Body"};

// The whole conversation for a record with every field and both dates set.
std::vector<std::string> fullConversation()
{
    const ContactRecord r = everyFieldSet();
    std::vector<std::string> calls = {"GetStoreFromID(STORE-1)", "GetDefaultFolder(10)", "Items()", "Add(2)"};
    const std::vector<std::pair<std::string, std::string>> puts = {
        {"FirstName", r.eContact_FirstName},
        {"MiddleName", r.eContact_MiddleName},
        {"LastName", r.eContact_LastName},
        {"JobTitle", r.eContact_JobTitle},
        {"CompanyName", r.eContact_Company},
        {"BusinessTelephoneNumber", r.eContact_OfficePhone},
        {"BusinessFaxNumber", r.eContact_OfficeFax},
        {"HomeTelephoneNumber", r.eContact_HomePhone},
        {"HomeFaxNumber", r.eContact_HomeFax},
        {"MobileTelephoneNumber", r.eContact_CellPhone},
        {"PagerNumber", r.eContact_Pager},
        {"BusinessAddressStreet", r.eContact_BusinessStreet},
        {"BusinessAddressCity", r.eContact_BusinessCity},
        {"BusinessAddressState", r.eContact_BusinessState},
        {"BusinessAddressPostalCode", r.eContact_BusinessZip},
        {"BusinessAddressCountry", r.eContact_BusinessCountry},
        {"HomeAddressStreet", r.eContact_PersonalStreet},
        {"HomeAddressCity", r.eContact_PersonalCity},
        {"HomeAddressState", r.eContact_PersonalState},
        {"HomeAddressPostalCode", r.eContact_PersonalZip},
        {"HomeAddressCountry", r.eContact_PersonalCountry},
        {"Email1Address", r.eContact_Email},
        {"Email2Address", r.eContact_Email2},
        {"Email3Address", r.eContact_Email3},
        {"WebPage", r.eContact_WebPage},
        {"IMAddress", "v:eContact_OtherEmail1 v:eContact_OtherEmail2 v:eContact_OtherEmail3"},
        {"Categories", r.eContact_Categories},
        {"Department", r.eContact_Department},
        {"OfficeLocation", r.eContact_Location},
        {"Profession", r.eContact_JobTitle},
        {"ManagerName", r.eContact_Manager},
        {"AssistantName", r.eContact_Assistant},
        {"Spouse", r.eContact_Spouse},
        {"Body", r.eContact_Comments}};
    for (const auto& [name, text] : puts)
        calls.push_back("put(" + name + "," + text + ")");
    for (const auto& write :
         {"setProperty(0x3A420040,date 29000)", "setProperty(0x3A410040,date 38000)",
          "setProperty(0x3A45001F,v:eContact_Title)", "setProperty(0x3A05001F,v:eContact_Suffix)"}) {
        calls.push_back("MAPIOBJECT()");
        calls.push_back(write);
        calls.push_back("saveChanges()");
    }
    calls.push_back("Save()");
    return calls;
}

TEST(ContactItemWriter, MakesExactlyTheCallsOfOneContactInOrder)
{
    const Written w = write(everyFieldSet());
    EXPECT_EQ(w.world->calls, fullConversation());
    EXPECT_TRUE(w.result.saved);
    EXPECT_EQ(w.result.refusedSteps, 0);
    EXPECT_EQ(w.result.firstFailedStep, "");
    ASSERT_EQ(w.world->saved.size(), 1u);
}

// Where each record field ends up on the saved item: object-model puts ("put X") and
// single-property writes ("prop 0x..."). Every field of the record is listed.
TEST(ContactItemWriter, EveryFieldReachesItsPropertiesAndNoOther)
{
    const std::map<std::string, std::set<std::string>> destinations = {
        {"eContact_FirstName", {"put FirstName"}},
        {"eContact_MiddleName", {"put MiddleName"}},
        {"eContact_LastName", {"put LastName"}},
        {"eContact_Suffix", {"prop 0x3A05001F"}},
        {"eContact_Title", {"prop 0x3A45001F"}},
        {"eContact_Email", {"put Email1Address"}},
        {"eContact_Email2", {"put Email2Address"}},
        {"eContact_Email3", {"put Email3Address"}},
        {"eContact_Company", {"put CompanyName"}},
        {"eContact_JobTitle", {"put JobTitle", "put Profession"}},
        {"eContact_BusinessStreet", {"put BusinessAddressStreet"}},
        {"eContact_BusinessCity", {"put BusinessAddressCity"}},
        {"eContact_BusinessZip", {"put BusinessAddressPostalCode"}},
        {"eContact_BusinessState", {"put BusinessAddressState"}},
        {"eContact_BusinessCountry", {"put BusinessAddressCountry"}},
        {"eContact_Location", {"put OfficeLocation"}},
        {"eContact_WebPage", {"put WebPage"}},
        {"eContact_Department", {"put Department"}},
        {"eContact_Manager", {"put ManagerName"}},
        {"eContact_Assistant", {"put AssistantName"}},
        {"eContact_OfficePhone", {"put BusinessTelephoneNumber"}},
        {"eContact_OfficeFax", {"put BusinessFaxNumber"}},
        {"eContact_CellPhone", {"put MobileTelephoneNumber"}},
        {"eContact_Pager", {"put PagerNumber"}},
        {"eContact_OtherEmail1", {"put IMAddress"}},
        {"eContact_OtherEmail2", {"put IMAddress"}},
        {"eContact_OtherEmail3", {"put IMAddress"}},
        {"eContact_PersonalStreet", {"put HomeAddressStreet"}},
        {"eContact_PersonalCity", {"put HomeAddressCity"}},
        {"eContact_PersonalZip", {"put HomeAddressPostalCode"}},
        {"eContact_PersonalState", {"put HomeAddressState"}},
        {"eContact_PersonalCountry", {"put HomeAddressCountry"}},
        {"eContact_Spouse", {"put Spouse"}},
        {"eContact_Childern", {}},
        {"eContact_HomePhone", {"put HomeTelephoneNumber"}},
        {"eContact_HomeFax", {"put HomeFaxNumber"}},
        {"eContact_BirthDay", {"prop 0x3A420040"}},
        {"eContact_Anniversary", {"prop 0x3A410040"}},
        {"eContact_Comments", {"put Body"}},
        {"eContact_ShortName", {}},
        {"eContact_PhoneticName", {}},
        {"eContact_MailDomain", {}},
        {"eContact_Categories", {"put Categories"}},
    };
    ASSERT_EQ(destinations.size(), kContactFields.size());

    for (const auto& field : kContactFields) {
        SCOPED_TRACE(std::string(field.name));
        // Only this field set, to a value no other field has.
        ContactRecord record;
        std::string marker;
        if (field.text) {
            marker = "only-" + std::string(field.name);
            record.*field.text = marker;
        } else {
            record.*field.date = 41234.0;
            marker = "date 41234";
        }
        const Written w = write(record);
        ASSERT_EQ(w.world->saved.size(), 1u);
        std::set<std::string> found;
        for (const auto& [name, text] : w.world->saved[0].puts)
            if (text.find(marker) != std::string::npos)
                found.insert("put " + name);
        for (const auto& [tag, value] : w.world->saved[0].properties)
            if (valueText(value).find(marker) != std::string::npos)
                found.insert("prop " + tagText(tag));
        EXPECT_EQ(found, destinations.at(std::string(field.name)));
    }
}

TEST(ContactItemWriter, AnEmptyRecordStillGivesASavedItemWithEmptyAssignments)
{
    const Written w = write(ContactRecord{});
    EXPECT_TRUE(w.result.saved);
    // Every text is assigned, empty ones too; IMAddress has nothing to be made of.
    std::vector<std::string> expected;
    for (const auto& name : kPutOrder)
        if (name != "IMAddress")
            expected.push_back("put(" + name + ",)");
    EXPECT_EQ(w.world->callsStartingWith("put("), expected);
    // Title and suffix go as empty texts; no date is written.
    EXPECT_EQ(w.world->callsStartingWith("setProperty("),
              (std::vector<std::string>{"setProperty(0x3A45001F,)", "setProperty(0x3A05001F,)"}));
}

TEST(ContactItemWriter, DatesAreWrittenOnlyWhenTheRecordHoldsThem)
{
    struct Case
    {
        std::optional<double> birthday, anniversary;
        std::vector<std::string> dateWrites;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, {}},
        {25000.0, std::nullopt, {"setProperty(0x3A420040,date 25000)"}},
        {std::nullopt, 40000.0, {"setProperty(0x3A410040,date 40000)"}},
        {1.0, 2958465.0, {"setProperty(0x3A420040,date 1)", "setProperty(0x3A410040,date 2.95846e+06)"}},
        // 0 is a real date when the reader sets it (30 December 1899); only "unset" is skipped.
        {0.0, std::nullopt, {"setProperty(0x3A420040,date 0)"}},
    };
    for (const Case& c : cases) {
        ContactRecord record;
        record.eContact_BirthDay = c.birthday;
        record.eContact_Anniversary = c.anniversary;
        const Written w = write(record);
        std::vector<std::string> dates;
        for (const auto& call : w.world->callsStartingWith("setProperty(0x3A4"))
            if (!call.starts_with("setProperty(0x3A45"))
                dates.push_back(call);
        EXPECT_EQ(dates, c.dateWrites);
        // Each write has its own message object and is saved at once.
        EXPECT_EQ(w.world->count("MAPIOBJECT()"), static_cast<int>(c.dateWrites.size()) + 2);
        EXPECT_EQ(w.world->count("saveChanges()"), static_cast<int>(c.dateWrites.size()) + 2);
    }
}

TEST(ContactItemWriter, IMAddressJoinsTheNonEmptyPartsWithOneBlank)
{
    struct Case
    {
        std::string one, two, three;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"", "", "", std::nullopt},
        {"a@x", "", "", "a@x"},
        {"", "", "c@x", "c@x"},
        {"", "b@x", "", "b@x"},
        {"a@x", "", "c@x", "a@x c@x"},
        {"a@x", "b@x", "c@x", "a@x b@x c@x"},
        // Parts are taken as handed over: inner blanks and tabs stay.
        {"a b", "\tb", "", "a b \tb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.one + "|" + c.two + "|" + c.three);
        EXPECT_EQ(outlook::composeIMAddress(c.one, c.two, c.three), c.expected);
        ContactRecord record;
        record.eContact_OtherEmail1 = c.one;
        record.eContact_OtherEmail2 = c.two;
        record.eContact_OtherEmail3 = c.three;
        const Written w = write(record);
        const auto puts = w.world->callsStartingWith("put(IMAddress,");
        if (c.expected)
            EXPECT_EQ(puts, std::vector<std::string>{"put(IMAddress," + *c.expected + ")"});
        else
            EXPECT_TRUE(puts.empty());
    }
}

// Each call refused in turn: the refused step is skipped, every later step still runs unless
// it needs what the refused step would have given.
TEST(ContactItemWriter, ARefusedStepIsSkippedAndTheRestStillHappens)
{
    enum class Then {
        AllOtherCalls,
        NothingMore,       // the store, folder or item is missing
        NoSaveOfThatWrite, // HrSetOneProp commits only after its write went through
        NoPropertyWrites,  // no message object to write on
    };
    struct Case
    {
        std::string refusal;
        bool saved;
        std::string firstStep;
        int refusedSteps;
        Then then;
    };
    const Case cases[] = {
        {"GetStoreFromID(", false, "GetStoreFromID", 1, Then::NothingMore},
        {"GetDefaultFolder(", false, "GetDefaultFolder", 1, Then::NothingMore},
        {"Items(", false, "Items", 1, Then::NothingMore},
        {"Add(", false, "Add", 1, Then::NothingMore},
        {"put(FirstName,", true, "FirstName", 1, Then::AllOtherCalls},
        {"put(IMAddress,", true, "IMAddress", 1, Then::AllOtherCalls},
        {"put(Body,", true, "Body", 1, Then::AllOtherCalls},
        {"put(", true, "FirstName", 34, Then::AllOtherCalls},
        {"MAPIOBJECT(", true, "PR_BIRTHDAY", 4, Then::NoPropertyWrites},
        {"setProperty(0x3A420040", true, "PR_BIRTHDAY", 1, Then::NoSaveOfThatWrite},
        {"setProperty(0x3A410040", true, "PR_WEDDING_ANNIVERSARY", 1, Then::NoSaveOfThatWrite},
        {"setProperty(0x3A45001F", true, "PR_DISPLAY_NAME_PREFIX", 1, Then::NoSaveOfThatWrite},
        {"setProperty(0x3A05001F", true, "PR_GENERATION", 1, Then::NoSaveOfThatWrite},
        {"saveChanges(", true, "PR_BIRTHDAY", 4, Then::AllOtherCalls},
        {"Save(", false, "Save", 1, Then::AllOtherCalls},
    };
    const std::vector<std::string> full = fullConversation();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        const Written w = write(everyFieldSet(), {c.refusal});
        EXPECT_EQ(w.result.saved, c.saved);
        EXPECT_EQ(w.result.firstFailedStep, c.firstStep);
        const auto refused = std::find_if(
            full.begin(), full.end(), [&](const std::string& call) { return call.starts_with(c.refusal); });
        ASSERT_NE(refused, full.end());
        EXPECT_EQ(w.result.firstError, "refused: " + *refused);
        EXPECT_EQ(w.result.refusedSteps, c.refusedSteps);
        EXPECT_EQ(w.world->saved.size(), c.saved ? 1u : 0u);

        std::vector<std::string> expected;
        for (auto call = full.begin(); call != full.end(); ++call) {
            if (c.then == Then::NoSaveOfThatWrite && call == refused + 1)
                continue;
            if (c.then == Then::NoPropertyWrites &&
                (call->starts_with("setProperty(") || call->starts_with("saveChanges(")))
                continue;
            expected.push_back(*call);
            if (c.then == Then::NothingMore && call == refused)
                break;
        }
        EXPECT_EQ(w.world->calls, expected);
    }
}

TEST(ContactItemWriter, AStoreIDThatNamesNoStoreWritesNothingAndReturnsNormally)
{
    const Written w = write(everyFieldSet(), {}, "NO-SUCH-STORE");
    EXPECT_FALSE(w.result.saved);
    EXPECT_EQ(w.result.firstFailedStep, "GetStoreFromID");
    EXPECT_EQ(w.world->calls, std::vector<std::string>{"GetStoreFromID(NO-SUCH-STORE)"});
}

TEST(ContactItemWriter, TwoCallsWithTheSameRecordWriteTwoItems)
{
    auto world = std::make_shared<FakeWorld>();
    FakeSession session(world);
    session.AddPSTStore("/tmp/unused.pst", 1, "unused");
    const ContactRecord record = everyFieldSet();
    EXPECT_TRUE(CreateContactItem(session, "STORE-1", 10, record).saved);
    EXPECT_TRUE(CreateContactItem(session, "STORE-1", 10, record).saved);
    EXPECT_EQ(world->count("Add(2)"), 2);
    ASSERT_EQ(world->saved.size(), 2u);
    EXPECT_EQ(world->saved[0].puts, world->saved[1].puts);
}

} // namespace
} // namespace tressimo::testing
