#include "pst/io/crc.h"

#include "pst/io/bytes.h"

#include <array>
#include <cstring>

namespace tressimo::pst {
namespace {

// Slice-by-8 tables: table[0] is the classic byte table, table[k] advances k more bytes.
std::array<std::array<std::uint32_t, 256>, 8> makeTables()
{
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

const auto kTables = makeTables();

// Eight bytes at once (slice-by-8), the first byte in the low bits of `word`.
inline std::uint32_t crcWord(std::uint32_t crc, std::uint64_t word)
{
    const std::uint32_t lo = crc ^ static_cast<std::uint32_t>(word);
    const auto hi = static_cast<std::uint32_t>(word >> 32);
    return kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
           kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
           kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
}

} // namespace

std::uint32_t computeCrc(const void* data, std::size_t size, std::uint32_t seed)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::uint32_t crc = seed;
    while (size >= 8) {
        std::uint32_t lo =
            crc ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
        std::uint32_t hi = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<std::uint32_t>(p[7]) << 24);
        crc = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
              kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
              kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size--)
        crc = kTables[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::uint32_t copyAndComputeCrc(const std::uint8_t* in, std::uint8_t* out, std::size_t size,
                                const std::uint8_t* byteMap)
{
    std::uint32_t crc = 0;
    if (!byteMap) {
        std::memcpy(out, in, size);
        return computeCrc(out, size);
    }
    for (; size >= 8; size -= 8, in += 8, out += 8) {
        std::uint64_t word = 0;
        for (int i = 0; i < 8; ++i)
            word |= std::uint64_t{byteMap[in[i]]} << (8 * i);
        putU64(out, word);
        crc = crcWord(crc, word);
    }
    for (; size > 0; --size) {
        const std::uint8_t b = byteMap[*in++];
        *out++ = b;
        crc = kTables[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

} // namespace tressimo::pst
