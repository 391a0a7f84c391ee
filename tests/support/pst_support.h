#pragma once
// What tests of stores share: Outlook's reference files, a file's bytes, the checker's
// verdict as a readable failure, and the contacts a store holds.

#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace tressimo::testing {

// 2026-12-06 10:00:00 UTC, where the clocks of repeatable stores stand.
inline const std::chrono::system_clock::time_point kTestStart =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 6} + std::chrono::hours{10};

// tests/data/reference-pst/<name>: the files Outlook wrote.
inline std::filesystem::path referencePst(const std::string& name)
{
    return std::filesystem::path(TRESSIMO_SOURCE_DIR) / "tests/data/reference-pst" / name;
}

inline pst::Bytes readFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return pst::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The checker's errors (notes are fine) as a failure message.
inline ::testing::AssertionResult soundOrReport(const pst::check::Violations& found)
{
    if (pst::check::isSound(found))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "pst-check finds:\n";
    for (const pst::check::Violation& v : found)
        failure << "  " << v.toString() << "\n";
    return failure;
}
inline ::testing::AssertionResult isSound(const pst::Bytes& bytes)
{
    return soundOrReport(pst::check::checkPstBytes(bytes));
}
inline ::testing::AssertionResult isSound(const std::filesystem::path& path)
{
    return soundOrReport(pst::check::checkPst(path)) << " in " << path;
}

// The given names of the contacts in a store's Contacts folder, in the order written.
inline std::vector<std::string> givenNamesIn(const pst::check::PstReader& reader)
{
    std::vector<std::string> names;
    for (std::uint32_t nid : reader.messages(reader.findFolder("Contacts").value()))
        names.push_back(reader.properties(nid).at(0x3A06001F).toUtf8()); // PidTagGivenName
    return names;
}

} // namespace tressimo::testing
