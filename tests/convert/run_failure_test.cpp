// A store that fails in the middle of a run: the run stops at once, counts what the file
// holds as of its last commit, and accounts for every row (in the file, skipped with its
// reason, or not converted because of the failure).

#include "convert/conversion_run.h"
#include "tests/convert/fake_window.h"

#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using convert::RunResult;
using filelist::FileList;

TEST(RunFailure, AStoreFailureStopsTheRunAndTheCountIsWhatTheFileHolds)
{
    // The call that fails the store from row `atRow` on, the commit interval, then contacts
    // written, rows not reached and items begun. Six rows; row 1 does not load. Every saved
    // contact lacks its last name (a refusal of the item alone), so all those in the file are
    // incomplete, and only those.
    const std::tuple<std::string, int, std::size_t, int, int, int> cases[] = {
        {"Save(", 3, 2, 2, 3, 3},              // rows 0 and 2 saved, one commit before the failure
        {"put(FirstName,", 2, 1, 1, 4, 2},     // any call of the item
        {"setProperty(0x3A45", 4, 4, 0, 5, 4}, // three saved, none committed
        {"GetStoreFromID(", 5, 1, 4, 1, 4},
        {"Logoff(", 99, 3, 3, 2, 5}, // the final commit fails: five saved, three in the file
    };
    TempDir dir;
    const std::string good = dir.write("p.contact", person("Ann", "Lee")).string();
    FileList list;
    for (int i = 0; i < 6; ++i)
        list.AddFileRow(i == 1 ? "/nowhere/gone.contact" : good);
    for (const auto& [failing, atRow, commitEvery, written, notReached, adds] : cases) {
        SCOPED_TRACE(failing + " at row " + std::to_string(atRow));
        FakeWindow window;
        window.world->commitEvery = commitEvery;
        window.world->refusals = {"put(LastName,"};
        // Yields 1-4 come before the loop, row r's is 5 + r; the last one precedes Logoff.
        window.inYield = [&](int n) {
            if (n == 5 + atRow || (atRow == 99 && n == 11))
                window.world->storeFailures = {failing};
        };
        convert::ConversionRun conversion(window.surroundings(), "help");
        const RunResult result = conversion.CmdExtractDBX_Click(list);

        ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
        EXPECT_EQ(result.storeError, "No space left on device at " + window.events(failing).back());
        EXPECT_EQ(result.written, written);
        EXPECT_EQ(result.notReached, notReached);
        ASSERT_EQ(result.skipped.size(), 1u);
        EXPECT_EQ(result.rows, result.written + 1 + result.notReached);
        EXPECT_EQ(static_cast<int>(result.incomplete.size()), result.written);
        EXPECT_FALSE(result.complete());
        // Nothing is tried after the failure; the session is still closed, the commands back.
        EXPECT_EQ(window.world->count("Add("), adds);
        EXPECT_EQ(window.world->count("Logoff("), 1);
        EXPECT_EQ(window.world->calls.back(), "window:list on");

        const std::string summary = convert::summaryMessage(result).text;
        const std::string head = "The data file could not be written: " + result.storeError +
                                 "\r\n\r\nIt holds " + std::to_string(written) + " contact" +
                                 (written == 1 ? "" : "s") + ": " + result.pstPath + "\r\n" +
                                 std::to_string(notReached) + " of 6 files not converted because of this.";
        EXPECT_TRUE(summary.starts_with(head)) << summary;
        EXPECT_EQ(summary.find("converted to"), std::string::npos) << summary;
    }
}

} // namespace
} // namespace tressimo::testing
