#include "cli/convert_mode.h"
#include "platform/path_text.h"

#include "cli/command_line.h"
#include "filelist/contact_files.h"
#include "filelist/file_list.h"
#include "shell/path_rules.h"
#include "shell/visible_text.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <system_error>

namespace tressimo::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "tressimo-convert: ";

// An absolute form of the path, its "." steps dropped. ".." steps are kept, since through a
// symbolic link "a/link/.." is not "a"; names are never changed.
std::string absolutePath(const std::string& path, std::error_code& error)
{
    const fs::path absolute = fs::absolute(platform::pathFromText(path), error);
    if (error)
        return path;
    for (const fs::path& part : absolute.relative_path()) {
        if (part == "..")
            return platform::textOfPath(absolute);
    }
    return platform::textOfPath(absolute.lexically_normal());
}

// Names and reasons come from outside: on a terminal, a control character in them could clear
// the screen or retitle the window, so they are shown escaped.
std::string shown(std::string_view text)
{
    return shell::visibleText(text);
}

// Joins pieces; GCC 12 warns wrongly about a chain of + beginning with a literal.
std::string concat(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (std::string_view piece : pieces)
        text += piece;
    return text;
}

std::string lines(std::string text)
{
    // Message boxes separate lines with CR LF; a terminal wants LF.
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

std::string countOf(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void listProblems(std::ostream& err, const std::string& heading,
                  const std::vector<convert::RowProblem>& problems)
{
    if (problems.empty())
        return;
    err << kProgram << heading << '\n';
    for (const convert::RowProblem& p : problems)
        err << "  " << shown(p.path) << ": " << shown(p.reason) << '\n';
}

// One line of progress on a terminal, redrawn at most ten times a second.
class ProgressLine
{
public:
    ProgressLine(std::ostream& err, bool enabled, env::Clock clock)
        : m_err(err), m_enabled(enabled && clock), m_clock(std::move(clock))
    {
    }

    // Kept as given: made readable only when it is drawn, at most ten times a second.
    void file(std::string_view text) { m_file = text; }
    void value(float percent)
    {
        if (!m_enabled)
            return;
        const auto now = m_clock();
        // A clock set back draws at once rather than waiting for it to catch up.
        if (m_drawn && percent < 100.0f && now >= m_last && now - m_last < std::chrono::milliseconds(100))
            return;
        m_last = now;
        m_drawn = true;
        // The end of a long path says most; cut at a character boundary.
        const std::string readable = shown(m_file);
        std::string_view tail = readable;
        constexpr std::size_t kWidth = 64;
        if (tail.size() > kWidth) {
            tail.remove_prefix(tail.size() - kWidth);
            while (!tail.empty() && (static_cast<unsigned char>(tail.front()) & 0xC0) == 0x80)
                tail.remove_prefix(1);
        }
        char head[16];
        std::snprintf(head, sizeof head, "\r%5.1f%% ", static_cast<double>(percent));
        m_err << head << (tail.size() < readable.size() ? "..." : "") << tail << "\033[K" << std::flush;
    }
    void end()
    {
        if (m_drawn)
            m_err << "\r\033[K" << std::flush;
        m_drawn = false;
    }

private:
    std::ostream& m_err;
    bool m_enabled;
    bool m_drawn = false;
    std::string m_file;
    env::Clock m_clock;
    std::chrono::system_clock::time_point m_last;
};

} // namespace

CollectedRows collectRows(const std::vector<std::string>& paths)
{
    CollectedRows collected;
    for (const std::string& given : paths) {
        std::error_code error;
        const std::string path = absolutePath(given, error);
        if (error) {
            collected.error = concat({"cannot tell where \"", shown(given), "\" is: ", error.message()});
            return collected;
        }
        const fs::path native = platform::pathFromText(path);
        // symlink_status: a dangling link is still a file to report on, not a missing PATH.
        if (fs::symlink_status(native, error).type() == fs::file_type::not_found) {
            collected.error = concat({"\"", shown(given), "\": no such file or folder"});
            return collected;
        }
        if (!fs::is_directory(fs::status(native, error))) {
            collected.rows.push_back(path);
            continue;
        }
        // A folder is walked as "Add folder" walks it.
        filelist::ContactFiles found =
            filelist::contactFilesUnder(std::make_shared<filelist::DiskFileSystem>(), path);
        for (const filelist::SkippedFolder& skipped : found.skippedFolders)
            collected.unreadableFolders.push_back({0, skipped.path, skipped.error});
        for (std::string& file : found.paths)
            collected.rows.push_back(std::move(file));
    }
    return collected;
}

int runConvert(const ConvertSettings& settings, std::ostream& out, std::ostream& err)
{
    CollectedRows collected = collectRows(settings.paths);
    if (!collected.error.empty()) {
        err << kProgram << collected.error << '\n' << usageText();
        return kExitUsage;
    }
    listProblems(err,
                 countOf(collected.unreadableFolders.size(), "folder", "folders") + " could not be read:",
                 collected.unreadableFolders);
    if (collected.rows.empty()) {
        err << kProgram << "no .contact file found; nothing to convert\n";
        return kExitUsage;
    }

    std::string outputFolder;
    std::error_code error;
    if (settings.outputFolder)
        outputFolder = absolutePath(*settings.outputFolder, error);
    else
        outputFolder = platform::textOfPath(fs::current_path(error));
    if (error) {
        err << kProgram << "cannot tell where the output folder is: " << error.message() << '\n';
        return kExitUsage;
    }

    filelist::FileList list;
    for (const std::string& row : collected.rows)
        list.AddFileRow(row);
    collected.rows = {};

    ProgressLine progress(err, settings.showProgress, settings.environment.clock);
    convert::ConversionRun* running = nullptr;
    convert::RunSurroundings surroundings;
    surroundings.BrowseForFolder = [&](std::string_view) { return outputFolder; };
    surroundings.showMessage = [&](const convert::MessageBoxText& message) {
        progress.end();
        err << kProgram << message.title << ": " << lines(message.text) << '\n';
    };
    surroundings.setLblProgessCurrent = [&](std::string_view text) { progress.file(text); };
    surroundings.setProgressValue = [&](float value) { progress.value(value); };
    surroundings.yield = [&] {
        if (settings.interrupted && settings.interrupted() && running)
            running->requestStop();
    };
    surroundings.environment = settings.environment;
    surroundings.createSession = settings.createSession;

    convert::ConversionRun run(std::move(surroundings), settings.helpAddress);
    running = &run;
    const convert::RunResult result = run.CmdExtractDBX_Click(list);
    progress.end();

    switch (result.outcome) {
    case convert::RunOutcome::SetUpFailed:
        // The message printed above ends with the reason.
        return kExitUsage;
    case convert::RunOutcome::Cancelled:
    case convert::RunOutcome::AlreadyRunning:
        err << kProgram << "interrupted; nothing was converted\n";
        return kExitUsage;
    case convert::RunOutcome::Finished:
        break;
    }

    // The file exists (it was created with the store) and holds what its last commit held.
    out << result.pstPath << '\n' << std::flush;
    const std::string contacts = countOf(static_cast<std::size_t>(result.written), "contact", "contacts");
    const std::string notConverted = std::to_string(result.notReached) + " of " +
                                     countOf(static_cast<std::size_t>(result.rows), "file", "files") +
                                     " not converted";
    if (!result.storeError.empty())
        err << kProgram << "the .pst file could not be written: " << shown(result.storeError) << '\n'
            << kProgram << shown(result.pstPath) << " holds " << contacts << "; " << notConverted
            << " because of this\n";
    else
        err << kProgram << contacts << " written to " << shown(result.pstPath) << '\n';
    listProblems(err, countOf(result.skipped.size(), "file", "files") + " skipped:", result.skipped);
    listProblems(err,
                 countOf(result.incomplete.size(), "contact", "contacts") + " written without some values:",
                 result.incomplete);
    listProblems(
        err, countOf(result.photosLeftOut.size(), "contact", "contacts") + " written without their photo:",
        result.photosLeftOut);
    if (result.storeError.empty() && result.notReached > 0)
        err << kProgram
            << (result.loopError.empty() ? "interrupted" : "ended early (" + shown(result.loopError) + ")")
            << "; " << notConverted << '\n';
    if (!out) {
        err << kProgram << "the output could not be written\n";
        return result.written == 0 ? kExitUsage : kExitSomeFailed;
    }
    if (result.written == 0)
        return kExitUsage;
    return result.complete() && collected.unreadableFolders.empty() ? kExitSuccess : kExitSomeFailed;
}

} // namespace tressimo::cli
