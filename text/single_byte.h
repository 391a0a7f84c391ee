#pragma once
// 8-bit text in the single-byte encodings a Windows XML parser accepts by name, decoded by the
// platform's own converter (iconv on Linux, MultiByteToWideChar on Windows).
//
// A byte an encoding leaves undefined becomes U+FFFD, except in 0x80..0x9F, where it stands
// for the C1 control of the same value, as Windows converts the unassigned bytes of its code
// pages.

#include <array>
#include <string>
#include <string_view>

namespace tressimo::text {

// The code point of each byte value.
using ByteCodePoints = std::array<char32_t, 256>;

// The code points of the single-byte encoding called `name` (any of its names, ASCII case
// ignored, e.g. "ISO-8859-2", "latin2", "windows-1251", "KOI8-R"), built once; nullptr when no
// such encoding is known. Throws std::runtime_error naming the encoding when the system cannot
// convert it.
const ByteCodePoints* singleByteEncoding(std::string_view name);

// The bytes as UTF-8.
std::string decodeSingleByte(const ByteCodePoints& encoding, std::string_view bytes);

} // namespace tressimo::text
