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

static_assert(std::size(objectModelTable) == objectModelPropertyCount);

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

// The names by length, so that a lookup compares a name or two instead of every one.
constexpr std::size_t maxNameLength = 32;
struct NamesByLength
{
    std::array<std::array<std::int8_t, 6>, maxNameLength + 1> indices{};
    std::array<std::uint8_t, maxNameLength + 1> counts{};
};

constexpr NamesByLength namesByLength = [] {
    NamesByLength table;
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        const std::size_t length = objectModelTable[i].name.size();
        table.indices[length][table.counts[length]++] = static_cast<std::int8_t>(i);
    }
    return table;
}();

// Keys of the object-model properties in an open-addressing table (index + 1, 0 for free).
constexpr std::size_t keySlotCount = 128;
constexpr std::size_t keySlot(const PropertyKey& key)
{
    std::uint32_t h =
        key.id * 0x9E3779B1u ^ key.lid * 0x85EBCA6Bu ^ static_cast<std::uint32_t>(key.name.size());
    for (std::size_t i = 0; i < 4; ++i)
        h = h * 31 + key.set.bytes[i];
    return (h ^ (h >> 15)) % keySlotCount;
}

constexpr std::array<std::int8_t, keySlotCount> keySlots = [] {
    std::array<std::int8_t, keySlotCount> slots{};
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        std::size_t slot = keySlot(objectModelTable[i].key);
        while (slots[slot] != 0)
            slot = (slot + 1) % keySlotCount;
        slots[slot] = static_cast<std::int8_t>(i + 1);
    }
    return slots;
}();

} // namespace

int objectModelIndex(const PropertyKey& key)
{
    for (std::size_t slot = keySlot(key);; slot = (slot + 1) % keySlotCount) {
        const int entry = keySlots[slot];
        if (entry == 0)
            return -1;
        if (objectModelTable[entry - 1].key == key)
            return entry - 1;
    }
}

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
    if (name.size() <= maxNameLength) {
        for (std::size_t k = 0; k < namesByLength.counts[name.size()]; ++k) {
            const ObjectModelProperty& property = objectModelTable[namesByLength.indices[name.size()][k]];
            if (property.name == name)
                return &property;
        }
    }
    for (const auto& property : objectModelTable) {
        if (equalIgnoringAsciiCase(property.name, name))
            return &property;
    }
    return nullptr;
}

} // namespace tressimo::mapi::contact
