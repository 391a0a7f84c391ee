#include "window/window_logic.h"

#include "filelist/contact_name.h"
#include "platform/path_text.h"
#include "shell/path_rules.h"
#include "window/folder_scan.h"

#include <cassert>
#include <filesystem>
#include <new>
#include <system_error>

namespace tressimo::window {

namespace {

const char kFolderTitle[] = "Choose Windows Contacts Folder...";
const char kClearQuestion[] = "Do you want to clear all the files in the list\r\n Proceed?";
const char kExitQuestion[] = "Are you sure you want to exit now?";
// Numbers for failures that carry none of their own, as the Basic run-time numbers them.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

enum class PathKind { Missing, Folder, File, Other };

PathKind kindOf(const std::string& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(platform::pathFromText(path), error);
    if (error || !std::filesystem::exists(status))
        return PathKind::Missing;
    if (std::filesystem::is_directory(status))
        return PathKind::Folder;
    return std::filesystem::is_regular_file(status) ? PathKind::File : PathKind::Other;
}

MessageIcon iconOf(filelist::MessageIcon icon)
{
    return icon == filelist::MessageIcon::Information ? MessageIcon::Information : MessageIcon::None;
}

} // namespace

std::string findManual(const std::string& programFolder)
{
    const std::filesystem::path folder = platform::pathFromText(programFolder);
    for (const char* candidate : {"manual.html", "../share/doc/tressimo/manual.html"}) {
        const std::filesystem::path manual = (folder / candidate).lexically_normal();
        std::error_code error;
        if (std::filesystem::is_regular_file(manual, error))
            return platform::textOfPath(manual);
    }
    return {};
}

// Marks the window busy for as long as a command runs; commands that change the list or
// start a run are disabled meanwhile.
class WindowLogic::BusyScope
{
public:
    BusyScope(WindowLogic& logic, Busy busy) : m_logic(logic)
    {
        assert(logic.m_busy == Busy::No);
        m_logic.m_busy = busy;
        m_logic.applyCommandStates();
    }
    ~BusyScope() { end(); }
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        m_logic.refreshListViews();
        m_logic.m_busy = Busy::No;
        m_logic.applyCommandStates();
    }

private:
    WindowLogic& m_logic;
    bool m_ended = false;
};

// The wait cursor for as long as it lives, or until restored.
class WindowLogic::WaitCursor
{
public:
    explicit WaitCursor(WindowView& view) : m_view(view) { m_view.setWaitCursor(true); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (m_up)
            m_view.setWaitCursor(false);
        m_up = false;
    }

private:
    WindowView& m_view;
    bool m_up = true;
};

WindowLogic::WindowLogic(WindowView& view, LogicServices services)
    : m_view(view), m_services(std::move(services)), m_pump([this] { m_view.runPendingEvents(); })
{
    m_fileList.setYield([this] { yield(); });
    m_fileList.addObserver([this](filelist::FileList::Change, int) { listChanged(); });
    m_pump.setBeforeEvents([this] {
        if (m_listViewsStale)
            refreshListViews();
    });
    m_helpAddress = convert::troubleshootingAddress(platform::pathFromText(m_services.manualPath));
    m_run = std::make_unique<convert::ConversionRun>(runSurroundings(), m_helpAddress);
    refreshListViews();
    applyCommandStates();
}

WindowLogic::~WindowLogic() = default;

void WindowLogic::listChanged()
{
    // During a long command the views catch up whenever the window is about to repaint;
    // otherwise at once.
    if (isBusy())
        m_listViewsStale = true;
    else
        refreshListViews();
}

void WindowLogic::refreshListViews()
{
    m_listViewsStale = false;
    m_view.showRows(m_fileList, m_fileList.columnWidth());
    m_view.setText("lblCount1", m_fileList.countLabel());
}

void WindowLogic::yield()
{
    m_pump.yield();
}

void WindowLogic::setConvertWanted(bool enabled)
{
    m_convertWanted = enabled;
    applyCommandStates();
}

void WindowLogic::applyCommandStates()
{
    const bool idle = !isBusy() && !m_ending;
    m_view.setEnabled("cmdAdd", idle);
    m_view.setEnabled("CmdAddFolder", idle);
    m_view.setEnabled("cmdClear1", idle);
    m_view.setEnabled("CmdExtractDBX", idle && m_convertWanted);
}

MessageAnswer WindowLogic::ask(const Message& message)
{
    return m_view.showMessage(message);
}

void WindowLogic::showError(int number, const std::string& description)
{
    ask({std::to_string(number) + ":" + description, kApplicationTitle, MessageIcon::Exclamation});
}

void WindowLogic::showFound(const filelist::MessageBoxText& text)
{
    ask({text.text, text.title, iconOf(text.icon)});
}

void WindowLogic::endIfClosed()
{
    if (m_ending && !isBusy())
        m_view.endProgram();
}

void WindowLogic::cmdClear1_Click()
{
    if (isBusy() || m_fileList.isEmpty())
        return;
    if (ask({kClearQuestion, kApplicationTitle, MessageIcon::Question, MessageButtons::YesNo}) !=
        MessageAnswer::Yes)
        return;
    m_fileList.ResetFileList();
    // An empty list has nothing to convert.
    setConvertWanted(false);
}

void WindowLogic::cmdAdd_Click()
{
    if (isBusy())
        return;
    {
        BusyScope busy(*this, Busy::Adding);
        try {
            yield();
            const std::vector<std::string> chosen = m_view.askForFiles(kFileFilter);
            yield();
            if (chosen.empty() || m_ending)
                return;
            addFilePaths(chosen);
        } catch (const SelectionTooLong& error) {
            busy.end();
            ask({"Please select only " + std::to_string(error.limit()) + " files at a time", kApplicationTitle,
                 MessageIcon::Exclamation});
        } catch (const DialogError& error) {
            busy.end();
            showError(error.number(), error.what());
        } catch (const std::bad_alloc&) {
            busy.end();
            showError(kOutOfMemory, "Out of memory");
        } catch (const std::exception& error) {
            busy.end();
            showError(kInternalError, error.what());
        }
    }
    endIfClosed();
}

void WindowLogic::addFilePaths(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    // Any selection enables Convert, before its rows are appended.
    setConvertWanted(true);
    for (const std::string& path : paths) {
        if (m_ending)
            return;
        yield();
        m_fileList.AddFileRow(path);
        yield();
    }
}

void WindowLogic::CmdAddFolder_Click()
{
    if (isBusy())
        return;
    std::string folder = askForFolder(kFolderTitle);
    if (folder.empty() || m_ending)
        return;
    addFolder(std::move(folder));
}

void WindowLogic::addFolder(std::string folder)
{
    if (isBusy() || folder.empty())
        return;
    addFolderFiles(std::move(folder));
    endIfClosed();
}

void WindowLogic::addFolderFiles(std::string folder)
{
    folder = shell::withTrailingSeparator(std::move(folder));
    BusyScope busy(*this, Busy::Adding);
    WaitCursor wait(m_view);
    int found = 0;
    try {
        const FolderScanResult scan = scanFolder(
            m_services.fileSystem, folder, [this] { m_pump.yieldNow(); }, [this] { return m_ending; });
        if (m_ending)
            return;
        for (const filelist::MessageBoxText& text : scan.messages)
            showFound(text);
        for (const auto& entry : *scan.fullFileNames) {
            yield();
            if (m_ending)
                return;
            if (filelist::isContactFileName(entry.value)) {
                yield();
                m_fileList.AddFileRow(entry.value);
                ++found;
            }
        }
    } catch (const std::bad_alloc&) {
        wait.restore();
        busy.end();
        showError(kOutOfMemory, "Out of memory");
        return;
    } catch (const std::exception& error) {
        wait.restore();
        busy.end();
        showError(kInternalError, error.what());
        return;
    }
    wait.restore();
    // A folder without .contact files leaves Convert as the list allows: files added earlier
    // can still be converted.
    m_convertWanted = found > 0 || !m_fileList.isEmpty();
    busy.end();
    ask({std::to_string(found) + " Email Messages Found."});
}

bool WindowLogic::wouldAddAny(const std::vector<std::string>& paths) const
{
    for (const std::string& path : paths) {
        const PathKind kind = kindOf(path);
        if (kind == PathKind::Folder || (kind == PathKind::File && filelist::isContactFileName(path)))
            return true;
    }
    return false;
}

bool WindowLogic::addDroppedPaths(const std::vector<std::string>& paths)
{
    if (!takesDrops())
        return false;
    std::vector<std::string> files;
    const auto addFiles = [&] {
        if (files.empty())
            return;
        {
            BusyScope busy(*this, Busy::Adding);
            addFilePaths(files);
        }
        files.clear();
    };
    for (const std::string& path : paths) {
        if (m_ending)
            break;
        switch (kindOf(path)) {
        case PathKind::Folder:
            addFiles();
            if (!m_ending)
                addFolderFiles(path);
            break;
        case PathKind::File:
            if (filelist::isContactFileName(path))
                files.push_back(path);
            break;
        case PathKind::Missing:
        case PathKind::Other:
            break;
        }
    }
    if (!m_ending)
        addFiles();
    endIfClosed();
    return true;
}

convert::RunSurroundings WindowLogic::runSurroundings()
{
    convert::RunSurroundings run;
    run.BrowseForFolder = [this](std::string_view title) { return askForFolder(title); };
    // The set-up failure message comes here; the summary is shown by the command.
    run.showMessage = [this](const filelist::MessageBoxText& text) { showFound(text); };
    run.setLblCurrentDBX = [this](std::string_view text) { m_view.setText("LblCurrentDBX", text); };
    run.setLblProgessCurrent = [this](std::string_view text) { m_view.setText("LblProgessCurrent", text); };
    run.setProgressRange = [this](double minimum, double maximum) {
        m_view.setProgressRange(static_cast<int>(minimum), static_cast<int>(maximum));
    };
    run.setProgressValue = [this](float value) { m_view.setProgressValue(static_cast<int>(value + 0.5f)); };
    run.setConvertEnabled = [this](bool enabled) { setConvertWanted(enabled); };
    // The list commands are left to the window, which disables them for the whole command.
    run.yield = [this] { yield(); };
    if (m_services.clock)
        run.clock = m_services.clock;
    run.createSession = m_services.createSession;
    return run;
}

std::string WindowLogic::askForFolder(std::string_view title)
{
    if (m_services.scriptedFolders.empty())
        return m_view.askForFolder(title);
    std::string folder = std::move(m_services.scriptedFolders.front());
    m_services.scriptedFolders.pop_front();
    return folder;
}

void WindowLogic::CmdExtractDBX_Click()
{
    // A run never starts on an empty list, nor while another command is under way.
    if (isBusy() || m_ending || m_fileList.isEmpty())
        return;
    {
        BusyScope busy(*this, Busy::Running);
        m_lastRun = m_run->CmdExtractDBX_Click(m_fileList);
        busy.end();
        // After a close the program ends without a summary, unless the file could not be
        // written: that must not end in silence.
        if (m_lastRun.outcome == convert::RunOutcome::Finished && (!m_ending || !m_lastRun.storeError.empty())) {
            const filelist::MessageBoxText summary = convert::summaryMessage(m_lastRun);
            // A run that lost anything says so with a warning, not as routine news.
            ask({summary.text, summary.title,
                 m_lastRun.complete() ? MessageIcon::Information : MessageIcon::Exclamation});
        }
    }
    endIfClosed();
}

void WindowLogic::CmdHelp_Click()
{
    if (!m_services.manualPath.empty())
        m_view.openDocument(m_services.manualPath);
}

void WindowLogic::cmdEnd_Click()
{
    if (ask({kExitQuestion, kApplicationTitle, MessageIcon::Question, MessageButtons::YesNo}) ==
        MessageAnswer::Yes)
        m_view.closeWindow();
}

void WindowLogic::click(std::string_view control)
{
    if (control == "cmdAdd")
        cmdAdd_Click();
    else if (control == "CmdAddFolder")
        CmdAddFolder_Click();
    else if (control == "cmdClear1")
        cmdClear1_Click();
    else if (control == "CmdExtractDBX")
        CmdExtractDBX_Click();
    else if (control == "CmdHelp")
        CmdHelp_Click();
    else if (control == "cmdEnd")
        cmdEnd_Click();
}

void WindowLogic::closing()
{
    // No question here: Exit has asked already, and the close box never asks.
    if (m_ending)
        return;
    m_ending = true;
    applyCommandStates();
    if (isBusy()) {
        // The command under way stops at its next step, a run after the contact being
        // written and with its store committed; then the program ends.
        m_run->requestStop();
        return;
    }
    m_view.endProgram();
}

} // namespace tressimo::window
