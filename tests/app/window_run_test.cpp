// "Convert" from the window with the real PST writer: the store it writes, what the window
// shows meanwhile and at the end, and closing the window in the middle of a run.

#include "app/end_signals.h"
#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"
#include "tests/app/app_test_support.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

namespace tressimo::app::testing {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

QString q(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The given names of the contacts in the store's Contacts folder, in the order written; the
// file must be sound. (Readers we did not write check the converted files in tests/cli.)
std::vector<std::string> contactsIn(const std::string& pst)
{
    const auto found = pst::check::checkPst(pst);
    EXPECT_TRUE(pst::check::isSound(found)) << (found.empty() ? "" : found[0].toString());
    const auto reader = pst::check::PstReader::open(pst);
    std::vector<std::string> names;
    for (std::uint32_t nid : reader.messages(reader.findFolder("Contacts").value()))
        names.push_back(reader.properties(nid).at(0x3A06001F).toUtf8());
    return names;
}

class Run : public WindowTest
{
protected:
    // Files named after their contacts' given names, added through the file dialog.
    Rows addContacts(const std::vector<std::string>& givenNames)
    {
        Rows paths;
        QStringList names;
        for (const std::string& given : givenNames) {
            paths.push_back(dir / ("in/" + given + ".contact"));
            writeFile(paths.back(), contactXml(given, "Sample", given + "@example.com"));
            names << q(paths.back());
        }
        dialog.answers.push_back([names] { return names; });
        win().cmdAdd_Click();
        return paths;
    }
    std::string outFolder()
    {
        fs::create_directories(dir / "out");
        return dir / "out";
    }
    // Called after each row, when the bar moves.
    void afterEachRow(std::function<void(int value)> hook)
    {
        QObject::connect(win().controls().ProgressBar1, &QProgressBar::valueChanged, &win(), std::move(hook));
    }

    TempDir dir;
};

TEST_F(Run, ConvertsTheListIntoAStoreThatTheCheckerAccepts)
{
    const Rows paths = addContacts({"Ann", "Bob", "Cleo", "Dan"});
    ASSERT_TRUE(convertEnabled());
    chooser.answers.push_back(q(outFolder()));
    std::vector<std::vector<bool>> states;
    std::vector<int> values;
    afterEachRow([&](int value) {
        values.push_back(value);
        states.push_back(commandStates());
    });
    win().CmdExtractDBX_Click();

    const convert::RunResult& result = win().lastRun();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
    EXPECT_EQ(result.written, 4);
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(fs::path(result.pstPath).parent_path(), fs::path(dir / "out"));
    EXPECT_TRUE(fs::path(result.pstPath).filename().string().starts_with("WindowsContacts"));
    EXPECT_EQ(contactsIn(result.pstPath), (std::vector<std::string>{"Ann", "Bob", "Cleo", "Dan"}));

    EXPECT_EQ(chooser.titles, std::vector<QString>{QStringLiteral("Choose Folder to Save...")});
    EXPECT_EQ(values, (std::vector<int>{25, 50, 75, 100}));
    // During the run only Help and Exit can be pressed; afterwards all, Convert too.
    for (const auto& during : states)
        EXPECT_EQ(during, (std::vector<bool>{false, false, false, false, true, true}));
    EXPECT_EQ(commandStates(), (std::vector<bool>{true, true, true, true, true, true}));
    // The labels as the last row left them; paths have no drive here.
    std::string folder = (dir / "in").substr(1);
    EXPECT_EQ(win().controls().LblCurrentDBX->text(),
              QStringLiteral("Converting Messages... from (") + q(folder) + ")");
    EXPECT_EQ(win().controls().LblProgessCurrent->text(), q(paths.back()));
    // The summary.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("4 contacts converted to ") + q(result.pstPath));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tressimo"));
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(rows(), paths); // the list stays for another run
}

TEST_F(Run, CancelAtTheFolderPromptAndAFailedSetUp)
{
    addContacts({"Ann"});
    // Cancel: nothing happens.
    chooser.answers.push_back(QString());
    win().CmdExtractDBX_Click();
    EXPECT_EQ(win().lastRun().outcome, convert::RunOutcome::Cancelled);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_LT(win().controls().ProgressBar1->value(), 0);
    EXPECT_TRUE(convertEnabled());

    // A folder that cannot hold the file (below a regular file: tests run as root).
    writeFile(dir / "blocker", "x");
    chooser.answers.push_back(q(dir / "blocker/out"));
    win().CmdExtractDBX_Click();
    EXPECT_EQ(win().lastRun().outcome, convert::RunOutcome::SetUpFailed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Outlook Session Creation Error !\r\n"
                             "Check if Outlook is installed and configured.\r\n"
                             "For more details visit this link : file://" TRESSIMO_SOURCE_DIR
                             "/docs/manual.html#troubleshooting\r\n\r\nReason: ") +
                  QString::fromStdString(win().lastRun().setUpError));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("Not a directory")));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Outlook Error"));
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(commandStates(), (std::vector<bool>{true, true, true, true, true, true}));
}

TEST_F(Run, NeverStartsOnAnEmptyList)
{
    addContacts({"Ann"});
    boxes.answers.push_back(MessageAnswer::Yes);
    win().cmdClear1_Click();
    EXPECT_FALSE(convertEnabled());
    win().CmdExtractDBX_Click(); // as if the button could still be pressed
    EXPECT_TRUE(chooser.titles.empty());
    EXPECT_EQ(win().lastRun().outcome, convert::RunOutcome::Cancelled);
}

// Exit (answered Yes) or the close box in the middle of a run: the run stops after the
// contact being written, the store is committed and holds every contact written so far,
// and then the program ends. Exit answered No lets the run go on.
TEST_F(Run, ClosingTheWindowStopsAfterTheContactBeingWrittenAndEnds)
{
    const struct
    {
        const char* how;
        std::vector<std::string> written;
        bool ended;
    } cases[] = {
        {"Exit, Yes", {"Ann", "Bob"}, true},
        {"the close box", {"Ann", "Bob"}, true},
        {"Exit, No", {"Ann", "Bob", "Cleo", "Dan", "Eve"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        makeWindow();
        programEnded = 0;
        boxes.shown.clear();
        addContacts({"Ann", "Bob", "Cleo", "Dan", "Eve"});
        fs::remove_all(dir / "out");
        chooser.answers.push_back(q(outFolder()));
        win().show();
        afterEachRow([&](int value) {
            if (value != 40) // after the second of five rows
                return;
            if (std::string(c.how) == "the close box") {
                win().close();
            } else {
                boxes.answers.push_back(std::string(c.how) == "Exit, Yes" ? MessageAnswer::Yes
                                                                          : MessageAnswer::No);
                win().cmdEnd_Click();
            }
        });
        win().CmdExtractDBX_Click();

        const convert::RunResult& result = win().lastRun();
        ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
        EXPECT_EQ(result.stopped, c.ended);
        EXPECT_EQ(result.storeError, "");
        EXPECT_EQ(contactsIn(result.pstPath), c.written);
        EXPECT_EQ(programEnded, c.ended ? 1 : 0);
        EXPECT_EQ(win().isVisible(), !c.ended);
        // The summary only when the program goes on.
        EXPECT_EQ(boxes.texts().filter(QStringLiteral("contacts converted to")).size(), c.ended ? 0 : 1);
    }
}

// The same in a running program: closing the window during a run ends the event loop once
// the store is committed.
TEST_F(Run, TheProgramEndsOnceTheStoreIsCommitted)
{
    addContacts({"Ann", "Bob", "Cleo", "Dan", "Eve", "Fay"});
    chooser.answers.push_back(q(outFolder()));
    onEndProgram = [] { QCoreApplication::exit(0); };
    win().show();
    afterEachRow([&](int value) {
        if (value == 50) // after the third of six rows
            win().close();
    });
    QObject guard;
    // Clicked from the event loop, as a user would.
    QTimer::singleShot(0, &guard, [&] { QTest::mouseClick(button("CmdExtractDBX"), Qt::LeftButton); });
    QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(2); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(programEnded, 1);
    const convert::RunResult& result = win().lastRun();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(contactsIn(result.pstPath), (std::vector<std::string>{"Ann", "Bob", "Cleo"}));
}

// Ended from outside (a closed terminal, kill): as the close box, the run stops after the
// contact being written, the file holds every contact written, and the program ends.
TEST_F(Run, AHangUpOrTerminationSavesLikeTheCloseBox)
{
    for (const int signal : {SIGHUP, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        makeWindow();
        programEnded = 0;
        const Rows paths = addContacts({"Ann", "Bob", "Cleo", "Dan", "Eve", "Fay", "Gus", "Hal"});
        fs::remove_all(dir / "out");
        chooser.answers.push_back(q(outFolder()));
        EndSignals endSignals([&] { win().close(); });
        afterEachRow([&](int value) {
            if (value == 25) // after the second of eight rows
                ::raise(signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // so the window yields
        });
        win().CmdExtractDBX_Click();

        const convert::RunResult& result = win().lastRun();
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.storeError, "");
        EXPECT_EQ(programEnded, 1);
        const std::vector<std::string> held = contactsIn(result.pstPath);
        EXPECT_EQ(static_cast<int>(held.size()), result.written);
        EXPECT_GE(result.written, 2);
        EXPECT_LT(result.written, 8);
    }
}

// Our PST session, except that its Logoff (the commit that closes the file) fails, as on a
// disk that filled up at the end.
class SessionFailingAtLogoff : public mapi::RDOSession
{
public:
    void Logon() override { m_real->Logon(); }
    mapi::RDOStores& Stores() override { return m_real->Stores(); }
    mapi::RDOStore& GetStoreFromID(const std::string& entryId) override
    {
        return m_real->GetStoreFromID(entryId);
    }
    void Logoff() override { throw mapi::MapiError("No space left on device"); }

private:
    std::unique_ptr<mapi::RDOSession> m_real = mapi::createSession();
};

// A store that could not be closed properly is reported, also when the window was closed
// during the run: the program ends only after saying so.
TEST_F(Run, AFileThatCouldNotBeClosedIsReportedAlsoWhenTheWindowWasClosed)
{
    for (const bool closeDuringRun : {false, true}) {
        SCOPED_TRACE(closeDuringRun ? "window closed during the run" : "run to its end");
        createSession = [] { return std::make_unique<SessionFailingAtLogoff>(); };
        makeWindow();
        programEnded = 0;
        boxes.shown.clear();
        addContacts({"Ann", "Bob", "Cleo"});
        fs::remove_all(dir / "out");
        chooser.answers.push_back(q(outFolder()));
        win().show();
        if (closeDuringRun)
            afterEachRow([&](int) { win().close(); });
        win().CmdExtractDBX_Click();

        ASSERT_EQ(win().lastRun().outcome, convert::RunOutcome::Finished);
        EXPECT_EQ(win().lastRun().storeError, "No space left on device");
        const QStringList reported = boxes.texts().filter(QStringLiteral("could not be written"));
        ASSERT_EQ(reported.size(), 1) << boxes.texts().join(QStringLiteral(" | ")).toStdString();
        EXPECT_EQ(boxes.shown.back().icon, MessageIcon::Exclamation);
        EXPECT_TRUE(reported[0].contains(QStringLiteral("No space left on device")));
        EXPECT_EQ(programEnded, closeDuringRun ? 1 : 0);
    }
}

// A file whose name is not valid UTF-8, added through the file dialog (which cannot name it),
// is converted by its own bytes.
TEST_F(Run, ANameThatIsNotUtf8IsConvertedAsItIs)
{
    const std::string path = dir / "in/Zo\xEB.contact";
    writeFile(path, contactXml("Zo\xC3\xAB", "Sample", "zoe@example.com"));
    dialog.answers.push_back([&] { return QStringList{q(path)}; });
    win().cmdAdd_Click();
    ASSERT_EQ(rows(), Rows{path});
    chooser.answers.push_back(q(outFolder()));
    win().CmdExtractDBX_Click();
    const convert::RunResult& result = win().lastRun();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.skipped.empty()) << result.skipped.front().reason;
    EXPECT_EQ(contactsIn(result.pstPath), std::vector<std::string>{"Zo\xC3\xAB"});
    EXPECT_EQ(win().controls().LblProgessCurrent->text(), q(path));
}

} // namespace
} // namespace tressimo::app::testing
