#pragma once
// One-off entry IDs: an address that lives in no address book, carried whole inside the ID
// ([MS-OXCDATA] 2.2.5.1). A contact's e-mail address groups hold one each.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tressimo::mapi::contact {

// Flags of the one-off ID (a little-endian 16-bit word after the version word).
inline constexpr std::uint16_t oneOffUnicode = 0x8000;    // MAPI_ONE_OFF_UNICODE: strings in UTF-16
inline constexpr std::uint16_t oneOffNoRichInfo = 0x0001; // MAPI_ONE_OFF_NO_RICH_INFO: no TNEF

// The one-off entry ID of an address: 4 zero flag bytes, MAPI's one-off provider UID, version 0,
// the flags, then display name, address type and address as NUL-terminated UTF-16LE. Texts are
// UTF-8; malformed sequences become U+FFFD and NULs are dropped so the fields cannot shift.
// The strings are always UTF-16, so the Unicode flag is always set; Outlook adds "no rich info"
// for SMTP addresses, the default here.
std::vector<std::uint8_t> makeOneOffEntryId(std::string_view displayName, std::string_view addressType,
                                            std::string_view address,
                                            std::uint16_t flags = oneOffUnicode | oneOffNoRichInfo);
// The same into `out` (replacing what it held), reusing its room.
void makeOneOffEntryId(std::vector<std::uint8_t>& out, std::string_view displayName,
                       std::string_view addressType, std::string_view address,
                       std::uint16_t flags = oneOffUnicode | oneOffNoRichInfo);

} // namespace tressimo::mapi::contact
