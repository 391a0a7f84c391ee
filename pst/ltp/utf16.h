#pragma once
// Text as stored in a Unicode PST: UTF-16LE without a terminating NUL. The conversions
// themselves are the program's one codec (text/utf.h).

#include "pst/io/bytes.h"
#include "text/utf.h"

#include <string>

namespace tressimo::pst {

// Little-endian bytes of UTF-16 text, and back (an odd trailing byte is dropped).
Bytes utf16ToBytes(std::u16string_view utf16);
std::u16string bytesToUtf16(ByteView bytes);

} // namespace tressimo::pst
