#pragma once
// Pages ([MS-PST] 2.2.2.7): 512-byte units for B-trees and allocation metadata, each ending
// with a trailer that names its type, signature, CRC and BID.

#include <array>
#include <cstdint>

#include "pst/ndb/format.h"

namespace tressimo::pst::ndb {

using Page = std::array<std::uint8_t, kPageSize>;

// Fills the trailer of a page whose first 496 bytes are final: the type twice, the signature
// (B-tree and density-list pages only; zero for map pages), the CRC of the 496 bytes and the
// BID. Map pages use their own file offset as BID.
void sealPage(Page& page, PageType type, Bid bid, std::uint64_t ib);

} // namespace tressimo::pst::ndb
