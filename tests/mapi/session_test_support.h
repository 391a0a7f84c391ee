#pragma once
// What the session tests share: a session over the real writer into memory with a clock the
// test moves, the bytes kept after the store is gone, and the contact writer's way of writing
// one contact through the model.

#include "e2e_contacts.h"
#include "mapi/mapi.h"
#include "mapi/pst_session.h"
#include "pst/io/sink.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tressimo::mapi::test {

// The names in a folder, sorted.
inline std::vector<std::string> filesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// 2026-12-06 10:00:00 UTC.
inline const std::chrono::system_clock::time_point startTime =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 6} + std::chrono::hours{10};

// What a store wrote, kept after the store is gone; from failAt on (counting writes, resizes
// and syncs from 1) every operation fails as on a full disk.
struct Written
{
    pst::MemorySink bytes;
    bool closed = false;
    std::uint64_t operations = 0;
    std::uint64_t failAt = UINT64_MAX;
};

class KeptSink : public pst::Sink
{
public:
    explicit KeptSink(std::shared_ptr<Written> w) : m_w(std::move(w)) {}
    ~KeptSink() override { m_w->closed = true; }
    void writeAt(std::uint64_t offset, pst::ByteView data) override
    {
        step();
        m_w->bytes.writeAt(offset, data);
    }
    void resize(std::uint64_t size) override
    {
        step();
        m_w->bytes.resize(size);
    }
    void sync() override
    {
        step();
        m_w->bytes.sync();
    }
    std::uint64_t size() const override { return m_w->bytes.size(); }
    std::string name() const override { return m_w->bytes.name(); }

private:
    void step()
    {
        if (++m_w->operations >= m_w->failAt)
            throw pst::IoError("Cannot write to \"" + name() + "\": No space left on device");
    }
    std::shared_ptr<Written> m_w;
};

// A logged-on session over the real writer; `written` is the last store opened, `now` its clock.
struct Rig
{
    std::shared_ptr<Written> written;
    std::shared_ptr<std::chrono::system_clock::time_point> now =
        std::make_shared<std::chrono::system_clock::time_point>(startTime);

    PstSessionOptions options()
    {
        PstSessionOptions o;
        o.session.environment.clock = [now = now] { return *now; };
        o.session.environment.random = [](std::span<std::uint8_t> out) {
            std::fill(out.begin(), out.end(), 0x5A);
        };
        o.openSink = [this](const std::filesystem::path& path) -> std::unique_ptr<pst::Sink> {
            written = std::make_shared<Written>(Written{pst::MemorySink(path.string())});
            return std::make_unique<KeptSink>(written);
        };
        o.session.environment.localToUtc = contact::fixedOffsetZone(60);
        return o;
    }

    std::unique_ptr<RDOSession> session(PstSessionOptions o)
    {
        auto s = createPstSession(std::move(o));
        s->Logon();
        return s;
    }
    std::unique_ptr<RDOSession> session() { return session(options()); }

    void advance(std::chrono::milliseconds by) { *now += by; }
};

} // namespace tressimo::mapi::test
