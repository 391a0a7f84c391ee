#pragma once
// Edits a copy of a PST in memory so that exactly one thing is wrong: it changes the chosen
// bytes and then repairs every checksum the change would otherwise break (header CRCs, page
// CRCs, block CRCs, permute encoding), so a test sees only the fault it planted.

#include "pst/check/page.h"
#include "pst/check/pst_file.h"
#include "pst/check/table_context.h"
#include "tests/support/pst_support.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tressimo::pst::check::testing {

using tressimo::testing::referencePst;

class PstPatcher
{
public:
    // A copy of tests/data/reference-pst/<name>.
    explicit PstPatcher(const std::string& referenceName);

    Bytes& bytes() { return m_bytes; }
    std::shared_ptr<const PstFile> parse() const;

    // A little-endian header field of `size` bytes, with both header CRCs recomputed.
    void setHeader(std::size_t offset, std::uint64_t value, std::size_t size = 8);

    void fixPageCrc(std::uint64_t pageOffset);
    // Rewrites one field of a B-tree leaf entry and repairs its page's CRC.
    void setNbtField(std::uint32_t nid, std::size_t fieldOffset, std::uint64_t value, std::size_t size)
    {
        setLeafField(PageType::Nbt, nid, fieldOffset, value, size);
    }
    void setBbtField(std::uint64_t bid, std::size_t fieldOffset, std::uint64_t value, std::size_t size)
    {
        setLeafField(PageType::Bbt, bid, fieldOffset, value, size);
    }

    // Edits a block's data as a reader sees it (decoded), then re-encodes and repairs its CRC.
    void editBlock(std::uint64_t bid, const std::function<void(Bytes&)>& edit);
    // The single data block of a top-level node, or of one of its subnodes (the tests pick
    // nodes that have one).
    std::uint64_t dataBlockOf(std::uint32_t nid, std::uint32_t subnode = 0) const;

    // Sets an inline (at most 4-byte) value of a node's (or its subnode's) property context.
    void setInlineProperty(std::uint32_t nid, std::uint32_t tag, std::uint32_t value,
                           std::uint32_t subnode = 0);
    // Edits the 8-byte BTH record (id, type, value or HNID) of one property in place.
    void editPropertyRecord(std::uint32_t nid, std::uint32_t tag,
                            const std::function<void(std::uint8_t*)>& edit, std::uint32_t subnode = 0);
    // Edits the bytes of a heap-stored property value in place.
    void editPropertyValue(std::uint32_t nid, std::uint32_t tag,
                           const std::function<void(std::uint8_t* value, std::size_t size)>& edit);
    // Replaces a heap allocation with shorter contents: later allocations move down and the
    // freed bytes become slack before the page map, so the block keeps its size.
    void shrinkHeapItem(std::uint32_t nid, std::uint32_t hid, const Bytes& contents);
    // Edits one row of a table context in place; `row` points at the row's first byte.
    void editTableRow(std::uint32_t tableNid, std::uint32_t rowId,
                      const std::function<void(std::uint8_t* row, const Table& table)>& edit);

    // Sets or clears the AMap bit of one 64-byte slot, keeping the AMap page CRC and the
    // header's cbAMapFree consistent with it.
    void setAMapBit(std::uint64_t offset, bool allocated);

private:
    void setLeafField(PageType tree, std::uint64_t key, std::size_t fieldOffset, std::uint64_t value,
                      std::size_t size);
    // Offset of an allocation in the node's (single-block) heap.
    std::size_t heapItemOffset(std::uint32_t nid, std::uint32_t hid, std::uint32_t subnode = 0) const;
    Bytes m_bytes;
};

} // namespace tressimo::pst::check::testing
