#include "pst/ndb/fingerprint.h"

#include "pst/io/crc.h"

namespace tressimo::pst::ndb {

Fingerprint fingerprint(ByteView data)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ data.size();
    std::size_t i = 0;
    for (; i + 8 <= data.size(); i += 8) {
        h = (h ^ getU64(data.data() + i)) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    for (; i < data.size(); ++i)
        h = (h ^ data[i]) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 32;
    return Fingerprint{h, computeCrc(data.data(), data.size()), static_cast<std::uint32_t>(data.size())};
}

} // namespace tressimo::pst::ndb
