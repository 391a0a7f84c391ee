#pragma once
// What the lists, tables and properties builders produce, read the way Outlook would meet it:
// the node is written into a new store and read back from the file by the checker's reader,
// which checks it strictly on the way.

#include "pst/check/bth.h"
#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/property_context.h"
#include "pst/check/table_context.h"
#include "pst/ltp/prop_value.h"
#include "tests/pst/ndb_test_util.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::pst::testing {

// Values by tag as stored: strings UTF-16LE, Boolean one byte, Int16 two.
using StoredValues = std::map<std::uint32_t, Bytes>;

inline StoredValues storedValues(const check::PropertyMap& props)
{
    StoredValues out;
    for (const auto& [tag, value] : props)
        out[tag] = value.data();
    return out;
}

inline StoredValues storedValues(const std::vector<PropValue>& values)
{
    StoredValues out;
    for (const PropValue& v : values)
        out[v.tag().value] = Bytes(v.data().begin(), v.data().end());
    return out;
}

// Every allocation of a heap, by HID.
inline std::map<std::uint32_t, Bytes> heapItems(const check::Heap& heap)
{
    std::map<std::uint32_t, Bytes> out;
    for (std::uint32_t block = 0; block < heap.pages().size(); ++block)
        for (std::uint32_t index = 1; index <= heap.pages()[block].allocCount; ++index) {
            const std::uint32_t hid = block << 16 | index << 5;
            const ByteView item = heap.item(hid);
            out[hid] = Bytes(item.begin(), item.end());
        }
    return out;
}

// What the checker accepts but our builders promise, so that a page wastes nothing: page maps
// end their blocks right after the last allocation (at most one byte of padding), nothing is
// freed. (Oversized allocations are the checker's HN_ALLOCATION_SIZE.)
inline std::string heapLayoutErrors(const check::Heap& heap)
{
    std::string out;
    const auto& pages = heap.pages();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const check::HeapPage& p = pages[i];
        const std::string where = "heap block " + std::to_string(i) + ": ";
        if (p.offsets.empty())
            continue; // the checker has said why
        if (p.pageMapOffset + 4u + 2u * (p.allocCount + 1u) != p.dataSize)
            out += where + "the page map does not end the block\n";
        if (p.pageMapOffset - p.offsets.back() > 1)
            out +=
                where + std::to_string(p.pageMapOffset - p.offsets.back()) + " bytes before the page map\n";
        if (p.freeCount != 0)
            out += where + "freed allocations\n";
    }
    return out;
}

// A node written into a new store and read back from its bytes.
struct ReadBack
{
    PstFilePtr file;
    check::LtpNode node;
    std::unique_ptr<check::Heap> heap;
    // The checker's errors about the file and its node, and the layout faults above.
    std::string errors;

    check::Bth bth() const { return check::readBth(*heap, heap->userRoot()); }
    StoredValues values() const { return storedValues(check::readPropertyContext(node, *heap)); }
    check::Table table() const { return check::readTableContext(node, *heap); }
    // The table's rows in matrix order, as the builder lays them out.
    std::vector<check::TableRow> rows() const
    {
        std::vector<check::TableRow> rows = table().rows;
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.rowIndex < b.rowIndex; });
        return rows;
    }
};

// The NID says what the checker expects the node to hold (a message: a property context; a
// contents table: a table context).
inline ReadBack readBack(const NodeContent& content, Nid nid)
{
    MemoryStore store;
    store.writer->putNode(nid, Nid{}, content);
    store.writer->commit();
    ReadBack r;
    r.file = readPst(store.bytes());
    check::Findings findings;
    check::checkHeader(*r.file, findings);
    check::checkNodeDatabase(*r.file, findings);
    check::checkLists(*r.file, findings);
    // A table alone counts its row versions itself; the store-wide rule is the store's to keep.
    r.errors = errorsOf(findings, "TC_ROW_VERSION");
    r.node = check::loadNode(*r.file, nodeAt(*r.file, nid.value));
    r.heap = std::make_unique<check::Heap>(std::vector<Bytes>(r.node.blocks));
    r.errors += heapLayoutErrors(*r.heap);
    return r;
}

inline ReadBack readBackPc(const NodeContent& content)
{
    return readBack(content, Nid::make(NidType::NormalMessage, 0x10001));
}
inline ReadBack readBackTc(const NodeContent& content)
{
    return readBack(content, Nid::make(NidType::ContentsTable, 0x401));
}

} // namespace tressimo::pst::testing
