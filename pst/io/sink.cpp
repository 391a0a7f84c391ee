#include "pst/io/sink.h"

#include <cstring>

namespace tressimo::pst {

void MemorySink::writeAt(std::uint64_t offset, ByteView data)
{
    if (offset + data.size() > m_bytes.size())
        m_bytes.resize(offset + data.size());
    std::memcpy(m_bytes.data() + offset, data.data(), data.size());
}

void FailingSink::step()
{
    ++m_count;
    if (m_count >= m_failAt)
        throw IoError("Cannot write to \"" + m_inner->name() + "\": No space left on device");
}

void FailingSink::writeAt(std::uint64_t offset, ByteView data)
{
    step();
    m_inner->writeAt(offset, data);
}

void FailingSink::resize(std::uint64_t size)
{
    step();
    m_inner->resize(size);
}

void FailingSink::sync()
{
    step();
    m_inner->sync();
}

} // namespace tressimo::pst
