#pragma once
// The storage-independent heart of an Outlook contact item: the values put by object-model
// name or set by MAPI tag, and the full list of properties Outlook stores when it saves the
// contact. No I/O; of the PST writer it asks only which properties a store computes itself.
// The session/store layer keeps one ContactState per unsaved item and writes what
// saveProperties returns. That layer still owns what depends on the file:
// the subject's prefix marker, PidTagMessageSize and PidTagMessageStatus, the contents-table
// row, the empty recipient table, and the named-property ids (registered as they are met).

#include "env/environment.h"
#include "mapi/contact_properties.h"
#include "mapi/contact_time.h"
#include "mapi/mapi.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tressimo::mapi::contact {

// A refused put or set: unknown object-model name, unsupported tag, wrong value type, a date
// no FILETIME can hold. A MapiError, so the item layer can pass it on unchanged.
class ContactModelError : public MapiError
{
public:
    using MapiError::MapiError;
};

// A saved property's value. The alternative always matches the key's type:
//   Int16 -> std::int16_t   Int32 -> std::int32_t              Boolean -> bool             Time -> FileTime (UTC)
//   Unicode -> std::string: UTF-8, well-formed, without NUL, never empty (empty texts are not stored)
//   Binary -> std::vector<std::uint8_t>
//   MultipleInt32 -> std::vector<std::int32_t>       MultipleUnicode -> std::vector<std::string>
// Both multi-valued kinds hold at least one value.
using StoredValue = std::variant<std::int16_t, std::int32_t, bool, FileTime, std::string, std::vector<std::uint8_t>,
                                 std::vector<std::int32_t>, std::vector<std::string>>;

struct StoredProperty
{
    PropertyKey key;
    StoredValue value;
};

// The first saved property with the key, or nullptr.
const StoredProperty* findProperty(std::span<const StoredProperty> properties, const PropertyKey& key);

// What saving reads from outside: the clock (creation and modification times), random bytes
// (the search key) and local time to UTC (the dates handed over as local OLE Automation
// dates). All three must be set.
using ContactEnvironment = env::Environment;

// Values Outlook writes for every contact.
inline constexpr std::string_view contactMessageClass = "IPM.Contact";
inline constexpr std::int32_t contactIconIndex = 0x200;
inline constexpr std::int32_t messageFlagRead = 0x1;
inline constexpr std::int32_t importanceNormal = 1;
inline constexpr std::int32_t sensitivityNormal = 0;
inline constexpr std::int32_t priorityNormal = 0;
inline constexpr std::int32_t contactCharacterSet = 0x100;
inline constexpr std::int32_t contactSideEffects = 0x10;
inline constexpr std::string_view smtpAddressType = "SMTP";

// PidLidFileUnderId values ([MS-OXOCNTC] 2.2.1.1.12).
inline constexpr std::int32_t fileUnderLastFirstMiddle = 0x8017; // "Last, First Middle"
inline constexpr std::int32_t fileUnderCompany = 0x3A16;         // the company name
inline constexpr std::int32_t fileUnderDisplayName = 0x3001;     // the display name
// The choices Outlook offers in the File As list (observed on an Outlook 2007 contact).
inline constexpr std::array<std::int32_t, 5> outlookFileUnderList = {0x8017, 0x8037, 0x3A16, 0x8019, 0x8018};

// PidLidPostalAddressId values.
inline constexpr std::int32_t postalAddressHome = 1;
inline constexpr std::int32_t postalAddressWork = 2;
inline constexpr std::int32_t postalAddressOther = 3;
inline constexpr std::string_view faxAddressType = "FAX";

// Receives what a save stores, one property at a time and in no particular order; each key
// comes once. Texts and lists are only valid during the call.
class SavedPropertyReceiver
{
public:
    // Well-formed UTF-8 without NUL, never empty.
    virtual void text(const PropertyKey& key, std::string_view value) = 0;
    virtual void int16(const PropertyKey& key, std::int16_t value) = 0;
    virtual void int32(const PropertyKey& key, std::int32_t value) = 0;
    virtual void boolean(const PropertyKey& key, bool value) = 0;
    virtual void time(const PropertyKey& key, FileTime value) = 0;
    virtual void binary(const PropertyKey& key, std::span<const std::uint8_t> value) = 0;
    // Never empty.
    virtual void multipleInt32(const PropertyKey& key, std::span<const std::int32_t> values) = 0;
    virtual void multipleText(const PropertyKey& key, std::span<const std::string> values) = 0;

protected:
    ~SavedPropertyReceiver() = default;
};

// One contact item's state: every value put by object-model name or set by tag, keyed by the
// MAPI property behind it (so PR_GIVEN_NAME set by tag reads back as "FirstName").
class ContactState
{
public:
    // Sets a property by Outlook object-model name ("FirstName", "Email1Address", ...). The
    // text is kept exactly as given; an empty or blank text leaves the property unsaved. A
    // number property takes decimal text, blank for none.
    // Throws ContactModelError for a name the model does not know or a number it cannot hold.
    void put(std::string_view name, std::string_view value);
    // The same for a property already looked up (findObjectModelProperty).
    void put(const ObjectModelProperty& property, std::string_view value);
    // The text last put for the name (or set by tag on its property); empty when none.
    // Throws ContactModelError for a name the model does not know.
    std::string get(std::string_view name) const;

    // Sets one MAPI property by tag, as HrSetOneProp does: text for PT_UNICODE (PT_STRING8 tags
    // are taken as PT_UNICODE), a local OLE Automation date for PT_SYSTIME, a number for PT_LONG,
    // a flag for PT_BOOLEAN. PR_BIRTHDAY and PR_WEDDING_ANNIVERSARY keep only the calendar date.
    // A value set here wins over what saving would compute for the same property.
    // Throws ContactModelError for named-property ids (0x8000 and up, meaningful only within
    // one store), properties the message store computes itself (entry IDs, object type,
    // size, the subject's prefix and normalized parts, ...), other types, a value that does not match the
    // tag's type, a type other than the property's own, and dates that no FILETIME can hold.
    void setProperty(std::uint32_t tag, const PropertyValue& value);
    // The value set on the property (by tag or by name), if any.
    std::optional<PropertyValue> property(std::uint32_t tag) const;

    // Every property Outlook stores for this contact when it is saved, in key order (fixed tags
    // by id, then named properties). The first call fixes the creation time and search key; a
    // later call (saving again) keeps them and takes a new modification time.
    std::vector<StoredProperty> saveProperties(const ContactEnvironment& environment);
    // The same properties handed to `out` one by one, without building the list. The texts
    // handed out stay valid until the next save on the same thread (or
    // releaseLargeSaveBuffers).
    void saveProperties(const ContactEnvironment& environment, SavedPropertyReceiver& out);

private:
    // A value as kept: texts live in one buffer (a contact has a few dozen short ones, and a
    // string each would cost an allocation each).
    struct Text
    {
        std::uint32_t offset = 0; // in m_texts, or the index in m_ownTexts
        std::uint32_t size = 0;
        bool own = false;
    };
    using Value = std::variant<std::monostate, Text, OleDate, std::int32_t, bool>;
    // A property set by tag that is not one of the object-model names.
    struct Other
    {
        PropertyKey key;
        Value value;
    };

    // A key with its place among the object-model properties (-1 for none), worked out when
    // building wherever the key is a constant: one save looks up some seventy keys.
    class Slot
    {
    public:
        consteval Slot(const PropertyKey& constant) : m_key(&constant), m_index(objectModelIndex(constant)) {}
        static Slot of(const PropertyKey& key) { return Slot(key, objectModelIndex(key)); }
        const PropertyKey& key() const { return *m_key; }
        int index() const { return m_index; }

    private:
        Slot(const PropertyKey& key, int index) : m_key(&key), m_index(index) {}
        const PropertyKey* m_key;
        int m_index;
    };

    const Value* find(Slot slot) const;
    std::string_view textOf(const Value& value) const;
    void assign(const PropertyKey& key, Value value);
    // Inline for the usual text, which is appended: built out of line, a Text came back
    // through the stack in pieces and was reread whole, a stall on every text put.
    Text keep(std::string_view text)
    {
        if (text.size() >= kKeepInlineBelow || m_texts.size() > kKeepInlineBelow || m_texts.empty())
            return keepRarely(text);
        const auto offset = static_cast<std::uint32_t>(m_texts.size());
        m_texts.append(text);
        m_liveText += text.size();
        return Text{offset, static_cast<std::uint32_t>(text.size())};
    }
    // Below this, neither a text nor the buffer asks for more than an append.
    static constexpr std::size_t kKeepInlineBelow = 4096;
    // The first text, a huge one, and a buffer that may need compacting.
    Text keepRarely(std::string_view text);
    // A value is replaced: its text is no longer live.
    void drop(const Value& value);
    PropertyValue publicValue(const Value& value) const;
    class Saver;

    // The object-model properties in the order of objectModelProperties() (monostate when
    // unset), then the few others.
    std::array<Value, objectModelPropertyCount> m_byName{};
    std::vector<Other> m_others;
    std::string m_texts;
    std::size_t m_liveText = 0;
    // Huge texts (a long note) each in a string of their own: in the shared buffer every later
    // text could make it move, holding it twice for a moment.
    std::vector<std::string> m_ownTexts;
    std::optional<FileTime> m_created;
    std::optional<std::array<std::uint8_t, 16>> m_searchKey;
};

// Frees what a save on this thread composed or repaired beyond a typical contact's size, once
// its texts have been written: a huge repaired note would otherwise stay until a later save
// needs the room again.
void releaseLargeSaveBuffers();

} // namespace tressimo::mapi::contact
