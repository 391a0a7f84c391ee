#pragma once
// Permutative ("compressible") encoding of external data blocks: a fixed byte substitution
// ([MS-PST] 5.1). Outlook writes it; pages, the header and internal blocks stay plain.

#include <cstddef>
#include <cstdint>

namespace tressimo::pst {

void permuteEncode(std::uint8_t* data, std::size_t size);
// The encoding as a 256-entry table, for code that encodes while it copies.
const std::uint8_t* permuteEncodeTable();
void permuteDecode(std::uint8_t* data, std::size_t size);

} // namespace tressimo::pst
