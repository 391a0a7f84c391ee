#pragma once
// What the window tests share: the application object, .contact files, and stand-ins for every
// dialog and message box, which record what they were asked and answer as the test scripts them.

#include "app/frm_step1.h"
#include "app/window_services.h"
#include "filelist/file_system.h"
#include "tests/support/support.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace tressimo::app::testing {

using tressimo::testing::TempDir;
using Rows = std::vector<std::string>;
using States = std::vector<bool>;
inline const char* const kCommands[] = {"cmdAdd",        "CmdAddFolder", "cmdClear1",
                                        "CmdExtractDBX", "CmdHelp",      "cmdEnd"};
// The commands' enabled states while an add or a run is on.
inline const States kBusy{false, false, false, false, true, true};

// The one QApplication of the test program (offscreen unless the environment says otherwise).
QApplication& application();

// Qt's name for a file named by these bytes.
inline QString q(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

struct FakeMessageBoxes : MessageBoxes
{
    std::vector<Message> shown;
    // Answers to Yes/No boxes, in order; No once they run out.
    std::deque<MessageAnswer> answers;
    // Runs while a box is up, as a click would while the real box waits.
    std::function<void(const Message&)> onShow;

    MessageAnswer show(QWidget* parent, const Message& message) override;
    // Each box shown as "title|icon letter (N, I, Q, E), ? for Yes/No|text".
    std::vector<std::string> log() const;
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
    // Builds (or rebuilds) the window from fresh fakes and the members below.
    void makeWindow();
    // Shows the window and waits until it is active, so keys and clicks reach it.
    void showActive();

    frmStep1& win() { return *m_window; }
    QPushButton* button(const char* name) const { return m_window->findChild<QPushButton*>(name); }
    // The rows as the list holds them, and as the grid shows them.
    Rows rows() const { return m_window->fileList().texts(); }
    QStringList shownRows() const;
    QString countLabel() const { return m_window->controls().lblCount1->text(); }
    bool convertEnabled() const { return m_window->controls().CmdExtractDBX->isEnabled(); }
    States commandStates() const;

    FakeMessageBoxes boxes;
    FakeFileDialog dialog;
    FakeFolderChooser chooser;
    FakeOpener opener;
    std::shared_ptr<filelist::FileSystem> fileSystem = std::make_shared<filelist::DiskFileSystem>();
    std::string manualPath = TRESSIMO_SOURCE_DIR "/docs/manual.html";
    std::function<std::unique_ptr<mapi::RDOSession>()> createSession = [] {
        return mapi::createSession({env::systemEnvironment()});
    };
    int programEnded = 0;
    std::unique_ptr<frmStep1> m_window;
};

} // namespace tressimo::app::testing
