#include "pst/ndb/page.h"

#include "pst/io/bytes.h"
#include "pst/io/crc.h"

namespace tressimo::pst::ndb {

void sealPage(Page& page, PageType type, Bid bid, std::uint64_t ib)
{
    std::uint8_t* trailer = page.data() + kPageDataSize;
    bool signed_ =
        type == PageType::BlockBTree || type == PageType::NodeBTree || type == PageType::DensityList;
    trailer[0] = static_cast<std::uint8_t>(type);
    trailer[1] = static_cast<std::uint8_t>(type);
    putU16(trailer + 2, signed_ ? computeSignature(ib, bid) : 0);
    putU32(trailer + 4, computeCrc(page.data(), kPageDataSize));
    putU64(trailer + 8, bid);
}

} // namespace tressimo::pst::ndb
