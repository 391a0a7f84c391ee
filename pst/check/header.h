#pragma once
// The Unicode file header ([MS-PST] 2.2.2.6) and its ROOT ([MS-PST] 2.2.2.5), as read.

#include "pst/io/bytes.h"

#include <array>
#include <cstdint>

namespace tressimo::pst::check {

// Size of the Unicode header as the format defines it; the CRCs cover parts of it.
inline constexpr std::size_t kHeaderSize = 564;

// Field offsets in the Unicode header.
namespace headeroffset {
inline constexpr std::size_t Magic = 0x000;
inline constexpr std::size_t CrcPartial = 0x004;
inline constexpr std::size_t MagicClient = 0x008;
inline constexpr std::size_t Ver = 0x00A;
inline constexpr std::size_t VerClient = 0x00C;
inline constexpr std::size_t PlatformCreate = 0x00E;
inline constexpr std::size_t PlatformAccess = 0x00F;
inline constexpr std::size_t BidUnused = 0x018;
inline constexpr std::size_t BidNextP = 0x020;
inline constexpr std::size_t Unique = 0x028;
inline constexpr std::size_t Rgnid = 0x02C;
inline constexpr std::size_t Root = 0x0B4;
inline constexpr std::size_t FileEof = Root + 4;
inline constexpr std::size_t AMapLast = Root + 12;
inline constexpr std::size_t AMapFree = Root + 20;
inline constexpr std::size_t PMapFree = Root + 28;
inline constexpr std::size_t NbtBid = Root + 36;
inline constexpr std::size_t NbtIb = Root + 44;
inline constexpr std::size_t BbtBid = Root + 52;
inline constexpr std::size_t BbtIb = Root + 60;
inline constexpr std::size_t AMapValid = Root + 68;
inline constexpr std::size_t Fm = 0x100;
inline constexpr std::size_t Fp = 0x180;
inline constexpr std::size_t Sentinel = 0x200;
inline constexpr std::size_t CryptMethod = 0x201;
inline constexpr std::size_t BidNextB = 0x204;
inline constexpr std::size_t CrcFull = 0x20C;
// The partial CRC covers 471 bytes from wMagicClient, the full CRC 516 bytes.
inline constexpr std::size_t CrcPartialLength = 471;
inline constexpr std::size_t CrcFullLength = 516;
} // namespace headeroffset

inline constexpr std::uint32_t kHeaderMagic = 0x4E444221; // "!BDN"
inline constexpr std::uint16_t kMagicClientPst = 0x4D53;  // "SM"
inline constexpr std::uint16_t kVersionUnicode = 23;
inline constexpr std::uint8_t kSentinel = 0x80;

enum class CryptMethod : std::uint8_t { None = 0, Permute = 1, Cyclic = 2 };

// A reference to a page or block: its id and its file offset.
struct BlockRef
{
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
};

struct Header
{
    std::uint32_t magic = 0;
    std::uint32_t crcPartial = 0;
    std::uint16_t magicClient = 0;
    std::uint16_t version = 0;
    std::uint16_t clientVersion = 0;
    std::uint8_t platformCreate = 0;
    std::uint8_t platformAccess = 0;
    std::uint64_t bidUnused = 0;
    std::uint64_t bidNextP = 0;
    std::uint32_t unique = 0;
    // Per NID type, the last nidIndex handed out ([MS-PST] 2.2.2.6, rgnid).
    std::array<std::uint32_t, 32> rgnid{};
    std::uint64_t fileEof = 0;
    std::uint64_t amapLast = 0;
    std::uint64_t amapFree = 0;
    std::uint64_t pmapFree = 0;
    BlockRef nbt;
    BlockRef bbt;
    std::uint8_t amapValid = 0;
    std::uint8_t sentinel = 0;
    std::uint8_t cryptMethod = 0;
    std::uint64_t bidNextB = 0;
    std::uint32_t crcFull = 0;
    // The CRCs computed over the bytes as they are, to compare with the stored ones.
    std::uint32_t computedCrcPartial = 0;
    std::uint32_t computedCrcFull = 0;
};

// Reads the header fields from the first kHeaderSize bytes (the caller checks the length).
Header parseHeader(ByteView bytes);

} // namespace tressimo::pst::check
