// The conversion run with fake surroundings and a recording fake session: its conversation
// with both, names, status texts and bar values, set-up failures, skips, the summary, the
// " (2)" rule, and stopping.

#include "convert/conversion_run.h"
#include "shell/path_rules.h"
#include "tests/convert/fake_window.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using convert::ConversionRun;
using convert::LocalTime;
using convert::RunOutcome;
using convert::RunResult;
using Texts = std::vector<std::string>;

const std::string kHelp = "file:///usr/share/doc/tressimo/manual.html#troubleshooting";
const std::string kT = "5.3.10 9.7.04";

RunResult run(FakeWindow& window, const std::vector<std::string>& rows)
{
    ConversionRun conversion(window.surroundings(), kHelp);
    return conversion.CmdExtractDBX_Click(listOf(rows));
}

// The whole timeline as one text, "a | b | c".
std::string timeline(const FakeWindow& window)
{
    std::string text;
    for (const std::string& call : window.world->calls)
        text += (text.empty() ? "" : " | ") + call;
    return text;
}

// The whole conversation of a one-row run, step by step.
TEST(ConversionRun, TalksToItsSurroundingsAndTheSessionInTheGivenOrder)
{
    TempDir dir;
    const std::string file = dir.write("ann.contact", person("Ann", "Lee")).string();
    FakeWindow window;
    const RunResult result = run(window, {file});
    const std::string head =
        "window:list off | window:Convert off | window:yield | window:BrowseForFolder(Choose Folder to "
        "Save...) "
        "| window:yield | window:yield | window:range(0,100) | window:yield | window:createSession | Logon() "
        "| "
        "Stores() | AddPSTStore(" + nativePath("/out/WindowsContacts") +
        kT + ".pst,1,Windows Contacts : Created - " + kT +
        ") | EntryID() | ValidateIPMTree() | window:yield | GetStoreFromID(STORE-1) | GetDefaultFolder(10) | "
        "Items() | Add(2) | put(";
    // The item's own steps, then the status after the row is written, then the end.
    const std::string shown(*shell::textAfterDrive(file));
    const std::string tail =
        " | Save() | window:Convert off | window:LblCurrentDBX=Converting Messages... from (" +
        shown.substr(1, shown.rfind(shell::kPathSeparator) - 1) + ") | window:LblProgessCurrent=" + shown +
        " | window:bar=100 | window:yield | Logoff() | window:Convert on | window:list on";
    EXPECT_TRUE(timeline(window).starts_with(head)) << timeline(window);
    EXPECT_TRUE(timeline(window).ends_with(tail)) << timeline(window);
    EXPECT_EQ(result.outcome, RunOutcome::Finished);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.complete());
}

TEST(ConversionRun, CancelAtThePromptChangesNothing)
{
    // An empty answer, Exit clicked while the chooser is open, or in the first yield.
    for (const int how : {0, 1, 2}) {
        SCOPED_TRACE(how);
        FakeWindow window;
        ConversionRun conversion(window.surroundings(), kHelp);
        const auto stop = [&] { conversion.requestStop(); };
        window.folder = how == 0 ? "" : window.folder;
        window.inChooser = how == 1 ? stop : std::function<void()>();
        window.inYield = [&](int n) {
            if (how == 2 && n == 1)
                stop();
        };
        EXPECT_EQ(conversion.CmdExtractDBX_Click(listOf({"/in/a.contact"})).outcome, RunOutcome::Cancelled);
        EXPECT_EQ(window.world->sessionsCreated, 0);
        EXPECT_TRUE(window.messages.empty());
        EXPECT_TRUE(window.events("window:bar").empty());
        EXPECT_TRUE(window.events("window:Lbl").empty());
        EXPECT_EQ(window.world->calls.back(), "window:list on");
        EXPECT_FALSE(conversion.running());
    }
}

TEST(ConversionRun, NamesTheFileAndTheStoreFromTwoReadingsOfTheClock)
{
    // The folder, the clock's readings, the file and the time in the store's name.
    const std::tuple<std::string, std::vector<LocalTime>, std::string, std::string> cases[] = {
        {"/out", {{2010, 3, 5, 9, 7, 4}}, "/out/WindowsContacts5.3.10 9.7.04.pst", "5.3.10 9.7.04"},
        // A folder that already ends with the separator gets no second one.
        {"/out/", {{2010, 3, 5, 9, 7, 4}}, "/out/WindowsContacts5.3.10 9.7.04.pst", "5.3.10 9.7.04"},
        {"/o", {{2000, 1, 1, 0, 0, 0}}, "/o/WindowsContacts1.1.00 0.0.00.pst", "1.1.00 0.0.00"},
        {"/o", {{1999, 12, 31, 10, 10, 59}}, "/o/WindowsContacts31.12.99 10.10.59.pst", "31.12.99 10.10.59"},
        // A second boundary between the two readings: the names differ by that second.
        {"/o", {{2010, 3, 5, 9, 7, 59}, {2010, 3, 5, 9, 8, 0}}, "/o/WindowsContacts5.3.10 9.7.59.pst", "5.3.10 9.8.00"},
    };
    for (const auto& [folder, times, path, storeTime] : cases) {
        SCOPED_TRACE(path);
        FakeWindow window;
        window.folder = nativePath(folder);
        window.times.assign(times.begin(), times.end());
        const RunResult result = run(window, {"/in/a.contact"});
        const std::string store = "Windows Contacts : Created - " + storeTime;
        EXPECT_EQ(result.pstPath, nativePath(path));
        EXPECT_EQ(result.storeName, store);
        EXPECT_EQ(window.events("AddPSTStore("), Texts{"AddPSTStore(" + nativePath(path) + ",1," + store + ")"});
    }
    EXPECT_EQ(convert::troubleshootingAddress(nativePath("/opt/Tressimo 3/docs/manual.html")),
              std::string(shell::kPathsHaveDrives ? "file:///C:" : "file://") +
                  "/opt/Tressimo%203/docs/manual.html#troubleshooting");
}

TEST(ConversionRun, ASetUpFailureShowsTheOutlookErrorAndConvertsNothing)
{
    // A refused call, or how the factory fails; the step the reason names; whether a store was made.
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"factory throws", "Creating the session", false},
        {"factory gives null", "Creating the session", false},
        {"Logon(", "Logon", false},
        {"Stores(", "AddPSTStore", false},
        {"AddPSTStore(", "AddPSTStore", false},
        {"EntryID(", "EntryID", true},
        {"ValidateIPMTree(", "ValidateIPMTree", true},
    };
    for (const auto& [failing, step, storeMade] : cases) {
        SCOPED_TRACE(failing);
        FakeWindow window;
        window.world->refuseSession = failing == "factory throws";
        window.world->sessionFactoryGivesNull = failing == "factory gives null";
        if (failing.ends_with("("))
            window.world->refusals = {failing};
        const RunResult result = run(window, {"/in/a.contact", "/in/b.contact"});
        EXPECT_EQ(result.outcome, RunOutcome::SetUpFailed);
        EXPECT_TRUE(result.setUpError.starts_with(step + ": ")) << result.setUpError;
        // The message's wording is checked through the window.
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_TRUE(window.messages[0].text.ends_with("Reason: " + result.setUpError));
        // No row is converted, the session is not logged off, Convert ends enabled.
        EXPECT_EQ(window.world->count("GetStoreFromID("), 0);
        EXPECT_EQ(window.world->count("Logoff("), 0);
        EXPECT_TRUE(
            timeline(window).ends_with("window:message(Outlook Error) | window:Convert on | window:list on"));
        EXPECT_EQ(window.world->count("EntryID("), storeMade ? 1 : 0);
    }
}

TEST(ConversionRun, StatusTextsFollowThePathRulesOfThePlatform)
{
    // The row, the folder in the label, the file label.
    const std::tuple<std::string, std::string, std::optional<std::string>> cases[] = {
#ifdef _WIN32
        // The texts start after the drive; a network path has none, so they stay empty.
        {"C:\\Users\\ann\\Contacts\\a.contact", "Users\\ann\\Contacts", "\\Users\\ann\\Contacts\\a.contact"},
        {"  D:\\ann\\b.contact ", "ann", "\\ann\\b.contact"},
        {"C:\\a.contact", "", "\\a.contact"},
        {"\\\\server\\share\\c.contact", "", std::nullopt},
        {"", "", std::nullopt},
#else
        {"/home/ann/Contacts/a.contact", "home/ann/Contacts", "/home/ann/Contacts/a.contact"},
        // Blanks at the ends are trimmed before the texts are made.
        {"  /home/ann/b.contact ", "home/ann", "/home/ann/b.contact"},
        {"/a.contact", "", "/a.contact"},
        // A ":" is an ordinary character here.
        {"/data/x:y/c.contact", "data/x:y", "/data/x:y/c.contact"},
        {"", "", ""},
#endif
    };
    for (const auto& [row, folder, file] : cases) {
        SCOPED_TRACE(row);
        FakeWindow window;
        run(window, {row});
        EXPECT_EQ(window.events("window:LblCurrentDBX="),
                  Texts{"window:LblCurrentDBX=Converting Messages... from (" + folder + ")"});
        EXPECT_EQ(window.events("window:LblProgessCurrent="),
                  file ? Texts{"window:LblProgessCurrent=" + *file} : Texts{});
    }
}

// Rows that give no item are counted as skipped with their reason; the rest go on, their
// texts trimmed. (A refused value is counted in the store failure tests; values carried over
// from one file to the next show in the end-to-end conversion.)
TEST(ConversionRun, RowsWithoutAContactAreSkippedWithTheirReason)
{
    TempDir dir;
    const std::string good = dir.write("good.contact", person("Ann", "Lee")).string();
    const std::string broken =
        dir.write("broken.contact", "<c:contact><c:NameCollection></c:contact>").string();
    const std::string missing = (dir.path() / "missing.contact").string();
    // A name with a blank at its end and one that is not UTF-8 are files like any other.
    const std::string blankEnd = dir.write("blank.contact ", person("  Bo ", "Blank")).string();
    const std::string latin1 = dir.write("caf\xe9.contact", person("Cy", "Cafe")).string();
    // Rows, refusals, contacts written, skips (row, start of the reason), first names saved.
    const std::tuple<Texts, Texts, int, std::vector<std::pair<int, std::string>>, Texts> cases[] = {
        {{}, {}, 0, {{0, "empty row"}}, {}}, // the placeholder row of an empty list
        {{good, broken, missing, "   ", blankEnd, latin1}, {}, 3,
         {{1, "Error parsing \"" + broken + "\""}, {2, "Cannot open"}, {3, "empty row"}}, {"Ann", "Bo", "Cy"}},
        {{good, latin1}, {"Save("}, 0, {{0, "not written (Save): refused: Save()"}, {1, "not written (Save)"}}, {}},
        {{good}, {"Add("}, 0, {{0, "not written (Add): refused: Add(2)"}}, {}},
    };
    for (const auto& [rows, refusals, written, skipped, firstNames] : cases) {
        SCOPED_TRACE(rows.size());
        FakeWindow window;
        window.world->refusals = refusals;
        const RunResult result = run(window, rows);
        EXPECT_EQ(result.outcome, RunOutcome::Finished);
        EXPECT_EQ(result.written, written);
        ASSERT_EQ(result.skipped.size(), skipped.size());
        for (std::size_t i = 0; i < skipped.size(); ++i) {
            EXPECT_EQ(result.skipped[i].row, skipped[i].first);
            EXPECT_TRUE(result.skipped[i].reason.starts_with(skipped[i].second)) << result.skipped[i].reason;
        }
        EXPECT_EQ(savedFirstNames(*window.world), firstNames);
        // No item is even begun for a skipped row; the bar still reaches 100.
        EXPECT_EQ(window.world->count("Add("), written + (refusals.empty() ? 0 : rows.size()));
        ASSERT_FALSE(window.bar.empty());
        EXPECT_EQ(window.bar.back(), 100.0f);
        EXPECT_EQ(window.world->count("Logoff()"), 1);
    }
}

TEST(ConversionRun, NeverReusesAnExistingFileName)
{
    TempDir dir;
    // Something else already has the second name: a folder, which is skipped as well.
    std::filesystem::create_directory(dir.path() / ("WindowsContacts" + kT + " (2).pst"));
    // Then a second run in the same second creates each name this run has just found free, twice.
    Texts made;
    for (int i = 0; i < 4; ++i) {
        FakeWindow window;
        window.world->createFiles = true;
        window.folder = dir.path().string();
        int raced = 0;
        if (i == 3)
            window.world->beforeCreate = [&](const std::filesystem::path& path) {
                if (raced++ < 2)
                    std::ofstream(path) << "the other run's file";
            };
        const RunResult result = run(window, {"/in/a.contact"});
        ASSERT_EQ(result.outcome, RunOutcome::Finished) << result.setUpError;
        EXPECT_EQ(result.storeName, "Windows Contacts : Created - " + kT);
        EXPECT_TRUE(window.messages.empty());
        EXPECT_EQ(window.world->count("AddPSTStore("), i == 3 ? 3 : 1);
        made.push_back(std::filesystem::path(result.pstPath).filename().string());
    }
    const std::string base = "WindowsContacts" + kT;
    EXPECT_EQ(made, (Texts{base + ".pst", base + " (3).pst", base + " (4).pst", base + " (7).pst"}));
    EXPECT_EQ(readWholeFile(dir.path() / (base + " (5).pst")), "the other run's file");
}

TEST(ConversionRun, StopsAfterTheContactBeingWrittenAndFinishesNormally)
{
    TempDir dir;
    const filelist::FileList list = listOf(contactRows(dir, 4));
    FakeWindow window;
    ConversionRun conversion(window.surroundings(), kHelp);
    RunResult nested;
    // Yields 1-4 come before the loop and 5 before row 0: stop during row 2's yield, and
    // try a second run from inside a yield on the way.
    window.inYield = [&](int n) {
        if (n == 6)
            nested = conversion.CmdExtractDBX_Click(list);
        if (n == 7)
            conversion.requestStop();
    };
    const RunResult result = conversion.CmdExtractDBX_Click(list);
    EXPECT_EQ(nested.outcome, RunOutcome::AlreadyRunning);
    EXPECT_EQ(result.outcome, RunOutcome::Finished);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(result.notReached, 2);
    // The reader is ahead by then: the record is still the last written row's.
    EXPECT_EQ(conversion.record().eContact_FirstName, "G1");
    EXPECT_EQ(window.world->count("Add(2)"), 2);
    EXPECT_EQ(window.world->count("Logoff()"), 1);
    EXPECT_EQ(window.world->count("window:createSession"), 1);
    EXPECT_EQ(window.bar, (std::vector<float>{25.0f, 50.0f}));
    EXPECT_EQ(window.world->calls.back(), "window:list on");
    EXPECT_FALSE(conversion.running());
    // A later run is a run like any other: the stop does not carry over.
    window.inYield = nullptr;
    EXPECT_EQ(conversion.CmdExtractDBX_Click(list).written, 4);
}

TEST(ConversionRun, SummaryNamesTheFileTheCountAndEveryProblem)
{
    RunResult result;
    result.outcome = RunOutcome::Finished;
    result.pstPath = "/out/x.pst";
    result.rows = 8;
    // Written, skipped, incomplete, stopped, the text.
    using Problems = std::vector<convert::RowProblem>;
    const std::string oneSkipped = "0 contacts converted to /out/x.pst\r\n\r\n1 file skipped:\r\n";
    const std::tuple<int, Problems, Problems, bool, std::string> cases[] = {
        {3, {}, {}, false, "3 contacts converted to /out/x.pst"},
        {1, {}, {}, false, "1 contact converted to /out/x.pst"},
        {0, {{0, "", "empty row"}}, {}, false, oneSkipped + "Row 1: empty row"},
        // A line break or escape sequence in a name or reason shows as an escape.
        {0, {{0, "/in/a\nb\x1b]0;t\x07.contact", "bad\r\ttext"}}, {}, false,
         oneSkipped + "/in/a\\nb\\x1b]0;t\\x07.contact: bad\\r\\ttext"},
        {2, {{1, "/in/b.contact", "Cannot open"}, {4, "/in/e.contact", "Error parsing"}},
         {{2, "/in/c.contact", "without PR_BIRTHDAY: bad date"}}, true,
         "2 contacts converted to /out/x.pst\r\n\r\n2 files skipped:\r\n/in/b.contact: Cannot open\r\n"
         "/in/e.contact: Error parsing\r\n\r\n1 contact converted without some values:\r\n"
         "/in/c.contact: without PR_BIRTHDAY: bad date\r\n\r\nStopped: 3 of 8 files not converted."},
    };
    for (const auto& [written, skipped, incomplete, stopped, text] : cases) {
        std::tie(result.written, result.skipped, result.incomplete, result.stopped) =
            std::tie(written, skipped, incomplete, stopped);
        result.notReached = stopped ? 3 : 0;
        const MessageBoxText message = convert::summaryMessage(result);
        EXPECT_EQ(message.text, text);
        EXPECT_EQ(message.title, "Tressimo");
    }
    // A long list shows its first twenty and how many more.
    result.incomplete.clear();
    result.stopped = false;
    result.skipped.clear();
    for (int i = 0; i < 25; ++i)
        result.skipped.push_back({i, "/in/" + std::to_string(i), "x"});
    const std::string text = convert::summaryMessage(result).text;
    EXPECT_NE(text.find("/in/19: x\r\n... and 5 more"), std::string::npos);
    EXPECT_EQ(text.find("/in/20:"), std::string::npos);
    // A contact written without its photo is named with the reason, after the skipped files.
    result.photosLeftOut = {{3, "/in/d.contact", "the photo is empty"}};
    EXPECT_TRUE(convert::summaryMessage(result).text.ends_with(
        "... and 5 more\r\n\r\n1 contact converted without their photo:\r\n/in/d.contact: the photo is empty"));
    EXPECT_FALSE(result.complete());
}

} // namespace
} // namespace tressimo::testing
