#pragma once
// What the session tests share: a session over the real writer with a clock the test moves
// and every random byte 0x5A (so record and search keys are known), the bytes kept after the
// store is gone, and the contact writer's way of writing one contact through the model.

#include "platform/path_text.h"
#include "e2e_contacts.h"
#include "mapi/contact_time.h"
#include "mapi/mapi.h"
#include "mapi/pst_session.h"
#include "tests/support/kept_sink.h"
#include "tests/support/pst_support.h"
#include "tests/support/support.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::mapi::test {

using tressimo::testing::readWholeFile;
using tressimo::testing::TempDir;
using Written = tressimo::testing::KeptFile;

// The names in a folder, sorted.
inline std::vector<std::string> filesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(platform::textOfPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// Options writing real files, dates in UTC.
inline PstSessionOptions realWriterOptions(std::shared_ptr<std::chrono::system_clock::time_point> clock = {})
{
    if (!clock)
        clock = std::make_shared<std::chrono::system_clock::time_point>(tressimo::testing::kTestStart);
    PstSessionOptions options;
    options.session.clock = [clock] { return *clock; };
    options.session.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x5A); };
    options.localToUtc = contact::fixedOffsetZone(0);
    return options;
}

// A logged-on session writing into memory; `written` is the last store opened, `now` its clock,
// `durable` the item counts its commits reported.
struct Rig
{
    std::shared_ptr<Written> written;
    std::shared_ptr<std::vector<std::uint64_t>> durable = std::make_shared<std::vector<std::uint64_t>>();
    std::shared_ptr<std::chrono::system_clock::time_point> now =
        std::make_shared<std::chrono::system_clock::time_point>(tressimo::testing::kTestStart);

    PstSessionOptions options()
    {
        PstSessionOptions o = realWriterOptions(now);
        o.openSink = [this](const std::filesystem::path& path) -> std::unique_ptr<pst::Sink> {
            written = std::make_shared<Written>(Written{pst::MemorySink(path.string())});
            return std::make_unique<tressimo::testing::KeptSink>(written);
        };
        o.localToUtc = contact::fixedOffsetZone(60);
        o.onCommit = [durable = durable](const CommitReport& r) { durable->push_back(r.itemsDurable); };
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
