#include "mapi/contact_text.h"

#include <cstdint>
#include <cstring>

namespace tressimo::mapi::contact {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// Decodes one code point at text[pos] and advances pos; malformed input yields U+FFFD and
// skips one byte, so decoding always progresses.
char32_t decodeOne(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<std::uint8_t>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return replacementCharacter;
    }
    if (pos + length > text.size()) {
        ++pos;
        return replacementCharacter;
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return replacementCharacter;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return replacementCharacter;
    }
    pos += length;
    return value;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool isBlankCharacter(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlankCharacter(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankCharacter(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    utf8ToUtf16(text, out);
    return out;
}

void utf8ToUtf16(std::string_view text, std::u16string& out)
{
    out.clear();
    out.reserve(text.size());
    std::size_t pos = 0;
    // Plain ASCII first, a unit per byte.
    while (pos < text.size() && static_cast<std::uint8_t>(text[pos]) < 0x80)
        ++pos;
    out.resize(pos);
    for (std::size_t i = 0; i < pos; ++i)
        out[i] = static_cast<char16_t>(text[i]);
    while (pos < text.size()) {
        const char32_t c = decodeOne(text, pos);
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            const char32_t v = c - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
}

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
        const char32_t c = decodeOne(text, pos);
        if (c != 0)
            appendUtf8(out, c);
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
        const std::size_t start = pos;
        // A malformed sequence decodes as U+FFFD taking a single byte; a U+FFFD written out
        // takes three.
        if (decodeOne(text, pos) == replacementCharacter && pos - start == 1)
            return false;
    }
    return true;
}

bool isBlank(std::string_view text)
{
    return trimBlanks(text).empty();
}

std::string truncateUtf16(std::string_view text, std::size_t maxUnits)
{
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t next = pos;
        const char32_t c = decodeOne(text, next);
        const std::size_t width = c < 0x10000 ? 1 : 2;
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
        const std::string_view piece = trimBlanks(categories.substr(start, end - start));
        if (!piece.empty()) {
            std::string name = truncateUtf16(sanitizeText(piece), maxKeywordUnits);
            bool seen = false;
            for (const auto& existing : names)
                seen = seen || equalIgnoringAsciiCase(existing, name);
            if (!seen && !name.empty())
                names.push_back(std::move(name));
        }
        start = end + 1;
    }
    return names;
}

} // namespace tressimo::mapi::contact
