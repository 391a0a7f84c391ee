#include "mapi/contact_model.h"

#include "mapi/contact_entryid.h"
#include "mapi/contact_text.h"
#include "pst/messaging/message_properties.h"
#include "text/ascii.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <functional>
#include <memory>
#include <random>

namespace tressimo::mapi::contact {

namespace {

constexpr std::uint16_t typeString8 = 0x001E;

// The type a fixed id must have when the model knows the property.
std::optional<PropertyType> knownFixedType(std::uint16_t id)
{
    // A sorted list in one piece: looked up a few times a contact, a tree's scattered nodes
    // are cold in the cache each time.
    static const auto known = [] {
        std::vector<std::pair<std::uint16_t, PropertyType>> types;
        for (const auto& property : objectModelProperties()) {
            if (!property.key.isNamed())
                types.emplace_back(property.key.id, property.key.type);
        }
        for (const PropertyKey& key : computedFixedProperties)
            types.emplace_back(key.id, key.type);
        std::sort(types.begin(), types.end());
        return types;
    }();
    const auto it =
        std::lower_bound(known.begin(), known.end(), id,
                         [](const auto& entry, std::uint16_t wanted) { return entry.first < wanted; });
    if (it == known.end() || it->first != id)
        return std::nullopt;
    return it->second;
}

// Properties a message store works out itself: from where the message sits ([MS-PST] 2.5.2.3),
// its size, and the two parts of the subject. A PST store refuses a message that gives one
// (it would contradict what readers compute), so they are refused when set, not when the item
// is written, where the refusal would fail the whole store.
bool isComputedByStore(std::uint16_t id)
{
    return pst::isCalculatedByStore(id) || id == pst::tags::SubjectPrefix.id() ||
           id == pst::tags::MessageSize.id() || id == pst::tags::NormalizedSubject.id();
}

std::string hexTag(std::uint32_t tag)
{
    return text::hexNumber(tag, 8);
}

bool isDateOnly(const PropertyKey& key)
{
    return key == PidTagBirthday || key == PidTagWeddingAnniversary;
}

// Appends the parts that are not empty, with the separator between them.
void appendJoined(std::string& out, std::initializer_list<std::string_view> parts, std::string_view separator)
{
    bool first = true;
    for (std::string_view part : parts) {
        if (part.empty())
            continue;
        if (!first)
            out += separator;
        out += part;
        first = false;
    }
}

// A postal address as the contact form shows it: street, then "City, State Postcode", then the
// country, one per line; lines and separators of missing parts are left out.
void composeAddress(std::string& out, std::string_view street, std::string_view city, std::string_view state,
                    std::string_view postalCode, std::string_view country)
{
    out.clear();
    appendJoined(out, {street}, "");
    const bool statePostal = !state.empty() || !postalCode.empty();
    if (!city.empty() || statePostal) {
        if (!out.empty())
            out += "\r\n";
        appendJoined(out, {city}, "");
        if (statePostal) {
            if (!city.empty())
                out += ", ";
            appendJoined(out, {state, postalCode}, " ");
        }
    }
    if (!country.empty()) {
        if (!out.empty())
            out += "\r\n";
        out += country;
    }
}

// The children's names of one list text: split at commas, each trimmed, empty ones left out.
std::vector<std::string> splitNames(std::string_view names)
{
    std::vector<std::string> out;
    for (std::size_t start = 0; start <= names.size();) {
        const std::size_t end = std::min(names.find(',', start), names.size());
        if (const auto name = text::trimWhitespace(names.substr(start, end - start)); !name.empty())
            out.push_back(sanitizeText(name));
        start = end + 1;
    }
    return out;
}

bool isNumber(PropertyType type)
{
    return type == PropertyType::Int16 || type == PropertyType::Int32;
}

// Outlook's initials: the first letter of the first, middle and last names, each with a period.
void appendInitials(std::string& out, std::initializer_list<std::string_view> names)
{
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
}

// The buffers a save composes its texts in, kept from save to save (per thread): saving a
// contact then allocates nothing for them.
struct SaveBuffers
{
    std::string fullName, fileAs, initials, shown, workAddress, homeAddress, otherAddress;
    std::vector<std::uint8_t> entryId;
    // Repaired copies of stored texts that needed it (rare), one per text in use.
    std::vector<std::unique_ptr<std::string>> repaired;
    std::size_t repairedInUse = 0;

    std::string& nextRepaired()
    {
        if (repairedInUse == repaired.size())
            repaired.push_back(std::make_unique<std::string>());
        return *repaired[repairedInUse++];
    }
};

thread_local SaveBuffers t_saveBuffers;

// Gathers what a save hands out into the list saveProperties returns.
class Collector final : public SavedPropertyReceiver
{
public:
    explicit Collector(std::vector<StoredProperty>& out) : m_out(out) { m_out.reserve(64); }

    void text(const PropertyKey& key, std::string_view value) override { add(key, std::string(value)); }
    void int16(const PropertyKey& key, std::int16_t value) override { add(key, value); }
    void int32(const PropertyKey& key, std::int32_t value) override { add(key, value); }
    void boolean(const PropertyKey& key, bool value) override { add(key, value); }
    void time(const PropertyKey& key, FileTime value) override { add(key, value); }
    void binary(const PropertyKey& key, std::span<const std::uint8_t> value) override
    {
        add(key, std::vector<std::uint8_t>(value.begin(), value.end()));
    }
    void multipleInt32(const PropertyKey& key, std::span<const std::int32_t> values) override
    {
        add(key, std::vector<std::int32_t>(values.begin(), values.end()));
    }
    void multipleText(const PropertyKey& key, std::span<const std::string> values) override
    {
        add(key, std::vector<std::string>(values.begin(), values.end()));
    }

    // In key order. Sorts positions, not the properties (moving values costs more than
    // comparing keys), by a number that orders keys as PropertyKey does as long as no two
    // share id and LID.
    void sort()
    {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> order(m_out.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            const PropertyKey& key = m_out[i].key;
            order[i] = {std::uint64_t{key.isNamed()} << 63 | std::uint64_t{key.id} << 32 | key.lid,
                        static_cast<std::uint32_t>(i)};
        }
        std::sort(order.begin(), order.end(), [this](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : m_out[a.second].key < m_out[b.second].key;
        });
        std::vector<StoredProperty> sorted;
        sorted.reserve(m_out.size());
        for (const auto& [rank, i] : order)
            sorted.push_back(std::move(m_out[i]));
        m_out = std::move(sorted);
    }

private:
    void add(const PropertyKey& key, StoredValue value)
    {
        // Each key is stored once: computed values skip explicit keys, and no key is computed twice.
        assert(std::none_of(m_out.begin(), m_out.end(), [&](const auto& p) { return p.key == key; }));
        m_out.push_back({key, std::move(value)});
    }

    std::vector<StoredProperty>& m_out;
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

void ContactState::put(std::string_view name, std::string_view value)
{
    const ObjectModelProperty* property = findObjectModelProperty(name);
    if (!property)
        throw ContactModelError("A contact item has no property \"" + std::string(name) + "\".");
    put(*property, value);
}

void ContactState::put(const ObjectModelProperty& property, std::string_view value)
{
    const auto index = static_cast<std::size_t>(&property - objectModelProperties().data());
    assert(index < objectModelPropertyCount);
    Value& slot = m_byName[index];
    if (isNumber(property.key.type)) {
        const std::string_view digits = text::trimWhitespace(value);
        std::int32_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (!digits.empty() && (error != std::errc() || end != digits.data() + digits.size() ||
                                (property.key.type == PropertyType::Int16 && number != std::int16_t(number))))
            throw ContactModelError("\"" + std::string(value) + "\" is not a number " +
                                    std::string(property.name) + " can hold.");
        drop(slot);
        slot = digits.empty() ? Value() : Value(number);
        return;
    }
    const Text kept = keep(value);
    drop(slot);
    slot = kept;
}

std::string ContactState::get(std::string_view name) const
{
    const ObjectModelProperty* property = findObjectModelProperty(name);
    if (!property)
        throw ContactModelError("A contact item has no property \"" + std::string(name) + "\".");
    const Value& value = m_byName[static_cast<std::size_t>(property - objectModelProperties().data())];
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return std::to_string(*number);
    return std::string(textOf(value));
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
    if (isComputedByStore(id))
        throw ContactModelError("Property tag " + hexTag(tag) +
                                " is computed by the message store and cannot be set.");
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
    case PropertyType::Int16:
        matches = std::holds_alternative<std::int32_t>(value) &&
                  std::get<std::int32_t>(value) == std::int16_t(std::get<std::int32_t>(value));
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
        throw ContactModelError(
            "The date given for property tag " + hexTag(tag) +
            " lies outside 1601-01-02 to 9999-12-31, the dates Outlook can store in every time zone.");
    const PropertyKey key = PropertyKey::fixed(id, type);
    const Value kept = std::visit(
        [this](const auto& v) -> Value {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                return keep(v);
            else
                return v;
        },
        value);
    assign(key, kept);
}

std::optional<PropertyValue> ContactState::property(std::uint32_t tag) const
{
    // Keys compare without their type, so any type finds the id.
    const PropertyKey key = PropertyKey::fixed(static_cast<std::uint16_t>(tag >> 16), PropertyType::Unicode);
    const Value* value = find(Slot::of(key));
    return value ? std::optional<PropertyValue>(publicValue(*value)) : std::nullopt;
}

const ContactState::Value* ContactState::find(Slot slot) const
{
    if (slot.index() >= 0) {
        const Value& value = m_byName[static_cast<std::size_t>(slot.index())];
        return std::holds_alternative<std::monostate>(value) ? nullptr : &value;
    }
    for (const Other& other : m_others) {
        if (other.key == slot.key())
            return &other.value;
    }
    return nullptr;
}

std::string_view ContactState::textOf(const Value& value) const
{
    const auto* text = std::get_if<Text>(&value);
    if (!text)
        return std::string_view();
    return text->own ? std::string_view(m_ownTexts[text->offset])
                     : std::string_view(m_texts).substr(text->offset, text->size);
}

void ContactState::drop(const Value& value)
{
    const auto* text = std::get_if<Text>(&value);
    if (!text)
        return;
    if (text->own)
        std::string().swap(m_ownTexts[text->offset]);
    else
        m_liveText -= text->size;
}

PropertyValue ContactState::publicValue(const Value& value) const
{
    assert(!std::holds_alternative<std::monostate>(value));
    if (std::holds_alternative<Text>(value))
        return std::string(textOf(value));
    if (const auto* date = std::get_if<OleDate>(&value))
        return *date;
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return *number;
    return std::get<bool>(value);
}

ContactState::Text ContactState::keepRarely(std::string_view text)
{
    constexpr std::size_t kOwnText = 64 * 1024;
    if (text.size() >= kOwnText) {
        if (text.size() > 0xFFFFFFFFu)
            throw ContactModelError("The texts of one contact cannot exceed 4 GB.");
        m_ownTexts.emplace_back(text);
        return Text{static_cast<std::uint32_t>(m_ownTexts.size() - 1),
                    static_cast<std::uint32_t>(text.size()), true};
    }
    // Texts replaced since they were kept stay in the buffer until they outweigh the rest.
    if (m_texts.size() > kKeepInlineBelow && m_texts.size() > 2 * m_liveText) {
        std::string live;
        live.reserve(m_liveText + text.size());
        auto move = [&](Value& value) {
            if (auto* kept = std::get_if<Text>(&value); kept && !kept->own) {
                const std::size_t offset = live.size();
                live.append(m_texts, kept->offset, kept->size);
                kept->offset = static_cast<std::uint32_t>(offset);
            }
        };
        for (Value& value : m_byName)
            move(value);
        for (Other& other : m_others)
            move(other.value);
        m_texts = std::move(live);
    }
    if (m_texts.empty())
        m_texts.reserve(1024); // room for a typical contact's texts
    if (m_texts.size() + text.size() > 0xFFFFFFFFu)
        throw ContactModelError("The texts of one contact cannot exceed 4 GB.");
    const Text kept{static_cast<std::uint32_t>(m_texts.size()), static_cast<std::uint32_t>(text.size())};
    m_texts.append(text);
    m_liveText += text.size();
    return kept;
}

void ContactState::assign(const PropertyKey& key, Value value)
{
    Value* slot = nullptr;
    if (const int index = objectModelIndex(key); index >= 0) {
        slot = &m_byName[static_cast<std::size_t>(index)];
    } else {
        for (Other& other : m_others) {
            if (other.key == key) {
                other.key = key;
                slot = &other.value;
                break;
            }
        }
        if (!slot) {
            if (m_others.empty())
                m_others.reserve(8); // a contact sets a few of these: room for them at once
            slot = &m_others.emplace_back(Other{key, std::monostate{}}).value;
        }
    }
    drop(*slot);
    *slot = value;
}

// One save: what was put or set, as stored, then what Outlook computes from it.
class ContactState::Saver
{
public:
    Saver(const ContactState& state, const ContactEnvironment& environment, SavedPropertyReceiver& out,
          SaveBuffers& buffers)
        : m_state(state), m_environment(environment), m_out(out), m_buffers(buffers)
    {
        m_buffers.repairedInUse = 0;
    }

    void run(FileTime now);

private:
    // The text of a property as it will be stored: empty when unset, blank or not a text.
    std::string_view text(Slot slot)
    {
        const Value* stored = m_state.find(slot);
        return stored ? storedText(*stored) : std::string_view();
    }

    std::string_view storedText(const Value& value)
    {
        const std::string_view kept = m_state.textOf(value);
        if (kept.empty() || text::isWhitespaceOnly(kept))
            return {};
        if (isSanitized(kept))
            return kept;
        std::string& repaired = m_buffers.nextRepaired();
        repaired = sanitizeText(kept);
        return repaired;
    }

    bool isExplicit(Slot slot) const { return m_state.find(slot) != nullptr; }

    // What the caller put or set.
    void explicitText(const PropertyKey& key, std::string_view value)
    {
        if (!value.empty())
            m_out.text(key, value);
    }

    // What saving computes, unless the caller set the property itself; empty texts are not
    // stored.
    void computeText(Slot slot, std::string_view value)
    {
        assert(slot.key().type == PropertyType::Unicode);
        if (!value.empty() && !isExplicit(slot))
            m_out.text(slot.key(), value);
    }
    void computeInt32(Slot slot, std::int32_t value)
    {
        assert(slot.key().type == PropertyType::Int32);
        if (!isExplicit(slot))
            m_out.int32(slot.key(), value);
    }
    void computeTime(Slot slot, FileTime value)
    {
        assert(slot.key().type == PropertyType::Time);
        if (!isExplicit(slot))
            m_out.time(slot.key(), value);
    }

    void putExplicitValues();
    void putExplicitValue(const PropertyKey& key, const Value& value);
    void computeNamesAndEmails();
    void computeAddresses();

    const ContactState& m_state;
    const ContactEnvironment& m_environment;
    SavedPropertyReceiver& m_out;
    SaveBuffers& m_buffers;
};

void ContactState::Saver::run(FileTime now)
{
    putExplicitValues();

    // Envelope.
    const FileTime created = *m_state.m_created;
    computeText(PidTagMessageClass, contactMessageClass);
    computeInt32(PidTagMessageFlags, messageFlagRead);
    computeInt32(PidTagIconIndex, contactIconIndex);
    computeInt32(PidTagImportance, importanceNormal);
    computeInt32(PidTagSensitivity, sensitivityNormal);
    computeInt32(PidTagPriority, priorityNormal);
    computeTime(PidTagCreationTime, created);
    computeTime(PidTagLastModificationTime, now);
    computeTime(PidTagMessageDeliveryTime, created);
    computeTime(PidTagClientSubmitTime, created);
    if (!isExplicit(PidTagSearchKey))
        m_out.binary(PidTagSearchKey, *m_state.m_searchKey);
    computeInt32(PidLidSideEffects, contactSideEffects);
    computeInt32(PidLidContactCharacterSet, contactCharacterSet);
    if (!isExplicit(PidLidAutoLog))
        m_out.boolean(PidLidAutoLog, false);

    computeNamesAndEmails();
    computeAddresses();
    computeText(PidTagBusinessHomePage, text(PidLidHtml));
}

void ContactState::Saver::putExplicitValues()
{
    const auto names = objectModelProperties();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!std::holds_alternative<std::monostate>(m_state.m_byName[i]))
            putExplicitValue(names[i].key, m_state.m_byName[i]);
    }
    for (const Other& other : m_state.m_others)
        putExplicitValue(other.key, other.value);
}

void ContactState::Saver::putExplicitValue(const PropertyKey& key, const Value& value)
{
    {
        if (key == PidNameKeywords || key == PidTagChildrensNames) {
            const std::string_view list = m_state.textOf(value);
            if (auto names = key == PidNameKeywords ? splitCategories(list) : splitNames(list); !names.empty())
                m_out.multipleText(key, names);
        } else if (const auto* date = std::get_if<OleDate>(&value)) {
            if (isDateOnly(key)) {
                // The date's local midnight in UTC, and the date at 00:00 with no conversion in
                // the local twin ([MS-OXOCNTC] 2.2.1.5), so that whichever a reader takes, it
                // shows the date that was given, never the day before.
                const std::int64_t localMidnight = *oleDateDay(date->days) * 86400;
                if (auto utc = fileTimeFromUnixSeconds(m_environment.localToUtc(localMidnight)))
                    m_out.time(key, *utc);
                const PropertyKey& twin =
                    key == PidTagBirthday ? PidLidBirthdayLocal : PidLidWeddingAnniversaryLocal;
                m_out.time(twin, *fileTimeFromUnixSeconds(localMidnight));
            } else if (auto utc =
                           fileTimeFromUnixSeconds(m_environment.localToUtc(*oleDateSeconds(date->days)))) {
                m_out.time(key, *utc);
            }
        } else if (std::holds_alternative<Text>(value)) {
            explicitText(key, storedText(value));
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            if (key.type == PropertyType::Int16)
                m_out.int16(key, static_cast<std::int16_t>(*number));
            else
                m_out.int32(key, *number);
        } else if (const auto* flag = std::get_if<bool>(&value)) {
            m_out.boolean(key, *flag);
        }
    }
}

void ContactState::Saver::computeNamesAndEmails()
{
    // Names: Outlook's full name, file-as and the display name derived from them.
    const std::string_view first = text(PidTagGivenName);
    const std::string_view middle = text(PidTagMiddleName);
    const std::string_view last = text(PidTagSurname);
    const std::string_view company = text(PidTagCompanyName);
    std::string& fullName = m_buffers.fullName;
    fullName.clear();
    appendJoined(fullName, {text(PidTagDisplayNamePrefix), first, middle, last, text(PidTagGeneration)}, " ");
    const std::array<std::string_view, 3> emails = {text(PidLidEmailGroups[0].emailAddress),
                                                    text(PidLidEmailGroups[1].emailAddress),
                                                    text(PidLidEmailGroups[2].emailAddress)};

    std::string& fileAs = m_buffers.fileAs;
    fileAs.clear();
    std::int32_t fileAsId = fileUnderLastFirstMiddle;
    if (!first.empty() || !middle.empty() || !last.empty()) {
        // "Last, First Middle"
        appendJoined(fileAs, {last}, "");
        if (!first.empty() || !middle.empty()) {
            if (!fileAs.empty())
                fileAs += ", ";
            appendJoined(fileAs, {first, middle}, " ");
        }
    } else if (!company.empty()) {
        fileAs = company;
        fileAsId = fileUnderCompany;
    } else {
        // No name to file under: the full name (title or suffix alone) or else the first e-mail
        // address, which then is the display name too.
        std::string_view fallback = fullName;
        for (const auto& email : emails) {
            if (fallback.empty())
                fallback = email;
        }
        if (!fallback.empty()) {
            fileAs = fallback;
            fileAsId = fileUnderDisplayName;
        }
    }
    const std::string_view displayName =
        fullName.empty() ? std::string_view(fileAs) : std::string_view(fullName);

    computeText(PidTagDisplayName, displayName);
    computeText(PidTagSubject, displayName);
    computeText(PidTagConversationTopic, displayName);
    std::string& initials = m_buffers.initials;
    initials.clear();
    appendInitials(initials, {first, middle, last});
    computeText(PidTagInitials, initials);
    computeText(PidLidFileUnder, fileAs);
    computeInt32(PidLidFileUnderId, fileAsId);
    if (!isExplicit(PidLidFileUnderList)) {
        std::array<std::int32_t, outlookFileUnderList.size() + 1> choices{};
        std::copy(outlookFileUnderList.begin(), outlookFileUnderList.end(), choices.begin());
        std::size_t count = outlookFileUnderList.size();
        if (std::find(outlookFileUnderList.begin(), outlookFileUnderList.end(), fileAsId) ==
            outlookFileUnderList.end())
            choices[count++] = fileAsId;
        m_out.multipleInt32(PidLidFileUnderList, std::span(choices.data(), count));
    }

    // E-mail address groups, each written whole, and the two properties listing them.
    const std::string_view emailName = fullName.empty() ? company : std::string_view(fullName);
    std::array<std::int32_t, 6> entryList{};
    std::size_t entryCount = 0;
    std::int32_t entryBits = 0;
    const auto listEntry = [&](std::int32_t entry) {
        entryList[entryCount++] = entry;
        entryBits |= 1 << entry;
    };
    std::string& shown = m_buffers.shown;
    for (std::size_t i = 0; i < emails.size(); ++i) {
        const std::string_view address = emails[i];
        if (address.empty())
            continue;
        const EmailGroupKeys& group = PidLidEmailGroups[i];
        if (emailName.empty() || emailName == address) {
            shown.assign(address);
        } else {
            shown.assign(emailName);
            shown += " (";
            shown += address;
            shown += ')';
        }
        computeText(Slot::of(group.displayName), shown);
        computeText(Slot::of(group.addressType), smtpAddressType);
        computeText(Slot::of(group.originalDisplayName), address);
        if (!isExplicit(Slot::of(group.originalEntryId))) {
            makeOneOffEntryId(m_buffers.entryId, shown, smtpAddressType, address);
            m_out.binary(group.originalEntryId, m_buffers.entryId);
        }
        listEntry(static_cast<std::int32_t>(i));
    }

    // Fax groups, so that the numbers are in the address book (a contact with a fax number
    // alone too). Which number goes to which group follows [MS-OXOCNTC]: Fax1 the primary
    // ("other") fax, Fax2 business, Fax3 home. Microsoft's property pages call Fax1 business and
    // Fax2 home; the address-book entries 3/4/5 (business/home/primary) agree in both.
    struct Fax
    {
        const FaxGroupKeys& group;
        Slot number;
        std::int32_t entry;
        std::string_view label;
    };
    const Fax faxes[] = {{PidLidFaxGroups[1], PidTagBusinessFaxNumber, 3, " (Business Fax)"},
                         {PidLidFaxGroups[2], PidTagHomeFaxNumber, 4, " (Home Fax)"},
                         {PidLidFaxGroups[0], PidTagPrimaryFaxNumber, 5, " (Other Fax)"}};
    for (const Fax& fax : faxes) {
        const std::string_view number = text(fax.number);
        if (number.empty())
            continue;
        shown.assign(emailName.empty() ? number : emailName);
        shown += fax.label;
        computeText(Slot::of(fax.group.addressType), faxAddressType);
        computeText(Slot::of(fax.group.emailAddress), number);
        computeText(Slot::of(fax.group.originalDisplayName), shown);
        if (!isExplicit(Slot::of(fax.group.originalEntryId))) {
            makeOneOffEntryId(m_buffers.entryId, shown, faxAddressType, number);
            m_out.binary(fax.group.originalEntryId, m_buffers.entryId);
        }
        listEntry(fax.entry);
    }
    if (entryCount > 0) {
        if (!isExplicit(PidLidAddressBookProviderEmailList))
            m_out.multipleInt32(PidLidAddressBookProviderEmailList, std::span(entryList.data(), entryCount));
        computeInt32(PidLidAddressBookProviderArrayType, entryBits);
    }
}

void ContactState::Saver::computeAddresses()
{
    // Addresses: each group's full text, composed from its parts unless it was put, and the
    // mailing address, a copy of the group chosen (SelectedMailingAddress) or else of the first
    // that holds anything of business, home and other (readers that show a single work address
    // take it from the mailing properties).
    struct Address
    {
        std::string_view street, city, state, postalCode, country, poBox;
        Slot fullKey;
        std::string& composed;
        std::int32_t id;
        std::string_view fullText = {};
        bool empty() const
        {
            return street.empty() && city.empty() && state.empty() && postalCode.empty() && country.empty() &&
                   poBox.empty() && fullText.empty();
        }
    };
    Address groups[] = {
        {text(PidLidWorkAddressStreet), text(PidLidWorkAddressCity), text(PidLidWorkAddressState),
         text(PidLidWorkAddressPostalCode), text(PidLidWorkAddressCountry), text(PidLidWorkAddressPostOfficeBox),
         PidLidWorkAddress, m_buffers.workAddress, postalAddressWork},
        {text(PidTagHomeAddressStreet), text(PidTagHomeAddressCity), text(PidTagHomeAddressStateOrProvince),
         text(PidTagHomeAddressPostalCode), text(PidTagHomeAddressCountry), text(PidTagHomeAddressPostOfficeBox),
         PidLidHomeAddress, m_buffers.homeAddress, postalAddressHome},
        {text(PidTagOtherAddressStreet), text(PidTagOtherAddressCity), text(PidTagOtherAddressStateOrProvince),
         text(PidTagOtherAddressPostalCode), text(PidTagOtherAddressCountry), text(PidTagOtherAddressPostOfficeBox),
         PidLidOtherAddress, m_buffers.otherAddress, postalAddressOther},
    };
    const Value* chosen = m_state.find(PidLidPostalAddressId);
    const std::int32_t* chosenId = chosen ? std::get_if<std::int32_t>(chosen) : nullptr;
    const Address* mailing = nullptr;
    for (Address& group : groups) {
        composeAddress(group.composed, group.street, group.city, group.state, group.postalCode, group.country);
        computeText(group.fullKey, group.composed);
        group.fullText = text(group.fullKey);
        if (group.fullText.empty())
            group.fullText = group.composed;
        if (!group.empty() && (!mailing || (chosenId && *chosenId == group.id && mailing->id != group.id)))
            mailing = &group;
    }
    if (mailing) {
        computeInt32(PidLidPostalAddressId, mailing->id);
        computeText(PidTagStreetAddress, mailing->street);
        computeText(PidTagLocality, mailing->city);
        computeText(PidTagStateOrProvince, mailing->state);
        computeText(PidTagPostalCode, mailing->postalCode);
        computeText(PidTagCountry, mailing->country);
        computeText(PidTagPostOfficeBox, mailing->poBox);
        computeText(PidTagPostalAddress, mailing->fullText);
    }
}

void ContactState::saveProperties(const ContactEnvironment& environment, SavedPropertyReceiver& out)
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
    Saver(*this, environment, out, t_saveBuffers).run(now);
}

void releaseLargeSaveBuffers()
{
    constexpr std::size_t kKept = 64 * 1024;
    SaveBuffers& b = t_saveBuffers;
    for (std::string* text :
         {&b.fullName, &b.fileAs, &b.initials, &b.shown, &b.workAddress, &b.homeAddress, &b.otherAddress}) {
        if (text->capacity() > kKept)
            std::string().swap(*text);
    }
    for (auto& repaired : b.repaired) {
        if (repaired->capacity() > kKept)
            std::string().swap(*repaired);
    }
}

std::vector<StoredProperty> ContactState::saveProperties(const ContactEnvironment& environment)
{
    std::vector<StoredProperty> properties;
    Collector collector(properties);
    saveProperties(environment, collector);
    collector.sort();
    return properties;
}

} // namespace tressimo::mapi::contact
