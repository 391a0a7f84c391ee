#include "text/utf.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tressimo::text {

namespace {

// Hands the code point's UTF-16 units to `emit`: a surrogate pair outside the BMP.
template <typename Emit> void emitUtf16(char32_t cp, Emit&& emit)
{
    if (cp < 0x10000) {
        emit(cp);
    } else {
        cp -= 0x10000;
        emit(0xD800 + (cp >> 10));
        emit(0xDC00 + (cp & 0x3FF));
    }
}

} // namespace

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    utf8ToUtf16(utf8, out);
    return out;
}

void utf8ToUtf16(std::string_view utf8, std::u16string& out)
{
    out.clear();
    out.reserve(utf8.size());
    std::size_t pos = 0;
    // Plain ASCII first, a unit per byte.
    while (pos < utf8.size() && static_cast<std::uint8_t>(utf8[pos]) < 0x80)
        ++pos;
    out.resize(pos);
    for (std::size_t i = 0; i < pos; ++i)
        out[i] = static_cast<char16_t>(utf8[i]);
    while (pos < utf8.size())
        emitUtf16(decodeUtf8At(utf8, pos), [&out](char32_t unit) { out.push_back(static_cast<char16_t>(unit)); });
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacementCharacter);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

bool isAscii(std::string_view text)
{
    const char* p = text.data();
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word; // byte order does not matter to the test
        std::memcpy(&word, p + i, 8);
        any |= word;
    }
    for (; i < text.size(); ++i)
        any |= static_cast<std::uint8_t>(p[i]);
    return (any & 0x8080808080808080ull) == 0;
}

std::size_t utf16Length(std::string_view utf8)
{
    if (isAscii(utf8))
        return utf8.size();
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < utf8.size();)
        units += decodeUtf8At(utf8, pos) < 0x10000 ? 1 : 2;
    return units;
}

void asciiToUtf16Bytes(std::string_view ascii, std::uint8_t* out)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(ascii.data());
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= ascii.size(); i += 4) {
            // Four bytes spread to four 16-bit units, stored as one word.
            std::uint32_t bytes;
            std::memcpy(&bytes, p + i, 4);
            std::uint64_t units = bytes;
            units = (units | (units << 16)) & 0x0000FFFF0000FFFFull;
            units = (units | (units << 8)) & 0x00FF00FF00FF00FFull;
            std::memcpy(out + 2 * i, &units, 8);
        }
    }
    for (; i < ascii.size(); ++i) {
        out[2 * i] = p[i];
        out[2 * i + 1] = 0;
    }
}

std::uint8_t* utf8ToUtf16Bytes(std::string_view utf8, std::uint8_t* out)
{
    if (isAscii(utf8)) {
        asciiToUtf16Bytes(utf8, out);
        return out + 2 * utf8.size();
    }
    const auto put = [&out](char32_t unit) {
        *out++ = static_cast<std::uint8_t>(unit);
        *out++ = static_cast<std::uint8_t>(unit >> 8);
    };
    for (std::size_t pos = 0; pos < utf8.size();)
        emitUtf16(decodeUtf8At(utf8, pos), put);
    return out;
}

namespace {

// UTF-8 is taken in slices of this many bytes, each cut before a byte that starts a
// character: the decoder never takes such a byte into the sequence before it, so the slices
// decode exactly as the whole text does.
constexpr std::size_t kSlice = 64 * 1024;

} // namespace

Utf16Pieces::Utf16Pieces(std::string_view utf8) : m_rest(utf8)
{
    m_piece.reserve(2 * kSlice);
}

void Utf16Pieces::next(std::uint8_t* out, std::size_t size)
{
    while (size > 0) {
        if (m_used == m_piece.size()) {
            if (m_rest.empty())
                return;
            std::size_t cut = std::min(kSlice, m_rest.size());
            for (int back = 0; back < 3 && cut < m_rest.size() && cut > 1 &&
                               (static_cast<std::uint8_t>(m_rest[cut]) & 0xC0) == 0x80;
                 ++back)
                --cut;
            if (cut < m_rest.size() && (static_cast<std::uint8_t>(m_rest[cut]) & 0xC0) == 0x80)
                cut = std::min(kSlice, m_rest.size()); // a stray continuation byte decodes alone
            const std::string_view slice = m_rest.substr(0, cut);
            m_rest.remove_prefix(cut);
            if (isAscii(slice)) {
                m_piece.resize(2 * slice.size());
                asciiToUtf16Bytes(slice, m_piece.data());
            } else {
                m_piece.resize(2 * utf16Length(slice));
                utf8ToUtf16Bytes(slice, m_piece.data());
            }
            m_used = 0;
        }
        const std::size_t n = std::min(size, m_piece.size() - m_used);
        std::memcpy(out, m_piece.data() + m_used, n);
        m_used += n;
        out += n;
        size -= n;
    }
}

} // namespace tressimo::text
