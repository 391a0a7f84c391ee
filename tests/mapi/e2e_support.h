#pragma once
// What the end-to-end tests share: a session over the real writer with a repeatable clock and
// random source, and the shared test support under the names these tests use.

#include "e2e_contacts.h"
#include "mapi/contact_time.h"
#include "mapi/pst_session.h"
#include "tests/support/support.h"

#include <chrono>

namespace tressimo::mapi::test {

using TempFolder = tressimo::testing::TempDir;
using tressimo::testing::readWholeFile;

// 2026-12-06 10:00:00 UTC.
inline const std::chrono::system_clock::time_point e2eStart =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 6} + std::chrono::hours{10};

// Options for a session over the real writer: a clock standing at e2eStart unless moved,
// every random byte 0x5A (so record and search keys are known), dates in UTC.
inline PstSessionOptions realWriterOptions(std::shared_ptr<std::chrono::system_clock::time_point> clock = {})
{
    if (!clock)
        clock = std::make_shared<std::chrono::system_clock::time_point>(e2eStart);
    PstSessionOptions options;
    options.session.environment.clock = [clock] { return *clock; };
    options.session.environment.random = [](std::span<std::uint8_t> out) {
        std::fill(out.begin(), out.end(), 0x5A);
    };
    options.session.environment.localToUtc = contact::fixedOffsetZone(0);
    return options;
}

} // namespace tressimo::mapi::test
