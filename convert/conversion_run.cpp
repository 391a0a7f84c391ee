#include "convert/conversion_run.h"
#include "platform/path_text.h"

#include "convert/read_ahead.h"
#include "outlook/contact_item_writer.h"
#include "shell/file_url.h"
#include "shell/folder_of_path.h"
#include "shell/path_rules.h"
#include "shell/visible_text.h"
#include "text/ascii.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <random>
#include <stdexcept>

namespace tressimo::convert {

namespace {

constexpr std::int16_t kContactsFolder = mapi::olFolderContacts;
constexpr std::size_t kSummaryListLimit = 20;

// How many copy numbers to skip, at random, after losing the race for a name `lost` times:
// none at first, so a lone rival costs one number; then more and more, so that many runs
// started in the same second stop queueing for the same next name.
int nameSkip(int lost, std::mt19937& random)
{
    if (lost <= 2)
        return 0;
    const int spread = 1 << std::min(lost - 2, 5);
    return std::uniform_int_distribution<int>(0, spread - 1)(random);
}

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
        const std::string_view trimmed = text::trimSpaces(*afterDrive);
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
        // A line break in a name would break the list apart.
        text += p.path.empty() ? "Row " + std::to_string(p.row + 1) : shell::visibleText(p.path);
        text += ": ";
        text += shell::visibleText(p.reason);
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

    // The rows' files are read on a second thread while the rows before them are written. It
    // starts before the store is set up, which waits on the disk meanwhile, from a copy of the
    // rows, and is stopped and joined however the run ends, before the store is closed. Should
    // it not start here, the loop makes it, and meets what stopped it.
    std::optional<ReadAhead> reader;
    try {
        reader.emplace(grdFiles1.texts(), m_readAheadLimits, m_beforeReadingRow);
    } catch (...) {
    }

    // Store set-up: any failure shows one message and ends the run.
    std::unique_ptr<mapi::RDOSession> objSession;
    mapi::RDOStore* objStore = nullptr;
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
        const env::Environment& environment = s.environment;
        if (!environment.clock || !environment.localTime || !environment.random)
            throw std::invalid_argument("The run has no clock, time zone or random source.");
        const std::string fileTime = timeText(environment.localNow());
        std::optional<int> copy = freePstCopy(strSaveFolder, fileTime);
        result.storeName = storeDisplayName(timeText(environment.localNow()));
        step = "AddPSTStore";
        std::array<std::uint8_t, sizeof(std::uint32_t)> seed{};
        environment.random(seed);
        std::mt19937 random((std::uint32_t{seed[0]} << 24) | (std::uint32_t{seed[1]} << 16) |
                            (std::uint32_t{seed[2]} << 8) | seed[3]);
        for (int lost = 0; !objStore;) {
            if (!copy)
                throw mapi::MapiError("Cannot create \"" + strSaveFolder + pstFileName(fileTime) +
                                      "\": every name up to \" (" + std::to_string(kMostPstCopies) +
                                      ")\" is taken.");
            result.pstPath = strSaveFolder + pstFileName(fileTime, *copy);
            try {
                objStore = &objSession->Stores().AddPSTStore(platform::pathFromText(result.pstPath),
                                                             mapi::olStoreDefault, result.storeName);
            } catch (...) {
                // Another program (or another run) took the free name between the look and the
                // create, which never replaces a file: a later name, however often that
                // happens. The numbers only grow, so this ends.
                if (!nameTaken(result.pstPath))
                    throw;
                ++lost;
                copy = freePstCopy(strSaveFolder, fileTime, *copy + 1 + nameSkip(lost, random));
            }
        }
        step = "EntryID";
        storeID = objStore->EntryID();
        step = "ValidateIPMTree";
        objStore->ValidateIPMTree();
    } catch (...) {
        reader.reset();
        result.outcome = RunOutcome::SetUpFailed;
        result.setUpError = std::string(step) + ": " + errorText(std::current_exception());
        if (s.showMessage)
            s.showMessage(setUpFailureMessage(m_helpAddress, result.setUpError));
        return result;
    }
    result.outcome = RunOutcome::Finished;

    // The loop: every failing step is skipped, and the rows go on, until the store itself
    // fails: then nothing more can reach its file, and the run stops at once.
    m_currentFolder.clear();
    m_savedRows.clear();
    const int lastRow = grdFiles1.Rows() - 1;
    result.rows = lastRow + 1;
    try {
        if (!reader)
            reader.emplace(grdFiles1.texts(), m_readAheadLimits, m_beforeReadingRow);
        for (int r = 0; r <= lastRow; ++r) {
            if (r >= grdFiles1.Rows())
                break; // the list shrank under the run; the rows it lost cannot be converted
            yield();
            if (stopRequested()) {
                result.stopped = true;
                break;
            }
            convertRow(grdFiles1, *reader, r, *objSession, storeID, result);
        }
    } catch (const mapi::StoreFailure& e) {
        result.storeError = e.what();
    } catch (...) {
        // Out of memory, or no thread to read with: the rows left cannot be converted, but
        // what was written is still committed below and the store closed.
        result.loopError = errorText(std::current_exception());
    }
    reader.reset();

    // Finishing: Logoff commits and closes the store; after a store failure it only closes.
    // A failed final commit fails the run like any other write.
    yield();
    try {
        objSession->Logoff();
    } catch (...) {
        if (result.storeError.empty())
            result.storeError = errorText(std::current_exception());
    }
    countWhatTheFileHolds(*objStore, result);
    try {
        objSession.reset();
    } catch (...) {
        // Releasing reports nothing; Logoff has already said what went wrong.
    }
    return result;
}

void ConversionRun::countWhatTheFileHolds(const mapi::RDOStore& store, RunResult& result)
{
    // The count shown is what a reader finds in the file, not what the store accepted.
    std::uint64_t committed = 0;
    try {
        committed = store.ItemsCommitted();
    } catch (...) {
        if (result.storeError.empty())
            result.storeError =
                "how many contacts the file holds is unknown: " + errorText(std::current_exception());
    }
    const std::size_t saved = m_savedRows.size();
    result.written = static_cast<int>(std::min<std::uint64_t>(committed, saved));
    if (committed < saved) {
        // Items reach the file in the order they were saved: the last ones saved are those
        // lost, and a contact that is not in the file is no incomplete one either.
        if (result.storeError.empty())
            result.storeError = "the file holds " + std::to_string(committed) + " of the " +
                                std::to_string(saved) + " contacts written";
        const std::vector<int> lost(m_savedRows.begin() + static_cast<long>(committed), m_savedRows.end());
        const auto wasLost = [&](const RowProblem& p) {
            return std::binary_search(lost.begin(), lost.end(), p.row);
        };
        std::erase_if(result.incomplete, wasLost);
        std::erase_if(result.photosLeftOut, wasLost);
    }
    // Every row is in the file, skipped with its reason, or not converted for the reason the
    // run gives (a stop, a failure of the store or of the loop).
    result.notReached = std::max(0, result.rows - result.written - static_cast<int>(result.skipped.size()));
}

void ConversionRun::convertRow(const filelist::FileList& grdFiles1, ReadAhead& reader, int row,
                               mapi::RDOSession& session, const std::string& storeID, RunResult& result)
{
    auto& s = m_surroundings;
    const std::string& rowText = reader.row(row);
    const std::string_view trimmed = text::trimSpaces(rowText);
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
                const outlook::ContactItemResult item =
                    outlook::CreateContactItem(session, storeID, kContactsFolder, read.record,
                                               read.picture ? &*read.picture : nullptr, &read.composed);
                if (!item.saved) {
                    result.skipped.push_back(
                        {row, rowText, "not written (" + item.firstFailedStep + "): " + item.firstError});
                } else {
                    m_savedRows.push_back(row);
                    if (item.refusedSteps > 0)
                        result.incomplete.push_back(
                            {row, rowText, "without " + item.firstFailedStep + ": " + item.firstError});
                    if (!item.pictureProblem.empty())
                        result.photosLeftOut.push_back({row, rowText, item.pictureProblem});
                }
            }
        } catch (const mapi::StoreFailure&) {
            throw; // the end of the store, not of this row
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

MessageBoxText setUpFailureMessage(std::string_view helpAddress, std::string_view reason)
{
    MessageBoxText message;
    message.text = "Outlook Session Creation Error !\r\n"
                   "Check if Outlook is installed and configured.\r\n"
                   "For more details visit this link : " +
                   std::string(helpAddress);
    // What actually went wrong (a folder that cannot be written, a full disk) is what a
    // person can act on.
    if (!reason.empty())
        message.text += "\r\n\r\nReason: " + shell::visibleText(reason);
    message.title = "Outlook Error";
    message.icon = MessageIcon::Information;
    return message;
}

MessageBoxText summaryMessage(const RunResult& result)
{
    MessageBoxText message;
    message.title = "Tressimo";
    message.icon = MessageIcon::Information;
    const std::string file = shell::visibleText(result.pstPath);
    const std::string contacts = countOf(static_cast<std::size_t>(result.written), "contact", "contacts");
    const std::string notConverted = std::to_string(result.notReached) + " of " +
                                     countOf(static_cast<std::size_t>(result.rows), "file", "files") +
                                     " not converted";
    if (!result.storeError.empty()) {
        // Said first: everything below it is about a file that stopped short.
        message.text = "The data file could not be written: " + shell::visibleText(result.storeError) +
                       "\r\n\r\nIt holds " + contacts + ": " + file + "\r\n" + notConverted +
                       " because of this.";
    } else {
        message.text = contacts + " converted to " + file;
    }
    appendProblems(message.text,
                   countOf(result.skipped.size(), "file", "files") + " skipped:", result.skipped);
    appendProblems(message.text,
                   countOf(result.incomplete.size(), "contact", "contacts") +
                       " converted without some values:",
                   result.incomplete);
    appendProblems(message.text,
                   countOf(result.photosLeftOut.size(), "contact", "contacts") +
                       " converted without their photo:",
                   result.photosLeftOut);
    if (result.storeError.empty() && result.stopped)
        message.text += "\r\n\r\nStopped: " + notConverted + ".";
    if (result.storeError.empty() && !result.loopError.empty())
        message.text += "\r\n\r\nThe run ended early (" + shell::visibleText(result.loopError) +
                        "): " + notConverted + ".";
    return message;
}

std::string troubleshootingAddress(const std::filesystem::path& manual)
{
    return shell::fileUrl(platform::textOfPath(manual), "troubleshooting");
}

} // namespace tressimo::convert
