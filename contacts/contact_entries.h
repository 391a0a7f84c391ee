#pragma once
// The collection entries of one document (names, positions, people, e-mail addresses,
// numbers, IM addresses, web addresses, photos), held while the document is read and placed
// in the record's later members once the established rules have stored their values.

#include "contacts/contact_record.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tressimo::contacts {

// The e-mail slots the SMTP addresses fill, in order.
inline constexpr std::array kEmailSlots = {&ContactRecord::eContact_Email, &ContactRecord::eContact_Email2,
                                           &ContactRecord::eContact_Email3};

enum class EntryKind { Name, Position, Person, EmailAddress, PhoneNumber, IMAddress, Url, Photo };

// One text of an entry, named by the element that directly holds it ("c:Label" for labels).
// Views into the document, which outlives the placing.
struct EntryText
{
    std::string_view Name;
    std::string_view Value;
};

struct HeldEntry
{
    EntryKind Kind;
    std::size_t FirstText; // its texts are ContactEntries::Texts[FirstText, EndText)
    std::size_t EndText;
    std::string_view ContentType; // a photo value's c:ContentType attribute
};

struct ContactEntries
{
    std::vector<HeldEntry> Entries;
    std::vector<EntryText> Texts;

    // The entry element `name` opens, if it is one that is held.
    static std::optional<EntryKind> kindOf(std::string_view name);
    void clear();
};

// Fills the later members of `record` from the entries, in document order, after the
// established rules have filled the legacy fields: a value those already hold is not
// repeated, and a value with no free member becomes an Unplaced line.
void placeEntries(const ContactEntries& entries, ContactRecord& record);

// The number without a leading "tel:" scheme (any letter case, after leading blanks).
std::string_view withoutTelScheme(std::string_view number);

} // namespace tressimo::contacts
