// tressimo-convert: the command-line front end. Each mode is one function of the parsed
// command line; main only dispatches.

#include "cli/command_line.h"
#include "cli/dump.h"

#include <iostream>

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
    case Mode::UsageError:
        break;
    }
    std::cerr << "tressimo-convert: " << line.error << '\n' << usageText();
    return kExitUsage;
}
