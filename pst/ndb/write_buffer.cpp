#include "pst/ndb/write_buffer.h"

namespace tressimo::pst::ndb {

WriteBuffer::WriteBuffer(Sink& sink, std::size_t capacity)
    : m_sink(sink), m_capacity(capacity),
      m_buffer(capacity > 0 ? std::make_unique<std::uint8_t[]>(capacity + kHeadroom) : nullptr)
{
}

std::uint8_t* WriteBuffer::claimDirect(std::uint64_t offset, std::size_t size)
{
    m_direct.resize(size);
    m_directOffset = offset;
    m_isDirect = true;
    return m_direct.data();
}

void WriteBuffer::releaseDirect()
{
    m_isDirect = false;
    m_sink.writeAt(m_directOffset, m_direct);
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
