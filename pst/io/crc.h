#pragma once
// The CRC-32 of the PST format: the reflected 0xEDB88320 polynomial with a seed of 0 and no
// final inversion ([MS-PST] 5.3). It covers the header, page trailers and stored block data.

#include <cstddef>
#include <cstdint>

namespace tressimo::pst {

std::uint32_t computeCrc(const void* data, std::size_t size, std::uint32_t seed = 0);

} // namespace tressimo::pst
