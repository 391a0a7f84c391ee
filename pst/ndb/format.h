#pragma once
// Sizes, offsets and small rules of the node database shared by its parts: where the
// allocation-map regions lie, how big a block is on disk, how page and block signatures are
// computed. Unicode (64-bit) PST files only.

#include <cstddef>
#include <cstdint>

#include "pst/ndb/node.h"

namespace tressimo::pst::ndb {

inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageTrailerSize = 16;
inline constexpr std::size_t kPageDataSize = kPageSize - kPageTrailerSize; // 496

inline constexpr std::size_t kBlockAlignment = 64;
inline constexpr std::size_t kBlockTrailerSize = 16;
inline constexpr std::size_t kMaxBlockSize = 8192;
static_assert(kMaxBlockData + kBlockTrailerSize == kMaxBlockSize);

// The file begins with the header, a reserved area and the density list; the first
// allocation-map region starts at 0x4400 ([MS-PST] 2.2.2.7.2, 2.2.2.7.4).
inline constexpr std::uint64_t kHeaderSize = 564;
inline constexpr std::uint64_t kDListOffset = 0x4200;
inline constexpr std::uint64_t kFirstAMapOffset = 0x4400;

// One AMap page maps 496 * 8 slots of 64 bytes, beginning with the AMap page itself.
inline constexpr std::uint32_t kSlotsPerRegion = kPageDataSize * 8;                            // 3968
inline constexpr std::uint64_t kRegionSize = std::uint64_t{kSlotsPerRegion} * kBlockAlignment; // 253,952
inline constexpr std::uint32_t kSlotsPerPage = kPageSize / kBlockAlignment;                    // 8

// A PMap follows every eighth AMap; the header's 128-byte FMap covers the first 128 AMaps,
// then an FMap page follows every 496th AMap; the header's FPMap covers the first 128 * 64
// AMaps (1024 PMaps), then an FPMap page follows every 496 * 64th AMap.
inline constexpr std::uint64_t kAMapsPerPMap = 8;
inline constexpr std::uint64_t kAMapsBeforeFirstFMap = 128;
inline constexpr std::uint64_t kAMapsPerFMap = kPageDataSize;
inline constexpr std::uint64_t kAMapsBeforeFirstFPMap = 128 * 64;
inline constexpr std::uint64_t kAMapsPerFPMap = kPageDataSize * 64;

// Which map pages a region holds after its AMap page, and where. FMap and FPMap pages sit at
// fixed page positions two and three pages after the AMap, as other PST writers place them.
struct RegionLayout
{
    bool pmap = false;
    bool fmap = false;
    bool fpmap = false;
};

inline constexpr RegionLayout regionLayout(std::uint64_t region)
{
    RegionLayout layout;
    layout.pmap = region % kAMapsPerPMap == 0;
    layout.fmap = region >= kAMapsBeforeFirstFMap && (region - kAMapsBeforeFirstFMap) % kAMapsPerFMap == 0;
    layout.fpmap =
        region >= kAMapsBeforeFirstFPMap && (region - kAMapsBeforeFirstFPMap) % kAMapsPerFPMap == 0;
    return layout;
}

inline constexpr std::uint64_t regionOffset(std::uint64_t region)
{
    return kFirstAMapOffset + region * kRegionSize;
}
inline constexpr std::uint64_t pmapOffset(std::uint64_t region)
{
    return regionOffset(region) + kPageSize;
}
inline constexpr std::uint64_t fmapOffset(std::uint64_t region)
{
    return regionOffset(region) + 2 * kPageSize;
}
inline constexpr std::uint64_t fpmapOffset(std::uint64_t region)
{
    return regionOffset(region) + 3 * kPageSize;
}

// The FMap page that covers an AMap (only for regions past the header's own FMap).
inline constexpr std::uint64_t fmapRegionFor(std::uint64_t region)
{
    return kAMapsBeforeFirstFMap + (region - kAMapsBeforeFirstFMap) / kAMapsPerFMap * kAMapsPerFMap;
}

// Bytes a block with `cb` data bytes takes in the file: data, padding and trailer, rounded up
// to 64 ([MS-PST] 2.2.2.8).
inline constexpr std::uint32_t blockDiskSize(std::size_t cb)
{
    return static_cast<std::uint32_t>((cb + kBlockTrailerSize + kBlockAlignment - 1) / kBlockAlignment *
                                      kBlockAlignment);
}

// Block identifiers: bit 0x2 marks internal blocks (data and subnode trees), which are never
// encoded; data BIDs advance in steps of 4 ([MS-PST] 2.2.2.2).
inline constexpr Bid kBidInternalFlag = 0x2;
inline constexpr Bid kBidStep = 4;
inline constexpr bool isInternalBid(Bid bid)
{
    return (bid & kBidInternalFlag) != 0;
}

// The page or block signature ([MS-PST] 5.5): the 32-bit halves of the file offset and the
// BID xor-ed, then folded to 16 bits.
inline constexpr std::uint16_t computeSignature(std::uint64_t ib, std::uint64_t bid)
{
    std::uint32_t value = static_cast<std::uint32_t>(ib) ^ static_cast<std::uint32_t>(bid);
    return static_cast<std::uint16_t>((value >> 16) ^ (value & 0xFFFF));
}

// Page types, stored twice in every page trailer ([MS-PST] 2.2.2.7.1).
enum class PageType : std::uint8_t {
    BlockBTree = 0x80,
    NodeBTree = 0x81,
    FreeMap = 0x82,
    PageMap = 0x83,
    AllocationMap = 0x84,
    FreePageMap = 0x85,
    DensityList = 0x86,
};

// Node B-tree and block B-tree pages ([MS-PST] 2.2.2.7.7): 488 bytes of entries, then
// cEnt, cEntMax, cbEnt and cLevel.
inline constexpr std::size_t kBtEntriesSize = 488;
inline constexpr std::size_t kBtIntermediateEntrySize = 24;
inline constexpr std::size_t kNbtLeafEntrySize = 32;
inline constexpr std::size_t kBbtLeafEntrySize = 24;
inline constexpr std::size_t kBtIntermediateMax = kBtEntriesSize / kBtIntermediateEntrySize; // 20
inline constexpr std::size_t kNbtLeafMax = kBtEntriesSize / kNbtLeafEntrySize;               // 15
inline constexpr std::size_t kBbtLeafMax = kBtEntriesSize / kBbtLeafEntrySize;               // 20
// The format allows eight intermediate levels above the leaves.
inline constexpr std::size_t kMaxBtLevels = 9;

// Data trees and subnode trees ([MS-PST] 2.2.2.8.3).
inline constexpr std::size_t kXBlockMax = (kMaxBlockData - 8) / 8;   // 1021 BIDs
inline constexpr std::size_t kSLBlockMax = (kMaxBlockData - 8) / 24; // 340 entries
inline constexpr std::size_t kSIBlockMax = (kMaxBlockData - 8) / 16; // 510 entries

} // namespace tressimo::pst::ndb
