#pragma once
// Text as stored in a Unicode PST: UTF-16LE without a terminating NUL.

#include "pst/io/bytes.h"

#include <string>
#include <string_view>

namespace tressimo::pst {

// UTF-8 to UTF-16. Each maximal ill-formed subsequence (stray continuation bytes, overlong
// forms, encoded surrogates, values past U+10FFFF, a sequence cut short) becomes one U+FFFD,
// so bad input never loses the text around it. Characters outside the BMP become surrogate
// pairs.
std::u16string utf8ToUtf16(std::string_view utf8);
// The same conversion straight to little-endian bytes: utf16Length gives the units
// utf8ToUtf16Bytes writes (2 bytes each) to `out`.
std::size_t utf16Length(std::string_view utf8);
void utf8ToUtf16Bytes(std::string_view utf8, std::uint8_t* out);
// Plain ASCII (most texts) converts a byte to a unit, with no decoding.
bool isAscii(std::string_view text);
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
    Bytes m_piece;
    std::size_t m_used = 0;
};

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

// Little-endian bytes of UTF-16 text, and back (an odd trailing byte is dropped).
Bytes utf16ToBytes(std::u16string_view utf16);
std::u16string bytesToUtf16(ByteView bytes);

} // namespace tressimo::pst
