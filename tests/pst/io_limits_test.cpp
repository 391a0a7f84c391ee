// A file that cannot grow (a file-size limit, a full disk) fails its write like any other
// failure: an IoError naming the file and the reason, never a signal that ends the process.

#include "pst/io/sink.h"

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

// Writes 4 MB into a new file; returns the error it met ("" when none).
std::string fillFile(const fs::path& path)
{
    try {
        auto sink = FileSink::createNew(path);
        const Bytes chunk(64 * 1024, 0x5A);
        sink->resize(256 * 1024);
        for (std::uint64_t at = 0; at < 4 << 20; at += chunk.size())
            sink->writeAt(at, chunk);
        sink->sync();
    } catch (const IoError& e) {
        return e.what();
    }
    return "";
}

// The same in a child under a file-size limit, SIGXFSZ ignored as the programs do.
std::string fillFileUnderASizeLimit(const fs::path& path)
{
    int out[2];
    if (::pipe(out) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string error = fillFile(path);
        const bool told = ::write(out[1], error.data(), error.size()) == static_cast<ssize_t>(error.size());
        ::_exit(told ? 0 : 1);
    }
    ::close(out[1]);
    std::string error;
    char buffer[1024];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        error.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    return error;
}

TEST(IoLimits, AFileThatCannotGrowFailsWithTheReason)
{
    const fs::path dir = fs::temp_directory_path() / ("tressimo-io-limits-" + std::to_string(::getpid()));
    fs::create_directories(dir / "small");
    // A 1 MB file system where one can be mounted (as root); elsewhere that case is skipped.
    const bool mounted = ::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=1m") == 0;
    struct Case
    {
        fs::path path;
        std::string (*fill)(const fs::path&);
        const char* reason;
    };
    std::vector<Case> cases = {{dir / "limited.pst", fillFileUnderASizeLimit, "File too large"}};
    if (mounted)
        cases.push_back({dir / "small" / "full.pst", fillFile, "No space left on device"});
    for (const Case& c : cases) {
        const std::string error = c.fill(c.path);
        std::string quoted = c.path.string();
        quoted.insert(quoted.begin(), '"');
        quoted.push_back('"');
        EXPECT_NE(error.find(quoted), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    if (mounted)
        ::umount((dir / "small").c_str());
    fs::remove_all(dir);
    if (!mounted)
        GTEST_SKIP() << "no tmpfs could be mounted; the full disk was not tried";
}

} // namespace
} // namespace tressimo::pst
