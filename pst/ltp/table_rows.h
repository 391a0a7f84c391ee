#pragma once
// In-memory helpers of TableBuilder, which keeps every row of a folder's table for the life
// of a store: a compact map from row id to row slot, and an arena for the cells that live
// outside the row (strings, binaries, multi-valued values). Both grow in fixed-size chunks
// so that a big table never holds twice its size in spare capacity.

#include "pst/io/bytes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tressimo::pst {

// Row id -> slot; open addressing with linear probing.
class RowIdMap
{
public:
    std::optional<std::uint32_t> find(std::uint32_t rowId) const;
    void insertOrAssign(std::uint32_t rowId, std::uint32_t slot);
    bool erase(std::uint32_t rowId);
    void clear();
    std::size_t size() const { return m_size; }
    std::size_t memoryUsage() const { return m_entries.capacity() * sizeof(Entry); }

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    struct Entry
    {
        std::uint32_t rowId = 0;
        std::uint32_t slot = kFree;
    };
    std::size_t home(std::uint32_t rowId) const;
    void grow();

    std::vector<Entry> m_entries;
    std::size_t m_size = 0;
    unsigned m_bits = 0;
};

// Cell values by reference. A reference is never 0, so a row can store 0 for "empty value".
// Two savings matter for a big contents table: UTF-16 text whose high bytes are all zero
// (most names) is kept at half size, and a value equal to the one the caller names (the
// previous row's cell in the same column, say "IPM.Contact") shares its bytes.
class CellStore
{
public:
    // data is not empty; sameAs is a reference that may hold the same bytes, or 0.
    std::uint32_t add(ByteView data, std::uint32_t sameAs = 0);
    // The cell's bytes; `scratch` holds them when they are kept packed.
    ByteView get(std::uint32_t ref, Bytes& scratch) const;
    // Marks a cell unused. Its bytes stay until the owner rebuilds the store (shared small
    // cells rely on that), so the counts are of bytes added, not bytes held.
    void release(std::uint32_t ref);

    std::size_t liveBytes() const { return m_liveBytes; }
    std::size_t garbageBytes() const { return m_garbageBytes; }
    std::size_t memoryUsage() const;

private:
    // Small cells sit in 64 KiB chunks behind a 2-byte header (stored length, and the top bit
    // when every second byte was zero and left out); big ones on their own.
    static constexpr std::size_t kChunkSize = 64 * 1024;
    static constexpr std::size_t kMaxSmall = 4096;
    static constexpr std::uint16_t kPackedFlag = 0x8000;
    static constexpr std::uint32_t kBigFlag = 0x80000000;

    std::size_t sizeOf(std::uint32_t ref) const;

    std::vector<std::unique_ptr<std::uint8_t[]>> m_chunks;
    std::size_t m_chunkUsed = kChunkSize;
    std::vector<Bytes> m_big;
    std::vector<std::uint32_t> m_freeBig;
    std::size_t m_liveBytes = 0;
    std::size_t m_garbageBytes = 0;
};

} // namespace tressimo::pst
