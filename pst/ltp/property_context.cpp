#include "pst/ltp/property_context.h"

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/utf16.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

namespace tressimo::pst {
namespace {

void store(const PcRecord& r, std::uint8_t* p)
{
    putU16(p, r.wPropId);
    putU16(p + 2, r.wPropType);
    putU32(p + 4, r.dwValueHnid);
}

// A borrowed text's UTF-16 bytes, made as the node database stores them.
class TextSource final : public StreamSource
{
public:
    TextSource(std::string_view utf8, std::uint64_t size) : m_pieces(utf8), m_size(size) {}
    std::uint64_t size() const override { return m_size; }
    void read(std::uint8_t* out, std::size_t size) override { m_pieces.next(out, size); }

private:
    text::Utf16Pieces m_pieces;
    std::uint64_t m_size;
};

} // namespace

NodeContent buildPropertyContext(std::span<const PropValue> values, SubnodeNidAllocator& nids)
{
    // Callers nearly always hand the values sorted by id; then the order is the identity.
    auto byId = [&](std::size_t a, std::size_t b) { return values[a].tag().id() < values[b].tag().id(); };
    const bool sorted =
        std::is_sorted(values.begin(), values.end(),
                       [](const PropValue& a, const PropValue& b) { return a.tag().id() < b.tag().id(); });
    std::vector<std::size_t> order;
    if (!sorted) {
        order.resize(values.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), byId);
    }
    auto at = [&](std::size_t i) -> const PropValue& { return values[sorted ? i : order[i]]; };
    for (std::size_t i = 0; i < values.size(); ++i) {
        const PropTag tag = at(i).tag();
        if (!isKnownType(tag.type()))
            throw LtpError("property " + tagName(tag) + " has a type that cannot be stored");
        if (i > 0 && at(i - 1).tag().id() == tag.id())
            throw LtpError("property " + tagName(tag) + " is given twice (also as " +
                           tagName(at(i - 1).tag()) + ")");
    }

    NodeContent node;
    HeapBuilder heap(HeapClient::PropertyContext);
    BthWriter bth(heap, kPcKeySize, kPcDataSize);
    bth.reserve(values.size());

    // The records, in the order of `values` first (heap values are allocated in that order),
    // then sorted by id when they were not.
    Bytes records(values.size() * sizeof(PcRecord));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<std::string_view> borrowed = values[i].borrowedUtf8();
        const ByteView data = borrowed ? ByteView() : values[i].data();
        const std::size_t size = fixedSize(values[i].type());
        std::uint32_t hnid = 0;
        if (borrowed && values[i].size() > kMaxHeapAllocation) {
            const Nid nid = nids.allocate(NidType::Ltp);
            NodeStream stream;
            stream.source = std::make_shared<TextSource>(*borrowed, values[i].size());
            node.subnodes.push_back(SubnodeContent{nid, std::move(stream), {}});
            hnid = nid.value;
        } else if (borrowed) {
            hnid = values[i].size() == 0 ? 0 : heap.allocate(values[i].data()).value;
        } else if (size >= 1 && size <= 4) {
            for (std::size_t k = 0; k < size; ++k)
                hnid |= static_cast<std::uint32_t>(data[k]) << (8 * k);
        } else if (data.empty()) {
            hnid = 0;
        } else if (data.size() <= kMaxHeapAllocation) {
            hnid = heap.allocate(data).value;
        } else {
            const Nid nid = nids.allocate(NidType::Ltp);
            node.subnodes.push_back(SubnodeContent{nid, NodeStream{splitIntoBlocks(data), 0, {}}, {}});
            hnid = nid.value;
        }
        const PropTag tag = values[i].tag();
        store(PcRecord{tag.id(), static_cast<std::uint16_t>(tag.type()), hnid},
              records.data() + i * sizeof(PcRecord));
    }
    if (!sorted) {
        Bytes inOrder(records.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            std::memcpy(inOrder.data() + i * sizeof(PcRecord), records.data() + order[i] * sizeof(PcRecord),
                        sizeof(PcRecord));
        records.swap(inOrder);
    }
    bth.write(records);
    heap.setUserRoot(bth.header());
    node.data.blocks = heap.finish();
    return node;
}

NodeContent buildPropertyContext(std::span<const PropValue> values)
{
    SubnodeNidAllocator nids;
    return buildPropertyContext(values, nids);
}

} // namespace tressimo::pst
