#include "mapi/contact_model.h"

#include "mapi/contact_entryid.h"
#include "mapi/contact_text.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <map>
#include <random>

namespace tressimo::mapi::contact {

namespace {

constexpr std::uint16_t typeString8 = 0x001E;

// The type a fixed id must have when the model knows the property.
std::optional<PropertyType> knownFixedType(std::uint16_t id)
{
    static const auto known = [] {
        std::map<std::uint16_t, PropertyType> types;
        for (const auto& property : objectModelProperties()) {
            if (!property.key.isNamed())
                types.emplace(property.key.id, property.key.type);
        }
        for (const PropertyKey& key : {PidTagImportance,
                                       PidTagMessageClass,
                                       PidTagPriority,
                                       PidTagSensitivity,
                                       PidTagSubject,
                                       PidTagClientSubmitTime,
                                       PidTagConversationTopic,
                                       PidTagMessageDeliveryTime,
                                       PidTagMessageFlags,
                                       PidTagIconIndex,
                                       PidTagDisplayName,
                                       PidTagCreationTime,
                                       PidTagLastModificationTime,
                                       PidTagSearchKey,
                                       PidTagGeneration,
                                       PidTagInitials,
                                       PidTagPostalAddress,
                                       PidTagCountry,
                                       PidTagLocality,
                                       PidTagStateOrProvince,
                                       PidTagStreetAddress,
                                       PidTagPostalCode,
                                       PidTagWeddingAnniversary,
                                       PidTagBirthday,
                                       PidTagDisplayNamePrefix,
                                       PidTagBusinessHomePage})
            types.emplace(key.id, key.type);
        return types;
    }();
    const auto it = known.find(id);
    if (it == known.end())
        return std::nullopt;
    return it->second;
}

std::string hexTag(std::uint32_t tag)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text.push_back(digits[(tag >> shift) & 0xF]);
    return text;
}

bool isDateOnly(const PropertyKey& key)
{
    return key == PidTagBirthday || key == PidTagWeddingAnniversary;
}

std::string joinNonEmpty(std::initializer_list<std::string_view> parts, std::string_view separator)
{
    std::string out;
    for (std::string_view part : parts) {
        if (part.empty())
            continue;
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// A postal address as the contact form shows it: street, then "City, State Postcode", then the
// country, one per line; lines and separators of missing parts are left out.
std::string composeAddress(std::string_view street, std::string_view city, std::string_view state,
                           std::string_view postalCode, std::string_view country)
{
    const std::string statePostal = joinNonEmpty({state, postalCode}, " ");
    const std::string cityLine = joinNonEmpty({city, statePostal}, ", ");
    return joinNonEmpty({street, cityLine, country}, "\r\n");
}

// Outlook's initials: the first letter of the first, middle and last names, each with a period.
std::string initialsOf(std::initializer_list<std::string_view> names)
{
    std::string out;
    for (std::string_view name : names) {
        if (name.empty())
            continue;
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(name[0]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        out += name.substr(0, std::min(length, name.size()));
        out += '.';
    }
    return out;
}

// Collects the saved properties: a value computed for a property that the caller set explicitly
// is dropped, and empty texts are not stored.
class PropertyList
{
public:
    explicit PropertyList(std::function<bool(const PropertyKey&)> isExplicit)
        : m_isExplicit(std::move(isExplicit))
    {
        m_values.reserve(64);
    }

    void setExplicit(const PropertyKey& key, StoredValue value) { store(key, std::move(value)); }

    void compute(const PropertyKey& key, StoredValue value)
    {
        if (!m_isExplicit(key))
            store(key, std::move(value));
    }

    std::vector<StoredProperty> take()
    {
        // Sorts positions, not the properties (moving values costs more than comparing keys), by a
        // number that orders keys as PropertyKey does as long as no two share id and LID.
        std::vector<std::pair<std::uint64_t, std::uint32_t>> order(m_values.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            const PropertyKey& key = m_values[i].key;
            order[i] = {std::uint64_t{key.isNamed()} << 63 | std::uint64_t{key.id} << 32 | key.lid,
                        static_cast<std::uint32_t>(i)};
        }
        std::sort(order.begin(), order.end(), [this](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : m_values[a.second].key < m_values[b.second].key;
        });
        std::vector<StoredProperty> out;
        out.reserve(m_values.size());
        for (const auto& [rank, i] : order)
            out.push_back(std::move(m_values[i]));
        return out;
    }

private:
    void store(const PropertyKey& key, StoredValue value)
    {
        if (const auto* text = std::get_if<std::string>(&value); text && text->empty())
            return;
        assert(matchesType(key.type, value));
        // Each key is stored once: computed values skip explicit keys, and no key is computed twice.
        assert(std::none_of(m_values.begin(), m_values.end(), [&](const auto& p) { return p.key == key; }));
        m_values.push_back({key, std::move(value)});
    }

    static bool matchesType(PropertyType type, const StoredValue& value)
    {
        switch (type) {
        case PropertyType::Int32:
            return std::holds_alternative<std::int32_t>(value);
        case PropertyType::Boolean:
            return std::holds_alternative<bool>(value);
        case PropertyType::Time:
            return std::holds_alternative<FileTime>(value);
        case PropertyType::Unicode:
            return std::holds_alternative<std::string>(value);
        case PropertyType::Binary:
            return std::holds_alternative<std::vector<std::uint8_t>>(value);
        case PropertyType::MultipleInt32: {
            const auto* values = std::get_if<std::vector<std::int32_t>>(&value);
            return values && !values->empty();
        }
        case PropertyType::MultipleUnicode: {
            const auto* values = std::get_if<std::vector<std::string>>(&value);
            return values && !values->empty();
        }
        }
        return false;
    }

    std::function<bool(const PropertyKey&)> m_isExplicit;
    std::vector<StoredProperty> m_values;
};

} // namespace

const StoredProperty* findProperty(std::span<const StoredProperty> properties, const PropertyKey& key)
{
    for (const auto& property : properties) {
        if (property.key == key)
            return &property;
    }
    return nullptr;
}

ContactEnvironment systemContactEnvironment()
{
    ContactEnvironment environment;
    environment.clock = [] { return std::chrono::system_clock::now(); };
    environment.random = [](std::span<std::uint8_t> out) {
        std::random_device device;
        for (auto& byte : out)
            byte = static_cast<std::uint8_t>(device());
    };
    environment.localToUtc = processTimeZone();
    return environment;
}

void ContactState::put(std::string_view name, std::string_view value)
{
    const ObjectModelProperty* property = findObjectModelProperty(name);
    if (!property)
        throw ContactModelError("A contact item has no property \"" + std::string(name) + "\".");
    assign(property->key, std::string(value));
}

std::string ContactState::get(std::string_view name) const
{
    const ObjectModelProperty* property = findObjectModelProperty(name);
    if (!property)
        throw ContactModelError("A contact item has no property \"" + std::string(name) + "\".");
    const PropertyValue* value = find(property->key);
    const auto* text = value ? std::get_if<std::string>(value) : nullptr;
    return text ? *text : std::string();
}

void ContactState::setProperty(std::uint32_t tag, const PropertyValue& value)
{
    const auto id = static_cast<std::uint16_t>(tag >> 16);
    auto rawType = static_cast<std::uint16_t>(tag & 0xFFFF);
    if (rawType == typeString8)
        rawType = static_cast<std::uint16_t>(PropertyType::Unicode);
    const auto type = static_cast<PropertyType>(rawType);

    if (id == 0 || id >= 0x8000)
        throw ContactModelError("Property tag " + hexTag(tag) +
                                " names a named property; set it by its object-model name instead.");
    bool matches = false;
    switch (type) {
    case PropertyType::Unicode:
        matches = std::holds_alternative<std::string>(value);
        break;
    case PropertyType::Time:
        matches = std::holds_alternative<OleDate>(value);
        break;
    case PropertyType::Int32:
        matches = std::holds_alternative<std::int32_t>(value);
        break;
    case PropertyType::Boolean:
        matches = std::holds_alternative<bool>(value);
        break;
    default:
        throw ContactModelError(
            "Property tag " + hexTag(tag) +
            " has a type that cannot be set here (only text, time, integer and boolean).");
    }
    if (!matches)
        throw ContactModelError("The value given for property tag " + hexTag(tag) +
                                " does not match its type.");
    if (const auto known = knownFixedType(id); known && *known != type)
        throw ContactModelError(
            "Property tag " + hexTag(tag) + " has the wrong type for this property (expected " +
            hexTag(static_cast<std::uint32_t>(id) << 16 | static_cast<std::uint16_t>(*known)) + ").");
    if (const auto* date = std::get_if<OleDate>(&value); date && !oleDateSeconds(date->days))
        throw ContactModelError("The date given for property tag " + hexTag(tag) +
                                " lies outside the years 1601 to 9999 that Outlook can store.");
    assign(PropertyKey::fixed(id, type), value);
}

std::optional<PropertyValue> ContactState::property(std::uint32_t tag) const
{
    // Keys compare without their type, so any type finds the id.
    const PropertyValue* value =
        find(PropertyKey::fixed(static_cast<std::uint16_t>(tag >> 16), PropertyType::Unicode));
    return value ? std::optional<PropertyValue>(*value) : std::nullopt;
}

const PropertyValue* ContactState::find(const PropertyKey& key) const
{
    for (const auto& [k, value] : m_values) {
        if (k == key)
            return &value;
    }
    return nullptr;
}

void ContactState::assign(const PropertyKey& key, PropertyValue value)
{
    for (auto& [k, existing] : m_values) {
        if (k == key) {
            k = key;
            existing = std::move(value);
            return;
        }
    }
    if (m_values.empty())
        m_values.reserve(48); // room for every object-model name and the four tags of the writer
    m_values.emplace_back(key, std::move(value));
}

std::vector<StoredProperty> ContactState::saveProperties(const ContactEnvironment& environment)
{
    assert(environment.clock && environment.random && environment.localToUtc);
    const FileTime now = fileTimeFromTimePoint(environment.clock());
    if (!m_created)
        m_created = now;
    if (!m_searchKey) {
        std::array<std::uint8_t, 16> key{};
        environment.random(key);
        m_searchKey = key;
    }

    // The text of a property as it will be stored; empty when unset or blank.
    auto text = [this](const PropertyKey& key) -> std::string {
        const PropertyValue* stored = find(key);
        const auto* value = stored ? std::get_if<std::string>(stored) : nullptr;
        if (!value || isBlank(*value))
            return {};
        return sanitizeText(*value);
    };

    PropertyList out([this](const PropertyKey& key) { return find(key) != nullptr; });

    // What was put or set, as stored.
    for (const auto& [key, value] : m_values) {
        if (key == PidNameKeywords) {
            const auto* categories = std::get_if<std::string>(&value);
            if (auto names = splitCategories(categories ? *categories : std::string()); !names.empty())
                out.setExplicit(key, std::move(names));
        } else if (const auto* date = std::get_if<OleDate>(&value)) {
            if (isDateOnly(key)) {
                // The date's local midnight in UTC, and the date at 00:00 with no conversion in
                // the local twin ([MS-OXOCNTC] 2.2.1.5), so that whichever a reader takes, it
                // shows the date that was given, never the day before.
                const std::int64_t localMidnight = *oleDateDay(date->days) * 86400;
                if (auto utc = fileTimeFromUnixSeconds(environment.localToUtc(localMidnight)))
                    out.setExplicit(key, *utc);
                const PropertyKey& twin =
                    key == PidTagBirthday ? PidLidBirthdayLocal : PidLidWeddingAnniversaryLocal;
                out.setExplicit(twin, *fileTimeFromUnixSeconds(localMidnight));
            } else if (auto utc =
                           fileTimeFromUnixSeconds(environment.localToUtc(*oleDateSeconds(date->days)))) {
                out.setExplicit(key, *utc);
            }
        } else if (const auto* given = std::get_if<std::string>(&value)) {
            out.setExplicit(key, isBlank(*given) ? std::string() : sanitizeText(*given));
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            out.setExplicit(key, *number);
        } else if (const auto* flag = std::get_if<bool>(&value)) {
            out.setExplicit(key, *flag);
        }
    }

    // Envelope.
    out.compute(PidTagMessageClass, std::string(contactMessageClass));
    out.compute(PidTagMessageFlags, messageFlagRead);
    out.compute(PidTagIconIndex, contactIconIndex);
    out.compute(PidTagImportance, importanceNormal);
    out.compute(PidTagSensitivity, sensitivityNormal);
    out.compute(PidTagPriority, priorityNormal);
    out.compute(PidTagCreationTime, *m_created);
    out.compute(PidTagLastModificationTime, now);
    out.compute(PidTagMessageDeliveryTime, *m_created);
    out.compute(PidTagClientSubmitTime, *m_created);
    out.compute(PidTagSearchKey, std::vector<std::uint8_t>(m_searchKey->begin(), m_searchKey->end()));
    out.compute(PidLidSideEffects, contactSideEffects);
    out.compute(PidLidContactCharacterSet, contactCharacterSet);
    out.compute(PidLidAutoLog, false);

    // Names: Outlook's full name, file-as and the display name derived from them.
    const std::string first = text(PidTagGivenName);
    const std::string middle = text(PidTagMiddleName);
    const std::string last = text(PidTagSurname);
    const std::string company = text(PidTagCompanyName);
    const std::string fullName =
        joinNonEmpty({text(PidTagDisplayNamePrefix), first, middle, last, text(PidTagGeneration)}, " ");
    std::array<std::string, 3> emails;
    for (std::size_t i = 0; i < emails.size(); ++i)
        emails[i] = text(PidLidEmailGroups[i].emailAddress);

    std::string fileAs;
    std::int32_t fileAsId = fileUnderLastFirstMiddle;
    if (!first.empty() || !middle.empty() || !last.empty()) {
        fileAs = joinNonEmpty({last, joinNonEmpty({first, middle}, " ")}, ", ");
    } else if (!company.empty()) {
        fileAs = company;
        fileAsId = fileUnderCompany;
    } else {
        // No name to file under: the full name (title or suffix alone) or else the first e-mail
        // address, which then is the display name too.
        std::string fallback = fullName;
        for (const auto& email : emails) {
            if (fallback.empty())
                fallback = email;
        }
        if (!fallback.empty()) {
            fileAs = fallback;
            fileAsId = fileUnderDisplayName;
        }
    }
    const std::string displayName = fullName.empty() ? fileAs : fullName;

    out.compute(PidTagDisplayName, displayName);
    out.compute(PidTagSubject, displayName);
    out.compute(PidTagConversationTopic, displayName);
    out.compute(PidTagInitials, initialsOf({first, middle, last}));
    out.compute(PidLidFileUnder, fileAs);
    out.compute(PidLidFileUnderId, fileAsId);
    std::vector<std::int32_t> fileUnderChoices(outlookFileUnderList.begin(), outlookFileUnderList.end());
    if (std::find(fileUnderChoices.begin(), fileUnderChoices.end(), fileAsId) == fileUnderChoices.end())
        fileUnderChoices.push_back(fileAsId);
    out.compute(PidLidFileUnderList, std::move(fileUnderChoices));

    // E-mail address groups, each written whole, and the two properties listing them.
    const std::string& emailName = fullName.empty() ? company : fullName;
    std::vector<std::int32_t> emailList;
    std::int32_t emailBits = 0;
    for (std::size_t i = 0; i < emails.size(); ++i) {
        const std::string& address = emails[i];
        if (address.empty())
            continue;
        const EmailGroupKeys& group = PidLidEmailGroups[i];
        const std::string shown =
            emailName.empty() || emailName == address ? address : emailName + " (" + address + ")";
        out.compute(group.displayName, shown);
        out.compute(group.addressType, std::string(smtpAddressType));
        out.compute(group.originalDisplayName, address);
        out.compute(group.originalEntryId, makeOneOffEntryId(shown, smtpAddressType, address));
        emailList.push_back(static_cast<std::int32_t>(i));
        emailBits |= 1 << static_cast<int>(i);
    }
    if (!emailList.empty()) {
        out.compute(PidLidAddressBookProviderEmailList, std::move(emailList));
        out.compute(PidLidAddressBookProviderArrayType, emailBits);
    }

    // Addresses: the composed texts, and the mailing address, which is the business address
    // when there is one (readers that show a single work address take it from the mailing
    // properties), else the home address.
    struct Address
    {
        std::string street, city, state, postalCode, country;
        bool empty() const
        {
            return street.empty() && city.empty() && state.empty() && postalCode.empty() && country.empty();
        }
        std::string composed() const { return composeAddress(street, city, state, postalCode, country); }
    };
    const Address work{text(PidLidWorkAddressStreet), text(PidLidWorkAddressCity),
                       text(PidLidWorkAddressState), text(PidLidWorkAddressPostalCode),
                       text(PidLidWorkAddressCountry)};
    const Address home{text(PidTagHomeAddressStreet), text(PidTagHomeAddressCity),
                       text(PidTagHomeAddressStateOrProvince), text(PidTagHomeAddressPostalCode),
                       text(PidTagHomeAddressCountry)};
    out.compute(PidLidWorkAddress, work.composed());
    out.compute(PidLidHomeAddress, home.composed());
    const Address* mailing = !work.empty() ? &work : !home.empty() ? &home : nullptr;
    if (mailing) {
        out.compute(PidLidPostalAddressId, mailing == &work ? postalAddressWork : postalAddressHome);
        out.compute(PidTagStreetAddress, mailing->street);
        out.compute(PidTagLocality, mailing->city);
        out.compute(PidTagStateOrProvince, mailing->state);
        out.compute(PidTagPostalCode, mailing->postalCode);
        out.compute(PidTagCountry, mailing->country);
        out.compute(PidTagPostalAddress, mailing->composed());
    }

    out.compute(PidTagBusinessHomePage, text(PidLidHtml));

    return out.take();
}

} // namespace tressimo::mapi::contact
