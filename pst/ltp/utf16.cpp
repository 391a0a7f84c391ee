#include "pst/ltp/utf16.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tressimo::pst {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

// Decodes UTF-8 and hands each UTF-16 unit to `emit`; the one decoder behind every
// conversion, so that counting and writing agree.
template <typename Emit> void decodeUtf8(std::string_view utf8, Emit&& emit)
{
    auto emitCodePoint = [&](char32_t cp) {
        if (cp < 0x10000) {
            emit(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            emit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    };
    const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b0 = s[i];
        if (b0 < 0x80) {
            emit(static_cast<char16_t>(b0));
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (Unicode table 3-7), which is what
        // rules out overlong forms, surrogates and values past U+10FFFF.
        int length = 0;
        std::uint8_t lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            if (b0 == 0xE0)
                lo = 0xA0;
            else if (b0 == 0xED)
                hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            if (b0 == 0xF0)
                lo = 0x90;
            else if (b0 == 0xF4)
                hi = 0x8F;
        } else {
            emitCodePoint(kReplacement);
            ++i;
            continue;
        }
        char32_t cp = b0 & (0x7F >> length);
        int k = 1;
        for (; k < length; ++i, ++k) {
            if (i + 1 >= n)
                break;
            const std::uint8_t b = s[i + 1];
            if (b < lo || b > hi)
                break;
            cp = (cp << 6) | (b & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        ++i; // past the last byte taken
        emitCodePoint(k == length ? cp : kReplacement);
    }
}

} // namespace

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

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    decodeUtf8(utf8, [&](char16_t unit) { out.push_back(unit); });
    return out;
}

std::size_t utf16Length(std::string_view utf8)
{
    if (isAscii(utf8))
        return utf8.size();
    std::size_t units = 0;
    decodeUtf8(utf8, [&](char16_t) { ++units; });
    return units;
}

void utf8ToUtf16Bytes(std::string_view utf8, std::uint8_t* out)
{
    if (isAscii(utf8)) {
        asciiToUtf16Bytes(utf8, out);
        return;
    }
    decodeUtf8(utf8, [&](char16_t unit) {
        putU16(out, unit);
        out += 2;
    });
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
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

Bytes utf16ToBytes(std::u16string_view utf16)
{
    Bytes out(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size(); ++i)
        putU16(out.data() + 2 * i, utf16[i]);
    return out;
}

std::u16string bytesToUtf16(ByteView bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(getU16(bytes.data() + 2 * i));
    return out;
}

} // namespace tressimo::pst
