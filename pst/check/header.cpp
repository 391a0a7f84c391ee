#include "pst/check/header.h"

#include "pst/io/crc.h"

#include <cassert>

namespace tressimo::pst::check {

Header parseHeader(ByteView bytes)
{
    assert(bytes.size() >= kHeaderSize);
    namespace o = headeroffset;
    const std::uint8_t* p = bytes.data();
    Header h;
    h.magic = getU32(p + o::Magic);
    h.crcPartial = getU32(p + o::CrcPartial);
    h.magicClient = getU16(p + o::MagicClient);
    h.version = getU16(p + o::Ver);
    h.clientVersion = getU16(p + o::VerClient);
    h.platformCreate = p[o::PlatformCreate];
    h.platformAccess = p[o::PlatformAccess];
    h.bidUnused = getU64(p + o::BidUnused);
    h.bidNextP = getU64(p + o::BidNextP);
    h.unique = getU32(p + o::Unique);
    for (std::size_t i = 0; i < h.rgnid.size(); ++i)
        h.rgnid[i] = getU32(p + o::Rgnid + 4 * i);
    h.fileEof = getU64(p + o::FileEof);
    h.amapLast = getU64(p + o::AMapLast);
    h.amapFree = getU64(p + o::AMapFree);
    h.pmapFree = getU64(p + o::PMapFree);
    h.nbt = {getU64(p + o::NbtBid), getU64(p + o::NbtIb)};
    h.bbt = {getU64(p + o::BbtBid), getU64(p + o::BbtIb)};
    h.amapValid = p[o::AMapValid];
    h.sentinel = p[o::Sentinel];
    h.cryptMethod = p[o::CryptMethod];
    h.bidNextB = getU64(p + o::BidNextB);
    h.crcFull = getU32(p + o::CrcFull);
    h.computedCrcPartial = computeCrc(p + o::MagicClient, o::CrcPartialLength);
    h.computedCrcFull = computeCrc(p + o::MagicClient, o::CrcFullLength);
    return h;
}

} // namespace tressimo::pst::check
