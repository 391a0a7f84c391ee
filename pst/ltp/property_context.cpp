#include "pst/ltp/property_context.h"

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"

#include <algorithm>
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

} // namespace

NodeContent buildPropertyContext(std::span<const PropValue> values, SubnodeNidAllocator& nids)
{
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return values[a].tag().id() < values[b].tag().id();
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PropTag tag = values[order[i]].tag();
        if (!isKnownType(tag.type()))
            throw LtpError("property " + tagName(tag) + " has a type that cannot be stored");
        if (i > 0 && values[order[i - 1]].tag().id() == tag.id())
            throw LtpError("property " + tagName(tag) + " is given twice (also as " +
                           tagName(values[order[i - 1]].tag()) + ")");
    }

    NodeContent node;
    HeapBuilder heap(HeapClient::PropertyContext);
    BthWriter bth(heap, kPcKeySize, kPcDataSize);
    bth.reserve(values.size());

    std::vector<std::uint32_t> hnids(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const ByteView data = values[i].data();
        const std::size_t size = fixedSize(values[i].type());
        if (size >= 1 && size <= 4) {
            std::uint32_t inline32 = 0;
            for (std::size_t k = 0; k < size; ++k)
                inline32 |= static_cast<std::uint32_t>(data[k]) << (8 * k);
            hnids[i] = inline32;
        } else if (data.empty()) {
            hnids[i] = 0;
        } else if (data.size() <= kMaxHeapAllocation) {
            hnids[i] = heap.allocate(data).value;
        } else {
            const Nid nid = nids.allocate(NidType::Ltp);
            node.subnodes.push_back(SubnodeContent{nid, NodeStream{splitIntoBlocks(data)}, {}});
            hnids[i] = nid.value;
        }
    }

    Bytes records(values.size() * sizeof(PcRecord));
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PropTag tag = values[order[i]].tag();
        store(PcRecord{tag.id(), static_cast<std::uint16_t>(tag.type()), hnids[order[i]]},
              records.data() + i * sizeof(PcRecord));
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
