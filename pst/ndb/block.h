#pragma once
// Blocks ([MS-PST] 2.2.2.8): data of up to 8176 bytes, padded to a multiple of 64 and ended by
// a trailer with its size, signature, CRC and BID; and the internal blocks that tie blocks
// into data trees (XBLOCK, XXBLOCK) and subnode trees (SLBLOCK, SIBLOCK).

#include "pst/io/bytes.h"
#include "pst/ndb/format.h"

#include <cstdint>
#include <span>

namespace tressimo::pst::ndb {

// The stored image of a block placed at `ib`, written to `out`, which has room for
// blockDiskSize(data.size()) bytes: its data (permute-encoded when the block is external and
// the file uses permute encoding), zero padding, then the trailer whose CRC covers the data as
// stored.
void encodeBlockInto(ByteView data, Bid bid, std::uint64_t ib, std::uint8_t cryptMethod, std::uint8_t* out);

// XBLOCK (level 1, BIDs of data blocks) or XXBLOCK (level 2, BIDs of XBLOCKs); `totalBytes`
// is the length of the whole stream below it.
Bytes encodeXBlock(std::uint8_t level, std::span<const Bid> children, std::uint32_t totalBytes);

struct SubnodeLeafEntry
{
    std::uint32_t nid = 0;
    Bid data = 0;
    Bid sub = 0;
};
struct SubnodeIndexEntry
{
    std::uint32_t nid = 0; // the first subnode of the SLBLOCK
    Bid slblock = 0;
};
Bytes encodeSLBlock(std::span<const SubnodeLeafEntry> entries);
void encodeSLBlock(std::span<const SubnodeLeafEntry> entries, Bytes& out);
Bytes encodeSIBlock(std::span<const SubnodeIndexEntry> entries);

} // namespace tressimo::pst::ndb
