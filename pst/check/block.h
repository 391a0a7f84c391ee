#pragma once
// Blocks ([MS-PST] 2.2.2.8): the trailer every block ends with, and the internal blocks that
// build data trees (XBLOCK, XXBLOCK) and subnode trees (SLBLOCK, SIBLOCK).

#include "pst/io/bytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::size_t kBlockTrailerSize = 16;
inline constexpr std::size_t kMaxBlockSize = 8192;
inline constexpr std::size_t kMaxBlockDataSize = kMaxBlockSize - kBlockTrailerSize; // 8176
inline constexpr std::size_t kBlockAlignment = 64;

// A BID's bit 0x2 marks an internal block; bit 0x1 is reserved and ignored on lookup.
inline constexpr std::uint64_t kBidInternal = 0x2;
inline constexpr bool isInternalBid(std::uint64_t bid)
{
    return (bid & kBidInternal) != 0;
}
inline constexpr std::uint64_t bidKey(std::uint64_t bid)
{
    return bid & ~std::uint64_t{1};
}

// Bytes a block with cb data bytes takes in the file, trailer and padding included.
inline constexpr std::uint64_t blockDiskSize(std::uint64_t cb)
{
    return (cb + kBlockTrailerSize + kBlockAlignment - 1) / kBlockAlignment * kBlockAlignment;
}

struct BlockTrailer
{
    std::uint16_t cb = 0;
    std::uint16_t signature = 0;
    std::uint32_t crc = 0;
    std::uint64_t bid = 0;
};
BlockTrailer parseBlockTrailer(const std::uint8_t* trailer);

enum class InternalKind {
    XBlock,  // data tree, level 1: data block ids
    XXBlock, // data tree, level 2: XBLOCK ids
    SLBlock, // subnode tree leaf
    SIBlock, // subnode tree intermediate
};
const char* internalKindName(InternalKind kind);

struct SubnodeLeafEntry
{
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};
struct SubnodeIntermediateEntry
{
    std::uint32_t nid = 0;
    std::uint64_t bid = 0;
};

// An internal block as parsed; `problem` says why it could not be (then the rest is empty).
struct InternalBlock
{
    InternalKind kind = InternalKind::XBlock;
    std::uint8_t btype = 0;
    std::uint8_t level = 0;
    std::uint16_t entryCount = 0;
    std::uint32_t totalSize = 0;                         // lcbTotal of XBLOCK/XXBLOCK
    std::vector<std::uint64_t> childBids;                // XBLOCK/XXBLOCK entries
    std::vector<SubnodeLeafEntry> leaves;                // SLBLOCK entries
    std::vector<SubnodeIntermediateEntry> intermediates; // SIBLOCK entries
    std::uint64_t highNidBits = 0;                       // OR of the upper 32 bits of every 8-byte NID field
    std::string problem;
};
InternalBlock parseInternalBlock(ByteView data);

// Most entries one internal block can hold.
inline constexpr std::size_t kMaxXBlockEntries = (kMaxBlockDataSize - 8) / 8;   // 1021
inline constexpr std::size_t kMaxSLBlockEntries = (kMaxBlockDataSize - 8) / 24; // 340
inline constexpr std::size_t kMaxSIBlockEntries = (kMaxBlockDataSize - 8) / 16; // 510

} // namespace tressimo::pst::check
