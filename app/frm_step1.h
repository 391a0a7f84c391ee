#pragma once
// The program's one window: the file list with its three commands, "Convert" with the run's
// labels and progress bar, and the footer with Help and Exit. Its layout is fixed (see
// frm_step1_layout.h); every control's objectName is its name there.
//
// One thread drives it all. Long commands (adding files, adding a folder, the conversion
// run) let pending events run while they work, so the window repaints and Help and Exit stay
// usable; every command that would change the list or start a run is disabled meanwhile,
// and drops are refused. Closing the window during such a command stops the command at its
// next step (a run after the contact being written, with its store committed) and then ends
// the program.

#include "app/event_pump.h"
#include "app/window_services.h"
#include "convert/conversion_run.h"
#include "filelist/file_list.h"

#include <QWidget>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tressimo::app {

class FileListModel;

class frmStep1 : public QWidget
{
    Q_OBJECT
public:
    explicit frmStep1(WindowServices services, QWidget* parent = nullptr);
    ~frmStep1() override;

    // The controls, named as the window names them.
    struct Controls
    {
        QLabel* Image1 = nullptr;
        QPushButton* cmdAdd = nullptr;
        QPushButton* CmdAddFolder = nullptr;
        QPushButton* cmdClear1 = nullptr;
        QLabel* lblCount1 = nullptr;
        QTableView* grdFiles1 = nullptr;
        QLabel* LblCurrentDBX = nullptr;
        QLabel* LblProgessCurrent = nullptr;
        QLabel* Label1 = nullptr;
        QProgressBar* ProgressBar1 = nullptr;
        QPushButton* CmdExtractDBX = nullptr;
        QFrame* Shape1 = nullptr;
        QWidget* Picture3 = nullptr;
        QPushButton* CmdHelp = nullptr;
        QPushButton* cmdEnd = nullptr;
    };
    const Controls& controls() const { return m_ui; }

    // The file list the grid shows and the run reads.
    filelist::FileList& fileList() { return m_fileList; }
    // Appends one path (the system's bytes) as the add commands do.
    void AddFileRow(std::string_view path);
    void ResetFileList();

    // The commands, named after the control and the event.
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdExtractDBX_Click();
    void CmdHelp_Click();
    void cmdEnd_Click();

    // Adds a folder's .contact files as "Add folder" does, without asking for the folder:
    // the end of a dropped folder.
    void addFolder(std::string folder);
    // Adds the dropped paths in their order: .contact files as "Add .contact file(s)..."
    // adds them, folders as "Add folder" does; anything else is left out. False when the
    // window is busy and takes nothing.
    bool addDroppedPaths(const std::vector<std::string>& paths);

    // A list command or a run is under way.
    bool isBusy() const { return m_busy != Busy::No; }
    // The outcome of the last conversion run.
    const convert::RunResult& lastRun() const { return m_lastRun; }
    // The help address of the set-up failure message: the manual's troubleshooting section.
    const std::string& helpAddress() const { return m_helpAddress; }

protected:
    // Form_Unload: the close box and Exit end up here. Never asks.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class Busy { No, Adding, Running };
    class BusyScope;

    void buildControls();
    convert::RunSurroundings runSurroundings();
    void setConvertWanted(bool enabled);
    void applyCommandStates();
    // Brings the grid's rows, the count label and the column width up to the list.
    void refreshListViews();
    void listChanged();
    void yield();
    void addFolderFiles(std::string folder);
    void addFilePaths(const std::vector<std::string>& paths);
    MessageAnswer ask(const Message& message);
    void showError(int number, const QString& description);
    // After a command: when the window was closed meanwhile, end the program now.
    void endIfClosed();

    WindowServices m_services;
    Controls m_ui;
    filelist::FileList m_fileList;
    FileListModel* m_model = nullptr;
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
    int m_shownColumnWidth = -1;
};

} // namespace tressimo::app
