// The run with our PST writer past a file-size limit in the middle of the run: it stops at
// once, and the count it reports is the count pypff finds in the file.

#include "convert/conversion_run.h"
#include "tests/convert/fake_window.h"
#include "tests/convert/sample_contacts.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace tressimo::testing {
namespace {

TEST(StoreFailure, AFullFileStopsTheRunAndTheCountIsWhatTheFileHolds)
{
    TempDir dir;
    filelist::FileList list;
    constexpr int kRows = 800;
    for (int i = 0; i < kRows; ++i)
        list.AddFileRow(dir.write(numbered("p", i) + ".contact", sampleContactXml(i % 50)).string());
    FakeWindow window;
    window.folder = dir.path().string();
    convert::RunSurroundings surroundings = window.surroundings();
    // Frequent commits, so some contacts are in the file when it can grow no further.
    surroundings.createSession = [] {
        mapi::SessionOptions options;
        options.commitInterval = std::chrono::milliseconds(1);
        return mapi::createSession(options);
    };
    convert::ConversionRun conversion(std::move(surroundings), "help");
    // Writing past the limit fails with "File too large" (its signal ignored, as the programs do).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 1500 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const convert::RunResult result = conversion.CmdExtractDBX_Click(list);
    ::setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
    EXPECT_NE(result.storeError.find("File too large"), std::string::npos) << result.storeError;
    EXPECT_GT(result.written, 0);
    EXPECT_EQ(result.written + result.notReached, kRows);
    const nlohmann::json dump = pst::oracle::dumpWithPypff(result.pstPath);
    const nlohmann::json* contacts = pst::oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contacts, nullptr);
    EXPECT_EQ((*contacts)["messages"].size(), static_cast<std::size_t>(result.written));
}

} // namespace
} // namespace tressimo::testing
