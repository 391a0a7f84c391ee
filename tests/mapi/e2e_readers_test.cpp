// Files written through the session model exactly as the contact writer writes them, read
// back by our checker and by readers we did not write: pypff (every property of every item,
// named properties resolved through the file's own map), pffexport and readpst.

#include "e2e_support.h"
#include "mapi/contact_model.h"
#include "pst/check/checker.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>

namespace tressimo::mapi::test {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

double oleDate(std::chrono::year_month_day date)
{
    using namespace std::chrono;
    return static_cast<double>((sys_days{date} - sys_days{year{1899} / 12 / 30}).count());
}

struct Sample
{
    const char* what;
    ContactRecordValues record;
    // Lines readpst's vCard of this contact must hold.
    std::vector<std::string> vcard;
};

std::vector<Sample> samples()
{
    using namespace std::chrono;
    std::vector<Sample> out;

    ContactRecordValues full;
    full.firstName = "Ada";
    full.middleName = "King";
    full.lastName = "Lovelace";
    full.suffix = "Jr.";
    full.title = "Dr.";
    full.email = "ada@example.org";
    full.email2 = "ada.king@example.net";
    full.email3 = "countess@example.com";
    full.company = "Analytical Engines Ltd";
    full.jobTitle = "Programmer";
    full.businessStreet = "12 St James's Square";
    full.businessCity = "London";
    full.businessZip = "SW1Y 4JH";
    full.businessState = "Greater London";
    full.businessCountry = "United Kingdom";
    full.location = "Room 3";
    full.webPage = "https://example.org/ada";
    full.department = "Research";
    full.manager = "Charles Babbage";
    full.assistant = "Mary Somerville";
    full.officePhone = "+44 20 7946 0001";
    full.officeFax = "+44 20 7946 0002";
    full.cellPhone = "+44 7700 900003";
    full.pager = "+44 7700 900004";
    full.personalStreet = "Ockham Park";
    full.personalCity = "Ockham";
    full.personalZip = "GU23 6NR";
    full.personalState = "Surrey";
    full.personalCountry = "United Kingdom";
    full.spouse = "William King";
    full.homePhone = "+44 1483 000005";
    full.homeFax = "+44 1483 000006";
    full.birthday = {oleDate(year{1815} / 12 / 10)};
    full.anniversary = {oleDate(year{1835} / 7 / 8)};
    full.comments = "First line\r\nSecond line; with a semicolon, and a comma";
    full.categories = "Friends, Work";
    out.push_back(
        {"full record",
         full,
         {"FN:Lovelace\\, Ada King", "N:Lovelace;Ada;King;Dr.;Jr.", "EMAIL:ada@example.org",
          "EMAIL:ada.king@example.net", "EMAIL:countess@example.com", "BDAY:1815-12-10",
          "ADR;TYPE=home:;;Ockham Park;Ockham;Surrey;GU23 6NR;United Kingdom",
          "ADR;TYPE=work:;;12 St James's Square;London;Greater London;SW1Y 4JH;United Kingdom",
          "TEL;TYPE=work,voice:+44 20 7946 0001", "TEL;TYPE=work,fax:+44 20 7946 0002",
          "TEL;TYPE=cell,voice:+44 7700 900003", "TEL;TYPE=home,voice:+44 1483 000005",
          "TEL;TYPE=home,fax:+44 1483 000006", "TITLE:Programmer", "ROLE:Programmer",
          "ORG:Analytical Engines Ltd", "NOTE:First line\\nSecond line\\; with a semicolon\\, and a comma"}});

    ContactRecordValues cjk;
    cjk.firstName = "太郎";
    cjk.lastName = "山田";
    cjk.company = "株式会社テスト";
    cjk.email = "taro@example.jp";
    cjk.comments = "絵文字 😀 と 𠮷野家";
    cjk.birthday = {oleDate(year{1990} / 2 / 28)};
    out.push_back({"CJK and beyond the BMP",
                   cjk,
                   {"FN:山田\\, 太郎", "N:山田;太郎;;;", "EMAIL:taro@example.jp", "ORG:株式会社テスト",
                    "NOTE:絵文字 😀 と 𠮷野家", "BDAY:1990-02-28"}});

    out.push_back({"empty record", ContactRecordValues{}, {}});

    ContactRecordValues company;
    company.company = "Contoso Ltd.";
    company.officePhone = "+1 425 555 0100";
    out.push_back({"company only",
                   company,
                   {"FN:Contoso Ltd.", "ORG:Contoso Ltd.", "TEL;TYPE=work,voice:+1 425 555 0100"}});

    ContactRecordValues emailOnly;
    emailOnly.email = "someone@example.com";
    out.push_back({"e-mail only", emailOnly, {"FN:someone@example.com", "EMAIL:someone@example.com"}});

    ContactRecordValues longNote;
    longNote.firstName = "Long";
    longNote.lastName = "Note";
    for (int i = 0; i < 3000; ++i)
        longNote.comments += "Line " + std::to_string(i) + " of a note that spans many blocks.\r\n";
    out.push_back({"100 KB note", longNote, {"FN:Note\\, Long"}});
    return out;
}

// ---- The properties the model computes, as the oracle prints them ---------------------------

std::string guidText(const contact::Guid& g)
{
    const auto& b = g.bytes;
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

std::string fileTimeText(std::uint64_t ticks)
{
    using namespace std::chrono;
    const auto micros = static_cast<std::int64_t>(ticks / 10) - contact::fileTimeEpochOffsetSeconds * 1000000;
    const sys_time<microseconds> t{microseconds{micros}};
    const auto day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss time{t - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%06ldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(time.hours().count()), static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()), static_cast<long>(time.subseconds().count()));
    return text;
}

json expectedJson(const contact::StoredProperty& p)
{
    return std::visit(
        [&](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, contact::FileTime>) {
                return fileTimeText(v.ticks);
            } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
                std::string hex;
                char two[3];
                for (auto b : v) {
                    std::snprintf(two, sizeof two, "%02X", b);
                    hex += two;
                }
                return hex;
            } else if constexpr (std::is_same_v<T, std::string>) {
                // A subject is stored with its marker for an empty prefix ([MS-PST] 2.5.3.1.1.1).
                return p.key == contact::PidTagSubject ? "\x01\x01" + v : v;
            } else {
                return v;
            }
        },
        p.value);
}

// What the model stores for the record when it is written with the test clock and keys.
std::vector<contact::StoredProperty> modelProperties(const ContactRecordValues& r)
{
    // The same steps as writeContactAsTheWriterDoes, on the model alone.
    struct Recorder : RDOStore, RDOFolder, RDOItems, RDOContactItem, MapiMessage
    {
        contact::ContactState state;
        std::string EntryID() const override { return {}; }
        void ValidateIPMTree() override {}
        std::uint64_t ItemsCommitted() const override { return 0; }
        RDOFolder& GetDefaultFolder(int) override { return *this; }
        RDOItems& Items() override { return *this; }
        std::string Name() const override { return {}; }
        std::unique_ptr<RDOContactItem> Add(int) override { return std::make_unique<Forward>(*this); }
        void put(std::string_view n, std::string_view v) override { state.put(n, v); }
        std::string get(std::string_view n) const override { return state.get(n); }
        MapiMessage& MAPIOBJECT() override { return *this; }
        void Save() override {}
        void setProperty(std::uint32_t tag, const PropertyValue& v) override { state.setProperty(tag, v); }
        void saveChanges() override {}
        struct Forward : RDOContactItem
        {
            explicit Forward(Recorder& r) : to(r) {}
            Recorder& to;
            void put(std::string_view n, std::string_view v) override { to.put(n, v); }
            std::string get(std::string_view n) const override { return to.get(n); }
            MapiMessage& MAPIOBJECT() override { return to; }
            void Save() override {}
        };
    } recorder;
    writeContactAsTheWriterDoes(recorder, r);
    const contact::ContactEnvironment environment{
        [] { return e2eStart; }, [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x5A); },
        contact::fixedOffsetZone(0)};
    return recorder.state.saveProperties(environment);
}

const json* oracleProperty(const json& item, const contact::PropertyKey& key)
{
    if (!key.isNamed())
        return pst::oracle::findProperty(item, key.tag());
    const std::string guid = guidText(key.set);
    for (const auto& p : item.at("properties")) {
        if (!p.contains("named") || p.at("named").value("guid", "") != guid)
            continue;
        const auto& n = p.at("named");
        char lid[16];
        std::snprintf(lid, sizeof lid, "0x%04X", static_cast<unsigned>(key.lid));
        if (key.isNamedByString() ? n.value("name", "") == key.name : n.value("lid", "") == lid)
            return &p;
    }
    return nullptr;
}

// ---- The run --------------------------------------------------------------------------------

class E2eReaders : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
        s_pst = s_folder->path() / "WindowsContacts6.12.26 10.0.00.pst";
        auto session = createPstSession(realWriterOptions());
        session->Logon();
        RDOStore& store = session->Stores().AddPSTStore(s_pst, olStoreDefault,
                                                        "Windows Contacts : Created - 6.12.26 10.0.00");
        const std::string storeId = store.EntryID();
        store.ValidateIPMTree();
        for (const auto& sample : samples())
            writeContactAsTheWriterDoes(session->GetStoreFromID(storeId), sample.record);
        session->Logoff();
        s_dump = new json(pst::oracle::dumpWithPypff(s_pst));
    }
    static void TearDownTestSuite()
    {
        delete s_dump;
        if (!std::getenv("KEEP_E2E"))
            delete s_folder;
    }

    static const json& contactsFolder()
    {
        const json* folder = pst::oracle::findFolder(*s_dump, "Contacts");
        if (!folder)
            throw std::runtime_error("no Contacts folder in the dump");
        return *folder;
    }

    static inline TempFolder* s_folder = nullptr;
    static inline fs::path s_pst;
    static inline json* s_dump = nullptr;
};

TEST_F(E2eReaders, OurCheckerFindsNothingWrong)
{
    const auto found = pst::check::checkPst(s_pst);
    for (const auto& v : found)
        ADD_FAILURE() << v.toString();
    EXPECT_TRUE(pst::check::isSound(found));
}

TEST_F(E2eReaders, PypffSeesTheStoreAndTheStandardFolderTree)
{
    EXPECT_EQ(s_dump->at("store").at("name"), "Windows Contacts : Created - 6.12.26 10.0.00");
    const json* top = pst::oracle::findFolder(*s_dump, "Top of Outlook data file");
    ASSERT_NE(top, nullptr);
    std::map<std::string, json> classes;
    for (const auto& f : top->at("folders"))
        classes[f.at("name").get<std::string>()] = f.at("container_class");
    const std::map<std::string, json> expected = {
        {"Deleted Items", nullptr}, {"Inbox", "IPF.Note"},           {"Outbox", "IPF.Note"},
        {"Sent Items", "IPF.Note"}, {"Calendar", "IPF.Appointment"}, {"Contacts", "IPF.Contact"},
        {"Journal", "IPF.Journal"}, {"Notes", "IPF.StickyNote"},     {"Tasks", "IPF.Task"},
        {"Drafts", "IPF.Note"}};
    EXPECT_EQ(classes, expected);
    EXPECT_EQ(contactsFolder().at("content_count"), samples().size());
    EXPECT_EQ(contactsFolder().at("messages").size(), samples().size());
}

TEST_F(E2eReaders, PypffReadsEveryPropertyTheModelStoresAndNothingElse)
{
    const auto all = samples();
    const json& messages = contactsFolder().at("messages");
    ASSERT_EQ(messages.size(), all.size());
    // Computed by the store from what it writes, not by the model.
    const std::set<std::string> storeOwn = {"0x0E080003", "0x0E170003"};
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].what);
        const json& item = messages[i];
        EXPECT_EQ(item.at("message_class"), "IPM.Contact");
        const auto expected = modelProperties(all[i].record);
        std::set<std::string> matched;
        for (const auto& p : expected) {
            const json* found = oracleProperty(item, p.key);
            if (!found) {
                ADD_FAILURE() << "missing "
                              << (p.key.isNamed() ? guidText(p.key.set) + " " + std::to_string(p.key.lid)
                                                  : std::to_string(p.key.tag()));
                continue;
            }
            matched.insert(found->at("tag").get<std::string>());
            EXPECT_EQ(found->at("value"), expectedJson(p)) << found->at("tag");
        }
        for (const auto& p : item.at("properties")) {
            const std::string tag = p.at("tag");
            if (!matched.contains(tag) && !storeOwn.contains(tag))
                ADD_FAILURE() << "unexpected property " << p.dump();
        }
    }
}

TEST_F(E2eReaders, PffexportExportsEveryContactWithoutErrors)
{
    const fs::path target = s_folder->path() / "pffexport";
    const auto result = runProgram({"pffexport", "-m", "all", "-t", target.string(), s_pst.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    // The live items must export without a complaint. What follows "Exporting recovered items"
    // is libpff guessing at old copies in free space; it complains there about Outlook's own
    // files too.
    const std::string live = result.output.substr(0, result.output.find("Exporting recovered items"));
    for (const char* bad : {"Unable", "unable", "error", "Error"})
        EXPECT_EQ(live.find(bad), std::string::npos) << result.output;
    EXPECT_NE(live.find("Exporting contact item 6 out of 6."), std::string::npos) << result.output;
    const fs::path contacts = fs::path(target.string() + ".export") / "Top of Outlook data file" / "Contacts";
    std::vector<std::string> texts;
    for (const auto& entry : fs::directory_iterator(contacts))
        texts.push_back(readText(entry.path() / "Contact.txt"));
    ASSERT_EQ(texts.size(), samples().size());
    std::string all;
    for (const auto& t : texts)
        all += t;
    for (const char* fileAs :
         {"Lovelace, Ada King", "山田, 太郎", "Contoso Ltd.", "someone@example.com", "Note, Long"})
        EXPECT_NE(all.find(std::string("File under:\t\t\t\t") + fileAs), std::string::npos) << fileAs;
}

TEST_F(E2eReaders, ReadpstWritesVCardsWithWhatWeWrote)
{
    const fs::path target = s_folder->path() / "readpst";
    fs::create_directory(target);
    const auto result = runProgram({"readpst", "-cv", "-o", target.string(), s_pst.string()});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("\"Contacts\" - " + std::to_string(samples().size()) +
                                 " items done, 0 items skipped"),
              std::string::npos)
        << result.output;
    const std::string vcards = readText(target / "Contacts.contacts");
    std::vector<std::string> cards;
    // A card starts at the beginning of a line (an assistant comes as a nested AGENT card).
    for (std::size_t at = vcards.find("BEGIN:VCARD"); at != std::string::npos;) {
        const std::size_t next = vcards.find("\nBEGIN:VCARD", at + 1);
        cards.push_back("\n" + vcards.substr(at, next == std::string::npos ? std::string::npos : next - at));
        at = next == std::string::npos ? next : next + 1;
    }
    const auto all = samples();
    ASSERT_EQ(cards.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].what);
        for (const auto& line : all[i].vcard)
            EXPECT_NE(cards[i].find("\n" + line), std::string::npos) << line << "\n" << cards[i];
    }
}

} // namespace
} // namespace tressimo::mapi::test

namespace tressimo::mapi::test {
namespace {

// The product's own entry point, with nothing of the tests' seams: a store on disk, the
// system clock and time zone, random keys.
TEST(E2eCreateSession, TheProductsSessionWritesAStoreTheReadersAccept)
{
    TempFolder folder;
    const auto path = folder.path() / "WindowsContacts6.12.26 10.0.00.pst";
    auto session = createSession();
    session->Logon();
    RDOStore& store = session->Stores().AddPSTStore(path, olStoreDefault, "Windows Contacts");
    store.ValidateIPMTree();
    writeContactAsTheWriterDoes(session->GetStoreFromID(store.EntryID()), typicalContact(7));
    session->Logoff();

    EXPECT_TRUE(pst::check::isSound(pst::check::checkPst(path)));
    const auto dump = pst::oracle::dumpWithPypff(path);
    const auto* contacts = pst::oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contacts, nullptr);
    ASSERT_EQ(contacts->at("messages").size(), 1u);
    EXPECT_EQ(contacts->at("messages")[0].at("contact").at("email1_address"), "Hiroshi.7@example.org");
}

} // namespace
} // namespace tressimo::mapi::test
