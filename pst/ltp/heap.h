#pragma once
// Heap-on-node ([MS-PST] 2.3.1): numbered allocations spread over the blocks of a node's data
// stream. Block 0 starts with an HNHDR, blocks 8, 136, 264, ... with an HNBITMAPHDR (a fill
// map for the next 128 blocks), every other block with an HNPAGEHDR; each block ends with
// the HNPAGEMAP giving where its allocations start. An allocation is named by an HID: its
// block and its 1-based place in that block.

#include "pst/io/bytes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tressimo::pst {

// Largest heap allocation; bigger values go to a subnode.
inline constexpr std::size_t kMaxHeapAllocation = 3580;
// hidIndex has 11 bits, hidBlockIndex 16.
inline constexpr std::size_t kMaxAllocationsPerBlock = 2047;
inline constexpr std::size_t kMaxHeapBlocks = 65536;

struct Hid
{
    std::uint32_t value = 0;

    static constexpr Hid make(std::uint32_t blockIndex, std::uint32_t index)
    {
        return Hid{(blockIndex << 16) | (index << 5)};
    }
    constexpr std::uint32_t blockIndex() const { return value >> 16; }
    constexpr std::uint32_t index() const { return (value >> 5) & 0x7FF; }
    // An HNID names a heap allocation when its low five bits (the node type) are zero.
    static constexpr bool isHid(std::uint32_t hnid) { return (hnid & 0x1F) == 0; }
    constexpr auto operator<=>(const Hid&) const = default;
};

// What the heap holds (bClientSig).
enum class HeapClient : std::uint8_t {
    Table = 0x7C,
    Bth = 0xB5,
    PropertyContext = 0xBC,
};

inline constexpr std::uint8_t kHeapSignature = 0xEC;

// HNHDR, at the start of block 0.
struct HnHeader
{
    std::uint16_t ibHnpm = 0;
    std::uint8_t bSig = kHeapSignature;
    std::uint8_t bClientSig = 0;
    std::uint32_t hidUserRoot = 0;
    std::uint8_t rgbFillLevel[4] = {};
};
static_assert(sizeof(HnHeader) == 12);

// HNPAGEHDR, at the start of blocks without a fill map.
struct HnPageHeader
{
    std::uint16_t ibHnpm = 0;
};
static_assert(sizeof(HnPageHeader) == 2);

// HNBITMAPHDR, at the start of blocks 8, 136, 264, ...
struct HnBitmapHeader
{
    std::uint16_t ibHnpm = 0;
    std::uint8_t rgbFillLevel[64] = {};
};
static_assert(sizeof(HnBitmapHeader) == 66);

// HNPAGEMAP, after the last allocation of a block (on a 2-byte boundary): cAlloc, cFree, then
// cAlloc + 1 offsets (each allocation's start, then the end of the last).
inline constexpr std::size_t kPageMapFixedSize = 4;

// Size of the header at the start of a heap block.
std::size_t heapBlockHeaderSize(std::size_t blockIndex);
// The 4-bit fill level of a block with this many free bytes.
std::uint8_t heapFillLevel(std::size_t freeBytes);

// Builds a heap; allocations go into the last block while they fit, then a new block starts.
class HeapBuilder
{
public:
    explicit HeapBuilder(HeapClient client);

    // A new allocation holding data (1 to kMaxHeapAllocation bytes). Throws LtpError when the
    // heap has no room left (65,536 blocks).
    Hid allocate(ByteView data);
    // A zero-filled allocation, to be written later.
    Hid allocate(std::size_t size);
    // Overwrites part of an allocation.
    void write(Hid hid, std::size_t offset, ByteView data);
    void setUserRoot(Hid hid) { m_userRoot = hid; }

    // The finished blocks, each at most kMaxBlockData bytes; the builder starts over empty.
    std::vector<Bytes> finish();

private:
    struct Block
    {
        Bytes bytes; // header space, then the allocations
        std::vector<std::uint16_t> starts;
    };
    void startBlock();
    // The block the next allocation of `size` bytes goes to (a new one when the last is full).
    Block& blockFor(std::size_t size);
    Hid lastHid() const;
    std::uint8_t* at(Hid hid, std::size_t offset, std::size_t size);

    HeapClient m_client;
    Hid m_userRoot;
    std::vector<Block> m_blocks;
};

} // namespace tressimo::pst
