// The properties we compute for a contact, side by side with the contact Outlook 2007 saved in
// tests/data/reference-pst/outlook2007-contacts-distlist.pst (read through our own reader): every
// property Outlook wrote is either one we write, with the same value, or one we leave out for a
// reason listed here.

#include "contact_test_support.h"
#include "mapi/contact_entryid.h"
#include "mapi/contact_model.h"
#include "text/utf.h"
#include "pst/check/pst_reader.h"
#include "tests/support/pst_support.h"

#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace tressimo::mapi::contact {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Outlook = std::map<PropertyKey, Bytes>;

// The first IPM.Contact message of the reference file, read through our own reader.
Outlook readOutlookContact()
{
    static std::deque<std::string> names; // keys point at their names
    const auto pst =
        pst::check::PstReader::open(tressimo::testing::referencePst("outlook2007-contacts-distlist.pst"));
    for (const auto& folder : pst.folders()) {
        for (std::uint32_t nid : pst.messages(folder.nid)) {
            const auto props = pst.properties(nid);
            const auto messageClass = props.find(0x001A001F);
            if (messageClass == props.end() || messageClass->second.toUtf8() != "IPM.Contact")
                continue;
            Outlook properties;
            for (const auto& [tag, value] : props) {
                PropertyKey key;
                key.type = static_cast<PropertyType>(tag & 0xFFFF);
                key.id = static_cast<std::uint16_t>(tag >> 16);
                if (key.id >= 0x8000) {
                    const auto* named = pst.nameMap().byId(key.id);
                    key.id = 0;
                    std::copy(named->guid.begin(), named->guid.end(), key.set.bytes.begin());
                    if (named->isString)
                        key.name = names.emplace_back(named->name);
                    else
                        key.lid = named->lid;
                }
                properties.emplace(key, value.data());
            }
            return properties;
        }
    }
    return {};
}

// Our value as the PST stores it.
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
        for (char16_t unit : text::utf8ToUtf16(*text))
            little(unit, 2);
    else if (const auto* binary = std::get_if<Bytes>(&value))
        out = *binary;
    else if (const auto* numbers = std::get_if<std::vector<std::int32_t>>(&value))
        for (auto n : *numbers)
            little(static_cast<std::uint32_t>(n), 4);
    return out;
}

// An ASCII text of the reference contact.
std::string textOf(const Outlook& outlook, const PropertyKey& key)
{
    std::string text;
    const Bytes& data = outlook.at(key);
    for (std::size_t i = 0; i < data.size(); i += 2)
        text.push_back(static_cast<char>(data[i]));
    return text;
}

bool inSet(const PropertyKey& key, std::uint32_t data1, std::initializer_list<std::uint32_t> lids)
{
    const Guid set = Guid::fromFields(data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
    return key.isNamed() && key.set == set &&
           (lids.size() == 0 || std::find(lids.begin(), lids.end(), key.lid) != lids.end());
}

bool fixedIn(const PropertyKey& key, std::initializer_list<std::uint16_t> ids)
{
    return !key.isNamed() && std::find(ids.begin(), ids.end(), key.id) != ids.end();
}

// Why we leave out what Outlook 2007 wrote; nullptr when nothing explains it.
const char* omissionReason(const PropertyKey& key, const Bytes& data)
{
    if (key.type == PropertyType::Unicode && data.empty())
        return "an empty text: Outlook stores it, we leave it absent, readers treat both alike";
    if (fixedIn(key, {0x003B, 0x0041, 0x0042, 0x0064, 0x0065, 0x0C19, 0x0C1A, 0x0C1D, 0x0C1E, 0x0C1F}))
        return "sender and sent-representing placeholders (\"Unknown\"): a contact is never sent";
    if (fixedIn(key, {0x0002, 0x0023, 0x0029, 0x0E01, 0x3A71, 0x3FF1}))
        return "submission options at their defaults (receipts, delete after submit, encoding, locale)";
    if (fixedIn(key, {0x0E08, 0x0E30, 0x0E33, 0x0E34, 0x0071}))
        return "kept by the store: message size, replication ids, conversation index";
    if (inSet(key, 0x00062003, {}) ||
        inSet(key, 0x00062008, {0x8501, 0x8503, 0x8506, 0x850E, 0x8518, 0x85BD, 0x85BF}))
        return "follow-up flag, reminder and task defaults that every Outlook 2007 item carries";
    if (inSet(key, 0x00062008, {0x8552, 0x8554}))
        return "the Outlook build that saved the item: we are not Outlook";
    if (inSet(key, 0x00062004, {0x80B2, 0x80C2, 0x80D2}))
        return "fax address types \"FAX\" without any fax number: no fax group is defined";
    if (inSet(key, 0x00062004, {0x8027}))
        return "an undocumented list of the e-mail display-name LIDs that no reader uses";
    return nullptr;
}

TEST(ContactReference, OutlookContactMatchesWhatWeCompute)
{
    const Outlook outlook = readOutlookContact();
    ASSERT_FALSE(outlook.empty());

    // The same contact, put the way the contact writer puts it.
    const std::string address = textOf(outlook, PidLidEmailGroups[0].emailAddress);
    ContactState state;
    state.put("FirstName", textOf(outlook, PidTagGivenName));
    state.put("MiddleName", textOf(outlook, PidTagMiddleName));
    state.put("LastName", textOf(outlook, PidTagSurname));
    state.put("Email1Address", address);
    const auto saved = state.saveProperties(test::fixedEnvironment());

    // Values that differ by nature (times, a random key) or by choice: Outlook 2007 showed the
    // e-mail address's owner by name alone, we show "Name (address)" as later Outlooks do.
    const std::set<PropertyKey> differentValues = {PidTagClientSubmitTime,
                                                   PidTagMessageDeliveryTime,
                                                   PidTagCreationTime,
                                                   PidTagLastModificationTime,
                                                   PidTagSearchKey,
                                                   PidTagSubject,
                                                   PidLidEmailGroups[0].displayName,
                                                   PidLidEmailGroups[0].originalEntryId};
    for (const auto& property : saved) {
        SCOPED_TRACE(::testing::PrintToString(property.key));
        const auto it = outlook.find(property.key);
        ASSERT_NE(it, outlook.end()) << "we write a property Outlook did not";
        EXPECT_EQ(it->first.type, property.key.type);
        if (!differentValues.contains(property.key)) {
            EXPECT_EQ(storedBytes(property.value), it->second);
        }
    }
    for (const auto& [key, data] : outlook) {
        if (!findProperty(saved, key)) {
            EXPECT_NE(omissionReason(key, data), nullptr)
                << "Outlook wrote " << ::testing::PrintToString(key);
        }
    }

    // The subject is the same text behind the PST's U+0001 U+0001 marker.
    Bytes subject = storedBytes(findProperty(saved, PidTagSubject)->value);
    subject.insert(subject.begin(), {0x01, 0x00, 0x01, 0x00});
    EXPECT_EQ(subject, outlook.at(PidTagSubject));
    // The one-off entry ID holds Outlook's own display name to the byte.
    EXPECT_EQ(makeOneOffEntryId(textOf(outlook, PidLidEmailGroups[0].displayName), "SMTP", address),
              outlook.at(PidLidEmailGroups[0].originalEntryId));
}

} // namespace
} // namespace tressimo::mapi::contact
