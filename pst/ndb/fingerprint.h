#pragma once
// What identifies a block's contents without keeping them: a 64-bit hash, the format's CRC
// and the length. Blocks of a data tree that come back unchanged when their node is put again
// are kept rather than written anew.

#include "pst/io/bytes.h"

#include <cstdint>

namespace tressimo::pst::ndb {

struct Fingerprint
{
    std::uint64_t hash = 0;
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
    bool operator==(const Fingerprint&) const = default;
};

Fingerprint fingerprint(ByteView data);

} // namespace tressimo::pst::ndb
