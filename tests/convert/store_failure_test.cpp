// The run with our PST writer on a medium that fills up in the middle of the run: it stops at
// once, and the count it reports is the count pypff finds in the file.

#include "convert/conversion_run.h"
#include "tests/convert/fake_window.h"
#include "tests/convert/sample_contacts.h"
#include "tests/convert/tiny_file_system.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/resource.h>

namespace tressimo::testing {
namespace {

namespace fs = std::filesystem;

// A file-size limit on this process for the life of the object; writing past it fails with
// "File too large" (the signal it would raise is ignored, as the programs ignore it).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

TEST(StoreFailure, AFullMediumStopsTheRunAndTheCountIsWhatTheFileHolds)
{
    TempDir dir;
    filelist::FileList list;
    constexpr int kRows = 800;
    for (int i = 0; i < kRows; ++i)
        list.AddFileRow(dir.write("p" + std::to_string(i) + ".contact", sampleContactXml(i % 50)).string());
    for (const bool tmpfs : {true, false}) {
        SCOPED_TRACE(tmpfs ? "full file system" : "file-size limit");
        const fs::path out = dir.path() / (tmpfs ? "tiny" : "limited");
        fs::create_directories(out);
        std::optional<TinyFileSystem> tiny;
        std::optional<FileSizeLimit> limit;
        if (tmpfs) {
            tiny.emplace(out, "1500k");
            if (!tiny->mounted()) {
                std::cout << "no tmpfs can be mounted here; the full file system is not tried\n";
                continue;
            }
        }
        FakeWindow window;
        window.folder = out.string();
        convert::RunSurroundings surroundings = window.surroundings();
        // Frequent commits, so some contacts are in the file when the medium is full.
        surroundings.createSession = [] {
            mapi::SessionOptions options;
            options.commitInterval = std::chrono::milliseconds(1);
            return mapi::createSession(options);
        };
        convert::ConversionRun conversion(std::move(surroundings), "help");
        if (!tmpfs)
            limit.emplace(1500 * 1024);
        const convert::RunResult result = conversion.CmdExtractDBX_Click(list);
        limit.reset();

        ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
        EXPECT_NE(result.storeError.find(tmpfs ? "No space left on device" : "File too large"),
                  std::string::npos)
            << result.storeError;
        EXPECT_GT(result.written, 0);
        EXPECT_EQ(result.written + result.notReached, kRows);
        const nlohmann::json dump = pst::oracle::dumpWithPypff(result.pstPath);
        const nlohmann::json* contacts = pst::oracle::findFolder(dump, "Contacts");
        ASSERT_NE(contacts, nullptr);
        std::cout << (tmpfs ? "full file system" : "file-size limit") << ": " << result.written
                  << " reported, pypff finds " << (*contacts)["messages"].size() << "\n";
        EXPECT_EQ((*contacts)["messages"].size(), static_cast<std::size_t>(result.written));
    }
}

} // namespace
} // namespace tressimo::testing
