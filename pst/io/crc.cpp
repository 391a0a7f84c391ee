#include "pst/io/crc.h"

#include "pst/io/bytes.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TRESSIMO_CRC_FOLDING 1
#else
#define TRESSIMO_CRC_FOLDING 0
#endif

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

std::uint32_t tableCrc(const std::uint8_t* p, std::size_t size, std::uint32_t crc)
{
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

#if TRESSIMO_CRC_FOLDING

// Carry-less multiplication folds the data 64 bytes, then 16 bytes at a time into one 128-bit
// value that stands for everything folded: the CRC of its 16 bytes from seed 0 is the CRC of
// all of it (Intel, "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ
// Instruction", 2009). The constants are x^(512+32), x^(512-32), x^(128+32) and x^(128-32)
// modulo the reflected polynomial, bit-reflected and shifted left once, as that paper derives
// them for 0xEDB88320.
constexpr std::uint64_t kFold4Low = 0x154442bd4;
constexpr std::uint64_t kFold4High = 0x1c6e41596;
constexpr std::uint64_t kFold1Low = 0x1751997d0;
constexpr std::uint64_t kFold1High = 0x0ccaa009e;

__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i x, __m128i constants, __m128i next)
{
    const __m128i low = _mm_clmulepi64_si128(x, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(x, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse2"))) std::uint32_t foldingCrc(const std::uint8_t* p, std::size_t size,
                                                                std::uint32_t crc)
{
    auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    size -= 64;
    const __m128i by4 = _mm_set_epi64x(static_cast<long long>(kFold4High), static_cast<long long>(kFold4Low));
    for (; size >= 64; p += 64, size -= 64) {
        x0 = fold(x0, by4, load(p));
        x1 = fold(x1, by4, load(p + 16));
        x2 = fold(x2, by4, load(p + 32));
        x3 = fold(x3, by4, load(p + 48));
    }
    const __m128i by1 = _mm_set_epi64x(static_cast<long long>(kFold1High), static_cast<long long>(kFold1Low));
    __m128i x = fold(fold(fold(x0, by1, x1), by1, x2), by1, x3);
    for (; size >= 16; p += 16, size -= 16)
        x = fold(x, by1, load(p));
    std::uint8_t folded[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x);
    return tableCrc(p, size, tableCrc(folded, sizeof folded, 0));
}

bool hasFolding()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") != 0;
    }();
    return has;
}

// A 256-entry byte map applied 64 bytes at a time: two 128-entry lookups on the low seven
// bits, and the top bit picks between them. Most of what the store writes passes through the
// permute encoding, which is otherwise one load per byte.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t mapBytesWide(const std::uint8_t* in,
                                                                                 std::uint8_t* out, std::size_t size,
                                                                                 const std::uint8_t* byteMap)
{
    const __m512i t0 = _mm512_loadu_si512(byteMap);
    const __m512i t1 = _mm512_loadu_si512(byteMap + 64);
    const __m512i t2 = _mm512_loadu_si512(byteMap + 128);
    const __m512i t3 = _mm512_loadu_si512(byteMap + 192);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m512i x = _mm512_loadu_si512(in + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    return i;
}

bool hasWideMap()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return has;
}

#endif

} // namespace

std::uint32_t computeCrc(const void* data, std::size_t size, std::uint32_t seed)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
#if TRESSIMO_CRC_FOLDING
    if (size >= 64 && hasFolding())
        return foldingCrc(p, size, seed);
#endif
    return tableCrc(p, size, seed);
}

std::uint32_t copyAndComputeCrc(const std::uint8_t* in, std::uint8_t* out, std::size_t size,
                                const std::uint8_t* byteMap)
{
    if (!byteMap) {
        std::memcpy(out, in, size);
    } else {
        std::size_t i = 0;
#if TRESSIMO_CRC_FOLDING
        if (size >= 64 && hasWideMap())
            i = mapBytesWide(in, out, size, byteMap);
#endif
        for (; i + 8 <= size; i += 8) {
            // Eight bytes gathered into one word and stored at once.
            std::uint64_t word = 0;
            for (std::size_t k = 0; k < 8; ++k)
                word |= std::uint64_t{byteMap[in[i + k]]} << (8 * k);
            putU64(out + i, word);
        }
        for (; i < size; ++i)
            out[i] = byteMap[in[i]];
    }
    // The block is in the cache now: summing it a second time costs little.
    return computeCrc(out, size);
}

} // namespace tressimo::pst
