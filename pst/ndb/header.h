#pragma once
// The file header of a Unicode PST ([MS-PST] 2.2.2.6) with its ROOT ([MS-PST] 2.2.2.5): the
// commit point of the store. Everything the header refers to is written before it.

#include <array>
#include <cstdint>

#include "pst/ndb/format.h"

namespace tressimo::pst::ndb {

// A page or block reference: its BID and its file offset.
struct BlockRef
{
    Bid bid = 0;
    std::uint64_t ib = 0;
    bool operator==(const BlockRef&) const = default;
};

// fAMapValid values: while a writer rewrites allocation maps in place the header says
// INVALID, so that a reader knows to rebuild them ([MS-PST] 2.6.1.3.7).
inline constexpr std::uint8_t kAMapInvalid = 0x00;
inline constexpr std::uint8_t kAMapValid = 0x02;

inline constexpr std::size_t kNidTypeCount = 32;

struct Header
{
    Bid bidNextP = 0;
    Bid bidNextB = 0;
    std::uint32_t dwUnique = 0;
    // Per NID type, the last node index handed out.
    std::array<std::uint32_t, kNidTypeCount> rgnid{};
    std::uint64_t ibFileEof = 0;
    std::uint64_t ibAMapLast = 0;
    std::uint64_t cbAMapFree = 0;
    BlockRef nbt;
    BlockRef bbt;
    std::uint8_t fAMapValid = kAMapValid;
    std::uint8_t cryptMethod = 1;
};

// The high-water marks of a new file ([MS-PST] 2.2.2.6, rgnid).
std::array<std::uint32_t, kNidTypeCount> initialNidHighWater();

// The 564 header bytes, both CRCs filled in.
using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;
HeaderBytes encodeHeader(const Header& header);

// Offsets of the header fields a reader needs.
namespace header_offset {
inline constexpr std::size_t crcPartial = 0x004;
inline constexpr std::size_t bidNextP = 0x020;
inline constexpr std::size_t dwUnique = 0x028;
inline constexpr std::size_t rgnid = 0x02C;
inline constexpr std::size_t root = 0x0B4;
inline constexpr std::size_t ibFileEof = root + 4;
inline constexpr std::size_t ibAMapLast = root + 12;
inline constexpr std::size_t cbAMapFree = root + 20;
inline constexpr std::size_t cbPMapFree = root + 28;
inline constexpr std::size_t nbt = root + 36;
inline constexpr std::size_t bbt = root + 52;
inline constexpr std::size_t fAMapValid = root + 68;
inline constexpr std::size_t rgbFM = 0x100;
inline constexpr std::size_t rgbFP = 0x180;
inline constexpr std::size_t bSentinel = 0x200;
inline constexpr std::size_t bCryptMethod = 0x201;
inline constexpr std::size_t bidNextB = 0x204;
inline constexpr std::size_t crcFull = 0x20C;
// dwCRCPartial covers 471 bytes from wMagicClient; dwCRCFull 516 bytes up to bidNextB.
inline constexpr std::size_t crcStart = 0x008;
inline constexpr std::size_t crcPartialLength = 471;
inline constexpr std::size_t crcFullLength = 516;
} // namespace header_offset

} // namespace tressimo::pst::ndb
