// Each case plants one fault in a copy of an Outlook-made file (repairing every checksum the
// edit would otherwise break) and expects the checker to name exactly that fault. Faults that
// necessarily show up at a second place too (a message moved in the node tree is missing
// from one table and extra in another) list those codes as allowed.

#include "check_patcher.h"
#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/check/header.h"
#include "pst/check/page.h"
#include "pst/io/crc.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace tressimo::pst;
using namespace tressimo::pst::check;
using tressimo::pst::check::testing::PstPatcher;

namespace {

constexpr const char* kEmpty = "outlook-empty.pst";
constexpr const char* kDistList = "outlook2007-contacts-distlist.pst";

// Nodes and blocks of outlook-empty.pst (see pst-check --dump).
constexpr std::uint64_t kNbtRootPage = 0x9200;
constexpr std::uint64_t kNbtLeafPage = 0x8E00; // 15 entries
constexpr std::uint64_t kRootFolderBlock = 0x64;
constexpr std::uint64_t kRawBlock = 0x120; // node 0xEE1, data no layer above interprets
constexpr std::uint64_t kAMap = 0x4400;

namespace o = headeroffset;

struct Case
{
    const char* name;
    std::function<void(PstPatcher&)> plant;
    // The expected code, then "note" when it is a note, or other codes the fault may also earn.
    const char* codes;
    const char* file = kEmpty;
};

void flip(PstPatcher& p, std::uint64_t offset)
{
    p.bytes()[offset] ^= 0x01;
}

void swapNbtEntries(PstPatcher& p, std::uint64_t page, int a, int b)
{
    std::swap_ranges(p.bytes().begin() + page + a * 32, p.bytes().begin() + page + a * 32 + 32,
                     p.bytes().begin() + page + b * 32);
    p.fixPageCrc(page);
}

void setPageByte(PstPatcher& p, std::uint64_t page, std::size_t at, std::uint8_t value)
{
    p.bytes()[page + at] = value;
    p.fixPageCrc(page);
}

// Rewrites a page trailer's bid and the signature that depends on it.
void setPageBid(PstPatcher& p, std::uint64_t page, std::uint64_t bid)
{
    putU64(p.bytes().data() + page + 504, bid);
    putU16(p.bytes().data() + page + 498, computeSignature(page, bid));
}

std::uint64_t blockOffset(PstPatcher& p, std::uint64_t bid)
{
    return p.parse()->findBlock(bid)->ib;
}

std::uint64_t blockTrailer(PstPatcher& p, std::uint64_t bid)
{
    return blockOffset(p, bid) + blockDiskSize(p.parse()->findBlock(bid)->cb) - 16;
}

// A column's cell of one row.
void setRowCell32(PstPatcher& p, std::uint32_t table, std::uint32_t row, std::uint32_t tag,
                  std::uint32_t value)
{
    p.editTableRow(table, row,
                   [&](std::uint8_t* r, const Table& t) { putU32(r + t.findColumn(tag)->offset, value); });
}

// A copy of the page at `from` placed at `to`, with its signature (which depends on the
// offset) recomputed, the parent's reference moved, and the AMap kept in step.
void movePage(PstPatcher& p, std::uint64_t parentRefIb, std::uint64_t from, std::uint64_t to)
{
    std::copy_n(p.bytes().begin() + from, 512, p.bytes().begin() + to);
    putU16(p.bytes().data() + to + 498, computeSignature(to, getU64(p.bytes().data() + to + 504)));
    putU64(p.bytes().data() + parentRefIb, to);
    p.fixPageCrc(parentRefIb / 512 * 512);
    for (std::uint64_t s = 0; s < 512; s += 64) {
        p.setAMapBit(from + s, false);
        p.setAMapBit(to + s, true);
    }
}

// The first SLBLOCK with exactly `entries` entries.
std::uint64_t slBlockWith(PstPatcher& p, std::size_t entries)
{
    const auto file = p.parse();
    for (const BlockEntry& b : file->blocks()) {
        if (!isInternalBid(b.bid))
            continue;
        const InternalBlock ib = parseInternalBlock(file->readBlock(b.bid));
        if (ib.problem.empty() && ib.kind == InternalKind::SLBlock && ib.leaves.size() == entries)
            return b.bid;
    }
    throw std::runtime_error("no SLBLOCK with " + std::to_string(entries) + " entries");
}

// Column descriptions of the root hierarchy table 0x12D of outlook-empty.pst: TCINFO is the
// heap allocation at 20 in block 0x100, its columns from 42 on, in tag order.
constexpr std::size_t kRootHierarchyInfo = 20;
std::size_t rootHierarchyColumn(std::size_t index)
{
    return kRootHierarchyInfo + 22 + index * 8;
}

const Case kCases[] = {
    // Header
    {"HeaderPartialCrc", [](auto& p) { flip(p, o::CrcPartial); }, "HEADER_CRC_PARTIAL"},
    {"HeaderFullCrc", [](auto& p) { flip(p, o::CrcFull + 3); }, "HEADER_CRC_FULL"},
    {"HeaderMagic", [](auto& p) { p.bytes()[1] = 'X'; }, "HEADER_MAGIC"},
    {"HeaderClientMagic", [](auto& p) { p.setHeader(o::MagicClient + 1, 'O', 1); }, "HEADER_MAGIC"},
    {"HeaderVersion", [](auto& p) { p.setHeader(o::Ver, 24, 1); }, "HEADER_VERSION"},
    {"HeaderPlatform", [](auto& p) { p.setHeader(o::PlatformAccess, 2, 1); }, "HEADER_PLATFORM"},
    {"HeaderSentinel", [](auto& p) { p.setHeader(o::Sentinel, 0, 1); }, "HEADER_SENTINEL"},
    {"HeaderCryptMethod", [](auto& p) { p.setHeader(o::CryptMethod, 2, 1); }, "HEADER_CRYPT_METHOD"},
    {"HeaderFileEof", [](auto& p) { p.setHeader(o::FileEof, 271360 - 512); }, "HEADER_FILE_EOF"},
    {"HeaderAMapLast", [](auto& p) { p.setHeader(o::AMapLast, 0x4600); }, "HEADER_AMAP_LAST"},
    {"HeaderAMapFree", [](auto& p) { p.setHeader(o::AMapFree, 240960 + 64); }, "HEADER_AMAP_FREE"},
    {"HeaderPMapFree", [](auto& p) { p.setHeader(o::PMapFree, 12800 + 512); }, "HEADER_PMAP_FREE", kDistList},
    {"HeaderAMapValidUnknown", [](auto& p) { p.setHeader(o::AMapValid, 1, 1); }, "HEADER_AMAP_VALID"},
    {"HeaderAMapInvalidIsANote", [](auto& p) { p.setHeader(o::AMapValid, 0, 1); },
     "HEADER_AMAP_INVALID note"},
    // A growth interrupted before its header: a whole unused region after the end of file.
    {"HeaderFileTailIsANote", [](auto& p) { p.bytes().resize(p.bytes().size() + kAMapCoverage); },
     "HEADER_FILE_TAIL note"},
    {"HeaderFolderCounterBehind", [](auto& p) { p.setHeader(o::Rgnid + 4 * 2, 0x403, 4); },
     "HEADER_NID_COUNTER"},
    {"HeaderBlockCounterBehind", [](auto& p) { p.setHeader(o::BidNextB, 0x12C); }, "HEADER_BID_COUNTER"},
    // The highest tree page is 0x17D, the DList 0x17F: each row trips only one of the two checks.
    {"HeaderPageCounterBelowDList", [](auto& p) { p.setHeader(o::BidNextP, 0x17E); }, "HEADER_BID_COUNTER"},
    {"HeaderPageCounterAtHighestPage",
     [](auto& p) {
         setPageBid(p, 0x4200, 0x17C);
         p.setHeader(o::BidNextP, 0x17D);
     },
     "HEADER_BID_COUNTER"},
    // Pages and maps
    {"PageCrc", [](auto& p) { flip(p, kNbtRootPage + 400); }, "PAGE_CRC"},
    {"PageSignature", [](auto& p) { flip(p, kNbtLeafPage + 498); }, "PAGE_SIGNATURE"},
    {"PageTypeRepeat", [](auto& p) { p.bytes()[kNbtLeafPage + 497] = 0x80; }, "PAGE_TYPE"},
    {"PageBid", [](auto& p) { setPageBid(p, kNbtLeafPage, 0x15B); }, "PAGE_BID"},
    {"AMapPageCrc", [](auto& p) { flip(p, kAMap + 500); }, "PAGE_CRC"},
    {"AMapPageBid", [](auto& p) { putU64(p.bytes().data() + kAMap + 504, 0x4401); }, "PAGE_BID"},
    {"PMapPageType", [](auto& p) { p.bytes()[0x4600 + 496] = 0x84; }, "PAGE_TYPE"},
    {"AMapMissesItself", [](auto& p) { p.setAMapBit(kAMap, false); }, "AMAP_CONTENT ALLOC_UNMARKED"},
    {"DListEntryWrong",
     [](auto& p) {
         p.bytes()[0x4200 + 1] = 1;
         putU32(p.bytes().data() + 0x4200 + 8, (17u << 20) | 0); // AMap 0 with 17 free: it has 3765
         p.fixPageCrc(0x4200);
     },
     "DLIST_PAGE"},
    {"DListCrc", [](auto& p) { flip(p, 0x4200 + 100); }, "PAGE_CRC"},
    // B-trees
    {"BTreeOrder", [](auto& p) { swapNbtEntries(p, kNbtLeafPage, 5, 6); }, "BTREE_ORDER"},
    {"BTreeIntermediateKey",
     [](auto& p) {
         putU64(p.bytes().data() + kNbtRootPage + 24, getU64(p.bytes().data() + kNbtRootPage + 24) + 1);
         p.fixPageCrc(kNbtRootPage);
     },
     "BTREE_KEY"},
    {"BTreeEntryMax", [](auto& p) { setPageByte(p, kNbtLeafPage, 489, 16); }, "BTREE_ENTRY_FORMAT"},
    {"BTreeEntryCountOverMax", [](auto& p) { setPageByte(p, kNbtLeafPage, 488, 16); }, "BTREE_ENTRY_COUNT"},
    {"BTreeLevel", [](auto& p) { setPageByte(p, kNbtRootPage, 491, 2); }, "BTREE_LEVEL"},
    {"BTreePageReachedTwice",
     [](auto& p) {
         // The root's second child entry points at the first child's page.
         std::copy_n(p.bytes().begin() + kNbtRootPage + 8, 16, p.bytes().begin() + kNbtRootPage + 24 + 8);
         p.fixPageCrc(kNbtRootPage);
     },
     "BTREE_PAGE_REUSED BTREE_KEY BTREE_ORDER STORE_NODE_MISSING BLOCK_LEAK REF_COUNT FOLDER_NODES "
     "FOLDER_HIERARCHY NODE_PARENT ALLOC_LEAK"},
    // Blocks
    {"BlockCrc", [](auto& p) { flip(p, blockOffset(p, kRawBlock) + 10); }, "BLOCK_CRC"},
    {"BlockTrailerBid", [](auto& p) { putU64(p.bytes().data() + blockTrailer(p, kRawBlock) + 8, 0x124); },
     "BLOCK_BID"},
    {"BlockSignature", [](auto& p) { flip(p, blockTrailer(p, kRawBlock) + 2); }, "BLOCK_SIGNATURE"},
    {"BlockTrailerSize", [](auto& p) { flip(p, blockTrailer(p, kRawBlock)); }, "BLOCK_SIZE"},
    {"BlockMisaligned", [](auto& p) { p.setBbtField(kRawBlock, 8, 0x5840 + 8, 8); },
     "BLOCK_ALIGNMENT BLOCK_SIZE BLOCK_BID BLOCK_SIGNATURE BLOCK_CRC ALLOC_LEAK"},
    {"BlockOutsideFile", [](auto& p) { p.setBbtField(kRawBlock, 8, 271360 - 64, 8); },
     "BLOCK_OUT_OF_FILE ALLOC_LEAK NODE_UNREADABLE"},
    // References
    {"BlockRefCount", [](auto& p) { p.setBbtField(kRootFolderBlock, 18, 3, 2); }, "REF_COUNT"},
    {"NodeNamesMissingBlock", [](auto& p) { p.setNbtField(0x6F8, 8, 0x990, 8); },
     "REF_MISSING BLOCK_LEAK NODE_UNREADABLE"},
    {"BlockLeak", [](auto& p) { p.setNbtField(0x6F8, 8, 0x28, 8); }, "BLOCK_LEAK REF_COUNT"},
    {"NodeSubnodeIsDataBlock", [](auto& p) { p.setNbtField(0x6F8, 16, 0x2C, 8); },
     "REF_KIND REF_COUNT NODE_UNREADABLE"},
    {"NbtNidUpperHalf", [](auto& p) { p.setNbtField(0xEE1, 4, 1, 4); }, "NBT_ENTRY BTREE_ORDER BTREE_KEY"},
    // Allocation
    {"AMapMarksUsedBlockFree", [](auto& p) { p.setAMapBit(blockOffset(p, kRawBlock), false); },
     "ALLOC_UNMARKED"},
    {"AMapMarksFreeSpaceUsed", [](auto& p) { p.setAMapBit(0x40000, true); }, "ALLOC_LEAK"},
    {"PMapFreesUsedPage",
     [](auto& p) {
         // Page 0 of the file's data is the AMap itself.
         p.bytes()[0x4600] &= 0x7F;
         p.fixPageCrc(0x4600);
         p.setHeader(o::PMapFree, 12800 + 512);
     },
     "PMAP_CONTENT", kDistList},
    // Heap, BTH, PC, TC
    {"HeapSignature", [](auto& p) { p.editBlock(kRootFolderBlock, [](Bytes& b) { b[2] = 0xED; }); },
     "HN_SIGNATURE"},
    {"HeapFillLevel", [](auto& p) { p.editBlock(kRootFolderBlock, [](Bytes& b) { b[8] = 0x03; }); },
     "HN_FILL_LEVEL"},
    {"HeapFreeCount",
     [](auto& p) { p.editBlock(kRootFolderBlock, [](Bytes& b) { b[getU16(b.data()) + 2] = 1; }); },
     "HN_PAGE_MAP"},
    {"BthOrder",
     [](auto& p) {
         // Store properties 0x0E34 and 0x0E38 change places in the record array.
         p.editPropertyRecord(0x21, 0x0E340102, [](std::uint8_t* r) { std::swap_ranges(r, r + 8, r + 8); });
     },
     "BTH_ORDER"},
    {"PcValueSize",
     [](auto& p) { p.editPropertyRecord(0x21, 0x3001001F, [](std::uint8_t* r) { putU16(r + 2, 0x0014); }); },
     "PC_VALUE_SIZE STORE_PROPERTY"},
    {"PcValueRef",
     [](auto& p) { p.editPropertyRecord(0x21, 0x3001001F, [](std::uint8_t* r) { putU32(r + 4, 0x3E0); }); },
     "PC_VALUE_REF STORE_PROPERTY"},
    {"PcType",
     [](auto& p) { p.editPropertyRecord(0x21, 0x0E380003, [](std::uint8_t* r) { putU16(r + 2, 0x0099); }); },
     "PC_TYPE"},
    {"TableRowCount",
     [](auto& p) {
         // The root hierarchy's row index loses its last record; the matrix keeps four rows.
         const Bytes block = p.parse()->readBlock(0x100);
         p.shrinkHeapItem(0x12D, 0x60, Bytes(block.begin() + 146, block.begin() + 170));
     },
     "TC_ROW_COUNT FOLDER_HIERARCHY"},
    {"TableRowIdDiffersFromIndex",
     [](auto& p) { p.editTableRow(0x12D, 0x8042, [](std::uint8_t* r, const Table&) { putU32(r, 0x8043); }); },
     "TC_ROW_INDEX"},
    {"TableCellRef", [](auto& p) { setRowCell32(p, 0x12D, 0x8042, 0x3001001F, 0x7E0); },
     "TC_CELL_REF FOLDER_ROW_VALUE"},
    // Row versions 6, 12, 15 and 17 in the root hierarchy, 14 in the IPM subtree's; dwUnique 0x16.
    {"TableRowVersionRepeated", [](auto& p) { setRowCell32(p, 0x12D, 0x8042, 0x67F30003, 14); },
     "TC_ROW_VERSION"},
    {"TableRowVersionAtUnique", [](auto& p) { p.setHeader(o::Unique, 17, 4); }, "TC_ROW_VERSION"},
    {"TableColumnOrder",
     [](auto& p) {
         p.editBlock(0x100, [](Bytes& b) {
             // Two column descriptions of the root hierarchy table change places.
             std::swap_ranges(b.begin() + 20 + 22, b.begin() + 20 + 30, b.begin() + 20 + 30);
         });
     },
     "TC_COLUMN_ORDER"},
    {"TableRowIdColumnMoved",
     [](auto& p) {
         p.editBlock(0x100, [](Bytes& b) {
             b[20 + 22 + 11 * 8 + 7] = 1;
             b[20 + 22 + 12 * 8 + 7] = 0;
         });
     },
     "TC_ROWID_COLUMN"},
    // More structure
    {"PageMisaligned", [](auto& p) { movePage(p, kNbtRootPage + 3 * 24 + 16, 0x8A00, 0x30040); },
     "PAGE_ALIGNMENT"},
    {"PageOutsideFile",
     [](auto& p) {
         putU64(p.bytes().data() + kNbtRootPage + 3 * 24 + 16, 271360);
         p.fixPageCrc(kNbtRootPage);
     },
     "PAGE_OUT_OF_FILE *"},
    {"InternalBlockWithoutEntries",
     [](auto& p) { p.editBlock(slBlockWith(p, 1), [](Bytes& b) { b[2] = 0; }); }, "INTERNAL_BLOCK BLOCK_LEAK",
     kDistList},
    {"SubnodeOrder",
     [](auto& p) {
         p.editBlock(slBlockWith(p, 2),
                     [](Bytes& b) { std::swap_ranges(b.begin() + 8, b.begin() + 32, b.begin() + 32); });
     },
     "SUBNODE_ORDER", kDistList},
    {"DataTreeTotalSize",
     [](auto& p) {
         // An SLBLOCK rewritten as an XBLOCK over its data block, claiming one byte too many.
         const std::uint64_t sl = slBlockWith(p, 1);
         const auto file = p.parse();
         const std::uint64_t child = parseInternalBlock(file->readBlock(sl)).leaves[0].bidData;
         const std::uint32_t cb = file->findBlock(child)->cb;
         p.editBlock(sl, [&](Bytes& b) {
             b = {1, 1, 3, 0, 0, 0, 0, 0};
             putU32(b.data() + 4, 3 * cb + 1);
             for (int i = 0; i < 3; ++i)
                 for (int k = 0; k < 8; ++k)
                     b.push_back(static_cast<std::uint8_t>(child >> (8 * k)));
         });
     },
     "DATA_TREE_SIZE REF_KIND REF_COUNT NODE_UNREADABLE", kDistList},
    {"BlockReleasedIsANote",
     [](auto& p) {
         p.setNbtField(0x6F8, 8, 0x28, 8);
         p.setBbtField(0x2C, 18, 1, 2);
         p.setBbtField(0x28, 18, 3, 2);
     },
     "BLOCK_RELEASED note"},
    {"BlocksOverlap", [](auto& p) { p.setBbtField(kRawBlock, 8, 0x4B40, 8); },
     "ALLOC_OVERLAP BLOCK_SIZE BLOCK_BID BLOCK_SIGNATURE BLOCK_CRC ALLOC_LEAK ALLOC_UNMARKED"},
    {"HeapClientUnknown", [](auto& p) { p.editBlock(kRootFolderBlock, [](Bytes& b) { b[3] = 0x11; }); },
     "HN_CLIENT_SIG PC_HEAP_CLIENT"},
    {"FolderHoldsATable", [](auto& p) { p.editBlock(kRootFolderBlock, [](Bytes& b) { b[3] = 0x7C; }); },
     "PC_HEAP_CLIENT"},
    {"TableHoldsProperties", [](auto& p) { p.editBlock(0x100, [](Bytes& b) { b[3] = 0xBC; }); },
     "TC_HEAP_CLIENT"},
    {"BthHeaderType", [](auto& p) { p.editBlock(p.dataBlockOf(0x21), [](Bytes& b) { b[12] = 0xB6; }); },
     "BTH_HEADER"},
    {"BthRecordsRagged",
     [](auto& p) {
         // The store's BTH root moves to its display name, 10 bytes: no whole number of records.
         std::uint32_t nameHid = 0;
         p.editPropertyRecord(0x21, 0x3001001F, [&](std::uint8_t* r) { nameHid = getU32(r + 4); });
         p.editBlock(p.dataBlockOf(0x21), [&](Bytes& b) { putU32(b.data() + 12 + 4, nameHid); });
     },
     "BTH_RECORDS PC_TYPE PC_VALUE_REF PC_VALUE_SIZE STORE_PROPERTY"},
    {"TableDeprecatedIndex",
     [](auto& p) { p.editBlock(0x100, [](Bytes& b) { b[kRootHierarchyInfo + 18] = 0x20; }); }, "TC_INFO"},
    {"TableColumnSize",
     [](auto& p) { p.editBlock(0x100, [](Bytes& b) { b[rootHierarchyColumn(5) + 6] = 2; }); },
     "TC_COLUMN_LAYOUT TC_CELL_VALUE FOLDER_ROW_VALUE"},
    {"TableCebBitShared",
     [](auto& p) {
         p.editBlock(0x100, [](Bytes& b) { b[rootHierarchyColumn(5) + 7] = b[rootHierarchyColumn(6) + 7]; });
     },
     "TC_CEB"},
    {"TableRowMatrixMissing",
     [](auto& p) { p.editBlock(0x100, [](Bytes& b) { putU32(b.data() + kRootHierarchyInfo + 14, 0x7E0); }); },
     "TC_ROW_MATRIX TC_ROW_COUNT FOLDER_HIERARCHY"},
    {"TableCellOfWrongSize",
     [](auto& p) {
         // The display name column claims to hold GUIDs; its cells name 2n-byte strings.
         p.editBlock(0x100, [](Bytes& b) { putU16(b.data() + rootHierarchyColumn(4), 0x0048); });
     },
     "TC_CELL_VALUE"},
    {"StorePasswordIsANote", [](auto& p) { p.setInlineProperty(0x21, 0x67FF0003, 0x1234); },
     "STORE_PASSWORD note"},
    // Messaging
    {"RowValueDiffersFromChild", [](auto& p) { setRowCell32(p, 0x12D, 0x8042, 0x36020003, 7); },
     "FOLDER_ROW_VALUE"},
    {"RowCellMissing",
     [](auto& p) {
         p.editTableRow(0x12D, 0x8022, [](std::uint8_t* r, const Table& t) {
             const std::uint8_t bit = t.findColumn(0x3001001F)->cebBit;
             r[t.groupEnds[2] + bit / 8] &= static_cast<std::uint8_t>(~(0x80 >> (bit % 8)));
         });
     },
     "FOLDER_ROW_VALUE"},
    {"FolderContentCount",
     [](auto& p) {
         p.setInlineProperty(0x8062, 0x36020003, 1);
         setRowCell32(p, 0x802D, 0x8062, 0x36020003, 1);
     },
     "FOLDER_CONTENT_COUNT"},
    {"FolderUnreadCount",
     [](auto& p) {
         p.setInlineProperty(0x8142, 0x36030003, 1);
         setRowCell32(p, 0x802D, 0x8142, 0x36030003, 1);
     },
     "FOLDER_UNREAD_COUNT", kDistList},
    {"FolderSubfoldersFlag", [](auto& p) { p.setInlineProperty(0x122, 0x360A000B, 0); }, "FOLDER_SUBFOLDERS"},
    {"FolderRequiredProperty",
     [](auto& p) {
         p.editPropertyRecord(0x8042, 0x36030003, [](std::uint8_t* r) { putU16(r, 0x3604); });
         setRowCell32(p, 0x12D, 0x8042, 0x36030003, 0);
     },
     "FOLDER_PROPERTY FOLDER_ROW_VALUE"},
    {"FolderMovedInNodeTreeOnly", [](auto& p) { p.setNbtField(0x8062, 24, 0x122, 4); },
     "FOLDER_HIERARCHY NODE_PARENT FOLDER_SUBFOLDERS"},
    {"FolderTableMissing", [](auto& p) { p.setNbtField(0x808F, 0, 0x8090, 8); },
     "FOLDER_NODES HEADER_NID_COUNTER"},
    {"MessageMovedInNodeTreeOnly", [](auto& p) { p.setNbtField(0x200064, 24, 0x8062, 4); },
     "FOLDER_CONTENTS FOLDER_CONTENT_COUNT", kDistList},
    {"MessageWithoutParent", [](auto& p) { p.setNbtField(0x200064, 24, 0, 4); },
     "MESSAGE_PARENT FOLDER_CONTENTS FOLDER_CONTENT_COUNT", kDistList},
    {"MessageRequiredProperty",
     [](auto& p) { p.editPropertyRecord(0x200064, 0x300B0102, [](std::uint8_t* r) { putU16(r, 0x300C); }); },
     "MESSAGE_PROPERTY FOLDER_ROW_VALUE", kDistList},
    // The appointment 0x2000C4 of the Outlook 2007 file carries attachments 0x80A5 and 0x80E5;
    // the contents table 0x812E of its folder copies its flags and size.
    {"MessageAttachFlagCleared",
     [](auto& p) {
         p.setInlineProperty(0x2000C4, 0x0E070003, 0x01);
         setRowCell32(p, 0x812E, 0x2000C4, 0x0E070003, 0x01);
     },
     "MESSAGE_ATTACH_FLAG", kDistList},
    {"MessageSizeBelowItsAttachments",
     [](auto& p) {
         p.setInlineProperty(0x2000C4, 0x0E080003, 9000);
         setRowCell32(p, 0x812E, 0x2000C4, 0x0E080003, 9000);
     },
     "ATTACHMENT_SIZE", kDistList},
    {"AttachmentDiffersFromItsRow", [](auto& p) { p.setInlineProperty(0x2000C4, 0x0E200003, 9, 0x80A5); },
     "ATTACHMENT_ROW_VALUE", kDistList},
    {"AttachmentRequiredProperty",
     [](auto& p) {
         p.editPropertyRecord(
             0x2000C4, 0x370B0003, [](std::uint8_t* r) { putU16(r, 0x370C); }, 0x80E5);
     },
     "ATTACHMENT_PROPERTY ATTACHMENT_ROW_VALUE", kDistList},
    {"AttachmentWithoutRow",
     [](auto& p) {
         // The second attachment's subnode NID loses its type: its row names nothing.
         p.editBlock(p.parse()->findNode(0x2000C4)->bidSub, [](Bytes& b) {
             for (std::size_t at = 8; at + 24 <= b.size(); at += 24)
                 if (getU32(b.data() + at) == 0x80E5)
                     putU32(b.data() + at, 0x80E4);
         });
     },
     "MESSAGE_ATTACHMENTS", kDistList},
    {"StoreNodeMissing", [](auto& p) { p.setNbtField(0x201, 0, 0x200, 8); }, "STORE_NODE_MISSING"},
    {"StoreEntryIdNamesNoFolder",
     [](auto& p) {
         p.editPropertyValue(0x21, 0x35E30102, [](std::uint8_t* v, std::size_t) { putU32(v + 20, 0x80E2); });
     },
     "STORE_PROPERTY"},
    {"StoreRecordKey",
     [](auto& p) { p.editPropertyValue(0x21, 0x0FF90102, [](std::uint8_t* v, std::size_t) { v[0] ^= 1; }); },
     "STORE_PROPERTY"},
    {"NameMapBucketCount", [](auto& p) { p.setInlineProperty(0x61, 0x00010003, 250); },
     "NAMEMAP_BUCKET_COUNT"},
    {"NameMapBucketRecord",
     [](auto& p) {
         p.editPropertyValue(0x61, 0x10000102, [](std::uint8_t* v, std::size_t) { v[6] = 0x21; });
     },
     "NAMEMAP_BUCKET"},
    {"NameMapEntryGuid",
     [](auto& p) {
         p.editPropertyValue(0x61, 0x00030102, [](std::uint8_t* v, std::size_t) { v[4] = 0x40; });
     },
     "NAMEMAP_STREAM NAMEMAP_BUCKET"},
    {"TemplateMissingColumn",
     [](auto& p) {
         // The attachment template's first column (0x0E200003) becomes 0x0E210003.
         p.editBlock(p.dataBlockOf(0x671), [](Bytes& b) {
             const std::size_t info = getU16(b.data() + getU16(b.data()) + 6);
             b[info + 22 + 2] = 0x21;
         });
     },
     "TEMPLATE_TABLE"},
};

class Corruption : public ::testing::TestWithParam<Case>
{
};

TEST_P(Corruption, NamesThePlantedFault)
{
    const Case& c = GetParam();
    std::istringstream words(c.codes);
    std::string expected;
    words >> expected;
    const std::set<std::string> allowed{std::istream_iterator<std::string>(words), {}};
    const Severity severity = allowed.count("note") ? Severity::Note : Severity::Error;
    PstPatcher patcher(c.file);
    c.plant(patcher);
    const Violations found = checkPst(*patcher.parse());

    std::string all;
    for (const Violation& v : found)
        all += "  " + v.toString() + "\n";
    const bool named = std::any_of(found.begin(), found.end(), [&](const Violation& v) {
        return v.code == expected && v.severity == severity;
    });
    EXPECT_TRUE(named) << "expected " << expected << ", got:\n" << all;
    for (const Violation& v : found) {
        const bool ok = v.severity != Severity::Error || v.code == expected || allowed.count(v.code) ||
                        allowed.count("*");
        EXPECT_TRUE(ok) << "unexpected " << v.toString() << "\nall:\n" << all;
    }
    EXPECT_EQ(isSound(found), severity == Severity::Note);
}

INSTANTIATE_TEST_SUITE_P(OneFault, Corruption, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
