#pragma once
// Run-length coded BMPs (BI_RLE8, BI_RLE4), which the picture decoder does not read.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tressimo::image {

// The same picture with its pixels written out row by row (BI_RGB, the palette kept), or
// nullopt when it is no run-length coded BMP, when its runs end before the end-of-picture
// mark, or when it is larger than image/limits.h allows. Runs that reach past a row or the
// picture are cut there; pixels no run sets keep colour 0, as Windows shows them.
std::optional<std::vector<std::uint8_t>> bmpWithoutRunLengths(std::span<const std::uint8_t> bytes);

} // namespace tressimo::image
