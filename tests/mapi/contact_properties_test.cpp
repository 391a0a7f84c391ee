// The property map checked against ids, sets and types written down from the canonical
// property pages ([MS-OXPROPS]) independently of the model's own constants.

#include "mapi/contact_properties.h"

#include "contact_test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace tressimo::mapi::contact {
namespace {


struct Expected
{
    std::string_view name;
    char set;                // 'T' fixed tag, 'A' PSETID_Address, 'P' PS_PUBLIC_STRINGS by name
    std::uint32_t idOrLid;   // full tag for 'T', LID for 'A'
    std::uint16_t type;
};

// Object-model name -> MAPI property, from the canonical pages.
constexpr Expected objectModelExpected[] = {
    {"FirstName", 'T', 0x3A06001F, 0x001F},              // PidTagGivenName
    {"MiddleName", 'T', 0x3A44001F, 0x001F},             // PidTagMiddleName
    {"LastName", 'T', 0x3A11001F, 0x001F},               // PidTagSurname
    {"JobTitle", 'T', 0x3A17001F, 0x001F},               // PidTagTitle
    {"CompanyName", 'T', 0x3A16001F, 0x001F},            // PidTagCompanyName
    {"BusinessTelephoneNumber", 'T', 0x3A08001F, 0x001F},
    {"BusinessFaxNumber", 'T', 0x3A24001F, 0x001F},
    {"HomeTelephoneNumber", 'T', 0x3A09001F, 0x001F},
    {"HomeFaxNumber", 'T', 0x3A25001F, 0x001F},
    {"MobileTelephoneNumber", 'T', 0x3A1C001F, 0x001F},
    {"PagerNumber", 'T', 0x3A21001F, 0x001F},            // PidTagPagerTelephoneNumber
    {"BusinessAddressStreet", 'A', 0x8045, 0x001F},      // PidLidWorkAddressStreet
    {"BusinessAddressCity", 'A', 0x8046, 0x001F},
    {"BusinessAddressState", 'A', 0x8047, 0x001F},
    {"BusinessAddressPostalCode", 'A', 0x8048, 0x001F},
    {"BusinessAddressCountry", 'A', 0x8049, 0x001F},
    {"HomeAddressStreet", 'T', 0x3A5D001F, 0x001F},
    {"HomeAddressCity", 'T', 0x3A59001F, 0x001F},
    {"HomeAddressState", 'T', 0x3A5C001F, 0x001F},       // PidTagHomeAddressStateOrProvince
    {"HomeAddressPostalCode", 'T', 0x3A5B001F, 0x001F},
    {"HomeAddressCountry", 'T', 0x3A5A001F, 0x001F},
    {"Email1Address", 'A', 0x8083, 0x001F},              // PidLidEmail1EmailAddress
    {"Email2Address", 'A', 0x8093, 0x001F},
    {"Email3Address", 'A', 0x80A3, 0x001F},
    {"WebPage", 'A', 0x802B, 0x001F},                    // PidLidHtml
    {"IMAddress", 'A', 0x8062, 0x001F},                  // PidLidInstantMessagingAddress
    {"Categories", 'P', 0, 0x101F},                      // PidNameKeywords
    {"Department", 'T', 0x3A18001F, 0x001F},             // PidTagDepartmentName
    {"OfficeLocation", 'T', 0x3A19001F, 0x001F},
    {"Profession", 'T', 0x3A46001F, 0x001F},
    {"ManagerName", 'T', 0x3A4E001F, 0x001F},
    {"AssistantName", 'T', 0x3A30001F, 0x001F},          // PidTagAssistant
    {"Spouse", 'T', 0x3A48001F, 0x001F},                 // PidTagSpouseName
    {"Body", 'T', 0x1000001F, 0x001F},
};

// The named properties that saving computes.
constexpr Expected computedNamedExpected[] = {
    {"PidLidFileUnder", 'A', 0x8005, 0x001F},
    {"PidLidFileUnderId", 'A', 0x8006, 0x0003},
    {"PidLidHomeAddress", 'A', 0x801A, 0x001F},
    {"PidLidWorkAddress", 'A', 0x801B, 0x001F},
    {"PidLidPostalAddressId", 'A', 0x8022, 0x0003},
    {"PidLidContactCharacterSet", 'A', 0x8023, 0x0003},
    {"PidLidAutoLog", 'A', 0x8025, 0x000B},
    {"PidLidFileUnderList", 'A', 0x8026, 0x1003},
    {"PidLidAddressBookProviderEmailList", 'A', 0x8028, 0x1003},
    {"PidLidAddressBookProviderArrayType", 'A', 0x8029, 0x0003},
    {"PidLidEmail1DisplayName", 'A', 0x8080, 0x001F},
    {"PidLidEmail1AddressType", 'A', 0x8082, 0x001F},
    {"PidLidEmail1OriginalDisplayName", 'A', 0x8084, 0x001F},
    {"PidLidEmail1OriginalEntryId", 'A', 0x8085, 0x0102},
    {"PidLidEmail2DisplayName", 'A', 0x8090, 0x001F},
    {"PidLidEmail2AddressType", 'A', 0x8092, 0x001F},
    {"PidLidEmail2OriginalDisplayName", 'A', 0x8094, 0x001F},
    {"PidLidEmail2OriginalEntryId", 'A', 0x8095, 0x0102},
    {"PidLidEmail3DisplayName", 'A', 0x80A0, 0x001F},
    {"PidLidEmail3AddressType", 'A', 0x80A2, 0x001F},
    {"PidLidEmail3OriginalDisplayName", 'A', 0x80A4, 0x001F},
    {"PidLidEmail3OriginalEntryId", 'A', 0x80A5, 0x0102},
    {"PidLidBirthdayLocal", 'A', 0x80DE, 0x0040},
    {"PidLidWeddingAnniversaryLocal", 'A', 0x80DF, 0x0040},
};

void expectKey(const PropertyKey& key, const Expected& expected)
{
    SCOPED_TRACE(std::string(expected.name));
    EXPECT_EQ(static_cast<std::uint16_t>(key.type), expected.type);
    switch (expected.set) {
    case 'T':
        ASSERT_FALSE(key.isNamed());
        EXPECT_EQ(key.tag(), expected.idOrLid);
        break;
    case 'A':
        ASSERT_TRUE(key.isNamed());
        EXPECT_FALSE(key.isNamedByString());
        EXPECT_TRUE(key.set == PSETID_Address);
        EXPECT_EQ(key.lid, expected.idOrLid);
        break;
    case 'P':
        ASSERT_TRUE(key.isNamedByString());
        EXPECT_TRUE(key.set == PS_PUBLIC_STRINGS);
        EXPECT_EQ(key.name, "Keywords");
        break;
    }
}

TEST(ContactProperties, EveryObjectModelNameMapsToItsCanonicalProperty)
{
    ASSERT_EQ(objectModelProperties().size(), std::size(objectModelExpected));
    for (const auto& expected : objectModelExpected) {
        const ObjectModelProperty* property = findObjectModelProperty(expected.name);
        ASSERT_NE(property, nullptr) << expected.name;
        expectKey(property->key, expected);
    }
}

TEST(ContactProperties, ComputedNamedPropertiesHaveTheirCanonicalLids)
{
    const PropertyKey keys[] = {
        PidLidFileUnder,
        PidLidFileUnderId,
        PidLidHomeAddress,
        PidLidWorkAddress,
        PidLidPostalAddressId,
        PidLidContactCharacterSet,
        PidLidAutoLog,
        PidLidFileUnderList,
        PidLidAddressBookProviderEmailList,
        PidLidAddressBookProviderArrayType,
        PidLidEmailGroups[0].displayName,
        PidLidEmailGroups[0].addressType,
        PidLidEmailGroups[0].originalDisplayName,
        PidLidEmailGroups[0].originalEntryId,
        PidLidEmailGroups[1].displayName,
        PidLidEmailGroups[1].addressType,
        PidLidEmailGroups[1].originalDisplayName,
        PidLidEmailGroups[1].originalEntryId,
        PidLidEmailGroups[2].displayName,
        PidLidEmailGroups[2].addressType,
        PidLidEmailGroups[2].originalDisplayName,
        PidLidEmailGroups[2].originalEntryId,
        PidLidBirthdayLocal,
        PidLidWeddingAnniversaryLocal,
    };
    static_assert(std::size(keys) == std::size(computedNamedExpected));
    for (std::size_t i = 0; i < std::size(keys); ++i)
        expectKey(keys[i], computedNamedExpected[i]);
    EXPECT_TRUE(PidLidSideEffects.set == PSETID_Common);
    EXPECT_EQ(PidLidSideEffects.lid, 0x8510u);
}

TEST(ContactProperties, NameLookupIgnoresCaseAndRefusesUnknownNames)
{
    EXPECT_EQ(findObjectModelProperty("firstname"), findObjectModelProperty("FirstName"));
    EXPECT_EQ(findObjectModelProperty("EMAIL1ADDRESS"), findObjectModelProperty("Email1Address"));
    for (std::string_view unknown : {"", "FirstNam", "FirstName ", "Email4Address", "Birthday", "Title", "Suffix",
                                     "FullName", "BusinessAddress", "Keywords", "PR_GIVEN_NAME"})
        EXPECT_EQ(findObjectModelProperty(unknown), nullptr) << unknown;
}

TEST(ContactProperties, SetGuidsAreInStoredByteOrder)
{
    const std::array<std::uint8_t, 16> address = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(PSETID_Address.bytes, address);
    EXPECT_EQ(PSETID_Common.bytes[0], 0x08);
    EXPECT_EQ(PS_PUBLIC_STRINGS.bytes[0], 0x29);
    EXPECT_EQ(PS_PUBLIC_STRINGS.bytes[1], 0x03);
    EXPECT_EQ(PS_MAPI.bytes[0], 0x28);
}

TEST(ContactProperties, NamedPropertyListIsUniqueAndCoversTheObjectModel)
{
    const auto named = contactNamedProperties();
    std::set<PropertyKey> unique(named.begin(), named.end());
    EXPECT_EQ(unique.size(), named.size());
    for (const auto& property : objectModelProperties()) {
        if (property.key.isNamed()) {
            EXPECT_TRUE(unique.contains(property.key)) << property.name;
        }
    }
    for (const auto& key : named)
        EXPECT_TRUE(key.isNamed());
}

} // namespace
} // namespace tressimo::mapi::contact
