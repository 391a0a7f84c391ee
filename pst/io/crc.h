#pragma once
// The CRC-32 of the PST format: the reflected 0xEDB88320 polynomial with a seed of 0 and no
// final inversion ([MS-PST] 5.3). It covers the header, page trailers and stored block data.

#include <cstddef>
#include <cstdint>

namespace tressimo::pst {

std::uint32_t computeCrc(const void* data, std::size_t size, std::uint32_t seed = 0);

// Copies `size` bytes from `in` to `out`, each through `byteMap` (256 entries, such as the
// permute encoding) when one is given, and returns the CRC of the bytes written: a block is
// encoded and checksummed in one pass over its data.
std::uint32_t copyAndComputeCrc(const std::uint8_t* in, std::uint8_t* out, std::size_t size,
                                const std::uint8_t* byteMap = nullptr);

} // namespace tressimo::pst
