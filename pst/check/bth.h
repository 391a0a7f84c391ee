#pragma once
// The BTree-on-heap ([MS-PST] 2.3.2): sorted (key, data) records kept in heap allocations.

#include "pst/check/heap.h"
#include "pst/check/violation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::uint8_t kBthType = 0xB5;

struct BthHeader
{
    std::uint8_t type = 0;
    std::uint8_t keySize = 0;
    std::uint8_t dataSize = 0;
    std::uint8_t indexLevels = 0;
    std::uint32_t root = 0;
};

// Views into the heap's allocations: valid while the heap they were read from lives.
struct BthRecord
{
    ByteView key;
    ByteView data;
};

struct Bth
{
    BthHeader header;
    std::vector<BthRecord> records; // leaf records in tree order
};

// Reads the BTH whose header is at hid. Throws FormatError when the header or a record page
// cannot be read; order faults go to findings.
Bth readBth(const Heap& heap, std::uint32_t hid, Findings* findings = nullptr);

} // namespace tressimo::pst::check
