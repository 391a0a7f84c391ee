// build/pst-check as scripts and other tests call it: output lines and exit codes.

#include "tests/support/support.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

namespace fs = std::filesystem;

std::string reference(const std::string& name)
{
    return std::string(TRESSIMO_SOURCE_DIR) + "/tests/data/reference-pst/" + name;
}

// Exit status and stdout and stderr together.
std::pair<int, std::string> runTool(std::vector<std::string> args)
{
    args.insert(args.begin(), TRESSIMO_BINARY_DIR "/pst-check");
    const ProgramRun run = runProgram(args);
    return {run.status, run.out + run.err};
}

TEST(PstCheckTool, SoundFilesSayOkAndExitZero)
{
    const auto [status, output] = runTool({reference("outlook-empty.pst"), reference("outlook2007-contacts-distlist.pst")});
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("outlook-empty.pst: OK\n"), std::string::npos);
    EXPECT_NE(output.find("outlook2007-contacts-distlist.pst: OK\n"), std::string::npos);
    // Notes are printed but do not fail the file.
    EXPECT_NE(output.find("note MESSAGE_RECIPIENTS"), std::string::npos);
}

// A faulty file lists its violations and exits 1; an unreadable one, or a usage error, exits 2.
TEST(PstCheckTool, ExitStatusSaysFaultyOrUnreadable)
{
    const TempDir dir("pst-check");
    const fs::path damaged = dir / "damaged.pst";
    fs::copy_file(reference("outlook-empty.pst"), damaged);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(0x20C); // dwCRCFull
        const char c = static_cast<char>(f.get());
        f.seekp(0x20C);
        f.put(static_cast<char>(c ^ 1));
    }
    const std::string missing = (dir / "missing.pst").string();
    const std::string tiny = dir.write("tiny.pst", "!BDN").string();
    const std::string empty = reference("outlook-empty.pst");
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{damaged.string()}, 1, damaged.string() + ": HEADER_CRC_FULL header: expected dwCRCFull"},
        {{missing}, 2, "cannot open"},
        {{tiny}, 2, "fewer than a PST header"},
        {{empty, missing}, 2, "cannot open"},
        {{"--dump", missing}, 2, "cannot open"},
        {{}, 2, "usage: pst-check"},
        {{"--verbose", empty}, 2, "usage: pst-check"},
        {{"--dump"}, 2, "usage: pst-check"},
        {{"--dump", empty, empty}, 2, "usage: pst-check"},
    };
    for (const auto& [args, expected, says] : cases) {
        const auto [status, output] = runTool(args);
        EXPECT_EQ(status, expected) << says;
        EXPECT_NE(output.find(says), std::string::npos) << output;
    }
}

TEST(PstCheckTool, DumpAndCodes)
{
    const auto [status, output] = runTool({"--dump", reference("outlook-empty.pst")});
    EXPECT_EQ(status, 0);
    for (const char* expected :
         {"== header", "wVer 23", "bidNextB 0x130", "== nodes (47)", "node 0x8062 (folder) parent 0x8022",
          "block 0x8 at 0x4CC0 cb 276 cRef 6", "0x3001001F UNICODE = \"Empty\"",
          "0x8013 = {00020329-0000-0000-C000-000000000046}:\"Keywords\"", "row 0x8022 (row 0)",
          "column 0x67F20003 I4 ib 0 cb 4 bit 0"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected;
    const auto [codesStatus, codes] = runTool({"--codes"});
    EXPECT_EQ(codesStatus, 0);
    EXPECT_NE(codes.find("REF_COUNT\t"), std::string::npos);
    EXPECT_NE(codes.find("FOLDER_CONTENT_COUNT\t"), std::string::npos);
}

} // namespace
} // namespace tressimo::testing
