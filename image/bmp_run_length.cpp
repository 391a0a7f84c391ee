#include "image/bmp_run_length.h"

#include "image/limits.h"

namespace tressimo::image {

namespace {

std::uint32_t little32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void putLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

} // namespace

std::optional<std::vector<std::uint8_t>> bmpWithoutRunLengths(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || little32(bytes, 14) < 40)
        return std::nullopt;
    const std::uint32_t compression = little32(bytes, 30);
    const unsigned bitsPerPixel = bytes[28] | bytes[29] << 8;
    if (!((compression == 1 && bitsPerPixel == 8) || (compression == 2 && bitsPerPixel == 4)))
        return std::nullopt;
    // Run-length coded rows go bottom up: the height is positive.
    const auto width = static_cast<std::int32_t>(little32(bytes, 18));
    const auto height = static_cast<std::int32_t>(little32(bytes, 22));
    const std::uint32_t offset = little32(bytes, 10);
    if (offset < 14 + static_cast<std::uint64_t>(little32(bytes, 14)) || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels ||
        offset >= bytes.size())
        return std::nullopt;

    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
    std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + offset);
    out.resize(offset + rowBytes * static_cast<std::size_t>(height));
    putLittle32(out, 2, static_cast<std::uint32_t>(out.size()));
    putLittle32(out, 30, 0);
    putLittle32(out, 34, static_cast<std::uint32_t>(out.size() - offset));
    std::int64_t x = 0, y = 0;
    const auto put = [&](unsigned index) {
        if (x < width && y < height) {
            std::uint8_t& at = out[offset + static_cast<std::size_t>(y) * rowBytes +
                                   static_cast<std::size_t>(x) * bitsPerPixel / 8];
            at = bitsPerPixel == 8 ? static_cast<std::uint8_t>(index)
                                   : static_cast<std::uint8_t>(x % 2 ? (at & 0xF0) | index : index << 4);
        }
        ++x;
    };
    const auto nibble = [&](std::uint8_t byte, std::size_t i) {
        return bitsPerPixel == 8 ? byte : (i % 2 ? byte & 0x0F : byte >> 4);
    };

    std::size_t at = offset;
    while (at + 2 <= bytes.size()) {
        const std::uint8_t count = bytes[at], value = bytes[at + 1];
        at += 2;
        if (count > 0) { // a run of one colour (two alternating ones in RLE4)
            for (std::size_t i = 0; i < count; ++i)
                put(bitsPerPixel == 8 ? value : nibble(value, i));
        } else if (value == 0) { // end of the row
            x = 0;
            ++y;
        } else if (value == 1) { // end of the picture
            return out;
        } else if (value == 2) { // a move right and up
            if (at + 2 > bytes.size())
                return std::nullopt;
            x += bytes[at];
            y += bytes[at + 1];
            at += 2;
        } else { // `value` pixels as they are, padded to a 16-bit boundary
            const std::size_t length = bitsPerPixel == 8 ? value : (value + 1u) / 2;
            if (at + length > bytes.size())
                return std::nullopt;
            for (std::size_t i = 0; i < value; ++i)
                put(nibble(bytes[at + i * bitsPerPixel / 8], i));
            at += (length + 1) / 2 * 2;
        }
    }
    return std::nullopt; // cut short before the end of the picture
}

} // namespace tressimo::image
