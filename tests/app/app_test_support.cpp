#include "tests/app/app_test_support.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QTableView>
#include <QTest>

namespace tressimo::app::testing {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "tressimo_app_tests";
    static char* argv[] = {name, nullptr};
    // Kept for the whole program: a QApplication destroyed during static destruction would
    // outlive the objects it tears down.
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return created;
    }();
    return *app;
}

namespace {

// The next scripted answer, or `otherwise` once they run out.
template <typename T> T next(std::deque<T>& answers, T otherwise)
{
    if (answers.empty())
        return otherwise;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

MessageAnswer FakeMessageBoxes::show(QWidget*, const Message& message)
{
    shown.push_back(message);
    if (onShow)
        onShow(message);
    return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : next(answers, MessageAnswer::No);
}

std::vector<std::string> FakeMessageBoxes::log() const
{
    std::vector<std::string> out;
    for (const Message& m : shown)
        out.push_back(m.title + "|" + "NIQE"[static_cast<int>(m.icon)] +
                      (m.buttons == MessageButtons::YesNo ? "?" : "") + "|" + m.text);
    return out;
}

QStringList FakeFileDialog::getOpenFileNames(QWidget*, const QString& filter)
{
    filters.push_back(filter);
    if (onOpen)
        onOpen();
    return next(answers, std::function<QStringList()>([] { return QStringList(); }))();
}

QString FakeFolderChooser::chooseFolder(QWidget*, const QString& title)
{
    titles.push_back(title);
    return next(answers, QString());
}

void WindowTest::SetUp()
{
    application();
    makeWindow();
}

void WindowTest::makeWindow()
{
    m_window.reset();
    boxes.shown.clear();
    dialog.filters.clear();
    chooser.titles.clear();
    opener.opened.clear();
    programEnded = 0;
    const auto endProgram = [this] { ++programEnded; };
    m_window = std::make_unique<frmStep1>(WindowServices{
        &boxes, &dialog, &chooser, &opener, fileSystem, manualPath, endProgram, createSession, env::systemEnvironment()});
}

void WindowTest::showActive()
{
    win().show();
    QApplication::setActiveWindow(&win());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win()));
}

QStringList WindowTest::shownRows() const
{
    const QAbstractItemModel* model = m_window->controls().grdFiles1->model();
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->data(model->index(row, 0)).toString();
    return out;
}

States WindowTest::commandStates() const
{
    States states;
    for (const char* name : kCommands)
        states.push_back(button(name)->isEnabled());
    return states;
}

} // namespace tressimo::app::testing

// fontconfig keeps its configuration for the life of the process by design and never frees
// it; LeakSanitizer reports that as a leak at exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
