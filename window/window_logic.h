#pragma once
// The window's behaviour, once for both front ends: the list commands and their rules, which
// commands are enabled when, what each click asks and shows, drops, the conversion run's
// surroundings, and how the window ends. A front end builds its controls from form_layout.h,
// implements WindowView, and forwards its clicks, drops and close box here.
//
// One thread drives it all. Long commands (adding files, adding a folder, the conversion
// run) let pending events run while they work, so the window repaints and Help and Exit stay
// usable; every command that would change the list or start a run is disabled meanwhile,
// and drops are refused. Closing the window during such a command stops the command at its
// next step (a run after the contact being written, with its store committed) and then ends
// the program.

#include "convert/conversion_run.h"
#include "filelist/file_list.h"
#include "filelist/file_system.h"
#include "mapi/mapi.h"
#include "window/event_pump.h"
#include "window/window_view.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::window {

inline constexpr char kFileFilter[] = "Windows Contacts (*.contact)";

// Where the user manual is: manual.html next to the program (where the build and the Windows
// installer put it), or ../share/doc/tressimo/manual.html from it (where it is installed on
// Linux). Empty when neither exists.
std::string findManual(const std::string& programFolder);

// What a run and the folder command reach besides the view.
struct LogicServices
{
    // What "Add folder" and dropped folders scan; used from a worker thread, one walk at a time.
    std::shared_ptr<filelist::FileSystem> fileSystem;
    // The user manual (system bytes) that Help opens and whose troubleshooting section is the
    // help address of a failed conversion set-up.
    std::string manualPath;
    // A new session for each conversion run (mapi::createSession in the program).
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession;
    // The local wall clock the run names its store by; empty for the system's.
    std::function<convert::LocalTime()> clock;
    // Folders given in advance, for driving the window from a script (the Win32 window under
    // wine takes them from its environment): each time a folder is asked for, the next one
    // is taken instead of showing the chooser.
    std::deque<std::string> scriptedFolders;
};

class WindowLogic
{
public:
    // The view must outlive the logic. Shows the initial state: the empty list, Convert
    // disabled.
    WindowLogic(WindowView& view, LogicServices services);
    ~WindowLogic();

    filelist::FileList& fileList() { return m_fileList; }

    // The commands, named after the control and the event.
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdExtractDBX_Click();
    void CmdHelp_Click();
    void cmdEnd_Click();
    // The click of the button of that name (form_layout.h); other names do nothing.
    void click(std::string_view control);
    // The window is closing (close box, Exit, or the end of the session): never asks.
    void closing();

    // Adds a folder's .contact files as "Add folder" does, without asking for the folder.
    void addFolder(std::string folder);
    // Whether a drag may drop here now, and whether these paths would add anything.
    bool takesDrops() const { return !isBusy() && !m_ending; }
    bool wouldAddAny(const std::vector<std::string>& paths) const;
    // Adds the dropped paths in their order: .contact files as "Add .contact file(s)..."
    // adds them, folders as "Add folder" does; anything else is left out. False when the
    // window is busy and takes nothing. Call it once the drop is over.
    bool addDroppedPaths(const std::vector<std::string>& paths);

    // A list command or a run is under way.
    bool isBusy() const { return m_busy != Busy::No; }
    bool isEnding() const { return m_ending; }
    // The outcome of the last conversion run.
    const convert::RunResult& lastRun() const { return m_lastRun; }
    // The help address of the set-up failure message: the manual's troubleshooting section.
    const std::string& helpAddress() const { return m_helpAddress; }

private:
    enum class Busy { No, Adding, Running };
    class BusyScope;
    class WaitCursor;

    convert::RunSurroundings runSurroundings();
    std::string askForFolder(std::string_view title);
    void setConvertWanted(bool enabled);
    void applyCommandStates();
    void refreshListViews();
    void listChanged();
    void yield();
    void addFolderFiles(std::string folder);
    void addFilePaths(const std::vector<std::string>& paths);
    MessageAnswer ask(const Message& message);
    void showError(int number, const std::string& description);
    void showFound(const filelist::MessageBoxText& text);
    // After a command: when the window was closed meanwhile, end the program now.
    void endIfClosed();

    WindowView& m_view;
    LogicServices m_services;
    filelist::FileList m_fileList;
    EventPump m_pump;
    std::string m_helpAddress;
    // The run keeps the window-level contact record and reader state between runs.
    std::unique_ptr<convert::ConversionRun> m_run;
    convert::RunResult m_lastRun;
    Busy m_busy = Busy::No;
    // Convert's state as the commands and the run set it; the button also waits for the
    // window to be idle.
    bool m_convertWanted = false;
    bool m_ending = false;
    bool m_listViewsStale = false;
};

} // namespace tressimo::window
