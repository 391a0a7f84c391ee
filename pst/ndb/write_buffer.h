#pragma once
// Gathers writes to adjacent offsets into one write of the sink. A writer can also fill the
// bytes in place (claim, then release), so a block is encoded straight into the buffer.

#include "pst/io/bytes.h"
#include "pst/io/sink.h"
#include "pst/ndb/format.h"

#include <cstddef>
#include <cstdint>
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

    void write(std::uint64_t offset, ByteView data);
    // Room for `size` bytes that go to `offset`, valid until release().
    std::uint8_t* claim(std::uint64_t offset, std::size_t size);
    // The claimed bytes are complete.
    void release();
    void flush();

private:
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
