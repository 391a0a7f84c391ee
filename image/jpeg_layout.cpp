#include "image/jpeg_layout.h"

#include <array>
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

// Which Huffman tables are defined: DC (class 0) and AC (class 1), ids 0 to 3.
using DefinedTables = std::array<std::array<bool, 4>, 2>;

// A DHT segment's body: tables of a class/id byte, 16 counts and as many values.
bool huffmanTablesFit(std::span<const std::uint8_t> body, DefinedTables& defined)
{
    std::size_t at = 0;
    while (at < body.size()) {
        if (at + 17 > body.size() || body[at] >> 4 > 1 || (body[at] & 15) > 3)
            return false;
        defined[body[at] >> 4][body[at] & 15] = true;
        std::size_t codes = 0;
        for (std::size_t i = 1; i <= 16; ++i)
            codes += body[at + i];
        if (codes > 256)
            return false;
        at += 17 + codes;
    }
    return at == body.size();
}

// An SOS segment's body: whether every table the scan decodes with is defined (the decoder
// would read one that is not from memory it never set). A DC scan (from coefficient 0) uses
// the DC tables unless it refines, any other coefficients the AC tables.
bool scanTablesDefined(std::span<const std::uint8_t> body, const DefinedTables& defined)
{
    if (body.empty() || body.size() < 1 + 2 * std::size_t{body[0]} + 3)
        return false;
    const std::size_t components = body[0];
    const std::uint8_t first = body[1 + 2 * components], last = body[2 + 2 * components];
    const bool refines = body[3 + 2 * components] >> 4 != 0;
    for (std::size_t i = 0; i < components; ++i) {
        const std::uint8_t tables = body[2 + 2 * i];
        if ((first == 0 && !refines && (tables >> 4 > 3 || !defined[0][tables >> 4])) ||
            (last > 0 && ((tables & 15) > 3 || !defined[1][tables & 15])))
            return false;
    }
    return true;
}

} // namespace

bool jpegLayoutSound(std::span<const std::uint8_t> bytes)
{
    const std::size_t size = bytes.size();
    std::size_t at = 2; // past the start-of-image marker
    int frames = 0;
    DefinedTables defined{};
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
        if (marker == kHuffmanTables && !huffmanTablesFit(bytes.subspan(at + 2, length - 2), defined))
            return false;
        if (marker == kStartOfScan && !scanTablesDefined(bytes.subspan(at + 2, length - 2), defined))
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
