// Header rules ([MS-PST] 2.2.2.6): identity, CRCs, the ROOT's file bookkeeping and the
// NID/BID counters against what the trees hold.

#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/check/nid.h"

#include <algorithm>

namespace tressimo::pst::check {
namespace {

constexpr const char* kWhere = "header";

std::size_t amapCount(std::uint64_t size)
{
    return size < kFirstAMapOffset + kPageSize ? 0
                                               : (size - kFirstAMapOffset - kPageSize) / kAMapCoverage + 1;
}

} // namespace

void checkHeader(const PstFile& file, Findings& f)
{
    const Header& h = file.header();
    if (h.magic != kHeaderMagic)
        f.error("HEADER_MAGIC", kWhere, "dwMagic " + hex(kHeaderMagic) + " (\"!BDN\")", hex(h.magic));
    if (h.magicClient != kMagicClientPst)
        f.error("HEADER_MAGIC", kWhere, "wMagicClient " + hex(kMagicClientPst) + " (\"SM\")",
                hex(h.magicClient));
    if (h.version != kVersionUnicode)
        f.error("HEADER_VERSION", kWhere, "wVer 23 (Unicode)", std::to_string(h.version));
    if (h.platformCreate != 1 || h.platformAccess != 1)
        f.error("HEADER_PLATFORM", kWhere, "bPlatformCreate 1, bPlatformAccess 1",
                std::to_string(h.platformCreate) + ", " + std::to_string(h.platformAccess));
    if (h.crcPartial != h.computedCrcPartial)
        f.error("HEADER_CRC_PARTIAL", kWhere, "dwCRCPartial " + hex(h.computedCrcPartial), hex(h.crcPartial));
    if (h.crcFull != h.computedCrcFull)
        f.error("HEADER_CRC_FULL", kWhere, "dwCRCFull " + hex(h.computedCrcFull), hex(h.crcFull));
    if (h.cryptMethod != static_cast<std::uint8_t>(CryptMethod::None) &&
        h.cryptMethod != static_cast<std::uint8_t>(CryptMethod::Permute))
        f.error("HEADER_CRYPT_METHOD", kWhere, "bCryptMethod 0 (none) or 1 (permute)",
                std::to_string(h.cryptMethod));
    if (h.sentinel != kSentinel)
        f.error("HEADER_SENTINEL", kWhere, "bSentinel 0x80", hex(h.sentinel));

    // The file grows a whole AMap region at a time ([MS-PST] 2.6.1.1.2).
    const std::uint64_t size = file.size();
    if (file.tailBytes() > 0)
        f.note("HEADER_FILE_TAIL", kWhere,
               "the file ends at ibFileEof " + hex(h.fileEof) + "; the " + std::to_string(file.tailBytes()) +
                   " bytes after it are an uncommitted growth and are not part of the store");
    if (h.fileEof != size)
        f.error("HEADER_FILE_EOF", kWhere, "ibFileEof " + hex(size) + " (the file's size)", hex(h.fileEof));
    if (size < kFirstAMapOffset + kAMapCoverage || (size - kFirstAMapOffset) % kAMapCoverage != 0)
        f.error("HEADER_FILE_EOF", kWhere,
                "a file size of " + hex(kFirstAMapOffset) + " + a whole number of " +
                    std::to_string(kAMapCoverage) + "-byte AMap regions",
                std::to_string(size) + " bytes");
    const std::size_t amaps = amapCount(size);
    if (amaps > 0) {
        const std::uint64_t last = kFirstAMapOffset + (amaps - 1) * kAMapCoverage;
        if (h.amapLast != last)
            f.error("HEADER_AMAP_LAST", kWhere, "ibAMapLast " + hex(last), hex(h.amapLast));
    }

    if (h.amapValid == 0)
        f.note("HEADER_AMAP_INVALID", kWhere,
               "fAMapValid 0: the allocation maps are marked invalid and Outlook rebuilds them on open; "
               "their agreement with the file is not checked");
    else if (h.amapValid != 2)
        f.error("HEADER_AMAP_VALID", kWhere, "fAMapValid 2 (or 0 for maps to be rebuilt)",
                std::to_string(h.amapValid));
    if (h.amapValid != 0 && amaps > 0) {
        std::uint64_t clear = 0;
        for (std::size_t i = 0; i < amaps; ++i) {
            const std::uint8_t* bits = file.bytes().data() + kFirstAMapOffset + i * kAMapCoverage;
            for (std::size_t k = 0; k < kPageDataSize; ++k)
                clear += 8 - std::popcount(bits[k]);
        }
        if (h.amapFree != clear * kSlotSize)
            f.error("HEADER_AMAP_FREE", kWhere,
                    "cbAMapFree " + std::to_string(clear * kSlotSize) + " (64 bytes per clear AMap bit)",
                    std::to_string(h.amapFree));
    }

    // Counters: the next NID of each type and the next block and page ids must be unused.
    std::array<std::uint32_t, 32> highest{};
    std::array<std::uint32_t, 32> example{};
    for (const NodeEntry& n : file.nodes()) {
        const std::uint8_t type = nidType(n.nid);
        if (nidIndex(n.nid) > highest[type]) {
            highest[type] = nidIndex(n.nid);
            example[type] = n.nid;
        }
    }
    for (std::size_t type = 0; type < highest.size(); ++type)
        if (highest[type] > h.rgnid[type])
            f.error("HEADER_NID_COUNTER", kWhere + std::string(" rgnid[") + hex(type) + "]",
                    "at least " + hex(highest[type]) + " (index of " + describeNid(example[type]) + ")",
                    hex(h.rgnid[type]));

    std::uint64_t maxBlock = 0;
    for (const BlockEntry& b : file.blocks())
        maxBlock = std::max(maxBlock, bidKey(b.bid));
    if (!file.blocks().empty() && bidKey(h.bidNextB) <= maxBlock)
        f.error("HEADER_BID_COUNTER", kWhere + std::string(" bidNextB"), "above " + hex(maxBlock),
                hex(h.bidNextB));
    std::uint64_t maxPage = 0;
    for (const TreePage& p : file.treePages())
        maxPage = std::max(maxPage, p.bid);
    if (maxPage != 0 && h.bidNextP <= maxPage)
        f.error("HEADER_BID_COUNTER", kWhere + std::string(" bidNextP"), "above " + hex(maxPage),
                hex(h.bidNextP));
    // Outlook stamps the DList with bidNextP itself without advancing it (both reference files
    // do), so the DList may equal the counter but not pass it.
    if (file.size() >= kDListOffset + kPageSize) {
        const PageTrailer t = parsePageTrailer(file.bytes().data() + kDListOffset);
        if (t.ptype == static_cast<std::uint8_t>(PageType::DList) && t.bid > h.bidNextP)
            f.error("HEADER_BID_COUNTER", kWhere + std::string(" bidNextP"),
                    "at least the DList's bid " + hex(t.bid), hex(h.bidNextP));
    }
}

} // namespace tressimo::pst::check
