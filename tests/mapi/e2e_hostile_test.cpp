// Hostile contact values through the real writer: control characters where the store looks
// for its own markers, NULs, bytes that are not UTF-8, very long texts, dates at the ends of
// what a FILETIME holds. Each contact must be written, none may spoil the store for the
// contacts after it, and the file must satisfy our checker and pypff.

#include "e2e_support.h"
#include "pst/check/checker.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <gtest/gtest.h>

namespace tressimo::mapi::test {
namespace {

using namespace std::string_literals;

double oleDateOf(std::chrono::year_month_day date, double fraction = 0)
{
    using namespace std::chrono;
    return static_cast<double>((sys_days{date} - sys_days{year{1899} / 12 / 30}).count()) + fraction;
}

struct HostileCase
{
    const char* what;
    ContactRecordValues values;
    // The display name pypff must read back (PidTagDisplayName).
    std::string displayName;
};

ContactRecordValues named(std::string first, std::string last)
{
    ContactRecordValues r;
    r.firstName = std::move(first);
    r.lastName = std::move(last);
    return r;
}

std::vector<HostileCase> hostileCases()
{
    std::vector<HostileCase> cases;
    // A name starting with U+0001 (a character reference in the file) must not be taken for the
    // store's subject-prefix marker, well formed or not.
    const std::string u1 = "\x01", u5 = "\x05";
    cases.push_back({"U+0001 alone", named(u1, ""), u1});
    cases.push_back(
        {"U+0001 and a wrong prefix length", named(u1 + u5 + "ab", "Smith"), u1 + u5 + "ab Smith"});
    cases.push_back({"U+0001 twice", named(u1 + u1 + "ab", ""), u1 + u1 + "ab"});
    cases.push_back(
        {"NUL and bytes that are not UTF-8", named("An\0n"s, "Sm\xFFith"), "Ann Sm\xEF\xBF\xBDith"});
    ContactRecordValues longBody = named("Long", "Note");
    longBody.comments.assign(3 << 20, 'x');
    longBody.categories = std::string(300, 'c') + "," + std::string(300, 'd');
    cases.push_back({"a 3 MB note and over-long categories", longBody, "Long Note"});
    ContactRecordValues dates = named("Edge", "Dates");
    dates.birthday = {oleDateOf(std::chrono::year{1601} / 1 / 2)};
    dates.anniversary = {oleDateOf(std::chrono::year{9999} / 12 / 31, 0.99999)};
    cases.push_back({"dates at the ends of the FILETIME range", dates, "Edge Dates"});
    ContactRecordValues astral = named("\xF0\x9F\x98\x80", "\xF0\xA0\xAE\xB7");
    astral.title = "\xF0\x9F\x8E\x93";
    astral.email = "\xF0\x9F\x98\x80@example.org";
    cases.push_back(
        {"characters outside the BMP", astral, "\xF0\x9F\x8E\x93 \xF0\x9F\x98\x80 \xF0\xA0\xAE\xB7"});
    return cases;
}

TEST(E2eHostileValues, EveryContactIsWrittenAndTheStoreStaysSound)
{
    TempFolder folder;
    const auto path = folder.path() / "hostile.pst";
    const std::vector<HostileCase> cases = hostileCases();
    {
        auto session = createPstSession(realWriterOptions());
        session->Logon();
        RDOStore& store = session->Stores().AddPSTStore(path, olStoreDefault, "Hostile");
        store.ValidateIPMTree();
        for (const HostileCase& c : cases)
            writeContactAsTheWriterDoes(store, c.values);
        // After the hostile ones, an ordinary contact still goes in.
        writeContactAsTheWriterDoes(store, named("Plain", "Last"));
        ASSERT_NO_THROW(session->Logoff());
    }

    const auto violations = pst::check::checkPst(path);
    for (const auto& v : violations)
        ADD_FAILURE() << v.toString();
    const auto dump = pst::oracle::dumpWithPypff(path);
    const auto* contacts = pst::oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contacts, nullptr);
    const auto& messages = contacts->at("messages");
    ASSERT_EQ(messages.size(), cases.size() + 1);
    std::vector<std::string> names;
    for (const auto& m : messages) {
        const auto* name = pst::oracle::findProperty(m, 0x3001001F);
        names.push_back(name ? name->at("value").get<std::string>() : "<absent>");
        // The subject is stored as the display name behind the marker and an empty prefix,
        // whatever character the name starts with. (pypff's own subject accessor garbles
        // characters outside the BMP, so the stored property is compared.)
        const auto* subject = pst::oracle::findProperty(m, 0x0037001F);
        EXPECT_EQ(subject ? subject->at("value").get<std::string>() : "<absent>", "\x01\x01" + names.back());
    }
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(std::find(names.begin(), names.end(), c.displayName), names.end());
    }
}

} // namespace
} // namespace tressimo::mapi::test
