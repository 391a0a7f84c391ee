#pragma once
// The program's one window in Qt: the form of window/form_layout.h, drawn with Qt widgets
// (every control's objectName is its name there), forwarding its clicks, drops and close box
// to the window logic (window/window_logic.h), which holds every rule.

#include "app/window_services.h"
#include "convert/conversion_run.h"
#include "filelist/file_list.h"
#include "window/window_logic.h"

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
    filelist::FileList& fileList() { return m_logic->fileList(); }
    // Appends one path (the system's bytes) as the add commands do.
    void AddFileRow(std::string_view path) { fileList().AddFileRow(path); }
    void ResetFileList() { fileList().ResetFileList(); }

    // The commands, named after the control and the event.
    void cmdAdd_Click() { m_logic->cmdAdd_Click(); }
    void CmdAddFolder_Click() { m_logic->CmdAddFolder_Click(); }
    void cmdClear1_Click() { m_logic->cmdClear1_Click(); }
    void CmdExtractDBX_Click() { m_logic->CmdExtractDBX_Click(); }
    void CmdHelp_Click() { m_logic->CmdHelp_Click(); }
    void cmdEnd_Click() { m_logic->cmdEnd_Click(); }

    // A dropped folder's end: adds its .contact files as "Add folder" does.
    void addFolder(std::string folder) { m_logic->addFolder(std::move(folder)); }
    // Adds dropped paths as the logic does; false when the window is busy and takes nothing.
    bool addDroppedPaths(const std::vector<std::string>& paths) { return m_logic->addDroppedPaths(paths); }

    bool isBusy() const { return m_logic->isBusy(); }
    const convert::RunResult& lastRun() const { return m_logic->lastRun(); }
    const std::string& helpAddress() const { return m_logic->helpAddress(); }

protected:
    // Form_Unload: the close box and Exit end up here. Never asks.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class View;

    void buildControls();

    WindowServices m_services;
    Controls m_ui;
    FileListModel* m_model = nullptr;
    int m_shownColumnWidth = -1;
    std::unique_ptr<View> m_view;
    std::unique_ptr<window::WindowLogic> m_logic;
};

} // namespace tressimo::app
