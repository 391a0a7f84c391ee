#pragma once
// What every test program shares: a temporary folder of its own, running a program with exact
// argument bytes, and reading a file whole.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::testing {

// A path that also converts to path text, the form the product passes paths around in (the
// path's bytes on Linux, UTF-8 on Windows), so tests read the same on both.
struct TextPath : std::filesystem::path
{
    TextPath(std::filesystem::path path) : std::filesystem::path(std::move(path)) {}
    operator std::string() const;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    explicit TempDir(std::string_view name = "test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / std::string(name); }
    // Creates the file (and the folders above it) with exactly these bytes.
    TextPath write(std::string_view fileName, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

struct ProgramRun
{
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs a program (no shell in between) with standard input empty; `environment` adds or
// replaces variables; `folder`, when given, is its current folder.
ProgramRun runProgram(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& environment = {},
                      const std::filesystem::path& folder = {});

// Starts a program the same way, its output and errors going to these files (none given: thrown
// away); its process id, or -1 when it cannot be started. Wait for it with waitProgram. On
// Windows only a program started `interruptible` has a console, and so can be sent a Ctrl+C.
int startProgram(const std::vector<std::string>& argv, const std::filesystem::path& outPath = {},
                 const std::filesystem::path& errPath = {},
                 const std::map<std::string, std::string>& environment = {},
                 const std::filesystem::path& folder = {}, bool interruptible = false);

// How a started program is stopped: as by Ctrl+C, by SIGTERM or SIGHUP (no Windows counterpart
// can be sent), or killed outright (TerminateProcess). False when it could not be sent.
enum class Stop { Interrupt, Terminate, HangUp, Kill };
bool stopProgram(int pid, Stop how);

// Its exit status (128 + the signal that ended it); with `block` false, -1 while it still runs.
int waitProgram(int pid, bool block = true);

std::string readWholeFile(const std::filesystem::path& path);

// A path written the POSIX way in a test ("/out/a.pst") as this platform writes it
// ("C:\\out\\a.pst" on Windows).
inline std::string nativePath(std::string path)
{
#ifdef _WIN32
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    if (!path.empty() && path[0] == '\\')
        path.insert(0, "C:");
#endif
    return path;
}

// The readers we did not write (pypff, readpst) are Linux programs: a Windows build's tests
// leave their checks to the Linux build and to the end-to-end run of the Windows tool.
#ifdef _WIN32
#define TRESSIMO_NEEDS_LINUX_READERS() GTEST_SKIP() << "pypff and readpst are Linux programs"
#else
#define TRESSIMO_NEEDS_LINUX_READERS() static_cast<void>(0)
#endif

} // namespace tressimo::testing
