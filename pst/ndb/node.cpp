#include "pst/ndb/node.h"

#include <algorithm>

namespace tressimo::pst {

std::vector<Bytes> splitIntoBlocks(ByteView data)
{
    std::vector<Bytes> blocks;
    for (std::size_t at = 0; at < data.size(); at += kMaxBlockData) {
        std::size_t n = std::min(kMaxBlockData, data.size() - at);
        blocks.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                            data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    return blocks;
}

} // namespace tressimo::pst
