#include "pst/ltp/heap.h"

#include "pst/ltp/prop_tag.h"
#include "pst/ndb/node.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tressimo::pst {
namespace {

constexpr std::size_t kFirstBitmapBlock = 8;
constexpr std::size_t kBlocksPerBitmap = 128;

bool hasBitmapHeader(std::size_t blockIndex)
{
    return blockIndex >= kFirstBitmapBlock && (blockIndex - kFirstBitmapBlock) % kBlocksPerBitmap == 0;
}

std::size_t align2(std::size_t n)
{
    return (n + 1) & ~std::size_t{1};
}

// Block size once the page map for `allocations` allocations follows `used` bytes.
std::size_t finishedSize(std::size_t used, std::size_t allocations)
{
    return align2(used) + kPageMapFixedSize + 2 * (allocations + 1);
}

// Fill levels are nibbles, the first block of a map in the low nibble of byte 0.
void setFillLevel(std::uint8_t* map, std::size_t slot, std::uint8_t level)
{
    map[slot / 2] |= static_cast<std::uint8_t>(slot % 2 == 0 ? level : level << 4);
}

void store(const HnHeader& h, std::uint8_t* p)
{
    putU16(p, h.ibHnpm);
    p[2] = h.bSig;
    p[3] = h.bClientSig;
    putU32(p + 4, h.hidUserRoot);
    std::memcpy(p + 8, h.rgbFillLevel, sizeof h.rgbFillLevel);
}

void store(const HnBitmapHeader& h, std::uint8_t* p)
{
    putU16(p, h.ibHnpm);
    std::memcpy(p + 2, h.rgbFillLevel, sizeof h.rgbFillLevel);
}

} // namespace

std::size_t heapBlockHeaderSize(std::size_t blockIndex)
{
    if (blockIndex == 0)
        return sizeof(HnHeader);
    return hasBitmapHeader(blockIndex) ? sizeof(HnBitmapHeader) : sizeof(HnPageHeader);
}

std::uint8_t heapFillLevel(std::size_t freeBytes)
{
    // Lower bounds of free bytes for levels 0 (empty) to 14; less than 8 free is level 15.
    static constexpr std::size_t kAtLeast[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                               512,  256,  128,  64,   32,   16,   8};
    for (std::size_t level = 0; level < std::size(kAtLeast); ++level) {
        if (freeBytes >= kAtLeast[level])
            return static_cast<std::uint8_t>(level);
    }
    return 15;
}

HeapBuilder::HeapBuilder(HeapClient client) : m_client(client) {}

void HeapBuilder::startBlock()
{
    if (m_blocks.size() == kMaxHeapBlocks)
        throw LtpError("the data does not fit one heap (at most 65,536 blocks)");
    Block block;
    // A block's full size at once: growing it step by step costs more than the spare room.
    block.bytes.reserve(kMaxBlockData);
    block.bytes.resize(heapBlockHeaderSize(m_blocks.size()));
    block.starts.reserve(64);
    m_blocks.push_back(std::move(block));
}

Hid HeapBuilder::allocate(ByteView data)
{
    Block& block = blockFor(data.size());
    block.starts.push_back(static_cast<std::uint16_t>(block.bytes.size()));
    block.bytes.insert(block.bytes.end(), data.begin(), data.end());
    return lastHid();
}

Hid HeapBuilder::allocate(std::size_t size)
{
    Block& block = blockFor(size);
    block.starts.push_back(static_cast<std::uint16_t>(block.bytes.size()));
    block.bytes.resize(block.bytes.size() + size);
    return lastHid();
}

HeapBuilder::Block& HeapBuilder::blockFor(std::size_t size)
{
    if (size == 0 || size > kMaxHeapAllocation)
        throw std::invalid_argument("a heap allocation is 1 to 3580 bytes, not " + std::to_string(size));
    if (m_blocks.empty() || m_blocks.back().starts.size() == kMaxAllocationsPerBlock ||
        finishedSize(m_blocks.back().bytes.size() + size, m_blocks.back().starts.size() + 1) > kMaxBlockData)
        startBlock();
    return m_blocks.back();
}

Hid HeapBuilder::lastHid() const
{
    return Hid::make(static_cast<std::uint32_t>(m_blocks.size() - 1),
                     static_cast<std::uint32_t>(m_blocks.back().starts.size()));
}

std::uint8_t* HeapBuilder::at(Hid hid, std::size_t offset, std::size_t size)
{
    assert(hid.blockIndex() < m_blocks.size());
    Block& block = m_blocks[hid.blockIndex()];
    const std::size_t i = hid.index() - 1;
    assert(hid.index() >= 1 && i < block.starts.size());
    const std::size_t end = i + 1 < block.starts.size() ? block.starts[i + 1] : block.bytes.size();
    if (block.starts[i] + offset + size > end)
        throw std::out_of_range("write past the end of heap allocation " + std::to_string(hid.value));
    return block.bytes.data() + block.starts[i] + offset;
}

void HeapBuilder::write(Hid hid, std::size_t offset, ByteView data)
{
    std::memcpy(at(hid, offset, data.size()), data.data(), data.size());
}

std::vector<Bytes> HeapBuilder::finish()
{
    if (m_blocks.empty())
        startBlock(); // an empty heap is one block with its header and an empty page map
    // Close every block with its page map first: fill levels need the final sizes.
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        Block& block = m_blocks[b];
        const std::size_t used = block.bytes.size();
        const auto ibHnpm = static_cast<std::uint16_t>(align2(used));
        block.bytes.resize(finishedSize(used, block.starts.size()));
        std::uint8_t* map = block.bytes.data() + ibHnpm;
        putU16(map, static_cast<std::uint16_t>(block.starts.size()));
        putU16(map + 2, 0); // nothing freed: the heap is written whole
        for (std::size_t i = 0; i < block.starts.size(); ++i)
            putU16(map + 4 + 2 * i, block.starts[i]);
        putU16(map + 4 + 2 * block.starts.size(), static_cast<std::uint16_t>(used));
        putU16(block.bytes.data(), ibHnpm); // HNPAGEHDR, or the first field of the others
    }
    auto level = [&](std::size_t b) { return heapFillLevel(kMaxBlockData - m_blocks[b].bytes.size()); };

    HnHeader header;
    header.ibHnpm = getU16(m_blocks[0].bytes.data());
    header.bClientSig = static_cast<std::uint8_t>(m_client);
    header.hidUserRoot = m_userRoot.value;
    for (std::size_t b = 0; b < std::min(kFirstBitmapBlock, m_blocks.size()); ++b)
        setFillLevel(header.rgbFillLevel, b, level(b));
    store(header, m_blocks[0].bytes.data());
    for (std::size_t b = kFirstBitmapBlock; b < m_blocks.size(); b += kBlocksPerBitmap) {
        HnBitmapHeader bitmap;
        bitmap.ibHnpm = getU16(m_blocks[b].bytes.data());
        for (std::size_t k = 0; k < kBlocksPerBitmap && b + k < m_blocks.size(); ++k)
            setFillLevel(bitmap.rgbFillLevel, k, level(b + k));
        store(bitmap, m_blocks[b].bytes.data());
    }

    std::vector<Bytes> out;
    out.reserve(m_blocks.size());
    for (Block& block : m_blocks)
        out.push_back(std::move(block.bytes));
    m_blocks.clear();
    m_userRoot = {};
    return out;
}

} // namespace tressimo::pst
