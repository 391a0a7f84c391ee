// The conversion run with fake surroundings and a recording fake session: its conversation
// with both, names, status texts and bar values, set-up failures, skips, the summary, the
// " (2)" rule, and stopping.

#include "convert/conversion_run.h"
#include "shell/path_rules.h"
#include "tests/contacts/contact_xml.h"
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
using filelist::FileList;

const std::string kHelp = "file:///usr/share/doc/tressimo/manual.html#troubleshooting";

std::string person(std::string_view given, std::string_view family, std::string_view extra = {})
{
    return contactDocument(name(element("c:GivenName", given) + element("c:FamilyName", family)) +
                           std::string(extra));
}

FileList listOf(const std::vector<std::string>& rows)
{
    FileList list;
    for (const std::string& row : rows)
        list.AddFileRow(row);
    return list;
}

RunResult run(FakeWindow& window, const FileList& list)
{
    ConversionRun conversion(window.surroundings(), kHelp);
    return conversion.CmdExtractDBX_Click(list);
}

// The whole conversation of a one-row run, step by step.
TEST(ConversionRun, TalksToItsSurroundingsAndTheSessionInTheGivenOrder)
{
    TempDir dir;
    const std::string file = dir.write("ann.contact", person("Ann", "Lee")).string();
    FakeWindow window;
    const RunResult result = run(window, listOf({file}));

    std::vector<std::string> expected = {
        "window:list off",
        "window:Convert off",
        "window:yield",
        "window:BrowseForFolder(Choose Folder to Save...)",
        "window:yield",
        "window:yield",
        "window:range(0,100)",
        "window:yield",
        "window:createSession",
        "Logon()",
        "Stores()",
        "AddPSTStore(/out/WindowsContacts5.3.10 9.7.04.pst,1,Windows Contacts : Created - 5.3.10 9.7.04)",
        "EntryID()",
        "ValidateIPMTree()",
        "window:yield",
        "GetStoreFromID(STORE-1)",
        "GetDefaultFolder(10)",
        "Items()",
        "Add(2)"};
    const auto& calls = window.world->calls;
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())),
              expected);
    // The item's own steps, then the status after the row is written, then the end.
    const std::string folder = dir.path().string().substr(1);
    const std::vector<std::string> tail = {"Save()",
                                           "window:Convert off",
                                           "window:LblCurrentDBX=Converting Messages... from (" + folder +
                                               ")",
                                           "window:LblProgessCurrent=" + file,
                                           "window:bar=100",
                                           "window:yield",
                                           "Logoff()",
                                           "window:Convert on",
                                           "window:list on"};
    EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<long>(tail.size()), calls.end()), tail);
    EXPECT_EQ(result.outcome, RunOutcome::Finished);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.complete());
    EXPECT_TRUE(window.messages.empty());
}

TEST(ConversionRun, CancelAtThePromptChangesNothing)
{
    struct Case
    {
        std::string name;
        std::function<void(FakeWindow&, ConversionRun*&)> arrange;
    };
    const Case cases[] = {
        {"empty answer", [](FakeWindow& w, ConversionRun*&) { w.folder.clear(); }},
        // Exit clicked while the chooser is open: the run ends as if cancelled.
        {"stop in chooser",
         [](FakeWindow& w, ConversionRun*& r) { w.inChooser = [&r] { r->requestStop(); }; }},
        {"stop in first yield",
         [](FakeWindow& w, ConversionRun*& r) {
             w.inYield = [&r](int n) {
                 if (n == 1)
                     r->requestStop();
             };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        ConversionRun* self = nullptr;
        c.arrange(window, self);
        ConversionRun conversion(window.surroundings(), kHelp);
        self = &conversion;
        const RunResult result = conversion.CmdExtractDBX_Click(listOf({"/in/a.contact"}));
        EXPECT_EQ(result.outcome, RunOutcome::Cancelled);
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
    struct Case
    {
        std::string folder;
        std::vector<LocalTime> times;
        std::string path, store;
    };
    const Case cases[] = {
        {"/out",
         {{2010, 3, 5, 9, 7, 4}},
         "/out/WindowsContacts5.3.10 9.7.04.pst",
         "Windows Contacts : Created - 5.3.10 9.7.04"},
        // A folder that already ends with the separator gets no second one.
        {"/out/",
         {{2010, 3, 5, 9, 7, 4}},
         "/out/WindowsContacts5.3.10 9.7.04.pst",
         "Windows Contacts : Created - 5.3.10 9.7.04"},
        {"/",
         {{2026, 12, 6, 23, 59, 9}},
         "/WindowsContacts6.12.26 23.59.09.pst",
         "Windows Contacts : Created - 6.12.26 23.59.09"},
        {"/o",
         {{2000, 1, 1, 0, 0, 0}},
         "/o/WindowsContacts1.1.00 0.0.00.pst",
         "Windows Contacts : Created - 1.1.00 0.0.00"},
        {"/o",
         {{1999, 12, 31, 10, 10, 59}},
         "/o/WindowsContacts31.12.99 10.10.59.pst",
         "Windows Contacts : Created - 31.12.99 10.10.59"},
        // A second boundary between the two readings: the names differ by that second.
        {"/o",
         {{2010, 3, 5, 9, 7, 59}, {2010, 3, 5, 9, 8, 0}},
         "/o/WindowsContacts5.3.10 9.7.59.pst",
         "Windows Contacts : Created - 5.3.10 9.8.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FakeWindow window;
        window.folder = c.folder;
        window.times.assign(c.times.begin(), c.times.end());
        const RunResult result = run(window, listOf({"/in/a.contact"}));
        EXPECT_EQ(result.pstPath, c.path);
        EXPECT_EQ(result.storeName, c.store);
        EXPECT_EQ(window.events("AddPSTStore("),
                  std::vector<std::string>{"AddPSTStore(" + c.path + ",1," + c.store + ")"});
    }
}

TEST(ConversionRun, ASetUpFailureShowsTheOutlookErrorAndConvertsNothing)
{
    struct Case
    {
        std::string failing; // a refused call, or how the factory fails
        std::string step;
        bool storeMade;
    };
    const Case cases[] = {
        {"factory throws", "Creating the session", false},
        {"factory gives null", "Creating the session", false},
        {"Logon(", "Logon", false},
        {"Stores(", "AddPSTStore", false},
        {"AddPSTStore(", "AddPSTStore", false},
        {"EntryID(", "EntryID", true},
        {"ValidateIPMTree(", "ValidateIPMTree", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        FakeWindow window;
        if (c.failing == "factory throws")
            window.world->refuseSession = true;
        else if (c.failing == "factory gives null")
            window.world->sessionFactoryGivesNull = true;
        else
            window.world->refusals = {c.failing};
        const RunResult result = run(window, listOf({"/in/a.contact", "/in/b.contact"}));

        EXPECT_EQ(result.outcome, RunOutcome::SetUpFailed);
        EXPECT_TRUE(result.setUpError.starts_with(c.step + ": ")) << result.setUpError;
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, "Outlook Session Creation Error !\r\n"
                                           "Check if Outlook is installed and configured.\r\n"
                                           "For more details visit this link : " +
                                               kHelp + "\r\n\r\nReason: " + result.setUpError);
        EXPECT_EQ(window.messages[0].title, "Outlook Error");
        EXPECT_EQ(window.messages[0].icon, filelist::MessageIcon::Information);
        // No row is converted, the session is not logged off, Convert ends enabled.
        EXPECT_EQ(window.world->count("GetStoreFromID("), 0);
        EXPECT_EQ(window.world->count("Logoff("), 0);
        EXPECT_TRUE(window.events("window:bar").empty());
        const std::vector<std::string> end(window.world->calls.end() - 3, window.world->calls.end());
        EXPECT_EQ(end, (std::vector<std::string>{"window:message(Outlook Error)", "window:Convert on",
                                                 "window:list on"}));
        EXPECT_EQ(window.world->count("EntryID("), c.storeMade ? 1 : 0);
    }
}

TEST(ConversionRun, EachRowGivesOneItemInRowOrderAndMovesTheBar)
{
    struct Case
    {
        int rows;
        std::vector<float> bar;
    };
    const Case cases[] = {
        {1, {100.0f}},
        {3, {100.0f / 3, 200.0f / 3, 100.0f}},
        {4, {25.0f, 50.0f, 75.0f, 100.0f}},
        {7, {100.0f / 7, 200.0f / 7, 300.0f / 7, 400.0f / 7, 500.0f / 7, 600.0f / 7, 100.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        TempDir dir;
        std::vector<std::string> rows;
        for (int i = 0; i < c.rows; ++i)
            rows.push_back(dir.write("p" + std::to_string(c.rows - i) + ".contact",
                                     person("Given" + std::to_string(i), "Family" + std::to_string(i)))
                               .string());
        FakeWindow window;
        const RunResult result = run(window, listOf(rows));
        EXPECT_EQ(result.written, c.rows);
        EXPECT_EQ(window.world->count("Add(2)"), c.rows);
        EXPECT_EQ(window.world->callsStartingWith("GetStoreFromID("),
                  std::vector<std::string>(static_cast<std::size_t>(c.rows), "GetStoreFromID(STORE-1)"));
        EXPECT_EQ(window.world->callsStartingWith("GetDefaultFolder("),
                  std::vector<std::string>(static_cast<std::size_t>(c.rows), "GetDefaultFolder(10)"));
        ASSERT_EQ(window.world->saved.size(), static_cast<std::size_t>(c.rows));
        for (int i = 0; i < c.rows; ++i)
            EXPECT_EQ(window.world->saved[static_cast<std::size_t>(i)].puts.at("FirstName"),
                      "Given" + std::to_string(i));
        EXPECT_EQ(window.bar, c.bar);
        // The file label names each row's file, after that row is written.
        std::vector<std::string> labels;
        for (const auto& row : rows)
            labels.push_back("window:LblProgessCurrent=" + row);
        EXPECT_EQ(window.events("window:LblProgessCurrent="), labels);
    }
}

TEST(ConversionRun, StatusTextsFollowThePathRulesOfThePlatform)
{
    struct Case
    {
        std::string row;
        std::string folderLabel;
        std::string fileLabel;
    };
    const Case cases[] = {
        {"/home/ann/Contacts/a.contact", "Converting Messages... from (home/ann/Contacts)",
         "/home/ann/Contacts/a.contact"},
        // Blanks at the ends are trimmed before the texts are made.
        {"  /home/ann/b.contact ", "Converting Messages... from (home/ann)", "/home/ann/b.contact"},
        // A file in the root: no folder left.
        {"/a.contact", "Converting Messages... from ()", "/a.contact"},
        // A ":" is an ordinary character here.
        {"/data/x:y/c.contact", "Converting Messages... from (data/x:y)", "/data/x:y/c.contact"},
        {"", "Converting Messages... from ()", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        FakeWindow window;
        FileList list;
        list.AddFileRow(c.row);
        run(window, list);
        EXPECT_EQ(window.events("window:LblCurrentDBX="),
                  std::vector<std::string>{"window:LblCurrentDBX=" + c.folderLabel});
        EXPECT_EQ(window.events("window:LblProgessCurrent="),
                  std::vector<std::string>{"window:LblProgessCurrent=" + c.fileLabel});
    }
}

TEST(PathRules, TheStatusTextPartOfAPathWithAndWithoutDrives)
{
    struct Case
    {
        std::string path;
        bool drives;
        std::optional<std::string> part;
    };
    const Case cases[] = {
        {"C:\\Data\\Contacts\\sample.contact", true, "\\Data\\Contacts\\sample.contact"},
        {"\\\\server\\share\\a.contact", true, std::nullopt},
        {"C:\\a:b\\c.contact", true, "\\a"},
        {"C:", true, ""},
        {"/home/ann/a.contact", false, "/home/ann/a.contact"},
        {"/x:y/a.contact", false, "/x:y/a.contact"},
    };
    for (const Case& c : cases) {
        const auto part = shell::textAfterDrive(c.path, c.drives);
        EXPECT_EQ(part ? std::optional<std::string>(std::string(*part)) : std::nullopt, c.part) << c.path;
    }
    EXPECT_EQ(shell::withTrailingSeparator("/out"), "/out/");
    EXPECT_EQ(shell::withTrailingSeparator("/out/"), "/out/");
    EXPECT_EQ(shell::withTrailingSeparator(""), "");
}

// Rows that give no item are counted as skipped with their reason; the rest go on.
TEST(ConversionRun, RowsWithoutAContactAreSkippedWithTheirReason)
{
    TempDir dir;
    const std::string good = dir.write("good.contact", person("Ann", "Lee")).string();
    const std::string broken =
        dir.write("broken.contact", "<c:contact><c:NameCollection></c:contact>").string();
    const std::string missing = (dir.path() / "missing.contact").string();
    // A name with a blank at its end and one that is not UTF-8 are files like any other.
    const std::string blankEnd = dir.write("blank.contact ", person("Bo", "Blank")).string();
    const std::string latin1 = dir.write("caf\xe9.contact", person("Cy", "Cafe")).string();

    struct Case
    {
        std::string name;
        std::vector<std::string> rows;
        std::vector<std::string> refusals;
        int written;
        std::vector<std::pair<int, std::string>> skipped; // row, start of the reason
        std::vector<std::string> firstNames;
    };
    const Case cases[] = {
        {"placeholder row of an empty list", {}, {}, 0, {{0, "empty row"}}, {}},
        {"mixed",
         {good, broken, missing, "   ", blankEnd, latin1},
         {},
         3,
         {{1, "Error parsing \"" + broken + "\""}, {2, "Cannot open"}, {3, "empty row"}},
         {"Ann", "Bo", "Cy"}},
        {"store refuses the save",
         {good, latin1},
         {"Save("},
         0,
         {{0, "not written (Save): refused: Save()"}, {1, "not written (Save): refused: Save()"}},
         {}},
        {"store refuses the item", {good}, {"Add("}, 0, {{0, "not written (Add): refused: Add(2)"}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.world->refusals = c.refusals;
        const RunResult result = run(window, listOf(c.rows));
        EXPECT_EQ(result.outcome, RunOutcome::Finished);
        EXPECT_EQ(result.written, c.written);
        ASSERT_EQ(result.skipped.size(), c.skipped.size());
        for (std::size_t i = 0; i < c.skipped.size(); ++i) {
            EXPECT_EQ(result.skipped[i].row, c.skipped[i].first);
            EXPECT_TRUE(result.skipped[i].reason.starts_with(c.skipped[i].second))
                << result.skipped[i].reason;
        }
        std::vector<std::string> firstNames;
        for (const auto& item : window.world->saved)
            firstNames.push_back(item.puts.at("FirstName"));
        EXPECT_EQ(firstNames, c.firstNames);
        // No item is even begun for a skipped row; the bar still reaches 100.
        EXPECT_EQ(window.world->count("Add("), c.written + (c.refusals.empty() ? 0 : c.rows.size()));
        ASSERT_FALSE(window.bar.empty());
        EXPECT_EQ(window.bar.back(), 100.0f);
        EXPECT_FALSE(result.complete());
        EXPECT_EQ(window.world->count("Logoff()"), 1);
    }
}

TEST(ConversionRun, NoValueOfOneFileReachesTheNextAndTextsArriveTrimmed)
{
    TempDir dir;
    const std::string withAddress =
        dir.write("a.contact",
                  person("  Ann ", "Lee\t",
                         collection("c:PhysicalAddressCollection",
                                    {addressEntry({"1 Main St", "Springfield", "", "12345", ""}, {})})))
            .string();
    const std::string plain = dir.write("b.contact", person("Bo", "Bar")).string();
    FakeWindow window;
    run(window, listOf({withAddress, plain}));
    ASSERT_EQ(window.world->saved.size(), 2u);
    const auto& first = window.world->saved[0].puts;
    const auto& second = window.world->saved[1].puts;
    EXPECT_EQ(first.at("FirstName"), "Ann");
    EXPECT_EQ(first.at("LastName"), "Lee\t");
    EXPECT_EQ(first.at("BusinessAddressStreet"), "1 Main St");
    EXPECT_EQ(second.at("BusinessAddressStreet"), "");
    EXPECT_EQ(second.at("BusinessAddressCity"), "");
    EXPECT_EQ(second.at("FirstName"), "Bo");
}

TEST(ConversionRun, RefusedValuesMakeTheContactIncomplete)
{
    TempDir dir;
    const std::string file = dir.write("a.contact", person("Ann", "Lee")).string();
    FakeWindow window;
    window.world->refusals = {"put(LastName,"};
    const RunResult result = run(window, listOf({file}));
    EXPECT_EQ(result.written, 1);
    ASSERT_EQ(result.incomplete.size(), 1u);
    EXPECT_EQ(result.incomplete[0].reason, "without LastName: refused: put(LastName,Lee)");
    EXPECT_FALSE(result.complete());
}

TEST(ConversionRun, NeverReusesAnExistingFileName)
{
    TempDir dir;
    const std::string T = "5.3.10 9.7.04";
    // Something else already has the second name: a folder, which is skipped as well.
    std::filesystem::create_directory(dir.path() / ("WindowsContacts" + T + " (2).pst"));
    std::vector<std::string> made;
    for (int i = 0; i < 3; ++i) {
        FakeWindow window;
        window.world->createFiles = true;
        window.folder = dir.path().string();
        const RunResult result = run(window, listOf({"/in/a.contact"}));
        ASSERT_EQ(result.outcome, RunOutcome::Finished) << result.setUpError;
        EXPECT_EQ(result.storeName, "Windows Contacts : Created - " + T);
        made.push_back(std::filesystem::path(result.pstPath).filename().string());
    }
    EXPECT_EQ(made,
              (std::vector<std::string>{"WindowsContacts" + T + ".pst", "WindowsContacts" + T + " (3).pst",
                                        "WindowsContacts" + T + " (4).pst"}));
}

TEST(ConversionRun, ANameTakenBetweenTheLookAndTheCreateGivesWayToTheNext)
{
    TempDir dir;
    const std::string T = "5.3.10 9.7.04";
    FakeWindow window;
    window.world->createFiles = true;
    window.folder = dir.path().string();
    // A second run in the same second creates each name this run has just found free, twice.
    int raced = 0;
    window.world->beforeCreate = [&](const std::filesystem::path& path) {
        if (raced++ < 2)
            std::ofstream(path) << "the other run's file";
    };
    const RunResult result = run(window, listOf({"/in/a.contact"}));
    ASSERT_EQ(result.outcome, RunOutcome::Finished) << result.setUpError;
    EXPECT_EQ(std::filesystem::path(result.pstPath).filename().string(), "WindowsContacts" + T + " (3).pst");
    EXPECT_EQ(window.world->callsStartingWith("AddPSTStore(").size(), 3u);
    EXPECT_TRUE(window.messages.empty());
    std::ifstream other(dir.path() / ("WindowsContacts" + T + ".pst"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(other), {}), "the other run's file");
}

TEST(ConversionRun, StopsAfterTheContactBeingWrittenAndFinishesNormally)
{
    TempDir dir;
    std::vector<std::string> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back(
            dir.write("p" + std::to_string(i) + ".contact", person("G" + std::to_string(i), "F")).string());
    FakeWindow window;
    ConversionRun conversion(window.surroundings(), kHelp);
    RunResult nested;
    // Yields 1-4 come before the loop and 5 before row 0: stop during row 2's yield, and
    // try a second run from inside a yield on the way.
    const FileList list = listOf(rows);
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

// Running out of memory between rows ends the loop, but what was written is still committed
// and the store closed, and the summary says what happened.
TEST(ConversionRun, AFailureBetweenRowsEndsTheLoopButStillClosesTheStore)
{
    TempDir dir;
    const std::string file = dir.write("a.contact", person("Ann", "Lee")).string();
    FakeWindow window;
    bool thrown = false;
    window.inYield = [&](int) {
        if (window.world->count("Save()") == 1 && !std::exchange(thrown, true))
            throw std::bad_alloc();
    };
    const RunResult result = run(window, listOf({file, file, file}));
    EXPECT_EQ(result.outcome, RunOutcome::Finished);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(result.notReached, 2);
    EXPECT_FALSE(result.loopError.empty());
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(window.world->count("Logoff()"), 1);
    EXPECT_EQ(window.events("window:Convert").back(), "window:Convert on");
    EXPECT_NE(convert::summaryMessage(result).text.find("The run ended early ("), std::string::npos);
}

TEST(ConversionRun, AFailedLogoffIsReportedNotHidden)
{
    FakeWindow window;
    window.world->refusals = {"Logoff("};
    const RunResult result = run(window, listOf({"/in/a.contact"}));
    EXPECT_EQ(result.outcome, RunOutcome::Finished);
    EXPECT_EQ(result.storeError, "refused: Logoff()");
    EXPECT_EQ(window.world->calls.back(), "window:list on");
}

TEST(ConversionRun, SummaryNamesTheFileTheCountAndEveryProblem)
{
    RunResult result;
    result.outcome = RunOutcome::Finished;
    result.pstPath = "/out/WindowsContacts5.3.10 9.7.04.pst";
    struct Case
    {
        int written;
        std::vector<convert::RowProblem> skipped, incomplete;
        bool stopped;
        std::string text;
    };
    const Case cases[] = {
        {3, {}, {}, false, "3 contacts converted to /out/WindowsContacts5.3.10 9.7.04.pst"},
        {1, {}, {}, false, "1 contact converted to /out/WindowsContacts5.3.10 9.7.04.pst"},
        {0,
         {{0, "", "empty row"}},
         {},
         false,
         "0 contacts converted to /out/WindowsContacts5.3.10 9.7.04.pst\r\n\r\n1 file skipped:\r\nRow 1: "
         "empty row"},
        {2,
         {{1, "/in/b.contact", "Cannot open"}, {4, "/in/e.contact", "Error parsing"}},
         {{2, "/in/c.contact", "without PR_BIRTHDAY: bad date"}},
         true,
         "2 contacts converted to /out/WindowsContacts5.3.10 9.7.04.pst\r\n\r\n"
         "2 files skipped:\r\n/in/b.contact: Cannot open\r\n/in/e.contact: Error parsing\r\n\r\n"
         "1 contact converted without some values:\r\n/in/c.contact: without PR_BIRTHDAY: bad date\r\n\r\n"
         "Stopped: 3 of 8 files not converted."},
    };
    for (const Case& c : cases) {
        result.written = c.written;
        result.skipped = c.skipped;
        result.incomplete = c.incomplete;
        result.stopped = c.stopped;
        result.rows = 8;
        result.notReached = c.stopped ? 3 : 0;
        const MessageBoxText message = convert::summaryMessage(result);
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(message.title, "Tressimo");
    }
    // A long list shows its first twenty and how many more.
    result.skipped.clear();
    result.incomplete.clear();
    result.stopped = false;
    for (int i = 0; i < 25; ++i)
        result.skipped.push_back({i, "/in/" + std::to_string(i), "x"});
    const std::string text = convert::summaryMessage(result).text;
    EXPECT_NE(text.find("/in/19: x\r\n... and 5 more"), std::string::npos);
    EXPECT_EQ(text.find("/in/20:"), std::string::npos);
}

TEST(RunNames, TimeTextFileNamesAndAddresses)
{
    EXPECT_EQ(convert::timeText({2010, 3, 5, 9, 7, 4}), "5.3.10 9.7.04");
    EXPECT_EQ(convert::timeText({2031, 10, 28, 14, 45, 30}), "28.10.31 14.45.30");
    EXPECT_EQ(convert::timeText({1905, 1, 1, 0, 0, 0}), "1.1.05 0.0.00");
    EXPECT_EQ(convert::pstFileName("T", 1), "WindowsContactsT.pst");
    EXPECT_EQ(convert::pstFileName("T", 12), "WindowsContactsT (12).pst");
    EXPECT_EQ(convert::troubleshootingAddress("/opt/Tressimo 3/docs/manual.html"),
              "file:///opt/Tressimo%203/docs/manual.html#troubleshooting");
}

} // namespace
} // namespace tressimo::testing
