#pragma once
// The contact item writer: one handed-over contact record becomes one saved Outlook contact
// item in a store of the session, through the Redemption-like model of mapi/mapi.h.

#include "contacts/contact_record.h"
#include "image/contact_picture.h"
#include "mapi/mapi.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tressimo::outlook {

// The MAPI properties the writer sets one by one ([MS-OXOCNTC] 2.2.1.2, 2.2.1.5).
inline constexpr std::uint32_t PR_BIRTHDAY = 0x3A420040;
inline constexpr std::uint32_t PR_WEDDING_ANNIVERSARY = 0x3A410040;
inline constexpr std::uint32_t PR_DISPLAY_NAME_PREFIX = 0x3A45001F;
inline constexpr std::uint32_t PR_GENERATION = 0x3A05001F;

// What the writer composes from several fields of the record before it assigns it.
struct ComposedValues
{
    // From the whole name, when the record gives no given, middle or family name.
    std::string firstName, middleName, lastName;
    // The title prefix and generation suffix when the record's Title and Suffix are empty: its
    // Prefix and Generation, else what the whole name held.
    std::string title, suffix;
    std::string imAddress; // composeIMAddress
    // The notes with the unplaced lines after them; empty when there are no such lines.
    std::string body;
    std::string children; // the names joined by ", " (Outlook splits the list at commas)
    std::string gender;         // "2" male, "1" female, "0" unspecified
    std::string mailingAddress; // "1" home, "2" business, "3" other
    // Each street with the extended address as a second line; empty without one.
    std::string businessStreet, homeStreet, otherStreet;
};
ComposedValues composeValues(const contacts::ContactRecord& contact);

// One value the writer assigns: the first non-empty of the record's field, the composed value
// and the fallback field (a member left null is skipped).
struct Assignment
{
    std::string_view property;
    std::string contacts::ContactRecord::*field = nullptr;
    std::string ComposedValues::*composed = nullptr;
    std::string contacts::ContactRecord::*fallback = nullptr;
    // Assigned even when empty; the others only with a value.
    bool always = true;
};

// The object-model assignments in the order Outlook receives them; the order is part of the
// contract (a session may derive values, such as the display name, from what was put before).
// The established ones first, assigned whatever they hold, then those put only with a value.
extern const std::span<const Assignment> kAssignments;
// The text properties set by tag (HrSetOneProp) after the dates, in order; `property` names
// the step.
struct TagAssignment
{
    Assignment value;
    std::uint32_t tag;
};
extern const std::span<const TagAssignment> kTagAssignments;
// The value a row assigns for the record.
std::string_view assignedValue(const Assignment& row, const contacts::ContactRecord& contact,
                               const ComposedValues& composed);

// The heading of the lines the Outlook contact has no place for, at the end of its notes.
inline constexpr std::string_view kUnplacedHeading = "More from the Windows contact:";

// What became of one contact. Every step of the writer is tried on its own, so an item can be
// saved although some of its steps were refused.
struct ContactItemResult
{
    // The item's Save went through.
    bool saved = false;
    // Steps refused by the session or the item (a cascade after a missing store, folder or
    // item counts once).
    int refusedSteps = 0;
    // The first refused step ("GetStoreFromID", "BusinessAddressCity", "PR_BIRTHDAY", "Save",
    // ...) and the reason the session gave; both empty when nothing was refused.
    std::string firstFailedStep;
    std::string firstError;
    // Why the contact's photo could not be made into a picture (the item is written without
    // one); empty when it has none or it was added.
    std::string pictureProblem;
};

// The instant-messaging address made of the three other e-mail texts: the non-empty ones in
// order, joined by one blank; nothing when all three are empty.
std::optional<std::string> composeIMAddress(std::string_view otherEmail1, std::string_view otherEmail2,
                                            std::string_view otherEmail3);

// Writes `contact` (the trimmed hand-over copy of the record) as a new contact item into the
// default folder `FolderName` (10, the contacts folder) of the store `storeID` of
// `objSession`: the store, folder, items and a new item of type 2, then the kAssignments by
// object-model name in their order, then HrSetOneProp with save for the birthday and the
// anniversary (each only when the record holds one, as a local-midnight OLE date) and the
// kTagAssignments, then the photo as the item's picture (AddPicture, when the record holds a
// photo that makes one; otherwise pictureProblem says why), then Save.
//
// Each step is guarded on its own: a refused step is skipped and the next one runs; the
// result says whether the item was saved and what went wrong first. A mapi::StoreFailure is
// not one step's refusal but the end of the store: it ends the call and reaches the caller.
// `picture`, when given, is what outlookPictureFromBase64 made of the record's photo already;
// `composed`, when given, what composeValues made of the record already.
ContactItemResult CreateContactItem(mapi::RDOSession& objSession, const std::string& storeID,
                                    std::int16_t FolderName, const contacts::ContactRecord& contact,
                                    const image::OutlookPicture* picture = nullptr,
                                    const ComposedValues* composed = nullptr);

} // namespace tressimo::outlook
