#pragma once
// What the window asks of its surroundings: message boxes, the file-open dialog, the folder
// chooser, the desktop's document opener, the file system the folder command scans, where
// the manual is, and what a conversion run talks to. The program uses the desktop's own;
// tests put recorders and scripted answers in their place.

#include "convert/run_names.h"
#include "filelist/file_system.h"
#include "mapi/mapi.h"
#include "shell/browse_for_folder.h"
#include "shell/open_document.h"
#include "window/window_view.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace tressimo::app {

using window::DialogError;
using window::kApplicationTitle;
using window::Message;
using window::MessageAnswer;
using window::MessageButtons;
using window::MessageIcon;
using window::SelectionTooLong;

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Modal; returns the button pressed (No when a Yes/No box is closed otherwise).
    virtual MessageAnswer show(QWidget* parent, const Message& message) = 0;
};

// QMessageBox. While a wait cursor is up, the box shows the ordinary arrow over itself.
MessageBoxes& desktopMessageBoxes();

class FileOpenDialog
{
public:
    virtual ~FileOpenDialog() = default;
    // Modal, several files may be chosen; the full paths in the dialog's order, empty when
    // cancelled. May throw DialogError or SelectionTooLong (Qt's own dialog never does).
    virtual QStringList getOpenFileNames(QWidget* parent, const QString& filter) = 0;
};

// QFileDialog (the desktop's own where the platform offers one).
FileOpenDialog& desktopFileOpenDialog();

// The manual for the program in this folder (window::findManual).
std::string findManual(const QString& programFolder);

struct WindowServices
{
    MessageBoxes* messageBoxes = nullptr;
    FileOpenDialog* fileOpenDialog = nullptr;
    shell::FolderChooser* folderChooser = nullptr;
    shell::DocumentOpener* documentOpener = nullptr;
    // What "Add folder" and dropped folders scan. Used from a worker thread, one walk at a
    // time.
    std::shared_ptr<filelist::FileSystem> fileSystem;
    // The user manual (system bytes) that Help opens and whose troubleshooting section is
    // the help address of a failed conversion set-up.
    std::string manualPath;
    // Ends the program once the window has closed and the command under way has stopped.
    std::function<void()> endProgram;
    // A new session for each conversion run (mapi::createSession in the program).
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession;
    // The local wall clock the run names its store by; empty for the system's.
    std::function<convert::LocalTime()> clock;

    // The desktop's own, the real disk, the manual found next to the program, our PST
    // writer.
    static WindowServices desktop();
};

} // namespace tressimo::app
