#include "app/frm_step1.h"

#include "app/artwork.h"
#include "app/dropped_paths.h"
#include "app/file_list_model.h"
#include "app/window_font.h"
#include "shell/native_path.h"
#include "window/form_layout.h"

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
#include <string_view>

namespace tressimo::app {

namespace {

using window::formControl;
using window::pixelsOf;

template <typename Widget> Widget* makeControl(QWidget* parent, const char* name)
{
    auto* widget = new Widget(parent);
    const window::FormControl& place = formControl(name);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(pixelsOf(place.left), pixelsOf(place.top), pixelsOf(place.width),
                        pixelsOf(place.height));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name)
{
    auto* label = makeControl<QLabel>(parent, name);
    // Paths are shown as they are: a name holding "<b>" must not turn into markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(QString::fromLatin1(formControl(name).caption));
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name)
{
    auto* button = makeControl<QPushButton>(parent, name);
    button->setText(QString::fromLatin1(formControl(name).caption));
    button->setAutoDefault(false);
    return button;
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

// What the logic asks of the window, done with Qt.
class frmStep1::View : public window::WindowView
{
public:
    explicit View(frmStep1& window) : m_window(window) {}

    MessageAnswer showMessage(const Message& message) override
    {
        return m_window.m_services.messageBoxes->show(&m_window, message);
    }
    std::vector<std::string> askForFiles(std::string_view filter) override
    {
        const QStringList chosen = m_window.m_services.fileOpenDialog->getOpenFileNames(
            &m_window, QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())));
        std::vector<std::string> paths;
        paths.reserve(static_cast<std::size_t>(chosen.size()));
        for (const QString& name : chosen)
            paths.push_back(shell::nativePathOf(name));
        return paths;
    }
    std::string askForFolder(std::string_view title) override
    {
        return shell::BrowseForFolder(&m_window, title, *m_window.m_services.folderChooser);
    }
    void openDocument(std::string_view document) override
    {
        shell::OpenDocument(document, *m_window.m_services.documentOpener);
    }
    void setText(std::string_view control, std::string_view text) override
    {
        if (auto* label = m_window.findChild<QLabel*>(QString::fromLatin1(control.data(), control.size())))
            label->setText(shell::displayTextOf(text));
    }
    void setEnabled(std::string_view control, bool enabled) override
    {
        if (auto* widget = m_window.findChild<QWidget*>(QString::fromLatin1(control.data(), control.size())))
            widget->setEnabled(enabled);
    }
    void setProgressRange(int minimum, int maximum) override
    {
        m_window.m_ui.ProgressBar1->setRange(minimum, maximum);
    }
    void setProgressValue(int value) override { m_window.m_ui.ProgressBar1->setValue(value); }
    void showRows(const filelist::FileList&, int columnTwips) override
    {
        if (m_window.m_model)
            m_window.m_model->flush();
        if (columnTwips != m_window.m_shownColumnWidth) {
            m_window.m_shownColumnWidth = columnTwips;
            m_window.m_ui.grdFiles1->setColumnWidth(0, pixelsOf(columnTwips));
        }
    }
    void setWaitCursor(bool waiting) override
    {
        if (waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    void runPendingEvents() override { QCoreApplication::processEvents(); }
    void closeWindow() override { m_window.close(); }
    void endProgram() override
    {
        if (m_window.m_services.endProgram)
            m_window.m_services.endProgram();
    }

private:
    frmStep1& m_window;
};

frmStep1::frmStep1(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(std::move(services))
{
    assert(m_services.messageBoxes && m_services.fileOpenDialog && m_services.folderChooser &&
           m_services.documentOpener && m_services.fileSystem);
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(QString::fromLatin1(window::kWindowTitle));
    setWindowIcon(app::windowIcon());
    setFont(windowFont());
    // The layout is fixed: the client area does not resize.
    setFixedSize(pixelsOf(window::kClientWidth), pixelsOf(window::kClientHeight));
    setAcceptDrops(true);

    buildControls();
    m_view = std::make_unique<View>(*this);
    m_logic = std::make_unique<window::WindowLogic>(
        *m_view, window::LogicServices{m_services.fileSystem, m_services.manualPath, m_services.createSession,
                                       m_services.clock, {}});
    m_model = new FileListModel(m_logic->fileList(), this);
    m_ui.grdFiles1->setModel(m_model);
    // A new model resets the column; show the list's width again.
    m_shownColumnWidth = -1;
    m_view->showRows(m_logic->fileList(), m_logic->fileList().columnWidth());
}

frmStep1::~frmStep1() = default;

void frmStep1::buildControls()
{
    // Created bottom to top: a later sibling is drawn over an earlier one where they meet.
    m_ui.Image1 = makeControl<QLabel>(this, "Image1");
    m_ui.Image1->setPixmap(QPixmap::fromImage(drawBanner()));

    m_ui.cmdAdd = makeButton(this, "cmdAdd");
    m_ui.CmdAddFolder = makeButton(this, "CmdAddFolder");
    m_ui.cmdClear1 = makeButton(this, "cmdClear1");
    m_ui.lblCount1 = makeLabel(this, "lblCount1");

    m_ui.grdFiles1 = makeControl<QTableView>(this, "grdFiles1");
    QTableView* grid = m_ui.grdFiles1;
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

    m_ui.LblCurrentDBX = makeLabel(this, "LblCurrentDBX");
    m_ui.LblCurrentDBX->setWordWrap(true);
    m_ui.LblProgessCurrent = makeLabel(this, "LblProgessCurrent");
    m_ui.LblProgessCurrent->setWordWrap(true);
    m_ui.Label1 = makeLabel(this, "Label1");
    m_ui.ProgressBar1 = makeControl<QProgressBar>(this, "ProgressBar1");
    m_ui.ProgressBar1->setRange(0, 100);
    m_ui.ProgressBar1->reset(); // empty until a run sets it
    m_ui.ProgressBar1->setTextVisible(false);
    m_ui.CmdExtractDBX = makeButton(this, "CmdExtractDBX");

    // The footer band: a filled rectangle running past both sides, and the strip that holds
    // the two buttons.
    const QColor band(window::kFooterColour[0], window::kFooterColour[1], window::kFooterColour[2]);
    m_ui.Shape1 = makeControl<QFrame>(this, "Shape1");
    m_ui.Shape1->setFrameShape(QFrame::NoFrame);
    m_ui.Shape1->setAutoFillBackground(true);
    QPalette shapePalette = m_ui.Shape1->palette();
    shapePalette.setColor(QPalette::Window, band);
    m_ui.Shape1->setPalette(shapePalette);
    m_ui.Picture3 = makeControl<QWidget>(this, "Picture3");
    m_ui.CmdHelp = makeButton(m_ui.Picture3, "CmdHelp");
    m_ui.cmdEnd = makeButton(m_ui.Picture3, "cmdEnd");

    for (const window::FormControl& control : window::kFormControls)
        if (control.tabIndex < 0)
            findChild<QWidget*>(QString::fromLatin1(control.name))->setFocusPolicy(Qt::NoFocus);

    const auto focusOrder = window::focusOrder();
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        setTabOrder(findChild<QWidget*>(QString::fromLatin1(focusOrder[i - 1]->name)),
                    findChild<QWidget*>(QString::fromLatin1(focusOrder[i]->name)));

    for (const window::FormControl& control : window::kFormControls)
        if (control.kind == window::ControlKind::Button) {
            const std::string name = control.name;
            connect(findChild<QPushButton*>(QString::fromLatin1(control.name)), &QPushButton::clicked, this,
                    [this, name] { m_logic->click(name); });
        }
}

void frmStep1::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_logic->closing();
}

void frmStep1::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_logic->takesDrops() && m_logic->wouldAddAny(pathsOf(event->mimeData())))
        takeAsCopy(event);
    else
        event->ignore();
}

void frmStep1::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_logic->takesDrops())
        takeAsCopy(event);
    else
        event->ignore();
}

void frmStep1::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = pathsOf(event->mimeData());
    if (!m_logic->takesDrops() || !m_logic->wouldAddAny(paths) || !takeAsCopy(event)) {
        event->ignore();
        return;
    }
    // Added once the drop is over: the adding shows message boxes and runs for a while, and
    // the program the files came from waits until the drop is finished.
    QMetaObject::invokeMethod(
        this, [this, paths] { m_logic->addDroppedPaths(paths); }, Qt::QueuedConnection);
}

} // namespace tressimo::app
