#include "pst/ltp/table_rows.h"

#include "pst/ltp/prop_tag.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace tressimo::pst {

std::size_t RowIdMap::home(std::uint32_t rowId) const
{
    // Row ids are node ids: the low five bits (the node type) never vary, and the index above
    // them counts up as messages are made. Consecutive rows then sit side by side, and a
    // lookup finds the line the last one left in the cache, where a scattering hash missed it
    // in a table of a hundred thousand rows.
    return (rowId >> 5) & ((std::size_t{1} << m_bits) - 1);
}

std::optional<std::uint32_t> RowIdMap::find(std::uint32_t rowId) const
{
    if (m_size == 0)
        return std::nullopt;
    const std::size_t mask = m_entries.size() - 1;
    for (std::size_t i = home(rowId);; i = (i + 1) & mask) {
        const Entry& e = m_entries[i];
        if (e.slot == kFree)
            return std::nullopt;
        if (e.rowId == rowId)
            return e.slot;
    }
}

void RowIdMap::insertOrAssign(std::uint32_t rowId, std::uint32_t slot)
{
    assert(slot != kFree);
    if ((m_size + 1) * 4 > m_entries.size() * 3)
        grow();
    const std::size_t mask = m_entries.size() - 1;
    for (std::size_t i = home(rowId);; i = (i + 1) & mask) {
        Entry& e = m_entries[i];
        if (e.slot == kFree) {
            e = {rowId, slot};
            ++m_size;
            return;
        }
        if (e.rowId == rowId) {
            e.slot = slot;
            return;
        }
    }
}

bool RowIdMap::erase(std::uint32_t rowId)
{
    if (m_size == 0)
        return false;
    const std::size_t mask = m_entries.size() - 1;
    std::size_t hole = home(rowId);
    while (m_entries[hole].slot != kFree && m_entries[hole].rowId != rowId)
        hole = (hole + 1) & mask;
    if (m_entries[hole].slot == kFree)
        return false;
    // Backward-shift deletion: pull later entries of the probe run into the hole when their
    // home position allows it, so lookups never stop early at a false gap.
    for (std::size_t j = (hole + 1) & mask; m_entries[j].slot != kFree; j = (j + 1) & mask) {
        const std::size_t h = home(m_entries[j].rowId);
        if (((j - h) & mask) >= ((j - hole) & mask)) {
            m_entries[hole] = m_entries[j];
            hole = j;
        }
    }
    m_entries[hole] = Entry{};
    --m_size;
    return true;
}

void RowIdMap::clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_size = 0;
    m_bits = 0;
}

void RowIdMap::grow()
{
    std::vector<Entry> old = std::move(m_entries);
    m_bits = old.empty() ? 4 : m_bits + 1;
    m_entries.assign(std::size_t{1} << m_bits, Entry{});
    m_size = 0;
    for (const Entry& e : old) {
        if (e.slot != kFree)
            insertOrAssign(e.rowId, e.slot);
    }
}

std::uint32_t CellStore::add(ByteView data, std::uint32_t sameAs)
{
    assert(!data.empty());
    m_liveBytes += data.size();
    if (data.size() > kMaxSmall) {
        std::uint32_t index;
        if (!m_freeBig.empty()) {
            index = m_freeBig.back();
            m_freeBig.pop_back();
            m_big[index].assign(data.begin(), data.end());
        } else {
            index = static_cast<std::uint32_t>(m_big.size());
            m_big.emplace_back(data.begin(), data.end());
        }
        return kBigFlag | index;
    }
    bool packed = data.size() % 2 == 0;
    for (std::size_t i = 1; packed && i < data.size(); i += 2)
        packed = data[i] == 0;
    const std::size_t stored = packed ? data.size() / 2 : data.size();
    if (sameAs != 0 && !(sameAs & kBigFlag)) {
        // Compared as stored: the same bytes pack the same way.
        const std::uint32_t at = sameAs - 1;
        const std::uint8_t* p = m_chunks[at >> 16].get() + (at & 0xFFFF);
        const std::uint16_t header = getU16(p);
        if (header == static_cast<std::uint16_t>(stored | (packed ? kPackedFlag : 0))) {
            bool same = true;
            for (std::size_t i = 0; same && i < stored; ++i)
                same = p[2 + i] == (packed ? data[2 * i] : data[i]);
            if (same)
                return sameAs;
        }
    }
    if (m_chunkUsed + 2 + stored > kChunkSize) {
        // References keep the chunk number in 15 bits.
        if (m_chunks.size() == 0x7FFF)
            throw LtpError("a table holds at most 2 GB of cell values");
        m_chunks.push_back(std::make_unique<std::uint8_t[]>(kChunkSize));
        m_chunkUsed = 0;
    }
    const std::size_t chunk = m_chunks.size() - 1;
    std::uint8_t* at = m_chunks.back().get() + m_chunkUsed;
    putU16(at, static_cast<std::uint16_t>(stored | (packed ? kPackedFlag : 0)));
    for (std::size_t i = 0; i < stored; ++i)
        at[2 + i] = packed ? data[2 * i] : data[i];
    const auto ref = static_cast<std::uint32_t>((chunk << 16) | m_chunkUsed) + 1;
    m_chunkUsed += 2 + stored;
    return ref;
}

ByteView CellStore::get(std::uint32_t ref, Bytes& scratch) const
{
    assert(ref != 0);
    if (ref & kBigFlag)
        return m_big[ref & ~kBigFlag];
    const std::uint32_t at = ref - 1;
    const std::uint8_t* p = m_chunks[at >> 16].get() + (at & 0xFFFF);
    const std::uint16_t header = getU16(p);
    const std::size_t stored = header & ~kPackedFlag;
    if (!(header & kPackedFlag))
        return ByteView(p + 2, stored);
    scratch.assign(stored * 2, 0);
    for (std::size_t i = 0; i < stored; ++i)
        scratch[2 * i] = p[2 + i];
    return scratch;
}

std::size_t CellStore::sizeOf(std::uint32_t ref) const
{
    if (ref & kBigFlag)
        return m_big[ref & ~kBigFlag].size();
    const std::uint32_t at = ref - 1;
    const std::uint16_t header = getU16(m_chunks[at >> 16].get() + (at & 0xFFFF));
    const std::size_t stored = header & ~kPackedFlag;
    return header & kPackedFlag ? stored * 2 : stored;
}

void CellStore::release(std::uint32_t ref)
{
    const std::size_t size = sizeOf(ref);
    m_liveBytes -= size;
    if (ref & kBigFlag) {
        Bytes().swap(m_big[ref & ~kBigFlag]);
        m_freeBig.push_back(ref & ~kBigFlag);
    } else {
        m_garbageBytes += size;
    }
}

std::size_t CellStore::memoryUsage() const
{
    std::size_t total = m_chunks.size() * kChunkSize + m_chunks.capacity() * sizeof(void*);
    for (const Bytes& big : m_big)
        total += big.capacity();
    return total + m_big.capacity() * sizeof(Bytes) + m_freeBig.capacity() * sizeof(std::uint32_t);
}

} // namespace tressimo::pst
