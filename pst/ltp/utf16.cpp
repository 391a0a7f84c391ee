#include "pst/ltp/utf16.h"

namespace tressimo::pst {

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
