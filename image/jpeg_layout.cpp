#include "image/jpeg_layout.h"

#include <cstddef>

namespace tressimo::image {

namespace {

constexpr std::uint8_t kHuffmanTables = 0xC4;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;

bool isRestart(std::uint8_t marker)
{
    return marker >= 0xD0 && marker <= 0xD7;
}

// Start of frame, of any coding (0xC4, 0xC8 and 0xCC are other segments).
bool isStartOfFrame(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// A DHT segment's body: tables of a class/id byte, 16 counts and as many values.
bool huffmanTablesFit(std::span<const std::uint8_t> body)
{
    std::size_t at = 0;
    while (at < body.size()) {
        if (at + 17 > body.size())
            return false;
        std::size_t codes = 0;
        for (std::size_t i = 1; i <= 16; ++i)
            codes += body[at + i];
        if (codes > 256)
            return false;
        at += 17 + codes;
    }
    return at == body.size();
}

} // namespace

bool jpegLayoutSound(std::span<const std::uint8_t> bytes)
{
    const std::size_t size = bytes.size();
    std::size_t at = 2; // past the start-of-image marker
    int frames = 0;
    for (;;) {
        // Like the decoder, bytes between segments are passed over up to the next 0xFF, and
        // 0xFF fill before a marker.
        while (at < size && bytes[at] != 0xFF)
            ++at;
        while (at < size && bytes[at] == 0xFF)
            ++at;
        if (at >= size)
            return false;
        const std::uint8_t marker = bytes[at++];
        if (marker == kEndOfImage)
            return true;
        if (marker == 0x01 || isRestart(marker)) // markers without a segment
            continue;
        if (at + 2 > size)
            return false;
        const std::size_t length = bytes[at] << 8 | bytes[at + 1];
        if (length < 2 || at + length > size)
            return false;
        if (marker == kHuffmanTables && !huffmanTablesFit(bytes.subspan(at + 2, length - 2)))
            return false;
        if (isStartOfFrame(marker) && ++frames > 1)
            return false;
        at += length;
        if (marker == kStartOfScan) {
            // The coded data runs to the first marker that is not a restart; 0xFF 0x00 is a
            // data byte.
            while (at + 1 < size &&
                   !(bytes[at] == 0xFF && bytes[at + 1] != 0x00 && !isRestart(bytes[at + 1])))
                ++at;
        }
    }
}

} // namespace tressimo::image
