#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <system_error>
#include <unistd.h>

namespace tressimo::platform {

namespace {
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int signal)
{
    g_interrupted = 1;
    std::signal(signal, SIG_DFL);
}
} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void useUtf8Console() {}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void catchInterrupts()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onInterrupt);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool interrupted()
{
    return g_interrupted != 0;
}

int processId()
{
    return static_cast<int>(::getpid());
}

// Linux gives an id again only after going through all of them; a running process with that
// id is taken to be the maker.
bool processMayHaveMade(int id, const std::filesystem::path&)
{
    return id > 0 && (::kill(id, 0) == 0 || errno == EPERM);
}

std::filesystem::path executableFolder()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

} // namespace tressimo::platform
