// tressimo-convert past a file-size limit: the count it prints is the count a reader we did not
// write finds in the file; and many runs started at once into one folder.

#include "tests/cli/store_expectations.h"
#include "tests/convert/sample_contacts.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs started in the same second all want the same name; each must find a free one.
TEST(CliFailure, ManyRunsStartedAtOnceEachGetAFileOfTheirOwn)
{
    const TempDir dir;
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    const fs::path file = dir.write("a.contact", sampleContactXml(1));
    constexpr int kRuns = 40;
    std::vector<pid_t> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(startTool({"--output-folder", out.string(), file.string()}));
    int succeeded = 0;
    for (const pid_t pid : runs) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    EXPECT_EQ(succeeded, kRuns);
    const std::vector<fs::path> made = pstFiles(out);
    EXPECT_EQ(made.size(), static_cast<std::size_t>(kRuns));
    for (const fs::path& pst : {made.front(), made.back()})
        EXPECT_EQ(pypffContactCount(pst), 1) << pst;
}

} // namespace
} // namespace tressimo::testing
