#pragma once
// The conversion run: the "Convert" command from the choice of output folder, through the
// creation of the store and the loop over the file list, to the end of the session. The
// window and the command line drive this same code; it reaches its surroundings only
// through RunSurroundings, so tests drive it with fakes.
//
// A front end makes one ConversionRun and keeps it (it holds the record of the last row):
//   ConversionRun run(surroundings, troubleshootingAddress(manualPath));
//   RunResult result = run.CmdExtractDBX_Click(fileList);   // on "Convert"
//   if (result.outcome == RunOutcome::Finished) show(summaryMessage(result));
// While it runs, the run itself disables "Convert" and the list commands (through
// setConvertEnabled and setListCommandsEnabled) and enables both again however it ends; Help
// and Exit stay with the front end. Exit during a run: requestStop() from the yield, then
// close the window once CmdExtractDBX_Click has returned (the store is committed by then).
//
// The rows' files are loaded and read on a second thread, a bounded number of rows ahead of
// the row being written (see read_ahead.h). Everything else stays on the calling thread, in
// row order: the session, the surroundings, the file list and the yields, so what a run does
// and shows is the same as if it read each row itself. The reading thread starts once the
// store is set up and has ended when CmdExtractDBX_Click returns, however it returns.

#include "contacts/contact_record.h"
#include "convert/read_ahead.h"
#include "convert/run_names.h"
#include "filelist/file_list.h"
#include "filelist/path_logger.h"
#include "mapi/mapi.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::convert {

enum class MessageIcon { None, Information };

struct MessageBoxText
{
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
};

// What the run asks of its surroundings. Every member may be left empty (nothing is shown),
// except BrowseForFolder, environment and createSession, without which a run ends at the
// prompt or fails its set-up. Texts are UTF-8, paths their bytes as they are.
struct RunSurroundings
{
    // The folder chooser, owned by the window: the chosen folder, or empty text on cancel.
    std::function<std::string(std::string_view title)> BrowseForFolder;
    // A modal message box.
    std::function<void(const MessageBoxText& message)> showMessage;
    // The two status labels: LblCurrentDBX (the folder) and LblProgessCurrent (the file).
    std::function<void(std::string_view text)> setLblCurrentDBX;
    std::function<void(std::string_view text)> setLblProgessCurrent;
    // ProgressBar1: its range, then its value after each row (0..100, fractions kept).
    std::function<void(double minimum, double maximum)> setProgressRange;
    std::function<void(float value)> setProgressValue;
    // The enabled state of the "Convert" button CmdExtractDBX.
    std::function<void(bool enabled)> setConvertEnabled;
    // The commands that change the file list (add files, add folder, clear): disabled from
    // the start of a run to its end, so the list cannot change under the loop.
    std::function<void(bool enabled)> setListCommandsEnabled;
    // Lets pending window messages run (repaint, input). A click handled here may call
    // ConversionRun::requestStop.
    std::function<void()> yield;
    // The local wall clock, read once for the file name and once for the store name, and
    // random bytes for settling races for a file name; required.
    env::Environment environment;
    // A new, not yet logged-on session ("Redemption.RDOSession"); mapi::createSession in
    // the product. May throw; null counts as a failure.
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession;
};

enum class RunOutcome {
    Cancelled,      // no folder chosen (or stopped before the store was made): nothing changed
    SetUpFailed,    // the store could not be set up; the "Outlook Error" message was shown
    Finished,       // the loop ran (to its end, or until a stop); the session was logged off
    AlreadyRunning, // called while a run was under way; nothing was done
};

// A row that gave no complete contact, and why.
struct RowProblem
{
    int row = 0;      // 0-based row of the file list
    std::string path; // the row's text
    std::string reason;
};

struct RunResult
{
    RunOutcome outcome = RunOutcome::Cancelled;
    // The chosen folder, ending with the separator (empty on cancel).
    std::string saveFolder;
    // The .pst file and the store's display name (set once the set-up got that far).
    std::string pstPath;
    std::string storeName;
    // For SetUpFailed: the step that failed and why, e.g. "AddPSTStore: Cannot create ...".
    std::string setUpError;

    // Rows the list held when the loop began, and the contacts the file holds as of its last
    // commit (asked of the store once it is closed): what a reader of the file finds, which
    // after a failure of the store is less than what was saved.
    int rows = 0;
    int written = 0;
    // Rows that gave no item: empty rows, files that did not load, items the store refused.
    std::vector<RowProblem> skipped;
    // Rows whose item was saved without some of its values (a refused property).
    std::vector<RowProblem> incomplete;
    // Rows whose item was saved without the contact's photo, as no picture could be made of it.
    std::vector<RowProblem> photosLeftOut;
    // Rows neither in the file nor skipped: left by a stop, or lost to a failure of the store
    // or of the loop (rows = written + skipped + notReached).
    int notReached = 0;
    // Whether a stop request ended the loop early.
    bool stopped = false;
    // What ended the loop early otherwise (out of memory, say).
    std::string loopError;
    // The store itself failed (a write, a sync, the final commit in Logoff; disk full, an I/O
    // error): the reason. The run stopped converting at that moment, and the file holds only
    // what its last commit held.
    std::string storeError;

    // Every row became a complete contact and the store was closed cleanly.
    bool complete() const
    {
        return outcome == RunOutcome::Finished && skipped.empty() && incomplete.empty() &&
               photosLeftOut.empty() && notReached == 0 && loopError.empty() && storeError.empty();
    }
};

class ConversionRun
{
public:
    // `helpAddress` ends the set-up failure message: our manual's troubleshooting page.
    ConversionRun(RunSurroundings surroundings, std::string helpAddress);

    // The "Convert" command (CmdExtractDBX_Click) over the rows of `grdFiles1`. Returns when
    // the run is over. The window shows summaryMessage(result) for a Finished run; the
    // command line prints its own summary. A call made from a yield of a run under way does
    // nothing and returns AlreadyRunning.
    RunResult CmdExtractDBX_Click(const filelist::FileList& grdFiles1);

    // Asks the run under way to stop after the contact being written: it skips the rows
    // left, logs off (which commits and closes the store) and returns normally. Meant for a
    // yield (the window's Exit); does nothing when no run is under way.
    void requestStop();
    bool running() const { return m_running; }

    // Called on the reading thread before each row's file is read (see ReadAhead::BeforeRow):
    // for tests, to slow reading down and see how far ahead of the writing it runs.
    void setBeforeReadingRow(ReadAhead::BeforeRow hook);
    // How far reading may run ahead: ReadAheadLimits' defaults, unless a test wants a shorter
    // ring.
    void setReadAheadLimits(ReadAheadLimits limits) { m_readAheadLimits = limits; }

    // The contact record as the last row left it (texts trimmed as the writer got them).
    const contacts::ContactRecord& record() const { return m_lastRead->record; }

private:
    bool stopRequested() const { return m_stopRequested; }
    void yield();
    RunResult setUpAndConvert(const filelist::FileList& grdFiles1);
    void convertRow(const filelist::FileList& grdFiles1, ReadAhead& reader, int row,
                    mapi::RDOSession& session, const std::string& storeID, RunResult& result);
    void countWhatTheFileHolds(const mapi::RDOStore& store, RunResult& result);

    RunSurroundings m_surroundings;
    std::string m_helpAddress;
    bool m_running = false;
    bool m_stopRequested = false;
    // What reading the last row taken gave: the window-level record, and the row's error.
    std::unique_ptr<ReadRow> m_lastRead;
    ReadAhead::BeforeRow m_beforeReadingRow;
    ReadAheadLimits m_readAheadLimits;
    // The folder text of the status label, kept from row to row (a row without one keeps it).
    std::string m_currentFolder;
    // The rows whose item was saved, in the order saved.
    std::vector<int> m_savedRows;
};

// The folder chooser's title.
inline constexpr std::string_view kSaveFolderTitle = "Choose Folder to Save...";
// The status text of the folder label for a folder text.
std::string currentFolderCaption(std::string_view folder);

// The set-up failure message: three lines separated by CR LF, then, after an empty line,
// "Reason: " and `reason` (RunResult::setUpError); title "Outlook Error", information icon.
MessageBoxText setUpFailureMessage(std::string_view helpAddress, std::string_view reason = {});

// The end-of-run summary for the window, titled "Tressimo": "N contacts converted to FILE"
// (after a failure of the store instead: why the file could not be written, how many contacts
// it holds and how many files were not converted), then the files skipped, those written
// without some values and those written without their photo, with reasons (the first 20 of
// each, then how many more), and a stop. Lines are separated by CR LF, as in the set-up failure
// message; names and reasons have their control characters shown as escapes.
MessageBoxText summaryMessage(const RunResult& result);

// The address of our manual's troubleshooting section, for the set-up failure message.
std::string troubleshootingAddress(const std::filesystem::path& manual);

} // namespace tressimo::convert
