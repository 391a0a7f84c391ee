// The property map checked against ids, sets and types written down from the canonical
// property pages ([MS-OXPROPS]), independently of the model's own constants.

#include "contact_test_support.h"
#include "mapi/contact_properties.h"

#include <gtest/gtest.h>
#include <set>

namespace tressimo::mapi::contact {
namespace {

struct Expected
{
    std::string_view what;
    char set; // 'T' fixed tag, 'A' PSETID_Address, 'C' PSETID_Common, 'P' PS_PUBLIC_STRINGS name
    std::uint32_t tagOrLid; // full tag for 'T', LID otherwise
    std::uint16_t type;
};

void expectKey(const PropertyKey& key, const Expected& expected)
{
    SCOPED_TRACE(std::string(expected.what));
    EXPECT_EQ(static_cast<std::uint16_t>(key.type), expected.type);
    EXPECT_EQ(key.isNamed(), expected.set != 'T');
    if (expected.set == 'T')
        EXPECT_EQ(key.tag(), expected.tagOrLid);
    else if (expected.set == 'P')
        EXPECT_TRUE(key.set == PS_PUBLIC_STRINGS && key.name == "Keywords");
    else
        EXPECT_TRUE(key.set == (expected.set == 'A' ? PSETID_Address : PSETID_Common) &&
                    !key.isNamedByString() && key.lid == expected.tagOrLid);
}

TEST(ContactProperties, EveryObjectModelNameMapsToItsCanonicalProperty)
{
    constexpr Expected expected[] = {
        {"FirstName", 'T', 0x3A06001F, 0x1F},
        {"MiddleName", 'T', 0x3A44001F, 0x1F},
        {"LastName", 'T', 0x3A11001F, 0x1F},
        {"JobTitle", 'T', 0x3A17001F, 0x1F},
        {"CompanyName", 'T', 0x3A16001F, 0x1F},
        {"BusinessTelephoneNumber", 'T', 0x3A08001F, 0x1F},
        {"BusinessFaxNumber", 'T', 0x3A24001F, 0x1F},
        {"HomeTelephoneNumber", 'T', 0x3A09001F, 0x1F},
        {"HomeFaxNumber", 'T', 0x3A25001F, 0x1F},
        {"MobileTelephoneNumber", 'T', 0x3A1C001F, 0x1F},
        {"PagerNumber", 'T', 0x3A21001F, 0x1F},
        {"BusinessAddressStreet", 'A', 0x8045, 0x1F},
        {"BusinessAddressCity", 'A', 0x8046, 0x1F},
        {"BusinessAddressState", 'A', 0x8047, 0x1F},
        {"BusinessAddressPostalCode", 'A', 0x8048, 0x1F},
        {"BusinessAddressCountry", 'A', 0x8049, 0x1F},
        {"HomeAddressStreet", 'T', 0x3A5D001F, 0x1F},
        {"HomeAddressCity", 'T', 0x3A59001F, 0x1F},
        {"HomeAddressState", 'T', 0x3A5C001F, 0x1F},
        {"HomeAddressPostalCode", 'T', 0x3A5B001F, 0x1F},
        {"HomeAddressCountry", 'T', 0x3A5A001F, 0x1F},
        {"Email1Address", 'A', 0x8083, 0x1F},
        {"Email2Address", 'A', 0x8093, 0x1F},
        {"Email3Address", 'A', 0x80A3, 0x1F},
        {"WebPage", 'A', 0x802B, 0x1F},
        {"IMAddress", 'A', 0x8062, 0x1F},
        {"Categories", 'P', 0, 0x101F},
        {"Department", 'T', 0x3A18001F, 0x1F},
        {"OfficeLocation", 'T', 0x3A19001F, 0x1F},
        {"Profession", 'T', 0x3A46001F, 0x1F},
        {"ManagerName", 'T', 0x3A4E001F, 0x1F},
        {"AssistantName", 'T', 0x3A30001F, 0x1F},
        {"Spouse", 'T', 0x3A48001F, 0x1F},
        {"Body", 'T', 0x1000001F, 0x1F},
    };
    ASSERT_EQ(objectModelProperties().size(), std::size(expected));
    for (const auto& e : expected) {
        const ObjectModelProperty* property = findObjectModelProperty(e.what);
        ASSERT_NE(property, nullptr) << e.what;
        expectKey(property->key, e);
    }
}

TEST(ContactProperties, ComputedPropertiesHaveTheirCanonicalIds)
{
    const std::pair<PropertyKey, Expected> cases[] = {
        {PidLidFileUnder, {"FileUnder", 'A', 0x8005, 0x1F}},
        {PidLidFileUnderId, {"FileUnderId", 'A', 0x8006, 0x03}},
        {PidLidHomeAddress, {"HomeAddress", 'A', 0x801A, 0x1F}},
        {PidLidWorkAddress, {"WorkAddress", 'A', 0x801B, 0x1F}},
        {PidLidPostalAddressId, {"PostalAddressId", 'A', 0x8022, 0x03}},
        {PidLidContactCharacterSet, {"ContactCharacterSet", 'A', 0x8023, 0x03}},
        {PidLidAutoLog, {"AutoLog", 'A', 0x8025, 0x0B}},
        {PidLidFileUnderList, {"FileUnderList", 'A', 0x8026, 0x1003}},
        {PidLidAddressBookProviderEmailList, {"AddressBookProviderEmailList", 'A', 0x8028, 0x1003}},
        {PidLidAddressBookProviderArrayType, {"AddressBookProviderArrayType", 'A', 0x8029, 0x03}},
        {PidLidEmailGroups[0].displayName, {"Email1DisplayName", 'A', 0x8080, 0x1F}},
        {PidLidEmailGroups[0].addressType, {"Email1AddressType", 'A', 0x8082, 0x1F}},
        {PidLidEmailGroups[0].originalDisplayName, {"Email1OriginalDisplayName", 'A', 0x8084, 0x1F}},
        {PidLidEmailGroups[0].originalEntryId, {"Email1OriginalEntryId", 'A', 0x8085, 0x102}},
        {PidLidEmailGroups[1].displayName, {"Email2DisplayName", 'A', 0x8090, 0x1F}},
        {PidLidEmailGroups[1].originalEntryId, {"Email2OriginalEntryId", 'A', 0x8095, 0x102}},
        {PidLidEmailGroups[2].addressType, {"Email3AddressType", 'A', 0x80A2, 0x1F}},
        {PidLidEmailGroups[2].originalDisplayName, {"Email3OriginalDisplayName", 'A', 0x80A4, 0x1F}},
        {PidLidBirthdayLocal, {"BirthdayLocal", 'A', 0x80DE, 0x40}},
        {PidLidWeddingAnniversaryLocal, {"WeddingAnniversaryLocal", 'A', 0x80DF, 0x40}},
        {PidLidSideEffects, {"SideEffects", 'C', 0x8510, 0x03}},
        {PidTagBirthday, {"PR_BIRTHDAY", 'T', 0x3A420040, 0x40}},
        {PidTagWeddingAnniversary, {"PR_WEDDING_ANNIVERSARY", 'T', 0x3A410040, 0x40}},
        {PidTagDisplayNamePrefix, {"PR_DISPLAY_NAME_PREFIX", 'T', 0x3A45001F, 0x1F}},
        {PidTagGeneration, {"PR_GENERATION", 'T', 0x3A05001F, 0x1F}},
        {PidTagBusinessHomePage, {"PR_BUSINESS_HOME_PAGE", 'T', 0x3A51001F, 0x1F}},
        {PidTagPostalAddress, {"PR_POSTAL_ADDRESS", 'T', 0x3A15001F, 0x1F}},
        {PidTagStreetAddress, {"PR_STREET_ADDRESS", 'T', 0x3A29001F, 0x1F}},
        {PidTagLocality, {"PR_LOCALITY", 'T', 0x3A27001F, 0x1F}},
        {PidTagStateOrProvince, {"PR_STATE_OR_PROVINCE", 'T', 0x3A28001F, 0x1F}},
        {PidTagPostalCode, {"PR_POSTAL_CODE", 'T', 0x3A2A001F, 0x1F}},
        {PidTagCountry, {"PR_COUNTRY", 'T', 0x3A26001F, 0x1F}},
        {PidTagIconIndex, {"PR_ICON_INDEX", 'T', 0x10800003, 0x03}},
    };
    for (const auto& [key, expected] : cases)
        expectKey(key, expected);
    // Stored byte order: Data1..Data3 little-endian.
    EXPECT_EQ(PSETID_Address.bytes,
              (std::array<std::uint8_t, 16>{0x04, 0x20, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
}

TEST(ContactProperties, NameLookupIgnoresCaseAndRefusesUnknownNames)
{
    const auto names = objectModelProperties();
    ASSERT_EQ(names.size(), objectModelPropertyCount);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(findObjectModelProperty(names[i].name), &names[i]);
        EXPECT_EQ(objectModelIndex(names[i].key), static_cast<int>(i)) << names[i].name;
    }
    // Keys are found whatever their type; keys behind no name are not found.
    EXPECT_EQ(objectModelIndex(PropertyKey::fixed(PidTagGivenName.id, PropertyType::Int32)), 0);
    for (const PropertyKey& other :
         {PidTagDisplayName, PidTagBirthday, PidLidFileUnder, PidLidEmailGroups[0].displayName,
          PropertyKey::namedString(PS_PUBLIC_STRINGS, "keywords", PropertyType::MultipleUnicode),
          PropertyKey::named(PSETID_Common, PidLidHtml.lid, PropertyType::Unicode)})
        EXPECT_EQ(objectModelIndex(other), -1);
    EXPECT_EQ(findObjectModelProperty("email1ADDRESS"), findObjectModelProperty("Email1Address"));
    for (std::string_view unknown : {"", "FirstNam", "FirstName ", "Email4Address", "Birthday", "Title",
                                     "Suffix", "FullName", "Keywords", "PR_GIVEN_NAME"})
        EXPECT_EQ(findObjectModelProperty(unknown), nullptr) << unknown;
}

} // namespace
} // namespace tressimo::mapi::contact
