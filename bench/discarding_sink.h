#pragma once
// A sink that keeps the size and drops the bytes: what is left to time is the writer's own work.

#include "pst/io/sink.h"

#include <algorithm>

namespace tressimo::bench {

class DiscardingSink : public pst::Sink
{
public:
    void writeAt(std::uint64_t offset, pst::ByteView data) override
    {
        m_size = std::max(m_size, offset + data.size());
    }
    void resize(std::uint64_t size) override { m_size = size; }
    void sync() override {}
    std::uint64_t size() const override { return m_size; }
    std::string name() const override { return "discarded"; }

private:
    std::uint64_t m_size = 0;
};

} // namespace tressimo::bench
