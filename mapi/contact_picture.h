#pragma once
// Internal to mapi/: a contact's picture as Outlook stores it ([MS-OXOCNTC] 2.2.1.8): an
// attachment by value named ContactPicture.jpg and flagged as the contact photo, and
// PidLidHasPicture on the contact.

#include "mapi/contact_properties.h"
#include "pst/ltp/prop_value.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tressimo::mapi::detail {

inline constexpr contact::PropertyKey PidLidHasPicture =
    contact::PropertyKey::named(contact::PSETID_Address, 0x8015, contact::PropertyType::Boolean);

// The attachment's properties; the JPEG bytes are copied once, into the data value.
std::vector<pst::PropValue> contactPictureAttachment(std::span<const std::uint8_t> jpeg);

// Whether the bytes start as a JPEG file does (a start-of-image marker, then another marker).
bool looksLikeJpeg(std::span<const std::uint8_t> bytes);

} // namespace tressimo::mapi::detail
