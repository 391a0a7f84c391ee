#include "convert/conversion_run.h"

#include "convert/read_ahead.h"
#include "outlook/contact_item_writer.h"
#include "shell/file_url.h"
#include "shell/folder_of_path.h"
#include "shell/path_rules.h"

#include <exception>
#include <optional>

namespace tressimo::convert {

namespace {

constexpr std::int16_t kContactsFolder = mapi::olFolderContacts;
constexpr std::size_t kSummaryListLimit = 20;
// How often a name someone else took in the meantime is given up for the next one.
constexpr int kNameTakenRetries = 20;

std::string errorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Resets the flags of a run however it ends.
class RunningFlag
{
public:
    RunningFlag(bool& running, bool& stop) : m_running(running), m_stop(stop)
    {
        m_running = true;
        m_stop = false;
    }
    ~RunningFlag()
    {
        m_running = false;
        m_stop = false;
    }

private:
    bool& m_running;
    bool& m_stop;
};

// Disables "Convert" and the list commands for its lifetime.
class CommandsDisabled
{
public:
    explicit CommandsDisabled(const RunSurroundings& surroundings) : m_s(surroundings) { set(false); }
    ~CommandsDisabled()
    {
        try {
            set(true);
        } catch (...) {
            // Leaving by an exception already: the window reports that one.
        }
    }

private:
    void set(bool enabled) const
    {
        if (enabled && m_s.setConvertEnabled)
            m_s.setConvertEnabled(true);
        if (m_s.setListCommandsEnabled)
            m_s.setListCommandsEnabled(enabled);
        if (!enabled && m_s.setConvertEnabled)
            m_s.setConvertEnabled(false);
    }

    const RunSurroundings& m_s;
};

// The folder label's text for a row: the part of the path after its drive (the whole path
// where paths have none) without its first character, cut after its last separator, without
// that separator. Each step that cannot be taken leaves the text as the step before left it;
// without a part after a drive, the previous row's text is worked on.
void updateCurrentFolder(std::optional<std::string_view> afterDrive, std::string& currentFolder)
{
    if (afterDrive) {
        const std::string_view trimmed = contacts::trimBlanks(*afterDrive);
        currentFolder = trimmed.empty() ? std::string() : std::string(trimmed.substr(1));
    }
    if (!currentFolder.empty())
        currentFolder = shell::FolderOfPath(currentFolder);
    if (!currentFolder.empty())
        currentFolder.pop_back();
}

void appendProblems(std::string& text, std::string_view heading, const std::vector<RowProblem>& problems)
{
    if (problems.empty())
        return;
    text += "\r\n\r\n";
    text += heading;
    for (std::size_t i = 0; i < problems.size() && i < kSummaryListLimit; ++i) {
        const RowProblem& p = problems[i];
        text += "\r\n";
        text += p.path.empty() ? "Row " + std::to_string(p.row + 1) : p.path;
        text += ": ";
        text += p.reason;
    }
    if (problems.size() > kSummaryListLimit)
        text += "\r\n... and " + std::to_string(problems.size() - kSummaryListLimit) + " more";
}

std::string countOf(std::size_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

} // namespace

ConversionRun::ConversionRun(RunSurroundings surroundings, std::string helpAddress)
    : m_surroundings(std::move(surroundings)), m_helpAddress(std::move(helpAddress)),
      m_lastRead(std::make_unique<ReadRow>())
{
}

void ConversionRun::requestStop()
{
    if (m_running)
        m_stopRequested = true;
}

void ConversionRun::setBeforeReadingRow(ReadAhead::BeforeRow hook)
{
    m_beforeReadingRow = std::move(hook);
}

void ConversionRun::yield()
{
    if (m_surroundings.yield)
        m_surroundings.yield();
}

RunResult ConversionRun::CmdExtractDBX_Click(const filelist::FileList& grdFiles1)
{
    if (m_running) {
        RunResult busy;
        busy.outcome = RunOutcome::AlreadyRunning;
        return busy;
    }
    RunningFlag flag(m_running, m_stopRequested);
    // Nothing may start another run or change the list while this one yields; however the
    // run ends, both come back.
    CommandsDisabled disabled(m_surroundings);
    return setUpAndConvert(grdFiles1);
}

RunResult ConversionRun::setUpAndConvert(const filelist::FileList& grdFiles1)
{
    auto& s = m_surroundings;
    RunResult result;

    // Preparation.
    yield();
    if (stopRequested())
        return result;
    std::string strSaveFolder = s.BrowseForFolder ? s.BrowseForFolder(kSaveFolderTitle) : std::string();
    yield();
    if (strSaveFolder.empty() || stopRequested())
        return result;
    strSaveFolder = shell::withTrailingSeparator(std::move(strSaveFolder));
    result.saveFolder = strSaveFolder;
    yield();
    if (s.setProgressRange)
        s.setProgressRange(0, 100);
    yield();
    if (stopRequested())
        return result;

    // Store set-up: any failure shows one message and ends the run.
    std::unique_ptr<mapi::RDOSession> objSession;
    std::string storeID;
    const char* step = "";
    try {
        step = "Creating the session";
        if (!s.createSession)
            throw mapi::MapiError("No session can be created.");
        objSession = s.createSession();
        if (!objSession)
            throw mapi::MapiError("No session was created.");
        step = "Logon";
        objSession->Logon();
        step = "Naming the file";
        const auto clock = s.clock ? s.clock : localNow;
        const std::string fileTime = timeText(clock());
        result.pstPath = freePstPath(strSaveFolder, fileTime);
        result.storeName = storeDisplayName(timeText(clock()));
        step = "AddPSTStore";
        mapi::RDOStore* added = nullptr;
        for (int attempt = 1; !added; ++attempt) {
            try {
                added = &objSession->Stores().AddPSTStore(std::filesystem::path(result.pstPath),
                                                          mapi::olStoreDefault, result.storeName);
            } catch (...) {
                // Another program (or a second run) took the free name between the look and the
                // create, which never replaces a file: take the next free name.
                if (attempt >= kNameTakenRetries || !nameTaken(result.pstPath))
                    throw;
                result.pstPath = freePstPath(strSaveFolder, fileTime);
            }
        }
        mapi::RDOStore& objStore = *added;
        step = "EntryID";
        storeID = objStore.EntryID();
        step = "ValidateIPMTree";
        objStore.ValidateIPMTree();
    } catch (...) {
        result.outcome = RunOutcome::SetUpFailed;
        result.setUpError = std::string(step) + ": " + errorText(std::current_exception());
        if (s.showMessage)
            s.showMessage(setUpFailureMessage(m_helpAddress));
        return result;
    }
    result.outcome = RunOutcome::Finished;

    // The loop: every failing step is skipped, and the rows go on. The rows' files are read
    // on a second thread while the rows before them are written; it starts only now that the
    // store is set up, from a copy of the rows, and is stopped and joined however the loop
    // ends, before the store is closed.
    m_currentFolder.clear();
    const int lastRow = grdFiles1.Rows() - 1;
    result.rows = lastRow + 1;
    try {
        ReadAhead reader(grdFiles1.texts(), kReadAheadLimits, m_beforeReadingRow);
        for (int r = 0; r <= lastRow; ++r) {
            if (r >= grdFiles1.Rows()) {
                // The list shrank under the run; the rows it lost cannot be converted.
                result.notReached = lastRow + 1 - r;
                break;
            }
            yield();
            if (stopRequested()) {
                result.stopped = true;
                result.notReached = lastRow + 1 - r;
                break;
            }
            convertRow(grdFiles1, reader, r, *objSession, storeID, result);
        }
        reader.stop();
    } catch (...) {
        // Out of memory, or no thread to read with: the rows left cannot be converted, but
        // what was written is still committed below and the store closed.
        // Every row before has been written or skipped; the one under way may have been too.
        result.loopError = errorText(std::current_exception());
        result.notReached = result.rows - result.written - static_cast<int>(result.skipped.size());
    }

    // Finishing: Logoff commits and closes the store.
    yield();
    try {
        objSession->Logoff();
    } catch (...) {
        result.finishError = errorText(std::current_exception());
    }
    try {
        objSession.reset();
    } catch (...) {
        // Releasing reports nothing; Logoff has already said what went wrong.
    }
    return result;
}

void ConversionRun::convertRow(const filelist::FileList& grdFiles1, ReadAhead& reader, int row,
                               mapi::RDOSession& session, const std::string& storeID, RunResult& result)
{
    auto& s = m_surroundings;
    const std::string& rowText = reader.row(row);
    const std::string_view trimmed = contacts::trimBlanks(rowText);
    const std::optional<std::string_view> afterDrive = shell::textAfterDrive(trimmed);
    updateCurrentFolder(afterDrive, m_currentFolder);

    // The record as reading left it: reset, then filled from the row's file. The previous
    // row's goes back to the reader.
    reader.take(m_lastRead);
    const ReadRow& read = *m_lastRead;
    if (trimmed.empty()) {
        result.skipped.push_back({row, rowText, "empty row"});
    } else {
        try {
            if (read.thrown)
                std::rethrow_exception(read.thrown);
            if (!read.loaded) {
                result.skipped.push_back({row, rowText, read.error});
            } else {
                // Moved there and back, so that a huge note is never copied.
                contacts::ContactRecord handed = contacts::handOver(std::move(m_lastRead->record));
                const outlook::ContactItemResult item =
                    outlook::CreateContactItem(session, storeID, kContactsFolder, handed);
                m_lastRead->record = std::move(handed);
                if (!item.saved) {
                    result.skipped.push_back(
                        {row, rowText, "not written (" + item.firstFailedStep + "): " + item.firstError});
                } else {
                    ++result.written;
                    if (item.refusedSteps > 0)
                        result.incomplete.push_back(
                            {row, rowText, "without " + item.firstFailedStep + ": " + item.firstError});
                }
            }
        } catch (const std::exception& e) {
            // Out of memory reading one huge file, say: that row is lost, the rest go on, and
            // the store is still closed at the end.
            result.skipped.push_back({row, rowText, e.what()});
        }
    }

    if (s.setConvertEnabled)
        s.setConvertEnabled(false);
    if (s.setLblCurrentDBX)
        s.setLblCurrentDBX(currentFolderCaption(m_currentFolder));
    if (afterDrive && s.setLblProgessCurrent)
        s.setLblProgessCurrent(*afterDrive);
    if (s.setProgressValue) {
        // The row count is read again here, as the bar is to show the list's share done.
        const double rows = grdFiles1.Rows();
        s.setProgressValue(static_cast<float>((row + 1) / rows * 100));
    }
}

std::string currentFolderCaption(std::string_view folder)
{
    return "Converting Messages... from (" + std::string(folder) + ")";
}

MessageBoxText setUpFailureMessage(std::string_view helpAddress)
{
    MessageBoxText message;
    message.text = "Outlook Session Creation Error !\r\n"
                   "Check if Outlook is installed and configured.\r\n"
                   "For more details visit this link : " +
                   std::string(helpAddress);
    message.title = "Outlook Error";
    message.icon = MessageIcon::Information;
    return message;
}

MessageBoxText summaryMessage(const RunResult& result)
{
    MessageBoxText message;
    message.title = "Tressimo";
    message.icon = MessageIcon::Information;
    message.text = countOf(static_cast<std::size_t>(result.written), "contact", "contacts") +
                   " converted to " + result.pstPath;
    appendProblems(message.text,
                   countOf(result.skipped.size(), "file", "files") + " skipped:", result.skipped);
    appendProblems(message.text,
                   countOf(result.incomplete.size(), "contact", "contacts") +
                       " converted without some values:",
                   result.incomplete);
    if (result.stopped)
        message.text += "\r\n\r\nStopped: " + std::to_string(result.notReached) + " of " +
                        countOf(static_cast<std::size_t>(result.rows), "file", "files") + " not converted.";
    if (!result.loopError.empty())
        message.text += "\r\n\r\nThe run ended early (" + result.loopError + "): " +
                        std::to_string(result.notReached) + " of " +
                        countOf(static_cast<std::size_t>(result.rows), "file", "files") + " not converted.";
    if (!result.finishError.empty())
        message.text += "\r\n\r\nThe file could not be closed properly: " + result.finishError;
    return message;
}

std::string troubleshootingAddress(const std::filesystem::path& manual)
{
    return shell::fileUrl(manual.string(), "troubleshooting");
}

} // namespace tressimo::convert
