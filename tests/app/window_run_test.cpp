// "Convert" from the window with the real PST writer: the store it writes, what the window
// shows meanwhile and at the end, and closing the window in the middle of a run.

#include "app/end_signals.h"
#include "shell/visible_text.h"
#include "tests/app/app_test_support.h"
#include "tests/contacts/contact_xml.h"
#include "tests/outlook/fake_session.h"
#include "tests/support/pst_support.h"

#include <QProgressBar>
#include <algorithm>
#include <csignal>
#include <thread>

namespace tressimo::app::testing {
namespace {

namespace fs = std::filesystem;

// The given names of the contacts in the store's Contacts folder, in the order written; the
// file must be sound. (Readers we did not write check the converted files in tests/cli.)
std::vector<std::string> contactsIn(const std::string& pst)
{
    EXPECT_TRUE(tressimo::testing::isSound(std::filesystem::path(pst)));
    return tressimo::testing::givenNamesIn(pst::check::PstReader::open(pst));
}

class Run : public WindowTest
{
protected:
    // A fresh window with files named after their contacts' given names (and `suffix`), added
    // through the file dialog, and the folder prompt answered with an empty output folder.
    Rows startWith(const std::vector<std::string>& givenNames, const std::string& suffix = "",
                   const std::string& out = "out")
    {
        makeWindow();
        Rows paths;
        QStringList names;
        for (const std::string& given : givenNames) {
            paths.push_back(dir.write("in/" + given + suffix + ".contact",
                                      tressimo::testing::contactDocument(
                                          tressimo::testing::name(tressimo::testing::element("c:GivenName", given)))));
            names << q(paths.back());
        }
        dialog.answers.push_back([names] { return names; });
        win().cmdAdd_Click();
        fs::remove_all(dir / out);
        fs::create_directories(dir / out);
        chooser.answers = {q((dir / out).string())};
        return paths;
    }
    // Called after each row, when the bar moves.
    void afterEachRow(std::function<void(int value)> hook)
    {
        QObject::connect(win().controls().ProgressBar1, &QProgressBar::valueChanged, &win(), std::move(hook));
    }

    TempDir dir{"app"};
};

// Names the file dialog and the folder prompt cannot spell are converted by their own bytes.
TEST_F(Run, ConvertsTheListIntoASoundStoreAndSaysSo)
{
    const Rows paths = startWith({"Ann", "Bob", "Cleo", "Dan"}, " Zo\xEB", "out \xFF");
    std::vector<std::pair<int, States>> bar; // during the run only Help and Exit can be pressed
    afterEachRow([&](int value) { bar.emplace_back(value, commandStates()); });
    win().CmdExtractDBX_Click();

    const convert::RunResult& result = win().lastRun();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(fs::path(result.pstPath).parent_path(), dir / "out \xFF");
    EXPECT_EQ(contactsIn(result.pstPath), (std::vector<std::string>{"Ann", "Bob", "Cleo", "Dan"}));
    EXPECT_EQ(chooser.titles, std::vector<QString>{"Choose Folder to Save..."});
    EXPECT_EQ(bar,
              (std::vector<std::pair<int, States>>{{25, kBusy}, {50, kBusy}, {75, kBusy}, {100, kBusy}}));
    EXPECT_EQ(commandStates(), States(6, true));
    // The labels as the last row left them; paths have no drive here.
    EXPECT_EQ(win().controls().LblCurrentDBX->text(),
              "Converting Messages... from (" + q((dir / "in").string().substr(1)) + ")");
    EXPECT_EQ(win().controls().LblProgessCurrent->text(), q(paths.back()));
    EXPECT_EQ(boxes.log(), Rows{"Tressimo|I|4 contacts converted to " + shell::visibleText(result.pstPath)});
    EXPECT_EQ(rows(), paths); // the list stays for another run
}

TEST_F(Run, AFailedSetUpSaysWhyAndAnEmptyListNeverStarts)
{
    startWith({"Ann"});
    dir.write("blocker", "x"); // a folder below a regular file cannot hold it (tests run as root)
    chooser.answers = {q((dir / "blocker/out").string())};
    win().CmdExtractDBX_Click();
    EXPECT_EQ(win().lastRun().outcome, convert::RunOutcome::SetUpFailed);
    EXPECT_EQ(boxes.log(), Rows{"Outlook Error|I|Outlook Session Creation Error !\r\n"
                                "Check if Outlook is installed and configured.\r\n"
                                "For more details visit this link : file://" TRESSIMO_SOURCE_DIR
                                "/docs/manual.html#troubleshooting\r\n\r\nReason: " +
                                win().lastRun().setUpError});
    EXPECT_EQ(commandStates(), States(6, true));

    boxes.answers = {MessageAnswer::Yes};
    win().cmdClear1_Click();
    win().CmdExtractDBX_Click(); // as if the button could still be pressed on an empty list
    EXPECT_EQ(chooser.titles.size(), 1u);
    EXPECT_EQ(win().lastRun().outcome, convert::RunOutcome::SetUpFailed); // no new run
}

// Exit (answered Yes), the close box, or a hang-up or termination from outside in the middle of
// a run: the run stops after the contact being written, the store is committed and holds every
// contact written so far, and then the program ends. Exit answered No lets the run go on. A
// store that could not be committed is reported, also when the window was closed: the program
// ends only after saying so.
TEST_F(Run, ClosingTheWindowStopsAfterTheContactBeingWrittenAndEnds)
{
    const std::vector<std::string> five{"Ann", "Bob", "Cleo", "Dan", "Eve"};
    for (const std::string how :
         {"Exit, Yes", "close box", "Exit, No", "SIGHUP", "SIGTERM", "full disk", "full disk, close box"}) {
        SCOPED_TRACE(how);
        const bool signalled = how.starts_with("SIG"), fullDisk = how.starts_with("full disk");
        const bool ended = how != "Exit, No" && how != "full disk";
        // A full disk: the fake session's Logoff, the commit that closes the file, fails.
        const auto world = std::make_shared<tressimo::testing::FakeWorld>();
        world->storeFailures = {"Logoff("};
        createSession = [fullDisk, fake = tressimo::testing::fakeSessionFactory(world)] {
            return fullDisk ? fake() : mapi::createSession({env::systemEnvironment()});
        };
        startWith(five);
        win().show();
        EndSignals endSignals([&] { win().close(); });
        afterEachRow([&](int value) {
            if (value == 40 && signalled) { // after the second of five rows
                ::raise(how == "SIGHUP" ? SIGHUP : SIGTERM);
            } else if (value == 40 && how.ends_with("close box")) {
                win().close();
            } else if (value == 40 && how.starts_with("Exit")) {
                boxes.answers = {how == "Exit, Yes" ? MessageAnswer::Yes : MessageAnswer::No};
                win().cmdEnd_Click();
            }
            if (signalled)
                std::this_thread::sleep_for(std::chrono::milliseconds(20)); // so the window yields
        });
        win().CmdExtractDBX_Click();

        const convert::RunResult& result = win().lastRun();
        ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << result.setUpError;
        EXPECT_EQ(result.stopped, ended);
        EXPECT_EQ(programEnded, ended ? 1 : 0);
        EXPECT_EQ(win().isVisible(), !ended);
        if (fullDisk) {
            EXPECT_EQ(result.storeError, "No space left on device at Logoff()");
            const Rows log = boxes.log();
            EXPECT_EQ(
                std::count_if(log.begin(), log.end(),
                              [](const std::string& m) { return m.find("could not be written") != m.npos; }),
                1);
            ASSERT_FALSE(boxes.shown.empty());
            EXPECT_EQ(boxes.shown.back().icon, MessageIcon::Exclamation);
            EXPECT_NE(boxes.shown.back().text.find("No space left on device"), std::string::npos) << log.back();
            continue;
        }
        EXPECT_EQ(result.storeError, "");
        const std::vector<std::string> held = contactsIn(result.pstPath);
        EXPECT_EQ(static_cast<int>(held.size()), result.written);
        if (signalled) { // the signal reaches the window at its next yield
            EXPECT_TRUE(result.written >= 2 && result.written < 5) << result.written;
        } else {
            EXPECT_EQ(held, ended ? std::vector<std::string>(five.begin(), five.begin() + 2) : five);
        }
        // The summary only when the program goes on.
        EXPECT_EQ(boxes.shown.size() - (how.starts_with("Exit") ? 1 : 0), ended ? 0u : 1u);
    }
}

} // namespace
} // namespace tressimo::app::testing
