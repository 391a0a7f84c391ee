#include "image/bmp_layout.h"

namespace tressimo::image {

namespace {

// File header 14 bytes, then the info header: its size, width, height, planes, bits per
// pixel, compression.
constexpr std::size_t kShortestHeaders = 14 + 40;

std::uint32_t little32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

} // namespace

bool bmpCutShort(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kShortestHeaders)
        return false;
    // Uncompressed rows (BI_RGB, BI_BITFIELDS) are a whole number of 4-byte words each.
    const std::uint32_t compression = little32(bytes, 30);
    if (little32(bytes, 14) < 40 || (compression != 0 && compression != 3))
        return false;
    const std::uint64_t width = little32(bytes, 18);
    const auto height = static_cast<std::int32_t>(little32(bytes, 22));
    const std::uint64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    const std::uint64_t bitsPerPixel = bytes[28] | bytes[29] << 8;
    const std::uint64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return little32(bytes, 10) + rowBytes * rows > bytes.size();
}

std::optional<std::vector<std::uint8_t>> bmpWithoutGapBeforePixels(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kShortestHeaders)
        return std::nullopt;
    const std::uint32_t headerSize = little32(bytes, 14);
    const std::uint32_t bitsPerPixel = bytes[28] | bytes[29] << 8;
    if (headerSize < 40 || headerSize > 124 || bitsPerPixel < 16)
        return std::nullopt;
    // Where the decoder stops reading: the headers, and after the shortest info header the
    // three masks of BI_BITFIELDS.
    const std::uint32_t expected = 14 + headerSize + (headerSize == 40 && little32(bytes, 30) == 3 ? 12 : 0);
    const std::uint32_t offset = little32(bytes, 10);
    if (offset <= expected || offset >= bytes.size() || expected > bytes.size())
        return std::nullopt;
    std::vector<std::uint8_t> moved(bytes.begin(), bytes.begin() + expected);
    moved.insert(moved.end(), bytes.begin() + offset, bytes.end());
    for (int i = 0; i < 4; ++i)
        moved[10 + i] = static_cast<std::uint8_t>(expected >> 8 * i);
    return moved;
}

} // namespace tressimo::image
