// A file that cannot grow (a file-size limit, a full disk) fails its write like any other
// failure: an IoError naming the file and the reason, never a signal that ends the process.

#include "pst/io/sink.h"
#include "tests/support/support.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tressimo::pst {
namespace {

namespace fs = std::filesystem;

// Writes 4 MB into a new file; whether it failed with an IoError naming the file and `reason`.
bool failsWithReason(const fs::path& path, const std::string& reason)
{
    try {
        auto sink = FileSink::createNew(path);
        const Bytes chunk(64 * 1024, 0x5A);
        sink->resize(256 * 1024);
        for (std::uint64_t at = 0; at < 4 << 20; at += chunk.size())
            sink->writeAt(at, chunk);
        sink->sync();
    } catch (const IoError& e) {
        const std::string error = e.what();
        const bool named = error.find('"' + path.string() + '"') != std::string::npos;
        EXPECT_TRUE(named && error.find(reason) != std::string::npos) << error;
        return named && error.find(reason) != std::string::npos;
    }
    return false;
}

TEST(IoLimits, AFileThatCannotGrowFailsWithTheReason)
{
    const tressimo::testing::TempDir temp("io-limits");
    const fs::path dir = temp.path();
    fs::create_directories(dir / "small");
    // In a child under a file-size limit, SIGXFSZ ignored as the programs do.
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(failsWithReason(dir / "limited.pst", "File too large") ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write under the limit did not fail with the file and reason";
    // A 1 MB file system where one can be mounted (as root); elsewhere that case is skipped.
    const bool mounted = ::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=1m") == 0;
    if (mounted) {
        EXPECT_TRUE(failsWithReason(dir / "small" / "full.pst", "No space left on device"));
        ::umount((dir / "small").c_str());
    }
    if (!mounted)
        GTEST_SKIP() << "no tmpfs could be mounted; the full disk was not tried";
}

} // namespace
} // namespace tressimo::pst
