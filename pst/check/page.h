#pragma once
// 512-byte pages ([MS-PST] 2.2.2.7): their trailer, the B-tree page body, and where the
// allocation map pages must sit for a file of a given size.

#include "pst/io/bytes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageDataSize = 496; // everything before the trailer
inline constexpr std::uint64_t kFirstAMapOffset = 0x4400;
inline constexpr std::uint64_t kFirstPMapOffset = 0x4600;
inline constexpr std::uint64_t kDListOffset = 0x4200;
// One AMap maps 496 * 8 slots of 64 bytes, starting with its own page.
inline constexpr std::uint64_t kAMapCoverage = 496 * 8 * 64;
inline constexpr std::uint64_t kSlotSize = 64;
// How many AMap regions the header's rgbFM and rgbFP stand in for before the first FMap or
// FPMap page, and how many regions each later one covers.
inline constexpr std::uint64_t kFMapFirstRegion = 128;
inline constexpr std::uint64_t kFMapRegions = 496;
inline constexpr std::uint64_t kFPMapFirstRegion = 128 * 8 * 8;
inline constexpr std::uint64_t kFPMapRegions = 496 * 8 * 8;
inline constexpr std::uint64_t kPMapRegions = 8;

enum class PageType : std::uint8_t {
    Bbt = 0x80,
    Nbt = 0x81,
    FMap = 0x82,
    PMap = 0x83,
    AMap = 0x84,
    FPMap = 0x85,
    DList = 0x86,
};
const char* pageTypeName(std::uint8_t ptype);

struct PageTrailer
{
    std::uint8_t ptype = 0;
    std::uint8_t ptypeRepeat = 0;
    std::uint16_t signature = 0;
    std::uint32_t crc = 0;
    std::uint64_t bid = 0;
};
PageTrailer parsePageTrailer(const std::uint8_t* page);

// The signature of a page or block at file offset ib with id bid ([MS-PST] 5.5).
std::uint16_t computeSignature(std::uint64_t ib, std::uint64_t bid);

// The B-tree page body ([MS-PST] 2.2.2.7.7): entries, then cEnt, cEntMax, cbEnt, cLevel.
struct BTreePage
{
    std::uint8_t entryCount = 0;
    std::uint8_t entryMax = 0;
    std::uint8_t entrySize = 0;
    std::uint8_t level = 0;
    const std::uint8_t* entries = nullptr; // entryCount * entrySize bytes, bounds checked
};
inline constexpr std::size_t kBTreeEntriesSize = 488;
BTreePage parseBTreePage(const std::uint8_t* page);

// What the format fixes for each kind of B-tree page.
inline constexpr std::uint8_t kIntermediateEntrySize = 24;
inline constexpr std::uint8_t kIntermediateEntryMax = 20;
inline constexpr std::uint8_t kBbtLeafEntrySize = 24;
inline constexpr std::uint8_t kBbtLeafEntryMax = 20;
inline constexpr std::uint8_t kNbtLeafEntrySize = 32;
inline constexpr std::uint8_t kNbtLeafEntryMax = 15;

// The map pages a file of fileSize bytes must have, in file order.
struct MapPage
{
    PageType type;
    std::uint64_t offset;
    std::uint64_t region; // index of the AMap region it lies in
};
std::vector<MapPage> requiredMapPages(std::uint64_t fileSize);

// The DList page ([MS-PST] 2.2.2.7.4).
struct DListEntry
{
    std::uint32_t amapIndex = 0;
    std::uint32_t freeSlots = 0;
};
struct DList
{
    std::uint8_t flags = 0;
    std::uint8_t entryCount = 0;
    std::uint32_t currentPage = 0;
    std::vector<DListEntry> entries;
};
inline constexpr std::size_t kDListMaxEntries = 476 / 4;
DList parseDList(const std::uint8_t* page);

} // namespace tressimo::pst::check
