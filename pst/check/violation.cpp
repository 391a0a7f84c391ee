#include "pst/check/violation.h"

#include "pst/check/nid.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace tressimo::pst::check {
namespace {

constexpr CodeInfo kCodes[] = {
    // Header
    {"HEADER_MAGIC", "dwMagic is not \"!BDN\" or wMagicClient not \"SM\""},
    {"HEADER_VERSION", "wVer is not 23 (Unicode PST)"},
    {"HEADER_CRC_PARTIAL", "dwCRCPartial does not match the 471 bytes it covers"},
    {"HEADER_CRC_FULL", "dwCRCFull does not match the 516 bytes it covers"},
    {"HEADER_CRYPT_METHOD", "bCryptMethod is not 0 (none) or 1 (permute)"},
    {"HEADER_SENTINEL", "bSentinel is not 0x80"},
    {"HEADER_FILE_EOF", "ibFileEof differs from the file size, or the size is not whole AMap regions"},
    {"HEADER_FILE_TAIL", "bytes past ibFileEof, left by an interrupted growth, are set aside"},
    {"HEADER_AMAP_LAST", "ibAMapLast is not the offset of the last AMap page"},
    {"HEADER_AMAP_FREE", "cbAMapFree differs from the free space the AMaps record"},
    {"HEADER_PMAP_FREE", "cbPMapFree differs from 512 bytes per page the PMaps mark free"},
    {"HEADER_AMAP_INVALID", "fAMapValid is 0: the maps are not trusted and Outlook rebuilds them"},
    {"HEADER_AMAP_VALID", "fAMapValid is neither 0 nor 2"},
    {"HEADER_NID_COUNTER", "an rgnid high-water mark is below an NID in use"},
    {"HEADER_BID_COUNTER", "bidNextB or bidNextP is not above every block or page id in use"},
    {"HEADER_PLATFORM", "bPlatformCreate or bPlatformAccess is not 1"},
    // Pages
    {"PAGE_ALIGNMENT", "a page does not start on a 512-byte boundary"},
    {"PAGE_OUT_OF_FILE", "a page lies outside the file's data area"},
    {"PAGE_TYPE", "ptype/ptypeRepeat of a page is not what its place requires"},
    {"PAGE_SIGNATURE", "a page's wSig is wrong"},
    {"PAGE_CRC", "a page's dwCRC does not match its 496 bytes"},
    {"PAGE_BID", "a page's trailer bid is not the id it is referred to by (or its own offset, for maps)"},
    {"AMAP_CONTENT", "an AMap does not mark its own page and the other map pages of its region"},
    {"PMAP_CONTENT", "a page the PMap marks free is in use or not reserved in the AMap"},
    {"DLIST_PAGE", "the DList page is malformed or disagrees with the AMaps"},
    // B-trees
    {"BTREE_LEVEL", "a B-tree page's cLevel is not its parent's less one"},
    {"BTREE_ENTRY_FORMAT", "cbEnt or cEntMax is not what the format fixes for the page kind"},
    {"BTREE_ENTRY_COUNT", "cEnt exceeds cEntMax, or a non-root page is empty"},
    {"BTREE_ORDER", "B-tree keys are not strictly ascending"},
    {"BTREE_KEY", "an intermediate entry's key is not its child page's first key"},
    {"BTREE_PAGE_REUSED", "a B-tree page is reachable more than once"},
    {"NBT_ENTRY", "a node B-tree entry is malformed (NID upper bits, parent, data block kind)"},
    // Blocks
    {"BLOCK_ALIGNMENT", "a block does not start on a 64-byte boundary"},
    {"BLOCK_OUT_OF_FILE", "a block lies outside the file's data area"},
    {"BLOCK_SIZE", "a block's size is wrong (BBT cb vs trailer cb, or larger than 8176 bytes)"},
    {"BLOCK_SIGNATURE", "a block trailer's wSig is wrong"},
    {"BLOCK_CRC", "a block trailer's dwCRC does not match the block's data"},
    {"BLOCK_BID", "a block trailer's bid is not the id the block B-tree gives it"},
    {"INTERNAL_BLOCK", "an XBLOCK/XXBLOCK/SLBLOCK/SIBLOCK is malformed"},
    {"DATA_TREE_SIZE", "an XBLOCK/XXBLOCK's lcbTotal differs from the data below it"},
    {"SUBNODE_ORDER", "subnode tree entries are not strictly ascending or an SIBLOCK key is wrong"},
    // References
    {"REF_MISSING", "a reference names a block the block B-tree does not have"},
    {"REF_KIND", "a reference names an internal block where data is expected, or the reverse"},
    {"REF_COUNT", "a block's cRef differs from 1 + the references to it"},
    {"BLOCK_LEAK", "a block in the block B-tree is referenced by nothing, yet its cRef says it is"},
    {"BLOCK_RELEASED", "a block with cRef 1 that nothing refers to: released, awaiting removal from the BBT"},
    // Allocation
    {"ALLOC_UNMARKED", "a page or block lies in space the AMaps mark free"},
    {"ALLOC_OVERLAP", "two pages or blocks share space"},
    {"ALLOC_LEAK",
     "the AMaps mark space allocated that no page or block uses (and no PMap holds as a free page)"},
    // Heap, BTH, property and table contexts
    {"HN_SIGNATURE", "a heap's bSig is not 0xEC"},
    {"HN_CLIENT_SIG", "a heap's bClientSig is not one the format defines"},
    {"HN_PAGE_MAP", "a heap page map is malformed"},
    {"HN_FILL_LEVEL", "a heap fill level disagrees with the free space of its block"},
    {"HN_ALLOCATION_SIZE", "a heap allocation is larger than 3580 bytes"},
    {"BTH_HEADER", "a BTH header is malformed"},
    {"BTH_RECORDS", "a BTH record allocation is not a whole number of records"},
    {"BTH_ORDER", "BTH keys are not strictly ascending"},
    {"BTH_KEY", "a BTH index key is not its child's first key"},
    {"NODE_NOT_DECODED", "a node in a form the checker does not decode (Outlook 2007's 0xAC tables)"},
    {"NODE_UNREADABLE", "a node's data, subnodes, heap, PC or TC cannot be read at all"},
    {"PC_HEAP_CLIENT", "a node read as a property context is not one"},
    {"PC_BTH", "a property context's BTH does not have 2-byte keys and 6-byte records"},
    {"PC_TYPE", "a property has no valid type"},
    {"PC_VALUE_REF", "a property's HNID names nothing"},
    {"PC_VALUE_SIZE", "a property value does not fit its type"},
    {"TC_HEAP_CLIENT", "a node read as a table context is not one"},
    {"TC_INFO", "a TCINFO is malformed"},
    {"TC_COLUMN_ORDER", "table columns are not sorted by tag"},
    {"TC_COLUMN_LAYOUT", "a table column's size or place in the row is wrong"},
    {"TC_CEB", "a table's cell-existence bitmap or a column's iBit is wrong"},
    {"TC_ROWID_COLUMN", "the row id / row version columns are missing or misplaced"},
    {"TC_ROW_INDEX", "a table's row index is malformed or disagrees with the rows"},
    {"TC_ROW_MATRIX", "a table's row matrix is unreadable or its rows cross blocks"},
    {"TC_ROW_COUNT", "the rows in the row matrix differ from the row index entries"},
    {"TC_CELL_REF", "a table cell's HNID names nothing"},
    {"TC_CELL_VALUE", "a table cell's value does not fit its type"},
    {"TC_ROW_VERSION", "a row version is repeated across the store's tables or is not below dwUnique"},
    // Messaging
    {"STORE_NODE_MISSING", "a node every store must have is missing"},
    {"STORE_PROPERTY", "the message store lacks a required property or has a wrong one"},
    {"STORE_PASSWORD", "the store has a password: Outlook asks for it on open"},
    {"TEMPLATE_TABLE", "a table template has rows or lacks a required column"},
    {"NAMEMAP_BUCKET_COUNT", "the name-to-ID map's bucket count is missing or not 251"},
    {"NAMEMAP_STREAM", "the name-to-ID map's GUID, entry or string stream is missing or malformed"},
    {"NAMEMAP_BUCKET", "the name-to-ID map's hash buckets disagree with its entries"},
    {"FOLDER_NODES", "a folder lacks one of its hierarchy/contents/associated-contents tables"},
    {"FOLDER_PROPERTY", "a folder lacks a required property"},
    {"FOLDER_HIERARCHY", "a folder's hierarchy table rows differ from its child folders"},
    {"FOLDER_CONTENTS", "a folder's contents table rows differ from its messages"},
    {"FOLDER_ROW_VALUE", "a table row's value differs from the child object's property"},
    {"FOLDER_CONTENT_COUNT", "a folder's PidTagContentCount differs from its messages"},
    {"FOLDER_UNREAD_COUNT", "a folder's PidTagContentUnreadCount differs from its unread messages"},
    {"FOLDER_SUBFOLDERS", "a folder's PidTagSubfolders differs from whether it has child folders"},
    {"MESSAGE_PROPERTY", "a message lacks a required property"},
    {"MESSAGE_PARENT", "a message's NBT parent is not a folder"},
    {"MESSAGE_RECIPIENTS", "a message has no recipient table subnode"},
    {"MESSAGE_ATTACH_FLAG", "a message's has-attachments flag differs from whether it has attachments"},
    {"MESSAGE_ATTACHMENTS", "a message's attachment table rows differ from its attachment subnodes"},
    {"ATTACHMENT_PROPERTY", "an attachment lacks a required property"},
    {"ATTACHMENT_ROW_VALUE", "an attachment table row's value differs from the attachment's property"},
    {"ATTACHMENT_SIZE", "an attachment's size is below its data, or a message's below its attachments'"},
    {"CHECK_INCOMPLETE",
     "a layer of checks stopped early on data it could not read (a checker fault to report)"},
    {"NODE_PARENT", "a node's NBT parent does not exist or is of the wrong kind"},
};

} // namespace

std::span<const CodeInfo> allCodes()
{
    return kCodes;
}

bool isKnownCode(std::string_view code)
{
    return std::any_of(std::begin(kCodes), std::end(kCodes),
                       [&](const CodeInfo& c) { return c.code == code; });
}

std::string Violation::toString() const
{
    std::string s = (severity == Severity::Note ? "note " : "") + code + " " + where + ": ";
    if (severity == Severity::Note)
        return s + found;
    return s + "expected " + expected + ", found " + found;
}

void Findings::error(std::string_view code, std::string where, std::string expected, std::string found)
{
    assert(isKnownCode(code));
    m_items.push_back(
        {std::string(code), std::move(where), std::move(expected), std::move(found), Severity::Error});
}

void Findings::note(std::string_view code, std::string where, std::string what)
{
    assert(isKnownCode(code));
    m_items.push_back({std::string(code), std::move(where), {}, std::move(what), Severity::Note});
}

void Findings::add(Violation v)
{
    m_items.push_back(std::move(v));
}

void Findings::append(const Violations& more)
{
    m_items.insert(m_items.end(), more.begin(), more.end());
}

std::size_t Findings::count(std::string_view code) const
{
    return std::count_if(m_items.begin(), m_items.end(), [&](auto& v) { return v.code == code; });
}

std::string hex(unsigned long long value)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", value);
    return buf;
}

std::string tagHex(std::uint32_t tag)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", tag);
    return buf;
}

const char* nidTypeName(std::uint8_t type)
{
    switch (type) {
    case nidtype::Hid:
        return "heap";
    case nidtype::Internal:
        return "internal";
    case nidtype::NormalFolder:
        return "folder";
    case nidtype::SearchFolder:
        return "search folder";
    case nidtype::NormalMessage:
        return "message";
    case nidtype::Attachment:
        return "attachment";
    case nidtype::SearchUpdateQueue:
        return "search update queue";
    case nidtype::SearchCriteria:
        return "search criteria";
    case nidtype::AssocMessage:
        return "associated message";
    case nidtype::ContentsTableIndex:
        return "contents table index";
    case nidtype::ReceiveFolderTable:
        return "receive folder table";
    case nidtype::OutgoingQueueTable:
        return "outgoing queue table";
    case nidtype::HierarchyTable:
        return "hierarchy table";
    case nidtype::ContentsTable:
        return "contents table";
    case nidtype::AssocContentsTable:
        return "associated contents table";
    case nidtype::SearchContentsTable:
        return "search contents table";
    case nidtype::AttachmentTable:
        return "attachment table";
    case nidtype::RecipientTable:
        return "recipient table";
    case nidtype::SearchTableIndex:
        return "search table index";
    case nidtype::Ltp:
        return "LTP";
    default:
        return "unknown type";
    }
}

std::string describeNid(unsigned nid)
{
    return "node " + hex(nid) + " (" + nidTypeName(static_cast<std::uint8_t>(nid & 0x1F)) + ")";
}

} // namespace tressimo::pst::check
