// tressimo-convert past a file-size limit: the count it prints is the count a reader we did not
// write finds in the file.

#include "tests/cli/store_expectations.h"
#include "tests/convert/sample_contacts.h"

#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

namespace fs = std::filesystem;

// Past a file-size limit the tool neither dies of the signal nor claims what is not in the
// file: it says why, prints the count pypff finds, and exits 2 when that is none.
TEST(CliFailure, AFileSizeLimitStopsTheRunAndTheCountPrintedIsWhatTheFileHolds)
{
    const TempDir dir;
    const fs::path in = dir.path() / "in", out = dir.path() / "out";
    fs::create_directories(out);
    constexpr int kFiles = 1500;
    for (int i = 0; i < kFiles; ++i)
        dir.write(concat({"in/p", std::to_string(10000 + i), ".contact"}), sampleContactXml(i % 50));
    const ProgramRun run = runProgram(
        {"prlimit", "--fsize=1000000", kTool, "--output-folder", out.string(), in.string()}, {{"TZ", "UTC"}});
    const std::size_t why = run.err.find("could not be written: "), held = run.err.find(" holds ");
    ASSERT_NE(held, std::string::npos) << run.err;
    EXPECT_NE(run.err.find("File too large\n", why), std::string::npos) << run.err;
    const int printed = std::atoi(run.err.c_str() + held + 7);
    EXPECT_NE(
        run.err.find(concat({" holds ", std::to_string(printed), printed == 1 ? " contact; " : " contacts; ",
                             std::to_string(kFiles - printed), " of 1500 files not converted"})),
        std::string::npos)
        << run.err;
    EXPECT_EQ(run.status, printed > 0 ? 1 : 2);
    const std::vector<fs::path> made = pstFiles(out);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(run.out, made[0].string() + "\n");
    EXPECT_EQ(pypffContactCount(made[0]), printed);
}

} // namespace
} // namespace tressimo::testing
