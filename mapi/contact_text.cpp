#include "mapi/contact_text.h"

#include "text/ascii.h"
#include "text/utf.h"

#include <cstdint>
#include <cstring>

namespace tressimo::mapi::contact {

std::string sanitizeText(std::string_view text)
{
    // Nearly every text is plain ASCII without NULs: nothing to repair then.
    bool plain = true;
    for (char c : text)
        plain = plain && static_cast<std::uint8_t>(c) - 1u < 0x7Fu;
    if (plain)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = text::decodeUtf8At(text, pos);
        if (c != 0)
            text::appendUtf8(out, c);
    }
    return out;
}

bool isSanitized(std::string_view text)
{
    std::size_t pos = 0;
    // Eight characters at a time while they are plain ASCII without NUL.
    for (std::uint64_t word; pos + 8 <= text.size(); pos += 8) {
        std::memcpy(&word, text.data() + pos, 8);
        const bool nul = ((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull) != 0;
        if (nul || (word & 0x8080808080808080ull) != 0)
            break;
    }
    while (pos < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[pos]);
        if (lead - 1u < 0x7Fu) {
            ++pos;
            continue;
        }
        if (lead == 0)
            return false;
        bool wellFormed = false;
        text::decodeUtf8At(text, pos, wellFormed);
        if (!wellFormed)
            return false;
    }
    return true;
}

std::string truncateUtf16(std::string_view text, std::size_t maxUnits)
{
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = pos;
        const std::size_t width = text::decodeUtf8At(text, next) < 0x10000 ? 1 : 2;
        if (units + width > maxUnits)
            break;
        units += width;
        pos = next;
    }
    return std::string(text.substr(0, pos));
}

std::vector<std::string> splitCategories(std::string_view categories)
{
    // PidNameKeywords: each value must stay below 256 characters ([MS-OXPROPS]).
    constexpr std::size_t maxKeywordUnits = 255;
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= categories.size()) {
        std::size_t end = categories.find_first_of(",;", start);
        if (end == std::string_view::npos)
            end = categories.size();
        const std::string_view piece = text::trimWhitespace(categories.substr(start, end - start));
        if (!piece.empty()) {
            std::string name = truncateUtf16(sanitizeText(piece), maxKeywordUnits);
            bool seen = false;
            for (const auto& existing : names)
                seen = seen || text::equalsIgnoringAsciiCase(existing, name);
            if (!seen && !name.empty())
                names.push_back(std::move(name));
        }
        start = end + 1;
    }
    return names;
}

} // namespace tressimo::mapi::contact
