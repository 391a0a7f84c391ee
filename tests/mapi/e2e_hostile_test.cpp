// Hostile contact values through the real writer: control characters where the store looks
// for its own markers, NULs, bytes that are not UTF-8, very long texts, dates at the ends of
// what a FILETIME holds. Each contact must be written, none may spoil the store for the
// contacts after it, and the file must satisfy our checker and read back through our reader.

#include "pst/check/pst_reader.h"
#include "session_test_support.h"

#include <gtest/gtest.h>

namespace tressimo::mapi::test {
namespace {

using namespace std::string_literals;

struct HostileCase
{
    const char* what;
    ContactValues values;
    std::string displayName; // as it must read back
};

std::vector<HostileCase> hostileCases()
{
    // A name starting with U+0001 (a character reference in the file) must not be taken for the
    // store's subject-prefix marker, well formed or not.
    const std::string u1 = "\x01", u5 = "\x05";
    std::vector<HostileCase> cases = {
        {"U+0001 alone", named(u1, ""), u1},
        {"U+0001 and a wrong prefix length", named(u1 + u5 + "ab", "Smith"), u1 + u5 + "ab Smith"},
        {"U+0001 twice", named(u1 + u1 + "ab", ""), u1 + u1 + "ab"},
        {"NUL and bytes that are not UTF-8", named("An\0n"s, "Sm\xFFith"), "Ann Sm\xEF\xBF\xBDith"},
        {"a 3 MB note and over-long categories", named("Long", "Note"), "Long Note"},
        {"dates at the ends of the FILETIME range", named("Edge", "Dates"), "Edge Dates"},
        {"characters outside the BMP", named("\xF0\x9F\x98\x80", "\xF0\xA0\xAE\xB7"),
         "\xF0\x9F\x8E\x93 \xF0\x9F\x98\x80 \xF0\xA0\xAE\xB7"},
    };
    cases[4].values.puts.push_back({"Body", std::string(3 << 20, 'x')});
    cases[4].values.puts.push_back({"Categories", std::string(300, 'c') + "," + std::string(300, 'd')});
    cases[5].values.birthday = {-109204};          // 1601-01-02
    cases[5].values.anniversary = {2958465.99999}; // 9999-12-31 23:59:59
    cases[6].values.title = "\xF0\x9F\x8E\x93";
    cases[6].values.puts.push_back({"Email1Address", "\xF0\x9F\x98\x80@example.org"});
    return cases;
}

TEST(E2eHostileValues, EveryContactIsWrittenAndTheStoreStaysSound)
{
    TempDir folder;
    const auto path = folder.path() / "hostile.pst";
    const std::vector<HostileCase> cases = hostileCases();
    {
        auto session = createPstSession(realWriterOptions());
        session->Logon();
        RDOStore& store = session->Stores().AddPSTStore(path, olStoreDefault, "Hostile");
        store.ValidateIPMTree();
        for (const HostileCase& c : cases)
            writeContact(store.GetDefaultFolder(olFolderContacts), c.values);
        // After the hostile ones, an ordinary contact still goes in.
        writeContact(store.GetDefaultFolder(olFolderContacts), named("Plain", "Last"));
        ASSERT_NO_THROW(session->Logoff());
    }
    EXPECT_TRUE(tressimo::testing::isSound(path));
    const auto reader = pst::check::PstReader::open(path);
    const auto messages = reader.messages(*reader.findFolder("Contacts"));
    ASSERT_EQ(messages.size(), cases.size() + 1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const auto props = reader.properties(messages[i]);
        EXPECT_EQ(props.at(0x3001001F).toUtf8(), cases[i].displayName);
        // The subject is the display name behind the marker and an empty prefix, whatever
        // character the name starts with.
        EXPECT_EQ(props.at(0x0037001F).toUtf8(), "\x01\x01" + cases[i].displayName);
    }
}

} // namespace
} // namespace tressimo::mapi::test
