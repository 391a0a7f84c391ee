#pragma once
// What the end-to-end tests share: temporary folders, running the readers we did not write,
// and a session over the real writer with a repeatable clock and random source.

#include "e2e_contacts.h"
#include "mapi/contact_time.h"
#include "mapi/pst_session.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace tressimo::mapi::test {

class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct CommandResult
{
    int exitCode = -1;
    std::string output; // stdout and stderr together
};
// Runs a program (no shell) and collects what it prints.
CommandResult runProgram(const std::vector<std::string>& argv);

std::string readText(const std::filesystem::path& path);

// 2026-12-06 10:00:00 UTC.
inline const std::chrono::system_clock::time_point e2eStart =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 6} + std::chrono::hours{10};

// Options for a session over the real writer: a clock standing at e2eStart unless moved,
// every random byte 0x5A (so record and search keys are known), dates in UTC.
PstSessionOptions realWriterOptions(std::shared_ptr<std::chrono::system_clock::time_point> clock = {});

} // namespace tressimo::mapi::test
