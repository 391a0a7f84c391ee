#include "pst/ndb/space_map.h"

#include <bit>
#include <cassert>

namespace tressimo::pst::ndb {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Bits for slots [lo, hi) of one 64-slot word, slot 0 being the most significant bit.
constexpr std::uint64_t wordMask(std::uint32_t lo, std::uint32_t hi)
{
    std::uint64_t fromLo = ~std::uint64_t{0} >> lo;
    std::uint64_t fromHi = hi >= 64 ? 0 : ~std::uint64_t{0} >> hi;
    return fromLo & ~fromHi;
}

// Calls f(word index, mask) for every word touched by slots [first, first + count).
template <typename F> void forEachWord(std::uint32_t first, std::uint32_t count, F f)
{
    std::uint32_t end = first + count;
    for (std::uint32_t slot = first; slot < end;) {
        std::uint32_t word = slot / 64;
        std::uint32_t lo = slot % 64;
        std::uint32_t hi = std::min<std::uint32_t>(64, lo + (end - slot));
        f(word, wordMask(lo, hi));
        slot += hi - lo;
    }
}

// First slot in [from, end) whose bit in `words` equals `set`, or kNone.
std::uint32_t findBit(const SpaceMap::Bits& words, std::uint32_t from, std::uint32_t end, bool set)
{
    for (std::uint32_t slot = from; slot < end;) {
        std::uint32_t word = slot / 64;
        std::uint32_t lo = slot % 64;
        std::uint32_t hi = std::min<std::uint32_t>(64, lo + (end - slot));
        std::uint64_t bits = (set ? words[word] : ~words[word]) & wordMask(lo, hi);
        if (bits != 0)
            return word * 64 + static_cast<std::uint32_t>(std::countl_zero(bits));
        slot += hi - lo;
    }
    return kNone;
}

std::uint32_t alignUp(std::uint32_t value, std::uint32_t align)
{
    return (value + align - 1) / align * align;
}

std::uint32_t reservedSlots(std::uint64_t region)
{
    RegionLayout layout = regionLayout(region);
    return kSlotsPerPage * (1 + (layout.pmap ? 1 : 0) + (layout.fmap ? 1 : 0));
}

} // namespace

void SpaceMap::addRegion()
{
    std::uint64_t index = m_regions.size();
    Region& r = m_regions.emplace_back();
    r.available = kSlotsPerRegion;
    RegionLayout layout = regionLayout(index);
    markUsed(r, 0, reservedSlots(index));
    // An FPMap sits three pages in; the page before it stays free when no FMap is there.
    if (layout.fpmap)
        markUsed(r, 3 * kSlotsPerPage, kSlotsPerPage);
    r.committed = r.used;
    r.committedCount = r.usedCount;
    r.dirty = false;
}

void SpaceMap::markUsed(Region& r, std::uint32_t slot, std::uint32_t count)
{
    forEachWord(slot, count, [&](std::uint32_t word, std::uint64_t mask) {
        assert((r.used[word] & mask) == 0);
        r.used[word] |= mask;
        r.available -= static_cast<std::uint32_t>(std::popcount(mask & ~r.committed[word]));
    });
    r.usedCount += count;
    r.dirty = true;
}

std::uint32_t SpaceMap::findRun(const Region& r, std::uint32_t from, std::uint32_t count, std::uint32_t align)
{
    Bits busy;
    for (std::size_t i = 0; i < kWords; ++i)
        busy[i] = r.used[i] | r.committed[i];
    std::uint32_t pos = alignUp(from, align);
    while (pos + count <= kSlotsPerRegion) {
        std::uint32_t taken = findBit(busy, pos, pos + count, true);
        if (taken == kNone)
            return pos;
        std::uint32_t next = findBit(busy, taken + 1, kSlotsPerRegion, false);
        if (next == kNone)
            return kNone;
        pos = alignUp(next, align);
    }
    return kNone;
}

std::uint64_t SpaceMap::allocate(std::uint32_t bytes, bool pageAligned)
{
    assert(bytes > 0 && bytes % kBlockAlignment == 0 && bytes <= kMaxBlockSize);
    if (m_regions.empty())
        return 0;
    std::uint32_t count = bytes / kBlockAlignment;
    std::uint32_t align = pageAligned ? kSlotsPerPage : 1;
    Cursor& cursor = pageAligned ? m_pageCursor : m_blockCursor;
    std::size_t n = m_regions.size();
    if (cursor.region >= n)
        cursor = {};
    // The cursor's region from the cursor on, every other region from its start, then the
    // cursor's region again from its start.
    for (std::size_t step = 0; step <= n; ++step) {
        std::size_t index = (cursor.region + step) % n;
        std::uint32_t from = step == 0 ? cursor.slot : 0;
        Region& r = m_regions[index];
        if (r.available < count)
            continue;
        if (from == 0 && (pageAligned ? r.pageMiss : (r.blockMiss != 0 && count >= r.blockMiss)))
            continue;
        std::uint32_t slot = findRun(r, from, count, align);
        if (slot == kNone) {
            if (from == 0) {
                if (pageAligned)
                    r.pageMiss = true;
                else
                    r.blockMiss = r.blockMiss == 0 ? count : std::min(r.blockMiss, count);
            }
            continue;
        }
        markUsed(r, slot, count);
        cursor = {index, slot + count};
        return regionOffset(index) + std::uint64_t{slot} * kBlockAlignment;
    }
    return 0;
}

void SpaceMap::release(std::uint64_t offset, std::uint32_t bytes)
{
    assert(offset >= kFirstAMapOffset && bytes % kBlockAlignment == 0);
    std::uint64_t index = (offset - kFirstAMapOffset) / kRegionSize;
    std::uint32_t slot = static_cast<std::uint32_t>((offset - regionOffset(index)) / kBlockAlignment);
    std::uint32_t count = bytes / kBlockAlignment;
    assert(index < m_regions.size() && slot + count <= kSlotsPerRegion);
    Region& r = m_regions[index];
    std::uint32_t freed = 0;
    forEachWord(slot, count, [&](std::uint32_t word, std::uint64_t mask) {
        assert((r.used[word] & mask) == mask);
        r.used[word] &= ~mask;
        freed += static_cast<std::uint32_t>(std::popcount(mask & ~r.committed[word]));
    });
    r.usedCount -= count;
    r.available += freed;
    r.dirty = true;
    if (freed > 0) {
        r.blockMiss = 0;
        r.pageMiss = false;
    }
}

void SpaceMap::commitDone()
{
    for (Region& r : m_regions) {
        if (!r.dirty)
            continue;
        r.committed = r.used;
        r.committedCount = r.usedCount;
        r.available = kSlotsPerRegion - r.usedCount;
        r.blockMiss = 0;
        r.pageMiss = false;
        r.dirty = false;
    }
}

const SpaceMap::Bits& SpaceMap::bits(std::size_t region, View view) const
{
    const Region& r = m_regions[region];
    return view == View::Working ? r.used : r.committed;
}

std::uint32_t SpaceMap::freeSlots(std::size_t region, View view) const
{
    const Region& r = m_regions[region];
    return kSlotsPerRegion - (view == View::Working ? r.usedCount : r.committedCount);
}

std::uint64_t SpaceMap::freeBytes(View view) const
{
    std::uint64_t slots = 0;
    for (std::size_t i = 0; i < m_regions.size(); ++i)
        slots += freeSlots(i, view);
    return slots * kBlockAlignment;
}

std::uint32_t SpaceMap::longestFreeRun(std::size_t region, View view) const
{
    const Bits& words = bits(region, view);
    std::uint32_t best = 0;
    for (std::uint32_t pos = 0; pos < kSlotsPerRegion;) {
        std::uint32_t start = findBit(words, pos, kSlotsPerRegion, false);
        if (start == kNone)
            break;
        std::uint32_t end = findBit(words, start, kSlotsPerRegion, true);
        if (end == kNone)
            end = kSlotsPerRegion;
        best = std::max(best, end - start);
        pos = end;
    }
    return best;
}

} // namespace tressimo::pst::ndb
