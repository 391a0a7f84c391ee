#pragma once
// What a store wrote, kept after the store (and the sink it was given) is gone; from failAt on
// (counting writes, resizes and syncs from 1) every operation fails as on a full disk.

#include "pst/io/sink.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tressimo::testing {

struct KeptFile
{
    pst::MemorySink bytes;
    bool closed = false;
    std::uint64_t operations = 0;
    std::uint64_t failAt = UINT64_MAX;
};

class KeptSink : public pst::Sink
{
public:
    explicit KeptSink(std::shared_ptr<KeptFile> kept) : m_kept(std::move(kept)) {}
    ~KeptSink() override { m_kept->closed = true; }
    void writeAt(std::uint64_t offset, pst::ByteView data) override
    {
        step();
        m_kept->bytes.writeAt(offset, data);
    }
    void resize(std::uint64_t size) override
    {
        step();
        m_kept->bytes.resize(size);
    }
    void sync() override
    {
        step();
        m_kept->bytes.sync();
    }
    std::uint64_t size() const override { return m_kept->bytes.size(); }
    std::string name() const override { return m_kept->bytes.name(); }

private:
    void step()
    {
        if (++m_kept->operations >= m_kept->failAt)
            throw pst::IoError("Cannot write to \"" + name() + "\": No space left on device");
    }
    std::shared_ptr<KeptFile> m_kept;
};

} // namespace tressimo::testing
