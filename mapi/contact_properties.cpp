#include "mapi/contact_properties.h"

#include <algorithm>

namespace tressimo::mapi::contact {

namespace {

constexpr ObjectModelProperty objectModelTable[] = {
    {"FirstName", PidTagGivenName},
    {"MiddleName", PidTagMiddleName},
    {"LastName", PidTagSurname},
    {"JobTitle", PidTagTitle},
    {"CompanyName", PidTagCompanyName},
    {"BusinessTelephoneNumber", PidTagBusinessTelephoneNumber},
    {"BusinessFaxNumber", PidTagBusinessFaxNumber},
    {"HomeTelephoneNumber", PidTagHomeTelephoneNumber},
    {"HomeFaxNumber", PidTagHomeFaxNumber},
    {"MobileTelephoneNumber", PidTagMobileTelephoneNumber},
    {"PagerNumber", PidTagPagerTelephoneNumber},
    {"BusinessAddressStreet", PidLidWorkAddressStreet},
    {"BusinessAddressCity", PidLidWorkAddressCity},
    {"BusinessAddressState", PidLidWorkAddressState},
    {"BusinessAddressPostalCode", PidLidWorkAddressPostalCode},
    {"BusinessAddressCountry", PidLidWorkAddressCountry},
    {"HomeAddressStreet", PidTagHomeAddressStreet},
    {"HomeAddressCity", PidTagHomeAddressCity},
    {"HomeAddressState", PidTagHomeAddressStateOrProvince},
    {"HomeAddressPostalCode", PidTagHomeAddressPostalCode},
    {"HomeAddressCountry", PidTagHomeAddressCountry},
    {"Email1Address", PidLidEmailGroups[0].emailAddress},
    {"Email2Address", PidLidEmailGroups[1].emailAddress},
    {"Email3Address", PidLidEmailGroups[2].emailAddress},
    // Outlook keeps the business web page in PidLidHtml; saving copies it to
    // PidTagBusinessHomePage, which [MS-OXPROPS] wants equal.
    {"WebPage", PidLidHtml},
    {"IMAddress", PidLidInstantMessagingAddress},
    {"Categories", PidNameKeywords},
    {"Department", PidTagDepartmentName},
    {"OfficeLocation", PidTagOfficeLocation},
    {"Profession", PidTagProfession},
    {"ManagerName", PidTagManagerName},
    {"AssistantName", PidTagAssistant},
    {"Spouse", PidTagSpouseName},
    {"Body", PidTagBody},
};

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

constexpr auto namedProperties = [] {
    std::array<PropertyKey, 36> keys{
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
        PidLidHtml,
        PidLidWorkAddressStreet,
        PidLidWorkAddressCity,
        PidLidWorkAddressState,
        PidLidWorkAddressPostalCode,
        PidLidWorkAddressCountry,
        PidLidInstantMessagingAddress,
        PidLidBirthdayLocal,
        PidLidWeddingAnniversaryLocal,
        PidLidSideEffects,
        PidNameKeywords,
    };
    std::size_t n = 21;
    for (const auto& group : PidLidEmailGroups) {
        keys[n++] = group.displayName;
        keys[n++] = group.addressType;
        keys[n++] = group.emailAddress;
        keys[n++] = group.originalDisplayName;
        keys[n++] = group.originalEntryId;
    }
    return keys;
}();

} // namespace

std::span<const ObjectModelProperty> objectModelProperties()
{
    return objectModelTable;
}

std::span<const PropertyKey> contactNamedProperties()
{
    return namedProperties;
}

const ObjectModelProperty* findObjectModelProperty(std::string_view name)
{
    for (const auto& property : objectModelTable) {
        if (property.name == name)
            return &property;
    }
    for (const auto& property : objectModelTable) {
        if (equalIgnoringAsciiCase(property.name, name))
            return &property;
    }
    return nullptr;
}

} // namespace tressimo::mapi::contact
