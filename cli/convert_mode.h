#pragma once
// Batch conversion: the PATHs of the command line become the rows of a file list, and the
// window's own conversion run turns them into one new .pst file.

#include "convert/conversion_run.h"
#include "env/environment.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::cli {

struct ConvertSettings
{
    // .contact files and folders, in order; the platform's bytes.
    std::vector<std::string> paths;
    // Where the .pst goes; the current folder when empty.
    std::optional<std::string> outputFolder;
    // Draw a progress line on `err` (when it is a terminal).
    bool showProgress = false;
    // Ends the set-up failure message.
    std::string helpAddress;
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession;
    // The program's clock, random source and time zone; the same the session was given.
    env::Environment environment;
    // Polled at every yield of the run; true asks it to stop after the contact being written.
    std::function<bool()> interrupted;
};

// Rows for the file list from the PATHs: a folder gives its .contact files as "Add folder"
// finds them, anything else the path itself. Relative paths are made absolute.
struct CollectedRows
{
    std::vector<std::string> rows;
    // Folders the scan could not read, with the reason.
    std::vector<convert::RowProblem> unreadableFolders;
    // A usage error (a PATH that does not exist); empty when all is well.
    std::string error;
};
CollectedRows collectRows(const std::vector<std::string>& paths);

// Runs the conversion; the .pst path goes to `out`, progress, messages and the summary to
// `err`. Returns the exit status.
int runConvert(const ConvertSettings& settings, std::ostream& out, std::ostream& err);

} // namespace tressimo::cli
