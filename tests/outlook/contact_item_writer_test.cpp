// The contact item writer against a recording fake session: the shape and order of the calls,
// refused steps one at a time, dates and IMAddress, no field put twice. Which value reaches
// which property is checked end to end, through readers we did not write (tests/cli).

#include "outlook/contact_item_writer.h"
#include "outlook/full_name.h"
#include "tests/convert/sample_contacts.h"
#include "tests/outlook/fake_session.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace tressimo::testing {
namespace {

using contacts::ContactRecord;
using outlook::CreateContactItem;

// Every text is its own field name, every list one such text, but the photo, which is one;
// both dates are set, and the two values that must be one of a few words are.
ContactRecord everyFieldSet()
{
    ContactRecord record;
    contacts::forEachContactField([&](const contacts::ContactField& field) {
        if (field.text)
            record.*field.text = "v:" + std::string(field.name);
        if (field.list)
            record.*field.list = {"v:" + std::string(field.name)};
    });
    record.Photo = base64Photo(400);
    record.Gender = "Female";
    record.MailingAddress = "Other";
    record.eContact_BirthDay = 29000.0;
    record.eContact_Anniversary = 38000.0;
    return record;
}

struct Written
{
    std::shared_ptr<FakeWorld> world = std::make_shared<FakeWorld>();
    outlook::ContactItemResult result;
};

Written write(const ContactRecord& record, std::vector<std::string> refusals = {})
{
    Written w;
    w.world->refusals = std::move(refusals);
    FakeSession session(w.world);
    session.AddPSTStore("/tmp/unused.pst", 1, "unused");
    w.world->calls.clear();
    w.result = CreateContactItem(session, "STORE-1", 10, record);
    return w;
}

// Dates are written only when the record holds them (0 is a real date, 30 December 1899);
// IMAddress joins the non-empty other e-mail texts, as handed over, with one blank.
TEST(ContactItemWriter, DatesAndIMAddressFollowWhatTheRecordHolds)
{
    struct Case
    {
        std::optional<double> birthday, anniversary;
        std::string one, two, three;
        std::string written; // the date and IMAddress calls, in order
    };
    const Case cases[] = {
        {std::nullopt, 40000.0, "", "b@x", "", "put(IMAddress,b@x) setProperty(0x3A410040,date 40000) "},
        {0.0, std::nullopt, "a@x", "", "c@x", "put(IMAddress,a@x c@x) setProperty(0x3A420040,date 0) "},
        {std::nullopt, std::nullopt, "a b", "\tb", "", "put(IMAddress,a b \tb) "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        ContactRecord record;
        record.eContact_BirthDay = c.birthday;
        record.eContact_Anniversary = c.anniversary;
        record.eContact_OtherEmail1 = c.one;
        record.eContact_OtherEmail2 = c.two;
        record.eContact_OtherEmail3 = c.three;
        const Written w = write(record);
        std::string written;
        for (const auto& call : w.world->calls)
            if (call.starts_with("put(IMAddress,") || call.starts_with("setProperty(0x3A41") ||
                call.starts_with("setProperty(0x3A42"))
                written += call + " ";
        EXPECT_EQ(written, c.written);
        EXPECT_TRUE(w.result.saved);
        EXPECT_EQ(w.world->count("saveChanges()"), 2 + (c.birthday ? 1 : 0) + (c.anniversary ? 1 : 0));
    }
}

// Unrefused: the store, its folder, a new contact, every assignment, four single-property
// writes each on its own message object and saved at once, then Save. Then each call refused
// in turn: the refused step is skipped, every later step still runs unless it needs what the
// refused step would have given.
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
    const int puts = static_cast<int>(outlook::kAssignments.size());
    const Case cases[] = {
        {"GetStoreFromID(", false, "GetStoreFromID", 1, Then::NothingMore},
        {"GetDefaultFolder(", false, "GetDefaultFolder", 1, Then::NothingMore},
        {"Items(", false, "Items", 1, Then::NothingMore},
        {"Add(", false, "Add", 1, Then::NothingMore},
        {"put(FirstName,", true, "FirstName", 1, Then::AllOtherCalls},
        {"put(Body,", true, "Body", 1, Then::AllOtherCalls},
        {"put(", true, "FirstName", puts, Then::AllOtherCalls},
        {"MAPIOBJECT(", true, "PR_BIRTHDAY", 4, Then::NoPropertyWrites},
        {"setProperty(0x3A410040", true, "PR_WEDDING_ANNIVERSARY", 1, Then::NoSaveOfThatWrite},
        {"setProperty(0x3A05001F", true, "PR_GENERATION", 1, Then::NoSaveOfThatWrite},
        {"saveChanges(", true, "PR_BIRTHDAY", 4, Then::AllOtherCalls},
        {"AddPicture(", true, "AddPicture", 1, Then::AllOtherCalls},
        {"Save(", false, "Save", 1, Then::AllOtherCalls},
    };
    const Written whole = write(everyFieldSet());
    const std::vector<std::string>& full = whole.world->calls;
    std::string shape;
    for (const std::string& call : full)
        shape += call.substr(0, call.starts_with("setProperty(") ? 18 : call.find('(')) + " ";
    std::string putShape;
    for (int i = 0; i < puts; ++i)
        putShape += "put ";
    EXPECT_EQ(shape, "GetStoreFromID GetDefaultFolder Items Add " + putShape +
                         "MAPIOBJECT setProperty(0x3A42 saveChanges MAPIOBJECT setProperty(0x3A41 saveChanges "
                         "MAPIOBJECT setProperty(0x3A45 saveChanges MAPIOBJECT setProperty(0x3A05 saveChanges AddPicture Save ");
    EXPECT_EQ(whole.world->count("AddPicture(JPEG)"), 1);
    EXPECT_EQ(full[0] + full[1] + full[3], "GetStoreFromID(STORE-1)GetDefaultFolder(10)Add(2)");
    EXPECT_TRUE(whole.result.saved && whole.result.refusedSteps == 0 && whole.world->saved.size() == 1);
    std::set<std::string> names, values; // nothing is put twice, no value goes to two places
    for (const std::string& call : whole.world->callsStartingWith("put(")) {
        names.insert(call.substr(0, call.find(',')));
        values.insert(call.substr(call.find(',')));
    }
    EXPECT_EQ(names.size(), outlook::kAssignments.size());
    EXPECT_EQ(values.size(), outlook::kAssignments.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        const Written w = write(everyFieldSet(), {c.refusal});
        EXPECT_EQ(w.result.saved, c.saved);
        EXPECT_EQ(w.result.firstFailedStep, c.firstStep);
        const auto refused =
            std::find_if(full.begin(), full.end(), [&](auto& call) { return call.starts_with(c.refusal); });
        ASSERT_NE(refused, full.end());
        EXPECT_EQ(w.result.firstError, "refused: " + *refused);
        EXPECT_EQ(w.result.refusedSteps, c.refusedSteps);
        EXPECT_EQ(w.world->saved.size(), c.saved ? 1u : 0u);
        std::vector<std::string> expected;
        for (auto call = full.begin(); call != full.end(); ++call) {
            if ((c.then == Then::NoSaveOfThatWrite && call == refused + 1) ||
                (c.then == Then::NoPropertyWrites &&
                 (call->starts_with("setProperty(") || call->starts_with("saveChanges("))))
                continue;
            expected.push_back(*call);
            if (c.then == Then::NothingMore && call == refused)
                break;
        }
        EXPECT_EQ(w.world->calls, expected);
    }
    // A photo that makes no picture: no AddPicture, the item saved whole, the reason kept.
    ContactRecord broken = everyFieldSet();
    broken.Photo = "not base64!";
    const Written w = write(broken);
    EXPECT_TRUE(w.result.saved && w.result.refusedSteps == 0 && w.world->count("AddPicture(") == 0);
    EXPECT_NE(w.result.pictureProblem.find("base64"), std::string::npos) << w.result.pictureProblem;
    EXPECT_EQ(whole.result.pictureProblem, "");
}

// A whole name as title|first|middle|last|suffix.
TEST(FullName, SplitsAsOutlookSplitsATypedName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Cher", "|Cher|||"},
        {"dialup.email@juno.com", "|dialup.email@juno.com|||"},
        {" Ann\tSmith ", "|Ann||Smith|"},
        {"mr. Ann Marie Louise van Smith PhD Jr", "mr.|Ann|Marie Louise van|Smith|PhD Jr"},
        {"Smith, Ann Marie", "|Ann|Marie|Smith|"},
        {"van der Berg, Jan", "|Jan||van der Berg|"},
        {"Ann Smith, Jr.", "|Ann||Smith|Jr."},
        {"Dr", "|Dr|||"},
        {"Jr.", "|Jr.|||"},
        {"", "||||"},
    };
    for (const auto& [name, parts] : cases) {
        const auto p = outlook::splitFullName(name);
        EXPECT_EQ(p.title + "|" + p.first + "|" + p.middle + "|" + p.last + "|" + p.suffix, parts) << name;
    }
}

} // namespace
} // namespace tressimo::testing
