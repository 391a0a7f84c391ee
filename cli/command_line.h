#pragma once
// The arguments of tressimo-convert, taken apart before any mode runs.

#include <optional>
#include <string>
#include <vector>

namespace tressimo::cli {

// Exit statuses, the same for every mode.
enum ExitStatus : int {
    kExitSuccess = 0,    // every file converted (or, for --dump, loaded)
    kExitSomeFailed = 1, // some file was skipped or did not load, or the output could not be written
    kExitUsage = 2,      // nothing was converted: the command line made no sense, the store could not be
                         // set up, or the file holds no contact
};

enum class Mode {
    Help,
    Convert, // [--output-folder DIR] PATH...: the files and folders into one new .pst
    Dump,    // --dump FILE...: what the reader makes of each file, as JSON lines
    UsageError,
};

struct CommandLine
{
    Mode mode = Mode::UsageError;
    // Operands in the order given, as the platform's bytes: PATHs to convert, or FILEs to dump.
    std::vector<std::string> files;
    // --output-folder, when given.
    std::optional<std::string> outputFolder;
    // For Mode::UsageError: what was wrong, in a sentence.
    std::string error;
};

// `arguments` without the program name. Options may come anywhere; "--" ends them.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The lines shown with a usage error.
std::string usageText();
// The whole of --help.
std::string helpText();

} // namespace tressimo::cli
