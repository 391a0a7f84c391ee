#pragma once
// What the window tests share: the application object, a temporary folder, .contact files,
// and stand-ins for every dialog and message box, which record what they were asked and
// answer as the test scripts them.

#include "app/frm_step1.h"
#include "app/window_services.h"
#include "filelist/file_system.h"

#include "tests/support/support.h"

#include <QApplication>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::app::testing {

// The one QApplication of the test program (offscreen unless the environment says otherwise).
QApplication& application();

// The shared temporary folder, its paths as the window takes them: text without a trailing
// separator.
class TempDir : public tressimo::testing::TempDir
{
public:
    TempDir() : tressimo::testing::TempDir("app") {}
    std::string path() const { return tressimo::testing::TempDir::path().string(); }
    std::string operator/(std::string_view name) const { return path() + "/" + std::string(name); }
};

// Creates the file (and the folders above it) with the content.
void writeFile(const std::string& path, std::string_view content);
// A Windows Contacts document with a name and an e-mail address.
std::string contactXml(std::string_view given, std::string_view family, std::string_view email);

struct FakeMessageBoxes : MessageBoxes
{
    std::vector<Message> shown;
    // Answers to Yes/No boxes, in order; No once they run out.
    std::deque<MessageAnswer> answers;
    // Runs while a box is up, as a click would while the real box waits.
    std::function<void(const Message&)> onShow;

    MessageAnswer show(QWidget* parent, const Message& message) override;
    QStringList texts() const;
};

struct FakeFileDialog : FileOpenDialog
{
    // One entry per opening: the selection, or what the dialog throws.
    std::deque<std::function<QStringList()>> answers;
    std::vector<QString> filters;
    std::function<void()> onOpen;

    QStringList getOpenFileNames(QWidget* parent, const QString& filter) override;
};

struct FakeFolderChooser : shell::FolderChooser
{
    std::deque<QString> answers; // empty text for cancel; cancels once they run out
    std::vector<QString> titles;

    QString chooseFolder(QWidget* owner, const QString& title) override;
};

struct FakeOpener : shell::DocumentOpener
{
    std::vector<QUrl> opened;
    bool openUrl(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }
};

// A window over the fakes, with the real disk and the real PST writer unless a test swaps them.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Builds (or rebuilds) the window from the fakes and the members below.
    void makeWindow();

    frmStep1& win() { return *m_window; }
    QPushButton* button(const char* name) const;
    // The rows as the list holds them.
    std::vector<std::string> rows() const;
    // The rows as the grid shows them.
    QStringList shownRows() const;
    QString countLabel() const;
    bool convertEnabled() const;
    // The enabled state of cmdAdd, CmdAddFolder, cmdClear1, CmdExtractDBX, CmdHelp, cmdEnd.
    std::vector<bool> commandStates() const;

    FakeMessageBoxes boxes;
    FakeFileDialog dialog;
    FakeFolderChooser chooser;
    FakeOpener opener;
    std::shared_ptr<filelist::FileSystem> fileSystem = std::make_shared<filelist::DiskFileSystem>();
    std::string manualPath = TRESSIMO_SOURCE_DIR "/docs/manual.html";
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession = [] { return mapi::createSession(); };
    int programEnded = 0;
    // Runs when the window ends the program, after programEnded is counted.
    std::function<void()> onEndProgram;
    std::unique_ptr<frmStep1> m_window;
};

} // namespace tressimo::app::testing
