#pragma once
// What the picture decoder does not check in a PNG file before it trusts it.

#include <cstdint>
#include <span>

namespace tressimo::image {

// Walks the file's chunks: each lies inside the file, the file ends with IEND, and the first
// image data chunk is not empty (the decoder would copy nothing to a buffer it has not made,
// which C++ does not allow).
bool pngLayoutSound(std::span<const std::uint8_t> bytes);

} // namespace tressimo::image
