// tressimo-convert: the command-line front end. Each mode is one function of the parsed
// command line; main only dispatches and supplies what the process owns (signals, the
// terminal, the session factory, the manual's place).

#include "cli/command_line.h"
#include "cli/convert_mode.h"
#include "cli/dump.h"
#include "env/environment.h"
#include "convert/conversion_run.h"
#include "mapi/mapi.h"
#include "shell/find_manual.h"
#include "shell/visible_text.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// The first Ctrl+C, SIGTERM or hang-up (the terminal closed) asks the run to stop after the
// contact being written, which then commits and closes the file; a second one of the same
// kind ends the program at once.
extern "C" void onInterrupt(int signal)
{
    g_interrupted = 1;
    std::signal(signal, SIG_DFL);
}

std::filesystem::path executableFolder()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tressimo::cli;
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine line = parseCommandLine(arguments);
    switch (line.mode) {
    case Mode::Help:
        std::cout << helpText() << std::flush;
        return std::cout ? kExitSuccess : kExitSomeFailed;
    case Mode::Dump:
        return runDump(line.files, std::cout, std::cerr);
    case Mode::Convert: {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, onInterrupt);
        // Past a file-size limit a write fails with "File too large", reported like a full
        // disk, instead of the program ending without a word.
        std::signal(SIGXFSZ, SIG_IGN);
        ConvertSettings settings;
        settings.paths = line.files;
        settings.outputFolder = line.outputFolder;
        settings.showProgress = ::isatty(STDERR_FILENO) == 1;
        settings.helpAddress =
            tressimo::convert::troubleshootingAddress(tressimo::shell::findManual(executableFolder()));
        settings.environment = tressimo::env::systemEnvironment();
        settings.createSession = [environment = settings.environment] {
            return tressimo::mapi::createSession({environment});
        };
        settings.interrupted = [] { return g_interrupted != 0; };
        return runConvert(settings, std::cout, std::cerr);
    }
    case Mode::UsageError:
        break;
    }
    std::cerr << "tressimo-convert: " << tressimo::shell::visibleText(line.error) << '\n' << usageText();
    return kExitUsage;
}
