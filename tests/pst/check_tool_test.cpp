// build/pst-check as scripts and other tests call it: output lines and exit codes.

#include "check_patcher.h"
#include "tests/support/support.h"

#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using tressimo::pst::check::testing::referencePst;

// A sound file says OK and exits 0 (notes printed, not failing it); a faulty one lists its
// violations and exits 1; an unreadable one, or a usage error, exits 2.
TEST(PstCheckTool, OutputAndExitStatus)
{
    const TempDir dir("pst-check");
    const std::string empty = TextPath(referencePst("outlook-empty.pst"));
    const std::string distList = TextPath(referencePst("outlook2007-contacts-distlist.pst"));
    std::string bytes = readWholeFile(empty);
    bytes[0x20C] ^= 1; // dwCRCFull
    const std::string damaged = dir.write("damaged.pst", bytes).string();
    const std::string missing = (dir / "missing.pst").string();
    const std::string tiny = dir.write("tiny.pst", "!BDN").string();
    const std::tuple<std::vector<std::string>, int, std::vector<std::string>> cases[] = {
        {{empty, distList}, 0, {empty + ": OK\n", distList + ": OK\n", "note MESSAGE_RECIPIENTS"}},
        {{damaged}, 1, {damaged + ": HEADER_CRC_FULL header: expected dwCRCFull"}},
        {{missing}, 2, {"cannot open"}},
        {{tiny}, 2, {"fewer than a PST header"}},
        {{empty, missing}, 2, {"cannot open"}},
        {{"--dump", missing}, 2, {"cannot open"}},
        {{}, 2, {"usage: pst-check"}},
        {{"--verbose", empty}, 2, {"usage: pst-check"}},
        {{"--dump"}, 2, {"usage: pst-check"}},
        {{"--dump", empty, empty}, 2, {"usage: pst-check"}},
        {{"--codes"}, 0, {"REF_COUNT\t", "FOLDER_CONTENT_COUNT\t"}},
        {{"--dump", empty},
         0,
         {"== header", "wVer 23", "bidNextB 0x130", "== nodes (47)", "node 0x8062 (folder) parent 0x8022",
          "block 0x8 at 0x4CC0 cb 276 cRef 6", "0x3001001F UNICODE = \"Empty\"",
          "0x8013 = {00020329-0000-0000-C000-000000000046}:\"Keywords\"", "row 0x8022 (row 0)",
          "column 0x67F20003 I4 ib 0 cb 4 bit 0"}},
    };
    for (auto [args, expected, says] : cases) {
        args.insert(args.begin(), TRESSIMO_BINARY_DIR "/pst-check");
        const ProgramRun run = runProgram(args);
        EXPECT_EQ(run.status, expected) << args.back();
        for (const std::string& text : says)
            EXPECT_NE((run.out + run.err).find(text), std::string::npos) << text << " in\n"
                                                                         << run.out + run.err;
    }
}

} // namespace
} // namespace tressimo::testing
