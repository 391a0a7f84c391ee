#pragma once
// The allocation-metadata pages of a region ([MS-PST] 2.2.2.7.2-2.2.2.7.6): the AMap (one
// bit per 64-byte slot), the deprecated PMap, FMap and FPMap that must still exist at their
// places with valid checksums, and the density list that ranks AMaps by free space.

#include <cstdint>
#include <span>

#include "pst/ndb/page.h"
#include "pst/ndb/space_map.h"

namespace tressimo::pst::ndb {

Page encodeAMap(const SpaceMap::Bits& bits, std::uint64_t ib);
// Outlook writes PMaps as "all pages in use"; with a density list present they are ignored.
Page encodePMap(std::uint64_t ib);
// One byte per AMap: its longest run of free slots, at most 255.
Page encodeFMap(std::span<const std::uint8_t> longestRuns, std::uint64_t ib);
// One bit per PMap, set when it has no free page, which is what every PMap says.
Page encodeFPMap(std::uint64_t ib);

struct DListEntry
{
    std::uint32_t amap = 0;      // index of the AMap, 20 bits
    std::uint32_t freeSlots = 0; // its free slots, 12 bits
};
inline constexpr std::size_t kDListMaxEntries = 476 / 4;
inline constexpr std::uint8_t kDListBackfillComplete = 0x01;

// The density list at 0x4200, entries given in order (most free slots first). Like Outlook's,
// its BID is never above the header's next page BID.
Page encodeDList(std::span<const DListEntry> entries, std::uint32_t currentAMap, Bid bid);

} // namespace tressimo::pst::ndb
