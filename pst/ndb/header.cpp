#include "pst/ndb/header.h"

#include <algorithm>

#include "pst/io/crc.h"

namespace tressimo::pst::ndb {

std::array<std::uint32_t, kNidTypeCount> initialNidHighWater()
{
    std::array<std::uint32_t, kNidTypeCount> rgnid{};
    rgnid.fill(0x400);
    rgnid[static_cast<std::size_t>(NidType::SearchFolder)] = 0x4000;
    rgnid[static_cast<std::size_t>(NidType::NormalMessage)] = 0x10000;
    rgnid[static_cast<std::size_t>(NidType::AssocMessage)] = 0x8000;
    return rgnid;
}

HeaderBytes encodeHeader(const Header& h)
{
    namespace off = header_offset;
    HeaderBytes b{};
    std::uint8_t* p = b.data();
    p[0] = '!';
    p[1] = 'B';
    p[2] = 'D';
    p[3] = 'N';
    p[8] = 'S'; // wMagicClient: a PST, not an OST
    p[9] = 'M';
    putU16(p + 0x0A, 23); // wVer: Unicode
    putU16(p + 0x0C, 19); // wVerClient
    p[0x0E] = 1;          // bPlatformCreate
    p[0x0F] = 1;          // bPlatformAccess
    putU64(p + off::bidNextP, h.bidNextP);
    putU32(p + off::dwUnique, h.dwUnique);
    for (std::size_t i = 0; i < kNidTypeCount; ++i)
        putU32(p + off::rgnid + 4 * i, h.rgnid[i]);
    putU64(p + off::ibFileEof, h.ibFileEof);
    putU64(p + off::ibAMapLast, h.ibAMapLast);
    putU64(p + off::cbAMapFree, h.cbAMapFree);
    putU64(p + off::cbPMapFree, 0); // PMaps are deprecated and always read "full"
    putU64(p + off::nbt, h.nbt.bid);
    putU64(p + off::nbt + 8, h.nbt.ib);
    putU64(p + off::bbt, h.bbt.bid);
    putU64(p + off::bbt + 8, h.bbt.ib);
    p[off::fAMapValid] = h.fAMapValid;
    // The deprecated header FMap and FPMap must be all 0xFF ([MS-PST] 2.2.2.6).
    std::fill(p + off::rgbFM, p + off::rgbFM + 128, 0xFF);
    std::fill(p + off::rgbFP, p + off::rgbFP + 128, 0xFF);
    p[off::bSentinel] = 0x80;
    p[off::bCryptMethod] = h.cryptMethod;
    putU64(p + off::bidNextB, h.bidNextB);
    putU32(p + off::crcPartial, computeCrc(p + off::crcStart, off::crcPartialLength));
    putU32(p + off::crcFull, computeCrc(p + off::crcStart, off::crcFullLength));
    return b;
}

} // namespace tressimo::pst::ndb
