#include "app/frm_step1.h"

#include "app/artwork.h"
#include "app/dropped_paths.h"
#include "app/file_list_model.h"
#include "app/folder_scan.h"
#include "app/frm_step1_layout.h"
#include "app/window_font.h"
#include "filelist/contact_name.h"
#include "shell/native_path.h"
#include "shell/path_rules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <cassert>
#include <filesystem>
#include <new>
#include <string_view>
#include <sys/stat.h>

namespace tressimo::app {

namespace {

const char kFileFilter[] = "Windows Contacts (*.contact)";
const char kFolderTitle[] = "Choose Windows Contacts Folder...";
const char kClearQuestion[] = "Do you want to clear all the files in the list\r\n Proceed?";
const char kExitQuestion[] = "Are you sure you want to exit now?";
// Numbers for failures that carry none of their own, as the Basic run-time numbers them.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

const ControlPlace& placeOf(std::string_view name)
{
    for (const ControlPlace& place : kControlPlaces)
        if (name == place.name)
            return place;
    assert(false && "a control without a place");
    return kControlPlaces[0];
}

template <typename Widget> Widget* makeControl(QWidget* parent, const char* name)
{
    auto* widget = new Widget(parent);
    const ControlPlace& place = placeOf(name);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(pixelsOf(place.left), pixelsOf(place.top), pixelsOf(place.width),
                        pixelsOf(place.height));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* text)
{
    auto* label = makeControl<QLabel>(parent, name);
    // Paths are shown as they are: a name holding "<b>" must not turn into markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(QString::fromLatin1(text));
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text)
{
    auto* button = makeControl<QPushButton>(parent, name);
    button->setText(QString::fromLatin1(text));
    button->setAutoDefault(false);
    return button;
}

// The application-wide wait cursor for as long as it lives.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (m_up)
            QApplication::restoreOverrideCursor();
        m_up = false;
    }

private:
    bool m_up = true;
};

enum class PathKind { Missing, Folder, File, Other };

PathKind kindOf(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return PathKind::Missing;
    if (S_ISDIR(st.st_mode))
        return PathKind::Folder;
    return S_ISREG(st.st_mode) ? PathKind::File : PathKind::Other;
}

// The paths a drag carries, as the system's bytes.
std::vector<std::string> pathsOf(const QMimeData* mime)
{
    if (!mime)
        return {};
    const QString uriListType = QStringLiteral("text/uri-list");
    if (mime->hasFormat(uriListType)) {
        const QByteArray raw = mime->data(uriListType);
        std::vector<std::string> paths =
            localPathsOfUriList(std::string_view(raw.constData(), static_cast<std::size_t>(raw.size())));
        if (!paths.empty())
            return paths;
    }
    // Without the raw list (a drag from inside Qt), Qt's decoded names, with their bytes
    // recovered from the disk.
    std::vector<std::string> paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            paths.push_back(shell::nativePathOf(url.toLocalFile()));
    return paths;
}

// Whether a drop of these paths would add anything.
bool anyAddable(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        const PathKind kind = kindOf(path);
        if (kind == PathKind::Folder || (kind == PathKind::File && filelist::isContactFileName(path)))
            return true;
    }
    return false;
}

// The files are only read: a drop is taken as a copy or not at all. Answering a move would tell
// the source to delete its files once the drop is over.
bool takeAsCopy(QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

// Marks the window busy for as long as a command runs; commands that change the list or
// start a run are disabled meanwhile.
class frmStep1::BusyScope
{
public:
    BusyScope(frmStep1& window, Busy busy) : m_window(window)
    {
        assert(window.m_busy == Busy::No);
        m_window.m_busy = busy;
        m_window.applyCommandStates();
    }
    ~BusyScope() { end(); }
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        m_window.refreshListViews();
        m_window.m_busy = Busy::No;
        m_window.applyCommandStates();
    }

private:
    frmStep1& m_window;
    bool m_ended = false;
};

frmStep1::frmStep1(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(std::move(services))
{
    assert(m_services.messageBoxes && m_services.fileOpenDialog && m_services.folderChooser &&
           m_services.documentOpener && m_services.fileSystem);
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(QStringLiteral("Tressimo v3.0"));
    setWindowIcon(app::windowIcon());
    setFont(windowFont());
    // The layout is fixed: the client area does not resize.
    setFixedSize(pixelsOf(kClientWidth), pixelsOf(kClientHeight));
    setAcceptDrops(true);

    m_model = new FileListModel(m_fileList, this);
    m_fileList.setYield([this] { yield(); });
    m_fileList.addObserver([this](filelist::FileList::Change, int) { listChanged(); });
    m_pump.setBeforeEvents([this] {
        if (m_listViewsStale)
            refreshListViews();
    });

    buildControls();
    m_helpAddress = convert::troubleshootingAddress(std::filesystem::path(m_services.manualPath));
    m_run = std::make_unique<convert::ConversionRun>(runSurroundings(), m_helpAddress);
    refreshListViews();
    applyCommandStates();
}

frmStep1::~frmStep1() = default;

void frmStep1::buildControls()
{
    // Created bottom to top: a later sibling is drawn over an earlier one where they meet.
    m_ui.Image1 = makeControl<QLabel>(this, "Image1");
    m_ui.Image1->setPixmap(QPixmap::fromImage(drawBanner()));

    m_ui.cmdAdd = makeButton(this, "cmdAdd", "Add .contact file(s)...");
    m_ui.CmdAddFolder = makeButton(this, "CmdAddFolder", "Add folder having .contact file(s)...");
    m_ui.cmdClear1 = makeButton(this, "cmdClear1", "Clear file(s)...");
    m_ui.lblCount1 = makeLabel(this, "lblCount1", "0 files");

    m_ui.grdFiles1 = makeControl<QTableView>(this, "grdFiles1");
    QTableView* grid = m_ui.grdFiles1;
    grid->setModel(m_model);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    // Fixed row heights: the view then never measures rows, which keeps 100,000 of them fast.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_ui.LblCurrentDBX = makeLabel(this, "LblCurrentDBX", "Converting Contacts...");
    m_ui.LblCurrentDBX->setWordWrap(true);
    m_ui.LblProgessCurrent = makeLabel(this, "LblProgessCurrent", "Contacts not initialized yet...");
    m_ui.LblProgessCurrent->setWordWrap(true);
    m_ui.Label1 = makeLabel(this, "Label1", "Conversion Progress : ");
    m_ui.ProgressBar1 = makeControl<QProgressBar>(this, "ProgressBar1");
    m_ui.ProgressBar1->setRange(0, 100);
    m_ui.ProgressBar1->reset(); // empty until a run sets it
    m_ui.ProgressBar1->setTextVisible(false);
    m_ui.CmdExtractDBX = makeButton(this, "CmdExtractDBX", "Convert");

    // The footer band: a filled rectangle running past both sides, and the strip that holds
    // the two buttons.
    const QColor band(0x1E, 0x4D, 0x80);
    m_ui.Shape1 = makeControl<QFrame>(this, "Shape1");
    m_ui.Shape1->setFrameShape(QFrame::NoFrame);
    m_ui.Shape1->setAutoFillBackground(true);
    QPalette shapePalette = m_ui.Shape1->palette();
    shapePalette.setColor(QPalette::Window, band);
    m_ui.Shape1->setPalette(shapePalette);
    m_ui.Picture3 = makeControl<QWidget>(this, "Picture3");
    m_ui.CmdHelp = makeButton(m_ui.Picture3, "CmdHelp", "&Help Manual");
    m_ui.cmdEnd = makeButton(m_ui.Picture3, "cmdEnd", "E&xit");

    for (QWidget* passive : std::initializer_list<QWidget*>{m_ui.Image1, m_ui.lblCount1, m_ui.LblCurrentDBX,
                                                            m_ui.LblProgessCurrent, m_ui.Label1,
                                                            m_ui.ProgressBar1, m_ui.Shape1, m_ui.Picture3})
        passive->setFocusPolicy(Qt::NoFocus);

    setTabOrder(m_ui.cmdAdd, m_ui.cmdClear1);
    setTabOrder(m_ui.cmdClear1, m_ui.CmdAddFolder);
    setTabOrder(m_ui.CmdAddFolder, m_ui.grdFiles1);
    setTabOrder(m_ui.grdFiles1, m_ui.CmdExtractDBX);
    setTabOrder(m_ui.CmdExtractDBX, m_ui.cmdEnd);
    setTabOrder(m_ui.cmdEnd, m_ui.CmdHelp);

    connect(m_ui.cmdAdd, &QPushButton::clicked, this, &frmStep1::cmdAdd_Click);
    connect(m_ui.CmdAddFolder, &QPushButton::clicked, this, &frmStep1::CmdAddFolder_Click);
    connect(m_ui.cmdClear1, &QPushButton::clicked, this, &frmStep1::cmdClear1_Click);
    connect(m_ui.CmdExtractDBX, &QPushButton::clicked, this, &frmStep1::CmdExtractDBX_Click);
    connect(m_ui.CmdHelp, &QPushButton::clicked, this, &frmStep1::CmdHelp_Click);
    connect(m_ui.cmdEnd, &QPushButton::clicked, this, &frmStep1::cmdEnd_Click);
}

void frmStep1::AddFileRow(std::string_view path)
{
    m_fileList.AddFileRow(path);
}

void frmStep1::ResetFileList()
{
    m_fileList.ResetFileList();
}

void frmStep1::listChanged()
{
    // During a long command the views catch up whenever the window is about to repaint;
    // otherwise at once.
    if (isBusy())
        m_listViewsStale = true;
    else
        refreshListViews();
}

void frmStep1::refreshListViews()
{
    m_listViewsStale = false;
    m_model->flush();
    m_ui.lblCount1->setText(QString::fromStdString(m_fileList.countLabel()));
    const int width = m_fileList.columnWidth();
    if (width != m_shownColumnWidth) {
        m_shownColumnWidth = width;
        m_ui.grdFiles1->setColumnWidth(0, pixelsOf(width));
    }
}

void frmStep1::yield()
{
    m_pump.yield();
}

void frmStep1::setConvertWanted(bool enabled)
{
    m_convertWanted = enabled;
    applyCommandStates();
}

void frmStep1::applyCommandStates()
{
    const bool idle = !isBusy() && !m_ending;
    m_ui.cmdAdd->setEnabled(idle);
    m_ui.CmdAddFolder->setEnabled(idle);
    m_ui.cmdClear1->setEnabled(idle);
    m_ui.CmdExtractDBX->setEnabled(idle && m_convertWanted);
}

MessageAnswer frmStep1::ask(const Message& message)
{
    return m_services.messageBoxes->show(this, message);
}

void frmStep1::showError(int number, const QString& description)
{
    Message message;
    message.text = QString::number(number) + QLatin1Char(':') + description;
    message.icon = MessageIcon::Exclamation;
    ask(message);
}

void frmStep1::endIfClosed()
{
    if (!m_ending || isBusy())
        return;
    if (m_services.endProgram)
        m_services.endProgram();
}

void frmStep1::cmdClear1_Click()
{
    if (isBusy() || m_fileList.isEmpty())
        return;
    Message question;
    question.text = QString::fromLatin1(kClearQuestion);
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    if (ask(question) != MessageAnswer::Yes)
        return;
    ResetFileList();
    // An empty list has nothing to convert.
    setConvertWanted(false);
}

void frmStep1::cmdAdd_Click()
{
    if (isBusy())
        return;
    {
        BusyScope busy(*this, Busy::Adding);
        try {
            yield();
            const QStringList chosen =
                m_services.fileOpenDialog->getOpenFileNames(this, QString::fromLatin1(kFileFilter));
            yield();
            if (chosen.isEmpty() || m_ending)
                return;
            std::vector<std::string> paths;
            paths.reserve(static_cast<std::size_t>(chosen.size()));
            for (const QString& name : chosen)
                paths.push_back(shell::nativePathOf(name));
            addFilePaths(paths);
        } catch (const SelectionTooLong& error) {
            busy.end();
            Message message;
            message.text = QStringLiteral("Please select only %1 files at a time").arg(error.limit());
            message.icon = MessageIcon::Exclamation;
            ask(message);
        } catch (const DialogError& error) {
            busy.end();
            showError(error.number(), QString::fromUtf8(error.what()));
        } catch (const std::bad_alloc&) {
            busy.end();
            showError(kOutOfMemory, QStringLiteral("Out of memory"));
        } catch (const std::exception& error) {
            busy.end();
            showError(kInternalError, QString::fromUtf8(error.what()));
        }
    }
    endIfClosed();
}

void frmStep1::addFilePaths(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    // Any selection enables Convert, before its rows are appended.
    setConvertWanted(true);
    for (const std::string& path : paths) {
        if (m_ending)
            return;
        yield();
        AddFileRow(path);
        yield();
    }
}

void frmStep1::CmdAddFolder_Click()
{
    if (isBusy())
        return;
    std::string folder = shell::BrowseForFolder(this, kFolderTitle, *m_services.folderChooser);
    if (folder.empty() || m_ending)
        return;
    addFolder(std::move(folder));
}

void frmStep1::addFolder(std::string folder)
{
    if (isBusy() || folder.empty())
        return;
    addFolderFiles(std::move(folder));
    endIfClosed();
}

void frmStep1::addFolderFiles(std::string folder)
{
    if (folder.back() != shell::kPathSeparator)
        folder += shell::kPathSeparator;
    BusyScope busy(*this, Busy::Adding);
    WaitCursor wait;
    int found = 0;
    try {
        const FolderScanResult scan = scanFolder(
            m_services.fileSystem, folder, [this] { m_pump.yieldNow(); }, [this] { return m_ending; });
        if (m_ending)
            return;
        if (scan.missedFiles) {
            Message message;
            message.text = QStringLiteral("Please Select Correct Store Folder.");
            message.title = QStringLiteral("Tressimo");
            message.icon = MessageIcon::Information;
            ask(message);
        }
        for (const std::string& path : scan.paths) {
            yield();
            if (m_ending)
                return;
            yield();
            AddFileRow(path);
            ++found;
        }
    } catch (const std::bad_alloc&) {
        wait.restore();
        busy.end();
        showError(kOutOfMemory, QStringLiteral("Out of memory"));
        return;
    } catch (const std::exception& error) {
        wait.restore();
        busy.end();
        showError(kInternalError, QString::fromUtf8(error.what()));
        return;
    }
    wait.restore();
    // A folder without .contact files leaves Convert as the list allows: files added earlier
    // can still be converted.
    m_convertWanted = found > 0 || !m_fileList.isEmpty();
    busy.end();
    Message message;
    message.text = QString::number(found) + QStringLiteral(" Email Messages Found.");
    ask(message);
}

bool frmStep1::addDroppedPaths(const std::vector<std::string>& paths)
{
    if (isBusy() || m_ending)
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

convert::RunSurroundings frmStep1::runSurroundings()
{
    convert::RunSurroundings run;
    run.BrowseForFolder = [this](std::string_view title) {
        return shell::BrowseForFolder(this, title, *m_services.folderChooser);
    };
    run.showMessage = [this](const convert::MessageBoxText& text) {
        // The set-up failure message comes here; the summary is shown by the command.
        Message message;
        message.text = QString::fromStdString(text.text);
        message.title = QString::fromStdString(text.title);
        message.icon =
            text.icon == convert::MessageIcon::Information ? MessageIcon::Information : MessageIcon::None;
        ask(message);
    };
    run.setLblCurrentDBX = [this](std::string_view text) {
        m_ui.LblCurrentDBX->setText(shell::displayTextOf(text));
    };
    run.setLblProgessCurrent = [this](std::string_view text) {
        m_ui.LblProgessCurrent->setText(shell::displayTextOf(text));
    };
    run.setProgressRange = [this](double minimum, double maximum) {
        m_ui.ProgressBar1->setRange(static_cast<int>(minimum), static_cast<int>(maximum));
    };
    run.setProgressValue = [this](float value) { m_ui.ProgressBar1->setValue(qRound(value)); };
    run.setConvertEnabled = [this](bool enabled) { setConvertWanted(enabled); };
    // The list commands are left to the window, which disables them for the whole command.
    run.yield = [this] { yield(); };
    run.environment = m_services.environment;
    run.createSession = m_services.createSession;
    return run;
}

void frmStep1::CmdExtractDBX_Click()
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
        if (m_lastRun.outcome == convert::RunOutcome::Finished &&
            (!m_ending || !m_lastRun.storeError.empty())) {
            const convert::MessageBoxText summary = convert::summaryMessage(m_lastRun);
            Message message;
            message.text = shell::displayTextOf(summary.text);
            message.title = QString::fromStdString(summary.title);
            // A run that lost anything says so with a warning, not as routine news.
            message.icon = m_lastRun.complete() ? MessageIcon::Information : MessageIcon::Exclamation;
            ask(message);
        }
    }
    endIfClosed();
}

void frmStep1::CmdHelp_Click()
{
    shell::OpenDocument(m_services.manualPath, *m_services.documentOpener);
}

void frmStep1::cmdEnd_Click()
{
    Message question;
    question.text = QString::fromLatin1(kExitQuestion);
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    if (ask(question) == MessageAnswer::Yes)
        close();
}

void frmStep1::closeEvent(QCloseEvent* event)
{
    // No question here: Exit has asked already, and the close box never asks.
    event->accept();
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
    if (m_services.endProgram)
        m_services.endProgram();
}

void frmStep1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!isBusy() && !m_ending && anyAddable(pathsOf(event->mimeData())))
        takeAsCopy(event);
    else
        event->ignore();
}

void frmStep1::dragMoveEvent(QDragMoveEvent* event)
{
    if (!isBusy() && !m_ending)
        takeAsCopy(event);
    else
        event->ignore();
}

void frmStep1::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = pathsOf(event->mimeData());
    if (isBusy() || m_ending || !anyAddable(paths) || !takeAsCopy(event)) {
        event->ignore();
        return;
    }
    // Added once the drop is over: the adding shows message boxes and runs for a while, and
    // the program the files came from waits until the drop is finished.
    QMetaObject::invokeMethod(
        this, [this, paths] { addDroppedPaths(paths); }, Qt::QueuedConnection);
}

} // namespace tressimo::app
