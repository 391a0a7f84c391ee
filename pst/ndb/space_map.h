#pragma once
// The writer's picture of which 64-byte slots of the file are in use, region by region,
// twice over: as the next commit will record it (working) and as the last commit recorded it
// on disk (committed). New space is handed out only where both say free, so nothing the last
// commit refers to is ever overwritten; space released since then becomes reusable only once
// a commit has recorded it free. Space allocated and released between two commits was never
// on record and is reusable at once.

#include <array>
#include <cstdint>
#include <vector>

#include "pst/ndb/format.h"

namespace tressimo::pst::ndb {

class SpaceMap
{
public:
    static constexpr std::size_t kWords = kSlotsPerRegion / 64;
    // One bit per slot, most significant bit first, as AMap pages store them.
    using Bits = std::array<std::uint64_t, kWords>;

    enum class View { Working, Committed };

    std::size_t regionCount() const { return m_regions.size(); }

    // Appends a region in which only its own map pages are in use (in both views).
    void addRegion();

    // Finds `bytes` (a multiple of 64, at most one region's data) of space that both views
    // mark free, page-aligned if asked, and marks it used. Searches onwards from where the
    // previous allocation of the same kind ended and wraps around once; returns 0 when no
    // region has room (the file must grow).
    std::uint64_t allocate(std::uint32_t bytes, bool pageAligned);
    // Marks space free in the working view.
    void release(std::uint64_t offset, std::uint32_t bytes);

    // The working view has been recorded on disk by a commit: it becomes the committed view.
    void commitDone();

    bool dirty(std::size_t region) const { return m_regions[region].dirty; }
    const Bits& bits(std::size_t region, View view) const;
    std::uint32_t freeSlots(std::size_t region, View view) const;
    std::uint64_t freeBytes(View view) const;
    // The longest run of free slots in a region, what an FMap records.
    std::uint32_t longestFreeRun(std::size_t region, View view) const;

private:
    struct Region
    {
        Bits used{};
        Bits committed{};
        std::uint32_t usedCount = 0;
        std::uint32_t committedCount = 0;
        // Slots free in both views, the only ones allocate() may hand out.
        std::uint32_t available = 0;
        // Hints that spare a full search: the smallest block (in slots) known not to fit, and
        // whether no free aligned page is left. Cleared whenever space comes free.
        std::uint32_t blockMiss = 0;
        bool pageMiss = false;
        bool dirty = false;
    };
    struct Cursor
    {
        std::size_t region = 0;
        std::uint32_t slot = 0;
    };

    static std::uint32_t findRun(const Region& region, std::uint32_t from, std::uint32_t count,
                                 std::uint32_t align);
    void markUsed(Region& region, std::uint32_t slot, std::uint32_t count);

    std::vector<Region> m_regions;
    Cursor m_blockCursor;
    Cursor m_pageCursor;
};

} // namespace tressimo::pst::ndb
