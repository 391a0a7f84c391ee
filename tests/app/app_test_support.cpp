#include "tests/app/app_test_support.h"

#include "app/file_list_model.h"
#include "tests/contacts/contact_xml.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tressimo::app::testing {

namespace fs = std::filesystem;

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

void writeFile(const std::string& path, std::string_view content)
{
    fs::create_directories(fs::path(path).parent_path());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        throw std::runtime_error("cannot write " + path);
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
}

std::string contactXml(std::string_view given, std::string_view family, std::string_view email)
{
    using namespace tressimo::testing;
    return contactDocument(name(element("c:GivenName", given) + element("c:FamilyName", family)) +
                           collection("c:EmailAddressCollection", {emailEntry("SMTP", email)}));
}

MessageAnswer FakeMessageBoxes::show(QWidget*, const Message& message)
{
    shown.push_back(message);
    if (onShow)
        onShow(message);
    if (message.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers.empty())
        return MessageAnswer::No;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList FakeMessageBoxes::texts() const
{
    QStringList out;
    for (const Message& message : shown)
        out << message.text;
    return out;
}

QStringList FakeFileDialog::getOpenFileNames(QWidget*, const QString& filter)
{
    filters.push_back(filter);
    if (onOpen)
        onOpen();
    if (answers.empty())
        return {};
    const auto answer = answers.front();
    answers.pop_front();
    return answer();
}

QString FakeFolderChooser::chooseFolder(QWidget*, const QString& title)
{
    titles.push_back(title);
    if (answers.empty())
        return {};
    const QString answer = answers.front();
    answers.pop_front();
    return answer;
}

void WindowTest::SetUp()
{
    application();
    makeWindow();
}

void WindowTest::TearDown()
{
    m_window.reset();
}

void WindowTest::makeWindow()
{
    m_window.reset();
    WindowServices services;
    services.messageBoxes = &boxes;
    services.fileOpenDialog = &dialog;
    services.folderChooser = &chooser;
    services.documentOpener = &opener;
    services.fileSystem = fileSystem;
    services.manualPath = manualPath;
    services.endProgram = [this] {
        ++programEnded;
        if (onEndProgram)
            onEndProgram();
    };
    services.createSession = createSession;
    m_window = std::make_unique<frmStep1>(std::move(services));
}

QPushButton* WindowTest::button(const char* name) const
{
    auto* found = m_window->findChild<QPushButton*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("no button ") + name);
    return found;
}

std::vector<std::string> WindowTest::rows() const
{
    return m_window->fileList().texts();
}

QStringList WindowTest::shownRows() const
{
    const QAbstractItemModel* model = m_window->controls().grdFiles1->model();
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->data(model->index(row, 0)).toString();
    return out;
}

QString WindowTest::countLabel() const
{
    return m_window->controls().lblCount1->text();
}

bool WindowTest::convertEnabled() const
{
    return m_window->controls().CmdExtractDBX->isEnabled();
}

std::vector<bool> WindowTest::commandStates() const
{
    std::vector<bool> states;
    for (const char* name : {"cmdAdd", "CmdAddFolder", "cmdClear1", "CmdExtractDBX", "CmdHelp", "cmdEnd"})
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
