// Finding object-model names and keys. (Which property each name and computed value lands in
// is checked against Outlook's own contact in contact_reference_test and, end to end, through
// pypff in tests/cli.)

#include "contact_test_support.h"
#include "mapi/contact_properties.h"

#include <gtest/gtest.h>
#include <set>

namespace tressimo::mapi::contact {
namespace {

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
