#pragma once
// The heap-on-node ([MS-PST] 2.3.1): a node's data blocks carved into numbered allocations,
// addressed by HIDs. Everything above it (BTH, PC, TC) lives in these allocations.

#include "pst/check/violation.h"
#include "pst/io/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::uint8_t kHeapSignature = 0xEC;
enum class HeapClient : std::uint8_t {
    Table = 0x7C,
    BTree = 0xB5,
    Properties = 0xBC,
};
bool isKnownHeapClient(std::uint8_t sig);

// HID layout ([MS-PST] 2.3.1.1): 5 type bits (0), an 11-bit 1-based index, a 16-bit block index.
inline constexpr bool isHid(std::uint32_t hnid)
{
    return (hnid & 0x1F) == 0;
}
inline constexpr std::uint32_t hidIndex(std::uint32_t hid)
{
    return (hid >> 5) & 0x7FF;
}
inline constexpr std::uint32_t hidBlock(std::uint32_t hid)
{
    return hid >> 16;
}

// Largest single allocation ([MS-PST] 2.3.1.1); larger values go to subnodes.
inline constexpr std::size_t kMaxHeapAllocation = 3580;

struct HeapPage
{
    std::size_t headerSize = 0; // 12 (HNHDR), 66 (HNBITMAPHDR) or 2 (HNPAGEHDR)
    std::uint16_t pageMapOffset = 0;
    std::uint16_t allocCount = 0;
    std::uint16_t freeCount = 0;
    std::vector<std::uint16_t> offsets; // allocCount + 1 starts, the last one the end
    std::size_t dataSize = 0;           // bytes of the block
};

class Heap
{
public:
    // Throws FormatError when the first block is not a heap at all. Anything else wrong is
    // reported to findings (when given) and the damaged page has no allocations. The first
    // form keeps the blocks; the second reads them in place, so they must outlive the heap.
    explicit Heap(std::vector<Bytes>&& blocks, Findings* findings = nullptr, std::string where = {});
    explicit Heap(const std::vector<Bytes>& blocks, Findings* findings = nullptr, std::string where = {});
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    std::uint8_t clientSignature() const { return m_clientSig; }
    std::uint32_t userRoot() const { return m_userRoot; }
    // The fill-level nibble recorded for block i, from HNHDR or the governing HNBITMAPHDR.
    std::uint8_t recordedFillLevel(std::size_t block) const;
    const std::vector<HeapPage>& pages() const { return m_pages; }
    const std::vector<Bytes>& blocks() const { return *m_blocks; }
    const std::string& where() const { return m_where; }

    bool contains(std::uint32_t hid) const;
    // The bytes of one allocation. Throws FormatError for a HID that names none.
    ByteView item(std::uint32_t hid) const;

private:
    void parse(Findings* findings);
    void parsePage(std::size_t index, Findings* findings);

    std::vector<Bytes> m_owned;
    const std::vector<Bytes>* m_blocks;
    std::vector<HeapPage> m_pages;
    std::string m_where;
    std::uint8_t m_clientSig = 0;
    std::uint32_t m_userRoot = 0;
};

// The fill level the format assigns to a page with `freeBytes` free ([MS-PST] 2.3.1.2).
std::uint8_t fillLevelFor(std::size_t freeBytes);

} // namespace tressimo::pst::check
