#pragma once
// BTree-on-heap ([MS-PST] 2.3.2): fixed-size (key, data) records sorted by key, kept in heap
// allocations. When one allocation cannot hold every record, index levels of (first key of
// the child, HID of the child) records sit above the leaves; bIdxLevels counts them.

#include "pst/io/bytes.h"
#include "pst/ltp/heap.h"

#include <cstdint>
#include <vector>

namespace tressimo::pst {

inline constexpr std::uint8_t kBthType = 0xB5;

// BTHHEADER.
struct BthHeader
{
    std::uint8_t bType = kBthType;
    std::uint8_t cbKey = 0;
    std::uint8_t cbEnt = 0;
    std::uint8_t bIdxLevels = 0;
    std::uint32_t hidRoot = 0;
};
static_assert(sizeof(BthHeader) == 8);

// Writes a BTH in steps, so that a caller can keep Outlook's allocation order: the header
// first, then the caller's own structures, then the records.
class BthWriter
{
public:
    // Allocates the header. Keys are 2, 4, 8 or 16 bytes (little-endian unsigned numbers),
    // data 1 to 32 bytes.
    BthWriter(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize);

    Hid header() const { return m_header; }
    std::size_t recordSize() const { return std::size_t{m_keySize} + m_dataSize; }

    // Allocates the leaves and index levels for this many records.
    void reserve(std::size_t count);
    // Fills what reserve() allocated with the records, back to back, keys strictly
    // ascending; throws std::invalid_argument when they are not.
    void write(ByteView records);

private:
    struct Level
    {
        std::vector<Hid> hids;
        std::vector<std::size_t> counts; // entries in each allocation
    };

    void writeHeader(std::size_t indexLevels, Hid root);

    HeapBuilder& m_heap;
    Hid m_header;
    Hid m_singleLeaf; // the only allocation of a BTH whose records fit one
    std::uint8_t m_keySize;
    std::uint8_t m_dataSize;
    std::size_t m_count = 0;
    std::vector<Level> m_levels; // leaves first, the root last (empty for a single leaf)
};

// Header, records and index levels in one go; returns the header's HID.
Hid buildBth(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize, ByteView sortedRecords);

} // namespace tressimo::pst
