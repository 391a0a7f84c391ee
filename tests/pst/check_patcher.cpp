#include "check_patcher.h"

#include "pst/check/block.h"
#include "pst/check/bth.h"
#include "pst/check/header.h"
#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/page.h"
#include "pst/io/crc.h"
#include "pst/io/permute.h"

#include <stdexcept>

namespace tressimo::pst::check::testing {

PstPatcher::PstPatcher(const std::string& referenceName)
    : m_bytes(tressimo::testing::readFileBytes(referencePst(referenceName)))
{
}

std::shared_ptr<const PstFile> PstPatcher::parse() const
{
    return PstFile::fromBytes(m_bytes, "patched");
}

static void putSized(std::uint8_t* p, std::uint64_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PstPatcher::setHeader(std::size_t offset, std::uint64_t value, std::size_t size)
{
    namespace o = headeroffset;
    putSized(m_bytes.data() + offset, value, size);
    putU32(m_bytes.data() + o::CrcPartial, computeCrc(m_bytes.data() + o::MagicClient, o::CrcPartialLength));
    putU32(m_bytes.data() + o::CrcFull, computeCrc(m_bytes.data() + o::MagicClient, o::CrcFullLength));
}

void PstPatcher::fixPageCrc(std::uint64_t ib)
{
    putU32(m_bytes.data() + ib + kPageDataSize + 4, computeCrc(m_bytes.data() + ib, kPageDataSize));
}

void PstPatcher::setLeafField(PageType tree, std::uint64_t key, std::size_t fieldOffset, std::uint64_t value,
                              std::size_t size)
{
    const std::size_t entrySize = tree == PageType::Nbt ? kNbtLeafEntrySize : kBbtLeafEntrySize;
    const auto file = parse();
    for (const TreePage& p : file->treePages()) {
        if (p.type != tree || p.level != 0)
            continue;
        for (std::size_t i = 0; i < p.entryCount; ++i) {
            const std::uint64_t at = p.ib + i * entrySize;
            if (getU64(m_bytes.data() + at) == key) {
                putSized(m_bytes.data() + at + fieldOffset, value, size);
                fixPageCrc(p.ib);
                return;
            }
        }
    }
    throw std::runtime_error("no B-tree entry for " + hex(key));
}

void PstPatcher::editBlock(std::uint64_t bid, const std::function<void(Bytes&)>& edit)
{
    const auto file = parse();
    const BlockEntry* b = file->findBlock(bid);
    if (!b)
        throw std::runtime_error("no block " + hex(bid));
    Bytes data = file->readBlock(bid);
    const std::size_t size = data.size();
    edit(data);
    if (data.size() != size)
        throw std::runtime_error("a block edit must keep the block's size");
    const bool encoded = !isInternalBid(bid) && file->header().cryptMethod == 1;
    if (encoded)
        permuteEncode(data.data(), data.size());
    std::copy(data.begin(), data.end(), m_bytes.begin() + b->ib);
    const std::uint64_t trailer = b->ib + blockDiskSize(b->cb) - kBlockTrailerSize;
    putU32(m_bytes.data() + trailer + 4, computeCrc(m_bytes.data() + b->ib, b->cb));
}

std::uint64_t PstPatcher::dataBlockOf(std::uint32_t nid, std::uint32_t subnode) const
{
    const auto file = parse();
    const NodeEntry* n = file->findNode(nid);
    std::uint64_t bid = n && !subnode ? n->bidData : 0;
    if (n && subnode)
        for (const SubnodeEntry& s : file->readSubnodes(n->bidSub))
            bid = s.nid == subnode ? s.bidData : bid;
    if (bid == 0 || isInternalBid(bid))
        throw std::runtime_error(hex(nid) + "/" + hex(subnode) + " has no single data block");
    return bid;
}

std::size_t PstPatcher::heapItemOffset(std::uint32_t nid, std::uint32_t hid, std::uint32_t subnode) const
{
    const auto file = parse();
    const Heap heap({file->readBlock(dataBlockOf(nid, subnode))});
    if (!heap.contains(hid) || hidBlock(hid) != 0)
        throw std::runtime_error("no allocation " + hex(hid) + " in the first heap block of " + hex(nid));
    return heap.pages()[0].offsets[hidIndex(hid) - 1];
}

void PstPatcher::editPropertyRecord(std::uint32_t nid, std::uint32_t tag,
                                    const std::function<void(std::uint8_t*)>& edit, std::uint32_t subnode)
{
    const auto file = parse();
    const Heap heap({file->readBlock(dataBlockOf(nid, subnode))});
    const ByteView header = heap.item(heap.userRoot());
    const std::uint32_t records = getU32(header.data() + 4);
    const ByteView all = heap.item(records);
    const std::size_t base = heapItemOffset(nid, records, subnode);
    for (std::size_t i = 0; i + 8 <= all.size(); i += 8) {
        if (getU16(all.data() + i) == tagId(tag) && getU16(all.data() + i + 2) == tagType(tag)) {
            editBlock(dataBlockOf(nid, subnode), [&](Bytes& b) { edit(b.data() + base + i); });
            return;
        }
    }
    throw std::runtime_error("no property " + tagHex(tag) + " in " + hex(nid));
}

void PstPatcher::setInlineProperty(std::uint32_t nid, std::uint32_t tag, std::uint32_t value,
                                   std::uint32_t subnode)
{
    editPropertyRecord(
        nid, tag, [&](std::uint8_t* r) { putU32(r + 4, value); }, subnode);
}

void PstPatcher::editPropertyValue(std::uint32_t nid, std::uint32_t tag,
                                   const std::function<void(std::uint8_t*, std::size_t)>& edit)
{
    std::uint32_t hid = 0;
    editPropertyRecord(nid, tag, [&](std::uint8_t* r) { hid = getU32(r + 4); });
    const auto file = parse();
    const Heap heap({file->readBlock(dataBlockOf(nid))});
    const std::size_t size = heap.item(hid).size();
    const std::size_t at = heapItemOffset(nid, hid);
    editBlock(dataBlockOf(nid), [&](Bytes& b) { edit(b.data() + at, size); });
}

void PstPatcher::shrinkHeapItem(std::uint32_t nid, std::uint32_t hid, const Bytes& contents)
{
    const auto file = parse();
    const Heap heap({file->readBlock(dataBlockOf(nid))});
    const HeapPage& page = heap.pages()[0];
    const std::size_t index = hidIndex(hid);
    const std::size_t begin = page.offsets[index - 1];
    const std::size_t end = page.offsets[index];
    if (contents.size() > end - begin)
        throw std::runtime_error("shrinkHeapItem cannot grow an allocation");
    const std::size_t cut = end - begin - contents.size();
    editBlock(dataBlockOf(nid), [&](Bytes& b) {
        const std::size_t allocEnd = page.offsets.back();
        std::copy(contents.begin(), contents.end(), b.begin() + begin);
        std::copy(b.begin() + end, b.begin() + allocEnd, b.begin() + begin + contents.size());
        std::fill(b.begin() + allocEnd - cut, b.begin() + allocEnd, 0);
        for (std::size_t i = index; i < page.offsets.size(); ++i)
            putU16(b.data() + page.pageMapOffset + 4 + 2 * i,
                   static_cast<std::uint16_t>(page.offsets[i] - cut));
    });
}

void PstPatcher::editTableRow(std::uint32_t tableNid, std::uint32_t rowId,
                              const std::function<void(std::uint8_t*, const Table&)>& edit)
{
    const auto file = parse();
    const NodeEntry* n = file->findNode(tableNid);
    const Table t = readTableContext(loadNode(*file, *n));
    const TableRow* row = t.findRow(rowId);
    if (!row)
        throw std::runtime_error("no row " + hex(rowId) + " in " + hex(tableNid));
    const std::size_t within = std::size_t{row->rowIndex} * t.rowSize();
    if (isHid(t.rowsHnid)) {
        const std::size_t base = heapItemOffset(tableNid, t.rowsHnid);
        editBlock(n->bidData, [&](Bytes& b) { edit(b.data() + base + within, t); });
        return;
    }
    for (const SubnodeEntry& s : file->readSubnodes(n->bidSub))
        if (s.nid == t.rowsHnid) {
            editBlock(s.bidData, [&](Bytes& b) { edit(b.data() + within, t); });
            return;
        }
    throw std::runtime_error("row matrix of " + hex(tableNid) + " not found");
}

void PstPatcher::setAMapBit(std::uint64_t offset, bool allocated)
{
    const std::uint64_t amap = kFirstAMapOffset + (offset - kFirstAMapOffset) / kAMapCoverage * kAMapCoverage;
    const std::uint64_t slot = (offset - amap) / kSlotSize;
    const auto bit = static_cast<std::uint8_t>(0x80 >> (slot % 8));
    if (((m_bytes[amap + slot / 8] & bit) != 0) == allocated)
        return;
    m_bytes[amap + slot / 8] ^= bit;
    fixPageCrc(amap);
    const std::uint64_t free = getU64(m_bytes.data() + headeroffset::AMapFree);
    setHeader(headeroffset::AMapFree, allocated ? free - kSlotSize : free + kSlotSize);
}

} // namespace tressimo::pst::check::testing
