#pragma once
// A sink that lends a session the bytes of a memory sink the test keeps, so the file can be
// read after the session (and the sink it was given) is gone.

#include "pst/io/sink.h"

#include <memory>
#include <string>

namespace tressimo::testing {

class KeptSink : public pst::Sink
{
public:
    explicit KeptSink(std::shared_ptr<pst::MemorySink> kept) : m_kept(std::move(kept)) {}
    void writeAt(std::uint64_t offset, pst::ByteView data) override { m_kept->writeAt(offset, data); }
    void resize(std::uint64_t size) override { m_kept->resize(size); }
    void sync() override { m_kept->sync(); }
    std::uint64_t size() const override { return m_kept->size(); }
    std::string name() const override { return m_kept->name(); }

private:
    std::shared_ptr<pst::MemorySink> m_kept;
};

} // namespace tressimo::testing
