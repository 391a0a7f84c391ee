#include "image/png_layout.h"

#include <cstddef>
#include <string_view>

namespace tressimo::image {

bool pngLayoutSound(std::span<const std::uint8_t> bytes)
{
    bool dataSeen = false;
    // Past the signature, chunks of a length, a type, the data and a checksum.
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint64_t length = static_cast<std::uint64_t>(bytes[at]) << 24 | bytes[at + 1] << 16 |
                                     bytes[at + 2] << 8 | bytes[at + 3];
        const std::string_view type(reinterpret_cast<const char*>(bytes.data()) + at + 4, 4);
        if (at + 12 + length > bytes.size())
            return false;
        if (type == "IEND")
            return true;
        if (type == "IDAT" && !dataSeen) {
            if (length == 0)
                return false;
            dataSeen = true;
        }
        at += 12 + length;
    }
    return false;
}

} // namespace tressimo::image
