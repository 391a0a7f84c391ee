#include "pst/ndb/btree.h"

#include "pst/io/bytes.h"

namespace tressimo::pst::ndb {

void NodeTreeTraits::encode(const NodeEntry& e, std::uint8_t* out)
{
    putU64(out, e.nid); // NIDs are widened to eight bytes like every B-tree key
    putU64(out + 8, e.data);
    putU64(out + 16, e.sub);
    putU32(out + 24, e.parent);
    putU32(out + 28, 0);
}

void BlockTreeTraits::encode(const BlockEntry& e, std::uint8_t* out)
{
    putU64(out, e.bid);
    putU64(out + 8, e.ib);
    putU16(out + 16, e.cb);
    putU16(out + 18, e.cRef);
    putU32(out + 20, 0);
}

void finishBtPage(Page& page, PageType type, std::size_t count, std::size_t max, std::size_t entrySize,
                  std::uint8_t level, const BlockRef& ref)
{
    page[kBtEntriesSize] = static_cast<std::uint8_t>(count);
    page[kBtEntriesSize + 1] = static_cast<std::uint8_t>(max);
    page[kBtEntriesSize + 2] = static_cast<std::uint8_t>(entrySize);
    page[kBtEntriesSize + 3] = level;
    sealPage(page, type, ref.bid, ref.ib);
}

} // namespace tressimo::pst::ndb
