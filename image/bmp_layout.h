#pragma once
// What the picture decoder does not check in a BMP file, or reads differently from Windows.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tressimo::image {

// Whether the uncompressed pixel rows the header promises run past the end of the file (the
// decoder fills them with black and reports success). False for what it cannot judge.
bool bmpCutShort(std::span<const std::uint8_t> bytes);

// Windows writes 16-bit BMPs with room between the colour masks and the pixels, which the
// decoder takes for damage: the same picture with the pixels moved up to where it expects
// them, or nullopt when there is no such room.
std::optional<std::vector<std::uint8_t>> bmpWithoutGapBeforePixels(std::span<const std::uint8_t> bytes);

} // namespace tressimo::image
