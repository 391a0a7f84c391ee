#pragma once
// What the picture decoder does not check in a JPEG file before it trusts it.

#include <cstdint>
#include <span>

namespace tressimo::image {

// Walks the file's markers from the start: every segment lies inside the file, every Huffman
// table holds no more than the 256 codes the decoder has room for (more would overrun it),
// every scan decodes with tables defined before it (the decoder would read memory it never
// set), there is one frame (a second would have the decoder redo its buffers mid-picture), and an
// end marker follows the last scan (without it the file was cut short, and the decoder
// would fill the missing part with grey and report success).
bool jpegLayoutSound(std::span<const std::uint8_t> bytes);

} // namespace tressimo::image
