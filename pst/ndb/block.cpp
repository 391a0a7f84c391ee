#include "pst/ndb/block.h"

#include "pst/io/crc.h"
#include "pst/io/permute.h"

#include <cassert>
#include <cstring>

namespace tressimo::pst::ndb {

void encodeBlockInto(ByteView data, Bid bid, std::uint64_t ib, std::uint8_t cryptMethod, std::uint8_t* out)
{
    assert(data.size() <= kMaxBlockData);
    const std::size_t size = blockDiskSize(data.size());
    const std::uint8_t* map = cryptMethod == 1 && !isInternalBid(bid) ? permuteEncodeTable() : nullptr;
    const std::uint32_t crc = data.empty() ? 0 : copyAndComputeCrc(data.data(), out, data.size(), map);
    std::uint8_t* trailer = out + size - kBlockTrailerSize;
    std::memset(out + data.size(), 0, size - kBlockTrailerSize - data.size());
    putU16(trailer, static_cast<std::uint16_t>(data.size()));
    putU16(trailer + 2, computeSignature(ib, bid));
    putU32(trailer + 4, crc);
    putU64(trailer + 8, bid);
}

Bytes encodeXBlock(std::uint8_t level, std::span<const Bid> children, std::uint32_t totalBytes)
{
    assert((level == 1 || level == 2) && !children.empty() && children.size() <= kXBlockMax);
    Bytes out;
    out.reserve(8 + 8 * children.size());
    ByteWriter w(out);
    w.u8(0x01); // btype: data tree
    w.u8(level);
    w.u16(static_cast<std::uint16_t>(children.size()));
    w.u32(totalBytes);
    for (Bid bid : children)
        w.u64(bid);
    return out;
}

Bytes encodeSLBlock(std::span<const SubnodeLeafEntry> entries)
{
    Bytes out;
    encodeSLBlock(entries, out);
    return out;
}

void encodeSLBlock(std::span<const SubnodeLeafEntry> entries, Bytes& out)
{
    assert(!entries.empty() && entries.size() <= kSLBlockMax);
    out.clear();
    out.reserve(8 + 24 * entries.size());
    ByteWriter w(out);
    w.u8(0x02); // btype: subnode tree
    w.u8(0);    // cLevel: leaf
    w.u16(static_cast<std::uint16_t>(entries.size()));
    w.u32(0);
    for (const SubnodeLeafEntry& e : entries) {
        w.u64(e.nid);
        w.u64(e.data);
        w.u64(e.sub);
    }
}

Bytes encodeSIBlock(std::span<const SubnodeIndexEntry> entries)
{
    assert(!entries.empty() && entries.size() <= kSIBlockMax);
    Bytes out;
    out.reserve(8 + 16 * entries.size());
    ByteWriter w(out);
    w.u8(0x02);
    w.u8(1); // cLevel: intermediate
    w.u16(static_cast<std::uint16_t>(entries.size()));
    w.u32(0);
    for (const SubnodeIndexEntry& e : entries) {
        w.u64(e.nid);
        w.u64(e.slblock);
    }
    return out;
}

} // namespace tressimo::pst::ndb
