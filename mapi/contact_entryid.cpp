#include "mapi/contact_entryid.h"

#include "text/utf.h"

#include <array>
#include <cstring>

namespace tressimo::mapi::contact {

namespace {

// MAPI_ONE_OFF_UID, {A41F2B81-A3BE-1910-9D6E-00DD010F5402}, as the bytes stand in the ID.
constexpr std::array<std::uint8_t, 16> oneOffProviderUid = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                            0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

// The text as NUL-terminated UTF-16LE.
void appendString(std::vector<std::uint8_t>& out, std::string_view text)
{
    const std::size_t start = out.size();
    if (text.find('\0') == std::string_view::npos) {
        // Straight into room for the most it can become (never more units than bytes).
        out.resize(start + 2 * text.size() + 2);
        std::uint8_t* end = text::utf8ToUtf16Bytes(text, out.data() + start);
        end[0] = end[1] = 0;
        out.resize(static_cast<std::size_t>(end + 2 - out.data()));
        return;
    }
    thread_local std::u16string units; // kept between calls: a contact makes up to six IDs
    text::utf8ToUtf16(text, units);
    out.resize(start + 2 * units.size() + 2);
    std::uint8_t* p = out.data() + start;
    for (char16_t unit : units) {
        if (unit == 0)
            continue; // a NUL would end the field early and shift the ones after it
        *p++ = static_cast<std::uint8_t>(unit);
        *p++ = static_cast<std::uint8_t>(unit >> 8);
    }
    p[0] = p[1] = 0;
    out.resize(static_cast<std::size_t>(p + 2 - out.data()));
}

} // namespace

std::vector<std::uint8_t> makeOneOffEntryId(std::string_view displayName, std::string_view addressType,
                                            std::string_view address, std::uint16_t flags)
{
    std::vector<std::uint8_t> out;
    makeOneOffEntryId(out, displayName, addressType, address, flags);
    return out;
}

void makeOneOffEntryId(std::vector<std::uint8_t>& out, std::string_view displayName,
                       std::string_view addressType, std::string_view address, std::uint16_t flags)
{
    constexpr std::size_t kHeader = 4 + oneOffProviderUid.size() + 4;
    out.clear();
    out.reserve(kHeader + 2 * (displayName.size() + addressType.size() + address.size() + 3));
    // Flags zero, as in every entry ID stored in a property (a long-term ID), and version 0.
    out.resize(kHeader);
    std::memcpy(out.data() + 4, oneOffProviderUid.data(), oneOffProviderUid.size());
    const std::uint16_t allFlags = flags | oneOffUnicode;
    out[kHeader - 2] = static_cast<std::uint8_t>(allFlags);
    out[kHeader - 1] = static_cast<std::uint8_t>(allFlags >> 8);
    appendString(out, displayName);
    appendString(out, addressType);
    appendString(out, address);
}

} // namespace tressimo::mapi::contact
