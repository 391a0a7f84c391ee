// The properties we compute for a contact, side by side with the contact Outlook 2007 saved in
// tests/data/reference-pst/outlook2007-contacts-distlist.pst (read through pypff): every
// property Outlook wrote is either one we write, with the same value, or one we leave out for a
// reason listed here.

#include "mapi/contact_model.h"

#include "mapi/contact_entryid.h"
#include "mapi/contact_text.h"
#include "contact_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <functional>
#include <map>
#include <set>

namespace tressimo::mapi::contact {
namespace {

using test::fixedEnvironment;
using Bytes = std::vector<std::uint8_t>;

constexpr Guid PSETID_Task =
    Guid::fromFields(0x00062003, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46});

struct OutlookProperty
{
    std::uint16_t type;
    Bytes data;
};

Guid parseGuid(const std::string& text)
{
    auto hexValue = [&](std::size_t pos, std::size_t digits) {
        return static_cast<std::uint32_t>(std::stoul(text.substr(pos, digits), nullptr, 16));
    };
    std::array<std::uint8_t, 8> data4{};
    for (int i = 0; i < 2; ++i)
        data4[i] = static_cast<std::uint8_t>(hexValue(19 + 2 * i, 2));
    for (int i = 0; i < 6; ++i)
        data4[2 + i] = static_cast<std::uint8_t>(hexValue(24 + 2 * i, 2));
    return Guid::fromFields(hexValue(0, 8), static_cast<std::uint16_t>(hexValue(9, 4)),
                            static_cast<std::uint16_t>(hexValue(14, 4)), data4);
}

Bytes parseHex(const std::string& text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

// Names live as long as the test: keys keep a string_view on them.
std::set<std::string>& nameStorage()
{
    static std::set<std::string> names;
    return names;
}

std::map<PropertyKey, OutlookProperty> readOutlookContact()
{
    const std::string command = std::string("/usr/bin/python3 ") + TRESSIMO_SOURCE_DIR +
                                "/tests/mapi/contact_reference_dump.py " + TRESSIMO_SOURCE_DIR +
                                "/tests/data/reference-pst/outlook2007-contacts-distlist.pst 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    std::map<PropertyKey, OutlookProperty> properties;
    if (output.empty())
        return properties;
    for (const auto& item : nlohmann::json::parse(output)) {
        PropertyKey key;
        const auto type = item.at("type").get<std::uint16_t>();
        key.type = static_cast<PropertyType>(type);
        if (item.contains("id")) {
            key.id = item.at("id").get<std::uint16_t>();
        } else {
            key.set = parseGuid(item.at("set").get<std::string>());
            if (item.contains("lid"))
                key.lid = item.at("lid").get<std::uint32_t>();
            else
                key.name = *nameStorage().insert(item.at("name").get<std::string>()).first;
        }
        properties.emplace(key, OutlookProperty{type, parseHex(item.at("hex").get<std::string>())});
    }
    return properties;
}

// Our value as the PST stores it and pypff hands it out.
Bytes storedBytes(const StoredValue& value)
{
    Bytes out;
    auto little = [&](std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    if (const auto* number = std::get_if<std::int32_t>(&value))
        little(static_cast<std::uint32_t>(*number), 4);
    else if (const auto* flag = std::get_if<bool>(&value))
        out.push_back(*flag ? 1 : 0);
    else if (const auto* time = std::get_if<FileTime>(&value))
        little(time->ticks, 8);
    else if (const auto* text = std::get_if<std::string>(&value))
        for (char16_t unit : utf8ToUtf16(*text))
            little(unit, 2);
    else if (const auto* binary = std::get_if<Bytes>(&value))
        out = *binary;
    else if (const auto* numbers = std::get_if<std::vector<std::int32_t>>(&value))
        for (auto n : *numbers)
            little(static_cast<std::uint32_t>(n), 4);
    return out;
}

std::string textOf(const std::map<PropertyKey, OutlookProperty>& outlook, const PropertyKey& key)
{
    const auto it = outlook.find(key);
    if (it == outlook.end())
        return {};
    std::string text;
    for (std::size_t i = 0; i + 1 < it->second.data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(it->second.data[i] | it->second.data[i + 1] << 8);
        EXPECT_LT(unit, 0x80) << "the reference contact holds only ASCII";
        text.push_back(static_cast<char>(unit));
    }
    return text;
}

bool inSet(const PropertyKey& key, const Guid& set, std::initializer_list<std::uint32_t> lids)
{
    return key.isNamed() && key.set == set && std::find(lids.begin(), lids.end(), key.lid) != lids.end();
}

bool fixedIn(const PropertyKey& key, std::initializer_list<std::uint16_t> ids)
{
    return !key.isNamed() && std::find(ids.begin(), ids.end(), key.id) != ids.end();
}

struct Omission
{
    const char* reason;
    std::function<bool(const PropertyKey&, const OutlookProperty&)> matches;
};

// What Outlook 2007 wrote that we do not, and why that is fine.
const Omission omissions[] = {
    {"empty texts: Outlook stores them, we leave them absent and readers treat both alike",
     [](const PropertyKey& key, const OutlookProperty& p) { return key.type == PropertyType::Unicode && p.data.empty(); }},
    {"sender and sent-representing placeholders (\"Unknown\"): a contact is never sent",
     [](const PropertyKey& key, const OutlookProperty&) {
         return fixedIn(key, {0x003B, 0x0041, 0x0042, 0x0064, 0x0065, 0x0C19, 0x0C1A, 0x0C1D, 0x0C1E, 0x0C1F});
     }},
    {"submission options at their defaults (alternate recipient, receipts, delete after submit, encoding, locale)",
     [](const PropertyKey& key, const OutlookProperty&) {
         return fixedIn(key, {0x0002, 0x0023, 0x0029, 0x0E01, 0x3A71, 0x3FF1});
     }},
    {"kept by the store: message size, replication ids and change numbers, conversation index",
     [](const PropertyKey& key, const OutlookProperty&) { return fixedIn(key, {0x0E08, 0x0E30, 0x0E33, 0x0E34, 0x0071}); }},
    {"follow-up flag and task defaults every Outlook 2007 item carries",
     [](const PropertyKey& key, const OutlookProperty&) {
         return (key.isNamed() && key.set == PSETID_Task) ||
                inSet(key, PSETID_Common, {0x8501, 0x8503, 0x8506, 0x850E, 0x8518, 0x85BD, 0x85BF});
     }},
    {"the Outlook build that saved the item (12.0): we are not Outlook",
     [](const PropertyKey& key, const OutlookProperty&) { return inSet(key, PSETID_Common, {0x8552, 0x8554}); }},
    {"fax address types \"FAX\" without any fax number: no fax group is defined",
     [](const PropertyKey& key, const OutlookProperty&) { return inSet(key, PSETID_Address, {0x80B2, 0x80C2, 0x80D2}); }},
    {"an undocumented list of the e-mail display-name LIDs; no reader uses it",
     [](const PropertyKey& key, const OutlookProperty&) { return inSet(key, PSETID_Address, {0x8027}); }},
};

TEST(ContactReference, OutlookContactMatchesWhatWeCompute)
{
    const auto outlook = readOutlookContact();
    if (outlook.empty())
        GTEST_SKIP() << "/usr/bin/python3 with pypff is needed to read the reference file";

    // The same contact, put the way the contact writer puts it.
    const std::string address = textOf(outlook, PidLidEmailGroups[0].emailAddress);
    ContactState state;
    state.put("FirstName", textOf(outlook, PidTagGivenName));
    state.put("MiddleName", textOf(outlook, PidTagMiddleName));
    state.put("LastName", textOf(outlook, PidTagSurname));
    state.put("Email1Address", address);
    ASSERT_FALSE(address.empty());
    const auto saved = state.saveProperties(fixedEnvironment());

    // Values that differ by nature (times, random key) or by a choice we made.
    const std::set<PropertyKey> differentValues = {
        PidTagClientSubmitTime, PidTagMessageDeliveryTime, PidTagCreationTime, PidTagLastModificationTime,
        PidTagSearchKey,
        PidTagSubject, // checked below: the stored form carries the PST's prefix marker
        // Outlook 2007 showed the name alone; we show "Name (address)" as later Outlooks do.
        PidLidEmailGroups[0].displayName, PidLidEmailGroups[0].originalEntryId};

    for (const auto& property : saved) {
        SCOPED_TRACE(::testing::PrintToString(property.key));
        const auto it = outlook.find(property.key);
        ASSERT_NE(it, outlook.end()) << "we write a property Outlook did not";
        EXPECT_EQ(static_cast<std::uint16_t>(property.key.type), it->second.type);
        if (!differentValues.contains(property.key)) {
            EXPECT_EQ(storedBytes(property.value), it->second.data);
        }
    }

    for (const auto& [key, property] : outlook) {
        if (findProperty(saved, key))
            continue;
        bool explained = false;
        for (const auto& omission : omissions)
            explained = explained || omission.matches(key, property);
        EXPECT_TRUE(explained) << "Outlook wrote " << ::testing::PrintToString(key) << " and we do not";
    }

    // Subject: the same text behind the U+0001 U+0001 marker.
    Bytes subject = storedBytes(findProperty(saved, PidTagSubject)->value);
    subject.insert(subject.begin(), {0x01, 0x00, 0x01, 0x00});
    EXPECT_EQ(subject, outlook.at(PidTagSubject).data);
    // The one-off entry ID encodes Outlook's own display name to the byte.
    EXPECT_EQ(makeOneOffEntryId(textOf(outlook, PidLidEmailGroups[0].displayName), "SMTP", address),
              outlook.at(PidLidEmailGroups[0].originalEntryId).data);
}

} // namespace
} // namespace tressimo::mapi::contact
