#include "pst/check/page.h"

#include <algorithm>

namespace tressimo::pst::check {

const char* pageTypeName(std::uint8_t ptype)
{
    switch (static_cast<PageType>(ptype)) {
    case PageType::Bbt:
        return "BBT";
    case PageType::Nbt:
        return "NBT";
    case PageType::FMap:
        return "FMap";
    case PageType::PMap:
        return "PMap";
    case PageType::AMap:
        return "AMap";
    case PageType::FPMap:
        return "FPMap";
    case PageType::DList:
        return "DList";
    }
    return "unknown";
}

PageTrailer parsePageTrailer(const std::uint8_t* page)
{
    const std::uint8_t* t = page + kPageDataSize;
    return PageTrailer{t[0], t[1], getU16(t + 2), getU32(t + 4), getU64(t + 8)};
}

std::uint16_t computeSignature(std::uint64_t ib, std::uint64_t bid)
{
    const std::uint32_t v = static_cast<std::uint32_t>(ib) ^ static_cast<std::uint32_t>(bid);
    return static_cast<std::uint16_t>((v >> 16) ^ (v & 0xFFFF));
}

BTreePage parseBTreePage(const std::uint8_t* page)
{
    BTreePage bt;
    bt.entryCount = page[kBTreeEntriesSize];
    bt.entryMax = page[kBTreeEntriesSize + 1];
    bt.entrySize = page[kBTreeEntriesSize + 2];
    bt.level = page[kBTreeEntriesSize + 3];
    bt.entries = page;
    return bt;
}

std::vector<MapPage> requiredMapPages(std::uint64_t fileSize)
{
    std::vector<MapPage> pages;
    for (std::uint64_t region = 0;; ++region) {
        std::uint64_t offset = kFirstAMapOffset + region * kAMapCoverage;
        if (offset + kPageSize > fileSize)
            break;
        pages.push_back({PageType::AMap, offset, region});
        // Each map page has its own place in a region, whether or not the pages before it are
        // there: a PMap one page after the AMap (every 8th region), an FMap two pages after it,
        // an FPMap three (once the header's own maps run out), as Outlook and other writers
        // place them; an FPMap region, having no FMap, leaves the page before it free. A file
        // cut short may end before them.
        auto add = [&](PageType type, std::uint64_t pagesIn) {
            const std::uint64_t at = offset + pagesIn * kPageSize;
            if (at + kPageSize <= fileSize)
                pages.push_back({type, at, region});
        };
        if (region % kPMapRegions == 0)
            add(PageType::PMap, 1);
        if (region >= kFMapFirstRegion && (region - kFMapFirstRegion) % kFMapRegions == 0)
            add(PageType::FMap, 2);
        if (region >= kFPMapFirstRegion && (region - kFPMapFirstRegion) % kFPMapRegions == 0)
            add(PageType::FPMap, 3);
    }
    return pages;
}

DList parseDList(const std::uint8_t* page)
{
    DList d;
    d.flags = page[0];
    d.entryCount = page[1];
    d.currentPage = getU32(page + 4);
    const std::size_t n = std::min<std::size_t>(d.entryCount, kDListMaxEntries);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t v = getU32(page + 8 + 4 * i);
        d.entries.push_back({v & 0xFFFFF, v >> 20});
    }
    return d;
}

} // namespace tressimo::pst::check
