#pragma once
// Gathers writes to adjacent offsets into one write of the sink. A writer can also fill the
// bytes in place (claim, then release), so a block is encoded straight into the buffer.

#include "pst/io/bytes.h"
#include "pst/io/sink.h"
#include "pst/ndb/format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace tressimo::pst::ndb {

class WriteBuffer
{
public:
    // Room past the capacity for one more block or page, so that an append never has to
    // split or move what is gathered.
    static constexpr std::size_t kHeadroom = kMaxBlockSize;

    // A capacity of 0 writes everything through at once.
    WriteBuffer(Sink& sink, std::size_t capacity);

    void write(std::uint64_t offset, ByteView data)
    {
        std::memcpy(claim(offset, data.size()), data.data(), data.size());
        release();
    }

    // Room for `size` bytes that go to `offset`, valid until release(). Inline: every block
    // and page passes through here.
    std::uint8_t* claim(std::uint64_t offset, std::size_t size)
    {
        if (m_size > 0 && (offset != m_start + m_size || size > kHeadroom))
            flush();
        if (m_capacity == 0 || (m_size == 0 && size >= m_capacity) || size > kHeadroom)
            return claimDirect(offset, size);
        if (m_size == 0)
            m_start = offset;
        std::uint8_t* at = m_buffer.get() + m_size;
        m_size += size;
        return at;
    }

    // The claimed bytes are complete.
    void release()
    {
        if (m_isDirect)
            releaseDirect();
        else if (m_size >= m_capacity)
            flush();
    }

    void flush();

private:
    std::uint8_t* claimDirect(std::uint64_t offset, std::size_t size);
    void releaseDirect();

    Sink& m_sink;
    std::size_t m_capacity;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_size = 0;
    std::uint64_t m_start = 0;
    // A write that bypasses the buffer (no buffering, or too big to gather).
    Bytes m_direct;
    std::uint64_t m_directOffset = 0;
    bool m_isDirect = false;
};

} // namespace tressimo::pst::ndb
