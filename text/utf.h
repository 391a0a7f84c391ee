#pragma once
// The one UTF-8 <-> UTF-16 codec of the program.
//
// Policy for ill-formed input, the one Unicode (chapter 3, "U+FFFD substitution of maximal
// subparts") and the WHATWG Encoding Standard recommend: each maximal ill-formed subsequence
// becomes one U+FFFD. A lead byte followed by some but not all of its continuation bytes is one
// subsequence ("\xE5\xB1" at the end gives one U+FFFD); a byte that cannot start or continue a
// sequence (stray continuation bytes, C0, C1, F5..FF, the second byte of an overlong form, an
// encoded surrogate or a value past U+10FFFF) is one on its own. So any byte string converts,
// and bad bytes never take the text around them along. An unpaired surrogate in UTF-16 becomes
// U+FFFD too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at text[pos] and moves pos past it; an ill-formed sequence gives
// U+FFFD, moves pos past its maximal ill-formed subsequence and clears `wellFormed`.
inline char32_t decodeUtf8At(std::string_view text, std::size_t& pos, bool& wellFormed)
{
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::uint8_t b0 = s[pos];
    wellFormed = true;
    if (b0 < 0x80) {
        ++pos;
        return b0;
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
        ++pos;
        wellFormed = false;
        return kReplacementCharacter;
    }
    char32_t cp = b0 & (0x7F >> length);
    int k = 1;
    for (; k < length; ++k) {
        if (pos + k >= text.size() || s[pos + k] < lo || s[pos + k] > hi)
            break;
        cp = (cp << 6) | (s[pos + k] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    pos += static_cast<std::size_t>(k);
    wellFormed = k == length;
    return wellFormed ? cp : kReplacementCharacter;
}

inline char32_t decodeUtf8At(std::string_view text, std::size_t& pos)
{
    bool wellFormed;
    return decodeUtf8At(text, pos, wellFormed);
}

// Bytes the code point takes in UTF-8.
constexpr std::size_t utf8Length(char32_t codePoint)
{
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}
void appendUtf8(std::string& out, char32_t codePoint);

// Characters outside the BMP become surrogate pairs.
std::u16string utf8ToUtf16(std::string_view utf8);
// The same into `out` (replacing what it held), reusing its room.
void utf8ToUtf16(std::string_view utf8, std::u16string& out);
std::string utf16ToUtf8(std::u16string_view utf16);

// True when the text is plain ASCII (most texts), which converts a byte to a unit.
bool isAscii(std::string_view text);

// The conversion straight to UTF-16LE bytes: utf16Length gives the units utf8ToUtf16Bytes
// writes (2 bytes each) to `out`, never more than the text's bytes; it returns the end of
// what it wrote.
std::size_t utf16Length(std::string_view utf8);
std::uint8_t* utf8ToUtf16Bytes(std::string_view utf8, std::uint8_t* out);
void asciiToUtf16Bytes(std::string_view ascii, std::uint8_t* out);

// The bytes utf8ToUtf16Bytes writes, made piece by piece: a huge text is encoded a block at a
// time instead of in full.
class Utf16Pieces
{
public:
    // Takes the memory it works in now: none is asked for while the pieces are written.
    explicit Utf16Pieces(std::string_view utf8);
    // Writes the next `size` bytes (fewer only at the end).
    void next(std::uint8_t* out, std::size_t size);

private:
    std::string_view m_rest;
    std::vector<std::uint8_t> m_piece;
    std::size_t m_used = 0;
};

} // namespace tressimo::text
