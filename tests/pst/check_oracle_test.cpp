// The pypff oracle on Outlook's files, and our reader against it: two readers written apart
// must agree on every property of every folder and item.

#include "pst/check/pst_reader.h"
#include "tests/pst/oracle/pst_oracle.h"
#include "tests/support/support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace tressimo::pst;
using namespace tressimo::pst::check;
using nlohmann::json;
namespace oracle = tressimo::pst::oracle;

namespace {

std::string reference(const std::string& name)
{
    return std::string(TRESSIMO_SOURCE_DIR) + "/tests/data/reference-pst/" + name;
}

// Our value in the oracle's JSON form, for the types both render the same way; nullopt for
// types compared elsewhere (times, floats).
std::optional<json> asOracleJson(const PropertyValue& v)
{
    const std::uint16_t type = v.type();
    if (isMultiValued(type)) {
        const std::uint16_t element = type & ~proptype::MultiValued;
        json list = json::array();
        for (Bytes& e : v.elements()) {
            auto item = asOracleJson(PropertyValue(element, std::move(e)));
            if (!item)
                return std::nullopt;
            list.push_back(*item);
        }
        return list;
    }
    switch (type) {
    case proptype::Unicode:
        return v.toUtf8();
    case proptype::Int16:
        return v.toInt16();
    case proptype::Int32:
    case proptype::Error:
        return v.toInt32();
    case proptype::Int64:
    case proptype::Currency:
        return v.toInt64();
    case proptype::Boolean:
        return v.toBool();
    case proptype::Binary: {
        std::string hexText;
        static const char* digits = "0123456789ABCDEF";
        for (std::uint8_t b : v.data()) {
            hexText += digits[b >> 4];
            hexText += digits[b & 0xF];
        }
        return hexText;
    }
    default:
        return std::nullopt;
    }
}

struct OracleCase
{
    const char* file;
    const char* storeName;
    std::vector<std::string> folders;
};

class OracleOnReference : public testing::TestWithParam<OracleCase>
{
};

TEST_P(OracleOnReference, DumpsStoreAndFolders)
{
    const OracleCase& c = GetParam();
    const json dump = oracle::dumpWithPypff(reference(c.file));
    EXPECT_EQ(dump.at("store").at("name"), c.storeName);
    EXPECT_EQ(dump.at("encryption_type"), 1);
    for (const std::string& name : c.folders)
        EXPECT_NE(oracle::findFolder(dump, name), nullptr) << name;
}

TEST_P(OracleOnReference, AgreesWithOurReaderOnEveryProperty)
{
    const OracleCase& c = GetParam();
    const json dump = oracle::dumpWithPypff(reference(c.file));
    const PstReader pst = PstReader::open(reference(c.file));
    std::size_t compared = 0;
    auto compare = [&](const json& object) {
        const std::uint32_t nid = object.at("id").get<std::uint32_t>();
        const PropertyMap ours = pst.properties(nid);
        std::set<std::uint32_t> theirs;
        for (const json& p : object.at("properties")) {
            const auto tag =
                static_cast<std::uint32_t>(std::stoul(p.at("tag").get<std::string>(), nullptr, 16));
            theirs.insert(tag);
            auto it = ours.find(tag);
            ASSERT_NE(it, ours.end()) << hex(nid) << " " << tagHex(tag) << " only pypff sees";
            if (const auto mine = asOracleJson(it->second)) {
                EXPECT_EQ(*mine, p.at("value")) << hex(nid) << " " << tagHex(tag);
                ++compared;
            }
        }
        for (const auto& [tag, value] : ours)
            EXPECT_TRUE(theirs.count(tag)) << hex(nid) << " " << tagHex(tag) << " only we see";
    };
    for (const json* folder : oracle::allFolders(dump)) {
        compare(*folder);
        for (const json& item : folder->at("messages"))
            compare(item);
    }
    EXPECT_GT(compared, 20u);
}

INSTANTIATE_TEST_SUITE_P(
    Outlook, OracleOnReference,
    testing::Values(
        OracleCase{
            "outlook-empty.pst", "Empty", {"Top of Outlook data file", "Deleted Items", "Search Root"}},
        OracleCase{"outlook2007-contacts-distlist.pst",
                   "Personal Folders",
                   {"Top of Personal Folders", "Inbox", "Contacts", "Calendar", "Deleted Items"}}),
    [](const auto& info) { return std::string(info.param.storeName) == "Empty" ? "Empty" : "DistList"; });

TEST(OracleContact, ResolvesNamedPropertiesThroughTheMap)
{
    const json dump = oracle::dumpWithPypff(reference("outlook2007-contacts-distlist.pst"));
    const json* contacts = oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contacts, nullptr);
    EXPECT_EQ(contacts->at("container_class"), "IPF.Contact");
    EXPECT_EQ(contacts->at("number_of_sub_messages"), 2);

    const json* contact = nullptr;
    for (const json& item : contacts->at("messages"))
        if (item.at("message_class") == "IPM.Contact")
            contact = &item;
    ASSERT_NE(contact, nullptr);
    const json& summary = contact->at("contact");
    EXPECT_EQ(summary.at("email1_address"), "contact1@rjohnson.id.au");
    EXPECT_EQ(summary.at("email1_address_type"), "SMTP");
    EXPECT_EQ(summary.at("file_under"), "1, contact name");
    EXPECT_EQ(summary.at("given_name"), "contact");
    EXPECT_EQ(summary.at("address_book_provider_email_list"), json::array({0}));
    const json* email = oracle::findNamedProperty(*contact, "{00062004-0000-0000-C000-000000000046}", 0x8083);
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->at("tag"), "0x8027001F");
}

TEST(OracleFailure, ReportsAFilePypffRefuses)
{
    // A header CRC pypff checks: the oracle must fail loudly, not return an empty dump.
    const tressimo::testing::TempDir dir("oracle");
    const std::filesystem::path copy = dir / "bad-crc.pst";
    std::filesystem::copy_file(reference("outlook-empty.pst"), copy);
    {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put('\x00');
    }
    EXPECT_THROW(oracle::dumpWithPypff(copy), std::runtime_error);
}

} // namespace
