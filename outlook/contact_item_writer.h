#pragma once
// The contact item writer: one handed-over contact record becomes one saved Outlook contact
// item in a store of the session, through the Redemption-like model of mapi/mapi.h.

#include "contacts/contact_record.h"
#include "mapi/mapi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tressimo::outlook {

// The MAPI properties the writer sets one by one ([MS-OXOCNTC] 2.2.1.2, 2.2.1.5).
inline constexpr std::uint32_t PR_BIRTHDAY = 0x3A420040;
inline constexpr std::uint32_t PR_WEDDING_ANNIVERSARY = 0x3A410040;
inline constexpr std::uint32_t PR_DISPLAY_NAME_PREFIX = 0x3A45001F;
inline constexpr std::uint32_t PR_GENERATION = 0x3A05001F;

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
// `objSession`: the store, folder, items and a new item of type 2, then 34 assignments by
// object-model name in a fixed order (JobTitle also goes to Profession; IMAddress is composed
// as composeIMAddress says and not assigned when empty), then HrSetOneProp with save for the
// birthday and the anniversary (each only when the record holds one, as a local-midnight OLE
// date), the title prefix and the generation suffix, then the photo as the item's picture
// (AddPicture, when the record holds a photo that makes one; otherwise pictureProblem says
// why), then Save.
//
// Each step is guarded on its own: a refused step is skipped and the next one runs; the
// result says whether the item was saved and what went wrong first. A mapi::StoreFailure is
// not one step's refusal but the end of the store: it ends the call and reaches the caller.
ContactItemResult CreateContactItem(mapi::RDOSession& objSession, const std::string& storeID,
                                    std::int16_t FolderName, const contacts::ContactRecord& contact);

} // namespace tressimo::outlook
