#pragma once
// What the session tests share: a session over the fake message store with a clock the test
// moves, and the contact writer's way of writing one contact through the model.

#include "e2e_contacts.h"
#include "mapi/mapi.h"
#include "mapi/pst_session.h"
#include "store_fake_message_store.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
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

inline void countingRandom(std::span<std::uint8_t> out)
{
    static std::uint8_t next = 0;
    for (auto& b : out)
        b = next++;
}

// A logged-on session whose stores are fakes sharing `state`; `now` is its clock.
struct FakeRig
{
    std::shared_ptr<FakeStoreState> state = std::make_shared<FakeStoreState>();
    std::shared_ptr<std::chrono::system_clock::time_point> now =
        std::make_shared<std::chrono::system_clock::time_point>(startTime);
    std::shared_ptr<std::vector<CommitReport>> reports = std::make_shared<std::vector<CommitReport>>();

    PstSessionOptions options() const
    {
        PstSessionOptions o;
        o.session.clock = [now = now] { return *now; };
        o.session.random = countingRandom;
        o.openSink = [](const std::filesystem::path& path) -> std::unique_ptr<pst::Sink> {
            return std::make_unique<pst::MemorySink>(path.string());
        };
        o.createStore = [state = state](std::unique_ptr<pst::Sink>, std::string_view name,
                                        const pst::StoreOptions&) {
            return std::make_unique<FakeMessageStore>(state, name);
        };
        o.localToUtc = contact::fixedOffsetZone(60);
        o.onCommit = [reports = reports](const CommitReport& r) { reports->push_back(r); };
        return o;
    }

    std::unique_ptr<RDOSession> session(PstSessionOptions o) const
    {
        auto s = createPstSession(std::move(o));
        s->Logon();
        return s;
    }
    std::unique_ptr<RDOSession> session() const { return session(options()); }

    void advance(std::chrono::milliseconds by) { *now += by; }
};

} // namespace tressimo::mapi::test
