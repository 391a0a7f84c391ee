#include "mapi/contact_entryid.h"

#include "text/utf.h"

#include <array>
#include <cstring>

namespace tressimo::mapi::contact {

namespace {

// MAPI_ONE_OFF_UID, {A41F2B81-A3BE-1910-9D6E-00DD010F5402}, as the bytes stand in the ID.
constexpr std::array<std::uint8_t, 16> oneOffProviderUid = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                            0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// ASCII without NUL: each byte is one UTF-16 unit, and none ends a field early.
bool isPlainAscii(std::string_view text)
{
    return text::isAscii(text) && text.find('\0') == std::string_view::npos;
}

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
    const std::uint16_t allFlags = flags | oneOffUnicode;
    if (isPlainAscii(displayName) && isPlainAscii(addressType) && isPlainAscii(address)) {
        // Nearly every ID: each byte one unit, so the size is known and the ID written in one go.
        out.resize(kHeader + 2 * (displayName.size() + addressType.size() + address.size() + 3));
        std::uint8_t* p = out.data();
        std::memset(p, 0, 4); // flags: zero, as in every entry ID stored in a property (a long-term ID)
        std::memcpy(p + 4, oneOffProviderUid.data(), oneOffProviderUid.size());
        p += 4 + oneOffProviderUid.size();
        *p++ = 0; // version
        *p++ = 0;
        *p++ = static_cast<std::uint8_t>(allFlags);
        *p++ = static_cast<std::uint8_t>(allFlags >> 8);
        for (const std::string_view text : {displayName, addressType, address}) {
            text::asciiToUtf16Bytes(text, p);
            p += 2 * text.size();
            *p++ = 0;
            *p++ = 0;
        }
        return;
    }
    out.assign(4, 0);
    out.reserve(kHeader + 2 * (displayName.size() + addressType.size() + address.size() + 3));
    for (std::uint8_t byte : oneOffProviderUid)
        out.push_back(byte);
    appendU16(out, 0); // version
    appendU16(out, allFlags);
    appendString(out, displayName);
    appendString(out, addressType);
    appendString(out, address);
}

} // namespace tressimo::mapi::contact
