#include "pst/ndb/map_pages.h"

#include <algorithm>
#include <cassert>

#include "pst/io/bytes.h"

namespace tressimo::pst::ndb {

Page encodeAMap(const SpaceMap::Bits& bits, std::uint64_t ib)
{
    Page page{};
    // Slot 0 is the most significant bit of byte 0, so each word goes out big-endian.
    for (std::size_t w = 0; w < bits.size(); ++w)
        for (int b = 0; b < 8; ++b)
            page[w * 8 + b] = static_cast<std::uint8_t>(bits[w] >> (56 - 8 * b));
    sealPage(page, PageType::AllocationMap, ib, ib);
    return page;
}

Page encodePMap(std::uint64_t ib)
{
    Page page{};
    std::fill(page.begin(), page.begin() + kPageDataSize, 0xFF);
    sealPage(page, PageType::PageMap, ib, ib);
    return page;
}

Page encodeFMap(std::span<const std::uint8_t> longestRuns, std::uint64_t ib)
{
    assert(longestRuns.size() <= kPageDataSize);
    Page page{};
    std::copy(longestRuns.begin(), longestRuns.end(), page.begin());
    sealPage(page, PageType::FreeMap, ib, ib);
    return page;
}

Page encodeFPMap(std::uint64_t ib)
{
    Page page{};
    std::fill(page.begin(), page.begin() + kPageDataSize, 0xFF);
    sealPage(page, PageType::FreePageMap, ib, ib);
    return page;
}

Page encodeDList(std::span<const DListEntry> entries, std::uint32_t currentAMap, Bid bid)
{
    assert(entries.size() <= kDListMaxEntries);
    Page page{};
    page[0] = kDListBackfillComplete; // no backfill in progress
    page[1] = static_cast<std::uint8_t>(entries.size());
    putU32(page.data() + 4, currentAMap);
    for (std::size_t i = 0; i < entries.size(); ++i)
        putU32(page.data() + 8 + 4 * i, (entries[i].amap & 0xFFFFF) | (entries[i].freeSlots << 20));
    sealPage(page, PageType::DensityList, bid, kDListOffset);
    return page;
}

} // namespace tressimo::pst::ndb
