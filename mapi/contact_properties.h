#pragma once
// The MAPI properties of an Outlook contact: property types, keys (fixed tags and named
// properties), the property sets, and the Outlook object-model names that the contact writer
// assigns. Ids, sets and types are those of [MS-OXPROPS] and [MS-OXOCNTC]; a wrong LID here
// silently loses the field in every reader, so tests/mapi checks each against its own table.

#include <array>
#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tressimo::mapi::contact {

// The property types the model writes (the low word of a property tag).
enum class PropertyType : std::uint16_t {
    Int16 = 0x0002,
    Int32 = 0x0003,
    Boolean = 0x000B,
    Time = 0x0040,
    Unicode = 0x001F,
    Binary = 0x0102,
    MultipleInt32 = 0x1003,
    MultipleUnicode = 0x101F,
};

// A property set GUID in stored byte order: Data1, Data2 and Data3 little-endian, then the
// eight bytes of Data4 as written. This is how the name-to-ID map's GUID stream holds it.
struct Guid
{
    std::array<std::uint8_t, 16> bytes{};

    static constexpr Guid fromFields(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                                     std::array<std::uint8_t, 8> data4)
    {
        Guid g;
        for (int i = 0; i < 4; ++i)
            g.bytes[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
        for (int i = 0; i < 2; ++i) {
            g.bytes[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
            g.bytes[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
        }
        for (int i = 0; i < 8; ++i)
            g.bytes[8 + i] = data4[i];
        return g;
    }
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
    // Looked up a hundred times a contact: compared as two words, not by a library call.
    friend constexpr bool operator==(const Guid& a, const Guid& b)
    {
        using Words = std::array<std::uint64_t, 2>;
        return std::bit_cast<Words>(a.bytes) == std::bit_cast<Words>(b.bytes);
    }
};

// The MAPI property sets used by contacts ([MS-OXPROPS] 1.3.2).
inline constexpr Guid PSETID_Address =
    Guid::fromFields(0x00062004, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46});
inline constexpr Guid PSETID_Common =
    Guid::fromFields(0x00062008, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46});
// The name-to-ID map refers to these two by the fixed indexes 1 and 2, not by a stream entry.
inline constexpr Guid PS_MAPI =
    Guid::fromFields(0x00020328, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46});
inline constexpr Guid PS_PUBLIC_STRINGS =
    Guid::fromFields(0x00020329, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46});

// Identifies one property of a message: a fixed tag (id below 0x8000) or a named property
// (set GUID plus a numeric LID, or set GUID plus a string name), together with its type.
// The PST layer turns a named key into a tag through the store's name-to-ID map. Two keys are
// the same property when they agree on everything but the type: MAPI gives a property id one
// type, and the model refuses a second one.
struct PropertyKey
{
    // Fixed property id (the high word of the tag); 0 for a named property.
    std::uint16_t id = 0;
    PropertyType type{};
    // Named properties only: the property set and either the LID or the string name.
    Guid set{};
    std::uint32_t lid = 0;
    // String name, pointing at static storage; empty for fixed and numeric named properties.
    std::string_view name;

    static constexpr PropertyKey fixed(std::uint16_t id, PropertyType type) { return {id, type, {}, 0, {}}; }
    static constexpr PropertyKey named(const Guid& set, std::uint32_t lid, PropertyType type)
    {
        return {0, type, set, lid, {}};
    }
    static constexpr PropertyKey namedString(const Guid& set, std::string_view name, PropertyType type)
    {
        return {0, type, set, 0, name};
    }

    constexpr bool isNamed() const { return id == 0; }
    constexpr bool isNamedByString() const { return isNamed() && !name.empty(); }
    // The full tag of a fixed property (id << 16 | type).
    constexpr std::uint32_t tag() const
    {
        return static_cast<std::uint32_t>(id) << 16 | static_cast<std::uint16_t>(type);
    }

    friend constexpr bool operator==(const PropertyKey& a, const PropertyKey& b)
    {
        return a.id == b.id && a.lid == b.lid && a.name == b.name && a.set == b.set;
    }
    friend constexpr std::strong_ordering operator<=>(const PropertyKey& a, const PropertyKey& b)
    {
        // Fixed tags first, in id order, then named properties by LID, name and set (the set
        // last: nearly all contact properties share PSETID_Address).
        if (a.isNamed() != b.isNamed())
            return a.isNamed() ? std::strong_ordering::greater : std::strong_ordering::less;
        if (auto c = a.id <=> b.id; c != 0)
            return c;
        if (auto c = a.lid <=> b.lid; c != 0)
            return c;
        if (auto c = a.name.compare(b.name) <=> 0; c != 0)
            return c;
        return a.set <=> b.set;
    }
};

// ---- Fixed tags ([MS-OXPROPS] section 2, [MS-OXOCNTC] 2.2.1) --------------------------------

constexpr PropertyKey fixedUnicode(std::uint16_t id)
{
    return PropertyKey::fixed(id, PropertyType::Unicode);
}

// Message envelope ([MS-OXCMSG] 2.2.1).
inline constexpr PropertyKey PidTagImportance = PropertyKey::fixed(0x0017, PropertyType::Int32);
inline constexpr PropertyKey PidTagMessageClass = fixedUnicode(0x001A);
inline constexpr PropertyKey PidTagPriority = PropertyKey::fixed(0x0026, PropertyType::Int32);
inline constexpr PropertyKey PidTagSensitivity = PropertyKey::fixed(0x0036, PropertyType::Int32);
// Plain text here; the PST layer stores it with its own subject-prefix marker.
inline constexpr PropertyKey PidTagSubject = fixedUnicode(0x0037);
inline constexpr PropertyKey PidTagClientSubmitTime = PropertyKey::fixed(0x0039, PropertyType::Time);
inline constexpr PropertyKey PidTagConversationTopic = fixedUnicode(0x0070);
inline constexpr PropertyKey PidTagMessageDeliveryTime = PropertyKey::fixed(0x0E06, PropertyType::Time);
inline constexpr PropertyKey PidTagMessageFlags = PropertyKey::fixed(0x0E07, PropertyType::Int32);
inline constexpr PropertyKey PidTagBody = fixedUnicode(0x1000);
inline constexpr PropertyKey PidTagIconIndex = PropertyKey::fixed(0x1080, PropertyType::Int32);
inline constexpr PropertyKey PidTagDisplayName = fixedUnicode(0x3001);
inline constexpr PropertyKey PidTagCreationTime = PropertyKey::fixed(0x3007, PropertyType::Time);
inline constexpr PropertyKey PidTagLastModificationTime = PropertyKey::fixed(0x3008, PropertyType::Time);
inline constexpr PropertyKey PidTagSearchKey = PropertyKey::fixed(0x300B, PropertyType::Binary);

// Contact names, work and personal fields.
inline constexpr PropertyKey PidTagGeneration = fixedUnicode(0x3A05);
inline constexpr PropertyKey PidTagGivenName = fixedUnicode(0x3A06);
inline constexpr PropertyKey PidTagBusinessTelephoneNumber = fixedUnicode(0x3A08);
inline constexpr PropertyKey PidTagHomeTelephoneNumber = fixedUnicode(0x3A09);
inline constexpr PropertyKey PidTagInitials = fixedUnicode(0x3A0A);
inline constexpr PropertyKey PidTagSurname = fixedUnicode(0x3A11);
inline constexpr PropertyKey PidTagPostalAddress = fixedUnicode(0x3A15);
inline constexpr PropertyKey PidTagPrimaryTelephoneNumber = fixedUnicode(0x3A1A);
inline constexpr PropertyKey PidTagBusiness2TelephoneNumber = fixedUnicode(0x3A1B);
inline constexpr PropertyKey PidTagCompanyName = fixedUnicode(0x3A16);
inline constexpr PropertyKey PidTagTitle = fixedUnicode(0x3A17);
inline constexpr PropertyKey PidTagDepartmentName = fixedUnicode(0x3A18);
inline constexpr PropertyKey PidTagOfficeLocation = fixedUnicode(0x3A19);
inline constexpr PropertyKey PidTagMobileTelephoneNumber = fixedUnicode(0x3A1C);
inline constexpr PropertyKey PidTagCarTelephoneNumber = fixedUnicode(0x3A1E);
inline constexpr PropertyKey PidTagOtherTelephoneNumber = fixedUnicode(0x3A1F);
inline constexpr PropertyKey PidTagPagerTelephoneNumber = fixedUnicode(0x3A21);
inline constexpr PropertyKey PidTagPrimaryFaxNumber = fixedUnicode(0x3A23);
inline constexpr PropertyKey PidTagBusinessFaxNumber = fixedUnicode(0x3A24);
inline constexpr PropertyKey PidTagHomeFaxNumber = fixedUnicode(0x3A25);
inline constexpr PropertyKey PidTagCountry = fixedUnicode(0x3A26);
inline constexpr PropertyKey PidTagLocality = fixedUnicode(0x3A27);
inline constexpr PropertyKey PidTagStateOrProvince = fixedUnicode(0x3A28);
inline constexpr PropertyKey PidTagStreetAddress = fixedUnicode(0x3A29);
inline constexpr PropertyKey PidTagPostalCode = fixedUnicode(0x3A2A);
inline constexpr PropertyKey PidTagPostOfficeBox = fixedUnicode(0x3A2B);
inline constexpr PropertyKey PidTagIsdnNumber = fixedUnicode(0x3A2D);
inline constexpr PropertyKey PidTagHome2TelephoneNumber = fixedUnicode(0x3A2F);
inline constexpr PropertyKey PidTagAssistant = fixedUnicode(0x3A30);
inline constexpr PropertyKey PidTagWeddingAnniversary = PropertyKey::fixed(0x3A41, PropertyType::Time);
inline constexpr PropertyKey PidTagBirthday = PropertyKey::fixed(0x3A42, PropertyType::Time);
inline constexpr PropertyKey PidTagMiddleName = fixedUnicode(0x3A44);
inline constexpr PropertyKey PidTagDisplayNamePrefix = fixedUnicode(0x3A45);
inline constexpr PropertyKey PidTagProfession = fixedUnicode(0x3A46);
inline constexpr PropertyKey PidTagSpouseName = fixedUnicode(0x3A48);
inline constexpr PropertyKey PidTagTelecommunicationsDeviceForDeafTelephoneNumber = fixedUnicode(0x3A4B);
inline constexpr PropertyKey PidTagGender = PropertyKey::fixed(0x3A4D, PropertyType::Int16);
inline constexpr PropertyKey PidTagManagerName = fixedUnicode(0x3A4E);
inline constexpr PropertyKey PidTagNickname = fixedUnicode(0x3A4F);
inline constexpr PropertyKey PidTagPersonalHomePage = fixedUnicode(0x3A50);
inline constexpr PropertyKey PidTagBusinessHomePage = fixedUnicode(0x3A51);
// One value per child.
inline constexpr PropertyKey PidTagChildrensNames = PropertyKey::fixed(0x3A58, PropertyType::MultipleUnicode);
inline constexpr PropertyKey PidTagHomeAddressCity = fixedUnicode(0x3A59);
inline constexpr PropertyKey PidTagHomeAddressCountry = fixedUnicode(0x3A5A);
inline constexpr PropertyKey PidTagHomeAddressPostalCode = fixedUnicode(0x3A5B);
inline constexpr PropertyKey PidTagHomeAddressStateOrProvince = fixedUnicode(0x3A5C);
inline constexpr PropertyKey PidTagHomeAddressStreet = fixedUnicode(0x3A5D);
inline constexpr PropertyKey PidTagHomeAddressPostOfficeBox = fixedUnicode(0x3A5E);
inline constexpr PropertyKey PidTagOtherAddressCity = fixedUnicode(0x3A5F);
inline constexpr PropertyKey PidTagOtherAddressCountry = fixedUnicode(0x3A60);
inline constexpr PropertyKey PidTagOtherAddressPostalCode = fixedUnicode(0x3A61);
inline constexpr PropertyKey PidTagOtherAddressStateOrProvince = fixedUnicode(0x3A62);
inline constexpr PropertyKey PidTagOtherAddressStreet = fixedUnicode(0x3A63);
inline constexpr PropertyKey PidTagOtherAddressPostOfficeBox = fixedUnicode(0x3A64);

// ---- Named properties -----------------------------------------------------------------------

constexpr PropertyKey addressProperty(std::uint32_t lid, PropertyType type = PropertyType::Unicode)
{
    return PropertyKey::named(PSETID_Address, lid, type);
}

inline constexpr PropertyKey PidLidFileUnder = addressProperty(0x8005);
inline constexpr PropertyKey PidLidFileUnderId = addressProperty(0x8006, PropertyType::Int32);
inline constexpr PropertyKey PidLidHomeAddress = addressProperty(0x801A);
inline constexpr PropertyKey PidLidWorkAddress = addressProperty(0x801B);
inline constexpr PropertyKey PidLidOtherAddress = addressProperty(0x801C);
inline constexpr PropertyKey PidLidPostalAddressId = addressProperty(0x8022, PropertyType::Int32);
inline constexpr PropertyKey PidLidContactCharacterSet = addressProperty(0x8023, PropertyType::Int32);
inline constexpr PropertyKey PidLidAutoLog = addressProperty(0x8025, PropertyType::Boolean);
inline constexpr PropertyKey PidLidFileUnderList = addressProperty(0x8026, PropertyType::MultipleInt32);
inline constexpr PropertyKey PidLidAddressBookProviderEmailList =
    addressProperty(0x8028, PropertyType::MultipleInt32);
inline constexpr PropertyKey PidLidAddressBookProviderArrayType =
    addressProperty(0x8029, PropertyType::Int32);
inline constexpr PropertyKey PidLidHtml = addressProperty(0x802B);
inline constexpr PropertyKey PidLidWorkAddressStreet = addressProperty(0x8045);
inline constexpr PropertyKey PidLidWorkAddressCity = addressProperty(0x8046);
inline constexpr PropertyKey PidLidWorkAddressState = addressProperty(0x8047);
inline constexpr PropertyKey PidLidWorkAddressPostalCode = addressProperty(0x8048);
inline constexpr PropertyKey PidLidWorkAddressCountry = addressProperty(0x8049);
inline constexpr PropertyKey PidLidWorkAddressPostOfficeBox = addressProperty(0x804A);
inline constexpr PropertyKey PidLidInstantMessagingAddress = addressProperty(0x8062);
inline constexpr PropertyKey PidLidBirthdayLocal = addressProperty(0x80DE, PropertyType::Time);
inline constexpr PropertyKey PidLidWeddingAnniversaryLocal = addressProperty(0x80DF, PropertyType::Time);

// One e-mail address group ([MS-OXOCNTC] 2.2.1.2): its five properties are written together.
struct EmailGroupKeys
{
    PropertyKey displayName;
    PropertyKey addressType;
    PropertyKey emailAddress;
    PropertyKey originalDisplayName;
    PropertyKey originalEntryId;
};

constexpr EmailGroupKeys emailGroup(std::uint32_t base)
{
    return {addressProperty(base), addressProperty(base + 2), addressProperty(base + 3),
            addressProperty(base + 4), addressProperty(base + 5, PropertyType::Binary)};
}

// Email1 at 0x8080..0x8085, Email2 at 0x8090..0x8095, Email3 at 0x80A0..0x80A5.
inline constexpr std::array<EmailGroupKeys, 3> PidLidEmailGroups = {emailGroup(0x8080), emailGroup(0x8090),
                                                                    emailGroup(0x80A0)};

// One fax group ([MS-OXOCNTC] 2.2.1.2): an e-mail group without its display name, which puts
// the fax number in the address book.
struct FaxGroupKeys
{
    PropertyKey addressType;
    PropertyKey emailAddress;
    PropertyKey originalDisplayName;
    PropertyKey originalEntryId;
};

constexpr FaxGroupKeys faxGroup(std::uint32_t base)
{
    return {addressProperty(base), addressProperty(base + 1), addressProperty(base + 2),
            addressProperty(base + 3, PropertyType::Binary)};
}

// Fax1 at 0x80B2..0x80B5, Fax2 at 0x80C2..0x80C5, Fax3 at 0x80D2..0x80D5.
inline constexpr std::array<FaxGroupKeys, 3> PidLidFaxGroups = {faxGroup(0x80B2), faxGroup(0x80C2),
                                                                faxGroup(0x80D2)};

inline constexpr PropertyKey PidLidSideEffects =
    PropertyKey::named(PSETID_Common, 0x8510, PropertyType::Int32);

inline constexpr std::string_view keywordsName = "Keywords";
inline constexpr PropertyKey PidNameKeywords =
    PropertyKey::namedString(PS_PUBLIC_STRINGS, keywordsName, PropertyType::MultipleUnicode);

// ---- Outlook object-model names -------------------------------------------------------------

// An Outlook object-model contact property ("FirstName", "Email1Address", ...) and the MAPI
// property that holds it. Every one of them is put as text: numbers (Gender,
// SelectedMailingAddress) as decimal text, Categories and Children as one list text that is
// split when the contact is saved.
struct ObjectModelProperty
{
    std::string_view name;
    PropertyKey key;
};

// Every object-model name the model knows: first those the contact writer always assigns, in
// its order, then those it assigns when it has a value for them.
inline constexpr auto objectModelTable = std::to_array<ObjectModelProperty>({
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
    {"NickName", PidTagNickname},
    {"Gender", PidTagGender},
    {"Children", PidTagChildrensNames},
    {"Home2TelephoneNumber", PidTagHome2TelephoneNumber},
    {"Business2TelephoneNumber", PidTagBusiness2TelephoneNumber},
    {"CarTelephoneNumber", PidTagCarTelephoneNumber},
    {"ISDNNumber", PidTagIsdnNumber},
    {"TTYTDDTelephoneNumber", PidTagTelecommunicationsDeviceForDeafTelephoneNumber},
    {"OtherTelephoneNumber", PidTagOtherTelephoneNumber},
    {"PrimaryTelephoneNumber", PidTagPrimaryTelephoneNumber},
    {"OtherFaxNumber", PidTagPrimaryFaxNumber},
    {"HomeAddressPostOfficeBox", PidTagHomeAddressPostOfficeBox},
    {"BusinessAddressPostOfficeBox", PidLidWorkAddressPostOfficeBox},
    {"OtherAddressStreet", PidTagOtherAddressStreet},
    {"OtherAddressCity", PidTagOtherAddressCity},
    {"OtherAddressState", PidTagOtherAddressStateOrProvince},
    {"OtherAddressPostalCode", PidTagOtherAddressPostalCode},
    {"OtherAddressCountry", PidTagOtherAddressCountry},
    {"OtherAddressPostOfficeBox", PidTagOtherAddressPostOfficeBox},
    // The full texts: saving composes them from the parts unless they are put.
    {"HomeAddress", PidLidHomeAddress},
    {"BusinessAddress", PidLidWorkAddress},
    {"OtherAddress", PidLidOtherAddress},
    // OlMailingAddress: 1 home, 2 business, 3 other.
    {"SelectedMailingAddress", PidLidPostalAddressId},
    {"PersonalHomePage", PidTagPersonalHomePage},
});
inline constexpr std::size_t objectModelPropertyCount = objectModelTable.size();

// The fixed properties saving computes beyond the object-model ones: set by tag, they must
// have these types.
inline constexpr auto computedFixedProperties = std::to_array<PropertyKey>({
    PidTagImportance, PidTagMessageClass, PidTagPriority, PidTagSensitivity, PidTagSubject,
    PidTagClientSubmitTime, PidTagConversationTopic, PidTagMessageDeliveryTime, PidTagMessageFlags,
    PidTagIconIndex, PidTagDisplayName, PidTagCreationTime, PidTagLastModificationTime, PidTagSearchKey,
    PidTagGeneration, PidTagInitials, PidTagPostalAddress, PidTagCountry, PidTagLocality,
    PidTagStateOrProvince, PidTagStreetAddress, PidTagPostalCode, PidTagPostOfficeBox,
    PidTagWeddingAnniversary, PidTagBirthday, PidTagDisplayNamePrefix, PidTagBusinessHomePage,
});

// Every object-model name the contact writer assigns, in the writer's order.
std::span<const ObjectModelProperty> objectModelProperties();

namespace detail {

// Where each object-model property's key leads (index + 1, 0 for none): fixed ids by a small
// open-addressing table on the id, named properties of PSETID_Address by the low byte of their
// LID (0x80xx), and the one string name on its own. A lookup of any other key ends at an empty
// slot or a key that differs.
constexpr std::size_t idSlotCount = 128;
constexpr std::size_t idSlot(std::uint16_t id)
{
    return (id * 0x9E37u >> 5) % idSlotCount;
}

struct KeyTables
{
    std::array<std::int8_t, idSlotCount> byId{};
    std::array<std::int8_t, 256> byAddressLid{};
    std::int8_t byName = 0;
};

inline constexpr KeyTables keyTables = [] {
    KeyTables tables;
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        const PropertyKey& key = objectModelTable[i].key;
        const auto entry = static_cast<std::int8_t>(i + 1);
        if (!key.isNamed()) {
            std::size_t slot = idSlot(key.id);
            while (tables.byId[slot] != 0)
                slot = (slot + 1) % idSlotCount;
            tables.byId[slot] = entry;
        } else if (key.isNamedByString()) {
            if (tables.byName != 0)
                throw "one string name only"; // fails the build
            tables.byName = entry;
        } else {
            if (!(key.set == PSETID_Address && key.lid >> 8 == 0x80) ||
                tables.byAddressLid[key.lid & 0xFF] != 0)
                throw "named properties are PSETID_Address LIDs 0x80xx, one per low byte"; // fails the build
            tables.byAddressLid[key.lid & 0xFF] = entry;
        }
    }
    return tables;
}();

} // namespace detail

// The place in objectModelProperties() of the property with this key (types aside), or -1.
// Usable when building, so that a lookup of a constant key costs nothing when saving.
constexpr int objectModelIndex(const PropertyKey& key)
{
    int entry = 0;
    if (!key.isNamed()) {
        for (std::size_t slot = detail::idSlot(key.id);; slot = (slot + 1) % detail::idSlotCount) {
            entry = detail::keyTables.byId[slot];
            if (entry == 0 || objectModelTable[entry - 1].key.id == key.id)
                break;
        }
    } else if (key.isNamedByString()) {
        entry = detail::keyTables.byName;
    } else if (key.lid >> 8 == 0x80) {
        entry = detail::keyTables.byAddressLid[key.lid & 0xFF];
    }
    return entry != 0 && objectModelTable[entry - 1].key == key ? entry - 1 : -1;
}

// The property behind an object-model name, or nullptr for a name the model does not know.
// Letter case is ignored (ASCII), as automation matches member names.
const ObjectModelProperty* findObjectModelProperty(std::string_view name);

} // namespace tressimo::mapi::contact
