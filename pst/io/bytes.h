#pragma once
// Little-endian byte buffers: every multi-byte field of a PST file is little-endian.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tressimo::pst {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline std::uint16_t getU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t getU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t getU64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(getU32(p)) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}

inline void putU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends little-endian values to a growing buffer.
class ByteWriter
{
public:
    explicit ByteWriter(Bytes& out) : m_out(out) {}
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v) { append(v, 2); }
    void u32(std::uint32_t v) { append(v, 4); }
    void u64(std::uint64_t v) { append(v, 8); }
    void bytes(ByteView v) { m_out.insert(m_out.end(), v.begin(), v.end()); }
    void zeros(std::size_t n) { m_out.insert(m_out.end(), n, 0); }
    std::size_t size() const { return m_out.size(); }

private:
    void append(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            m_out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    Bytes& m_out;
};

} // namespace tressimo::pst
