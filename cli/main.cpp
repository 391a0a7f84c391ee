// tressimo-convert: the command-line front end. Each mode is one function of the parsed
// command line; main only dispatches and supplies what the process owns (interrupts, the
// console, the session factory, the manual's place).

#include "cli/command_line.h"
#include "cli/convert_mode.h"
#include "cli/dump.h"
#include "env/environment.h"
#include "convert/conversion_run.h"
#include "mapi/mapi.h"
#include "platform/local_time.h"
#include "platform/process.h"
#include "shell/find_manual.h"
#include "shell/visible_text.h"

#include <iostream>

int main(int argc, char** argv)
{
    using namespace tressimo::cli;
    namespace platform = tressimo::platform;
    platform::settleTimeZone();
    platform::useUtf8Console();
    const std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    const CommandLine line = parseCommandLine(arguments);
    switch (line.mode) {
    case Mode::Help:
        std::cout << helpText() << std::flush;
        return std::cout ? kExitSuccess : kExitSomeFailed;
    case Mode::Dump:
        return runDump(line.files, std::cout, std::cerr);
    case Mode::Convert: {
        // The first interrupt asks the run to stop after the contact being written, which then
        // commits and closes the file; a second one ends the program at once.
        platform::catchInterrupts();
        ConvertSettings settings;
        settings.paths = line.files;
        settings.outputFolder = line.outputFolder;
        settings.showProgress = platform::standardErrorIsTerminal();
        settings.helpAddress =
            tressimo::convert::troubleshootingAddress(tressimo::shell::findManual(platform::executableFolder()));
        settings.environment = tressimo::env::systemEnvironment();
        settings.createSession = [environment = settings.environment] {
            return tressimo::mapi::createSession({environment});
        };
        settings.interrupted = [] { return platform::interrupted(); };
        return runConvert(settings, std::cout, std::cerr);
    }
    case Mode::UsageError:
        break;
    }
    std::cerr << "tressimo-convert: " << tressimo::shell::visibleText(line.error) << '\n' << usageText();
    return kExitUsage;
}
