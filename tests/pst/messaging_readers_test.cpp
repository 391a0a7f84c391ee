// Files the store writes, read by readers we did not write: pypff (through the oracle
// script, which also decodes named properties through the file's own map), pffexport and
// readpst. One file holds a folder tree with CJK and non-BMP names, contact-like messages with
// named properties of every kind, a 1 MB body and a message of 300 properties.

#include "messaging_test_util.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace tressimo::pst::messaging_test {
namespace {

using nlohmann::json;
using tressimo::testing::runProgram;

// A value as the oracle script renders it in JSON; the written times all lie after 1970.
json expectedJson(const PropValue& v)
{
    if (v.type() == PropType::Double)
        return v.toDouble();
    if (v.type() != PropType::SysTime)
        return *oracle::asOracleJson(
            check::PropertyValue(static_cast<std::uint16_t>(v.type()), Bytes(v.data().begin(), v.data().end())));
    const std::uint64_t micros = v.toFileTime() / 10 - 11644473600ull * 1000000;
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&seconds));
    std::snprintf(text + n, sizeof text - n, ".%06lluZ", static_cast<unsigned long long>(micros % 1000000));
    return text;
}

// Debian's libpff turns characters beyond the BMP into others in the names it decodes itself
// (folder.name, item.subject: U+20BB7 comes back as U+207B8); the raw properties, which the
// oracle decodes with Python, are what the file holds.
bool withinBmp(const std::string& utf8)
{
    return std::none_of(utf8.begin(), utf8.end(),
                        [](char c) { return (static_cast<unsigned char>(c) & 0xF8) == 0xF0; });
}

const json* folderNamed(const json& dump, const std::string& name)
{
    for (const json* folder : oracle::allFolders(dump)) {
        const json* p = oracle::findProperty(*folder, 0x3001001F);
        if (p && p->at("value") == name)
            return folder;
    }
    return nullptr;
}

struct Written
{
    Nid nid;
    std::vector<PropValue> props;
};

// The file, written once for every test of the suite.
class Readers : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir("readers");
        s_pst = s_dir->path() / "round-trip.pst";
        auto store = MessageStore::create(FileSink::createNew(s_pst), "Round trip 名前 \U0001F4C7",
                                          repeatableOptions());
        const std::uint16_t fileAs = store->propertyId({kPsetidAddress, 0x8005, {}});
        const std::uint16_t email = store->propertyId({kPsetidAddress, 0x8083, {}});
        const std::uint16_t emailType = store->propertyId({kPsetidAddress, 0x8082, {}});
        const std::uint16_t keywords = store->propertyId({kPsPublicStrings, 0, "Keywords"});
        const std::uint16_t custom = store->propertyId({kPsPublicStrings, 0, "Eigenes Feld 欄 \U00020BB7"});

        s_contacts = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        s_colleagues = store->createFolder(s_contacts, "Kollegen 同僚 \U00020BB7", "IPF.Contact");
        store->createFolder(store->ipmSubtree(), "Notes", "IPF.StickyNote");

        auto contact = [&](const std::string& first, const std::string& last, int i) {
            const std::string full = first + " " + last;
            const std::string address = "person" + std::to_string(i) + "@example.com";
            const std::string categories[] = {"Kunden", "見本市"};
            return std::vector<PropValue>{
                PropValue::fromString(PropTag{0x001A001F}, std::string_view("IPM.Contact")),
                PropValue::fromString(PropTag{0x0037001F}, std::string_view(full)),
                PropValue::fromString(PropTag{0x3001001F}, std::string_view(full)),
                PropValue::fromString(PropTag{0x3A06001F}, std::string_view(first)),
                PropValue::fromString(PropTag{0x3A11001F}, std::string_view(last)),
                PropValue::fromString(PropTag{0x3A08001F},
                                      std::string_view("+49 30 1234-" + std::to_string(i))),
                PropValue::fromString(PropTag{0x1000001F}, std::string_view("Notiz für " + full)),
                PropValue::fromInt32(PropTag{0x10800003}, 0x200),
                PropValue::fromBoolean(PropTag{0x0E1F000B}, true),
                PropValue::fromInt64(PropTag{0x3FDE0014}, -5),
                PropValue::fromDouble(PropTag{0x3FFD0005}, 2.5),
                PropValue::fromSysTime(PropTag{0x3A420040}, 125000000000000000ull + i),
                PropValue::fromBinary(PropTag{0x3A4B0102},
                                      Bytes{0, 1, 2, 0xFE, static_cast<std::uint8_t>(i)}),
                PropValue::fromString(PropTag(fileAs, PropType::Unicode),
                                      std::string_view(last + ", " + first)),
                PropValue::fromString(PropTag(email, PropType::Unicode), std::string_view(address)),
                PropValue::fromString(PropTag(emailType, PropType::Unicode), std::string_view("SMTP")),
                PropValue::fromMultipleString(PropTag(keywords, PropType::MultipleUnicode), categories),
                PropValue::fromString(PropTag(custom, PropType::Unicode), std::string_view("値 \U0001F600")),
            };
        };
        const std::pair<const char*, const char*> people[] = {
            {"Anna", "Schmidt"}, {"太郎", "山田"}, {"Zoë", "Ødegård"}, {"𠮷子", "𠮷野"}, {"Omar", "Haddad"},
        };
        int i = 0;
        for (const auto& [first, last] : people)
            add(*store, s_contacts, contact(first, last, i++));
        add(*store, s_colleagues, contact("Kolle", "Gin", i++));
        add(*store, s_colleagues, contact("Zweite", "Kollegin", i++));

        // A 1 MB body: a data tree under a subnode.
        std::vector<PropValue> big = contact("Viel", "Text", i++);
        std::string body;
        while (body.size() < (1u << 20))
            body += "Zeile " + std::to_string(body.size()) + " mit Text äöü 漢字\r\n";
        big.erase(
            std::remove_if(big.begin(), big.end(), [](const PropValue& p) { return p.tag().id() == 0x1000; }),
            big.end());
        big.push_back(PropValue::fromString(PropTag{0x1000001F}, std::string_view(body)));
        add(*store, s_contacts, big);

        // 300 properties on one message: plain ones and named ones.
        std::vector<PropValue> many = contact("Viele", "Felder", i++);
        for (std::uint32_t k = 0; many.size() < 300; ++k) {
            if (k % 3 == 0) {
                const std::uint16_t id = store->propertyId({kPsetidAddress, 0xA000 + k, {}});
                many.push_back(
                    PropValue::fromInt32(PropTag(id, PropType::Int32), static_cast<std::int32_t>(k)));
            } else {
                many.push_back(
                    PropValue::fromString(PropTag(static_cast<std::uint16_t>(0x6000 + k), PropType::Unicode),
                                          std::string_view("Wert " + std::to_string(k))));
            }
        }
        add(*store, s_contacts, many);

        // Attachments at each size the layers store differently: in the heap, in a subnode
        // block, past one block, a data tree of a few blocks and of many.
        std::mt19937 noise(7);
        std::vector<std::vector<PropValue>> attachments;
        for (const std::size_t size : {100u, 5000u, 9000u, 64u << 10, 600u << 10}) {
            Bytes& data = s_attached.emplace_back(size);
            std::generate(data.begin(), data.end(), [&] { return static_cast<std::uint8_t>(noise()); });
            const std::string name = "Bild " + std::to_string(size) + ".jpg";
            attachments.push_back({PropValue::fromInt32(PropTag{0x37050003}, 1),
                                   PropValue::fromBinary(PropTag{0x37010102}, data),
                                   PropValue::fromString(PropTag{0x3707001F}, std::string_view(name)),
                                   PropValue::fromBoolean(PropTag{0x7FFF000B}, size == 5000)});
        }
        std::vector<PropValue> pictured = contact("Mit", "Bildern", i++);
        s_written.push_back({store->createMessage(s_contacts, pictured, std::move(attachments)), pictured});
        store->commit();
        s_dump = new json(oracle::dumpWithPypff(s_pst));
    }

    static void TearDownTestSuite()
    {
        delete s_dump;
        delete s_dir;
        s_written.clear();
        s_attached.clear();
    }

    static void add(MessageStore& store, Nid folder, std::vector<PropValue> props)
    {
        const Nid nid = store.createMessage(folder, props);
        s_written.push_back({nid, std::move(props)});
    }

    static TempDir* s_dir;
    static std::filesystem::path s_pst;
    static Nid s_contacts;
    static Nid s_colleagues;
    static std::vector<Written> s_written;
    static std::vector<Bytes> s_attached; // the data of the last message's attachments
    static json* s_dump;
};
std::vector<Bytes> Readers::s_attached;
TempDir* Readers::s_dir = nullptr;
std::filesystem::path Readers::s_pst;
Nid Readers::s_contacts;
Nid Readers::s_colleagues;
std::vector<Written> Readers::s_written;
json* Readers::s_dump = nullptr;

TEST_F(Readers, PypffSeesTheStoreAndTheFolderTree)
{
    EXPECT_TRUE(isSound(s_pst));
    const json& d = *s_dump;
    EXPECT_EQ(d.at("store").at("name"), "Round trip 名前 \U0001F4C7");
    struct Expect
    {
        const char* name;
        const char* containerClass;
        int messages;
        int subfolders;
    };
    for (const Expect& e :
         {Expect{"Top of Outlook data file", nullptr, 0, 3}, Expect{"Contacts", "IPF.Contact", 8, 1},
          Expect{"Kollegen 同僚 \U00020BB7", "IPF.Contact", 2, 0}, Expect{"Notes", "IPF.StickyNote", 0, 0},
          Expect{"Deleted Items", nullptr, 0, 0}, Expect{"Search Root", nullptr, 0, 0}}) {
        SCOPED_TRACE(e.name);
        const json* f = folderNamed(d, e.name);
        ASSERT_NE(f, nullptr);
        if (e.containerClass)
            EXPECT_EQ(f->at("container_class"), e.containerClass);
        else
            EXPECT_TRUE(f->at("container_class").is_null());
        EXPECT_EQ(f->at("content_count"), e.messages);
        EXPECT_EQ(f->at("number_of_sub_messages"), e.messages);
        EXPECT_EQ(f->at("number_of_sub_folders"), e.subfolders);
    }
}

TEST_F(Readers, PypffReadsEveryPropertyOfEveryMessage)
{
    std::map<std::int64_t, const json*> items;
    for (const json* folder : oracle::allFolders(*s_dump))
        for (const json& m : folder->at("messages"))
            items[m.at("id").get<std::int64_t>()] = &m;
    ASSERT_EQ(items.size(), s_written.size());
    for (const Written& w : s_written) {
        SCOPED_TRACE("message " + check::hex(w.nid.value));
        const json& item = *items.at(w.nid.value);
        for (const PropValue& p : w.props) {
            const json* got = oracle::findProperty(item, p.tag().value);
            ASSERT_NE(got, nullptr) << tagName(p.tag());
            if (p.tag().id() == 0x0037) {
                // Stored with the subject marker; pypff's own subject drops it.
                EXPECT_EQ(got->at("value"), "\x01\x01" + p.toUtf8());
                if (withinBmp(p.toUtf8())) {
                    EXPECT_EQ(item.at("subject"), p.toUtf8());
                }
            } else {
                EXPECT_EQ(got->at("value"), expectedJson(p)) << tagName(p.tag());
            }
        }
    }
}

TEST_F(Readers, PypffAndPffexportGetTheAttachmentsBackByteForByte)
{
    const json* item = nullptr;
    for (const json* folder : oracle::allFolders(*s_dump))
        for (const json& m : folder->at("messages"))
            if (m.at("id") == s_written.back().nid.value)
                item = &m;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(oracle::findProperty(*item, 0x0E070003)->at("value"), 0x11); // read, has attachments
    const json& got = item->at("attachments");
    ASSERT_EQ(got.size(), s_attached.size());
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < s_attached.size(); ++k) {
        const Bytes& data = s_attached[k];
        SCOPED_TRACE(data.size());
        const auto expected = s_dir->path() / ("expected-" + std::to_string(k));
        s_dir->write(expected.filename().string(),
                     std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        const std::string sum = runProgram({"sha256sum", expected.string()}).out.substr(0, 64);
        EXPECT_EQ(got[k].at("sha256"), sum);
        EXPECT_EQ(got[k].at("name"), "Bild " + std::to_string(data.size()) + ".jpg");
        EXPECT_EQ(got[k].at("method"), 1);
        EXPECT_EQ(got[k].at("contact_photo"), data.size() == 5000);
        EXPECT_GT(got[k].at("size").get<std::uint64_t>(), data.size());
        total += got[k].at("size").get<std::uint64_t>();
    }
    EXPECT_GT(oracle::findProperty(*item, 0x0E080003)->at("value").get<std::uint64_t>(), total);

    const auto target = s_dir->path() / "attachments";
    const auto run = runProgram({"pffexport", "-m", "all", "-t", target.string(), s_pst.string()});
    ASSERT_EQ(run.status, 0) << run.out + run.err;
    std::map<std::string, std::string> exported;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(target.string() + ".export"))
        if (entry.path().parent_path().filename() == "Attachments")
            exported[entry.path().filename().string()] = tressimo::testing::readWholeFile(entry.path());
    for (std::size_t k = 0; k < s_attached.size(); ++k) {
        // pffexport numbers the files it exports.
        const Bytes& data = s_attached[k];
        const std::string name = std::to_string(k + 1) + "_Bild " + std::to_string(data.size()) + ".jpg";
        ASSERT_EQ(exported.count(name), 1u) << name;
        EXPECT_TRUE(exported[name] == std::string(data.begin(), data.end())) << name;
    }
}

TEST_F(Readers, PffexportExportsEveryItemWithoutErrors)
{
    const auto target = s_dir->path() / "pffexport";
    const auto run = runProgram({"pffexport", "-m", "all", "-t", target.string(), s_pst.string()});
    const std::string output = run.out + run.err;
    ASSERT_EQ(run.status, 0) << output;
    for (const char* bad : {"Unable", "unable", "rror", "corrupt"})
        EXPECT_EQ(output.find(bad), std::string::npos) << output;
    // pffexport makes a folder ContactNNNNN per item.
    auto isItem = [](const std::string& name) {
        return name.size() > 7 && name.rfind("Contact", 0) == 0 &&
               std::all_of(name.begin() + 7, name.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    int items = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(target.string() + ".export"))
        items += entry.is_directory() && isItem(entry.path().filename().string());
    EXPECT_EQ(items, static_cast<int>(s_written.size()));
}

TEST_F(Readers, ReadpstWritesTheContactsAsVcardsAndReadsTheAttachments)
{
    const auto target = s_dir->path() / "readpst";
    std::filesystem::create_directories(target);
    const auto log = s_dir->path() / "readpst.log";
    const auto run = runProgram({"readpst", "-cv", "-d", log.string(), "-o", target.string(), s_pst.string()});
    const std::string output = run.out + run.err;
    ASSERT_EQ(run.status, 0) << output;
    // readpst reports "N items done, M items skipped" per folder.
    for (std::size_t at = output.find(" items skipped"); at != std::string::npos;
         at = output.find(" items skipped", at + 1))
        EXPECT_TRUE(at >= 2 && output.compare(at - 2, 2, " 0") == 0) << output;
    std::string vcards;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(target)) {
        if (entry.is_regular_file())
            vcards += tressimo::testing::readWholeFile(entry.path());
    }
    for (const char* wanted : {"Schmidt", "山田", "Ødegård", "𠮷野", "person4@example.com", "Kollegin"})
        EXPECT_NE(vcards.find(wanted), std::string::npos) << wanted;
    std::size_t cards = 0;
    for (std::size_t at = vcards.find("BEGIN:VCARD"); at != std::string::npos;
         at = vcards.find("BEGIN:VCARD", at + 1))
        ++cards;
    EXPECT_EQ(cards, s_written.size());
    // A vCard has no place for them; its log shows it read each.
    const std::string logged = tressimo::testing::readWholeFile(log);
    for (const Bytes& data : s_attached)
        EXPECT_NE(logged.find("Filename long - unicode 1 - Bild " + std::to_string(data.size()) + ".jpg"),
                  std::string::npos);
}

} // namespace
} // namespace tressimo::pst::messaging_test
