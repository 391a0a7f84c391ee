#include "pst/ndb/write_buffer.h"

#include <cstring>

namespace tressimo::pst::ndb {

WriteBuffer::WriteBuffer(Sink& sink, std::size_t capacity)
    : m_sink(sink), m_capacity(capacity),
      m_buffer(capacity > 0 ? std::make_unique<std::uint8_t[]>(capacity + kHeadroom) : nullptr)
{
}

void WriteBuffer::write(std::uint64_t offset, ByteView data)
{
    std::memcpy(claim(offset, data.size()), data.data(), data.size());
    release();
}

std::uint8_t* WriteBuffer::claim(std::uint64_t offset, std::size_t size)
{
    if (m_size > 0 && (offset != m_start + m_size || size > kHeadroom))
        flush();
    if (m_capacity == 0 || (m_size == 0 && size >= m_capacity) || size > kHeadroom) {
        m_direct.resize(size);
        m_directOffset = offset;
        m_isDirect = true;
        return m_direct.data();
    }
    if (m_size == 0)
        m_start = offset;
    std::uint8_t* at = m_buffer.get() + m_size;
    m_size += size;
    return at;
}

void WriteBuffer::release()
{
    if (m_isDirect) {
        m_isDirect = false;
        m_sink.writeAt(m_directOffset, m_direct);
        return;
    }
    if (m_size >= m_capacity)
        flush();
}

void WriteBuffer::flush()
{
    if (m_size == 0)
        return;
    const std::size_t size = m_size;
    m_size = 0;
    m_sink.writeAt(m_start, ByteView(m_buffer.get(), size));
}

} // namespace tressimo::pst::ndb
