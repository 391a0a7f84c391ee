// The run's reading on a second thread: rows in row order whatever either side takes, how far
// reading may run ahead, stops and exceptions while the reader is ahead, and no reading
// before the store is set up. The fake window fails any test in which the reading thread
// touches the surroundings.

#include "convert/conversion_run.h"
#include "convert/read_ahead.h"
#include "tests/contacts/contact_xml.h"
#include "tests/convert/fake_window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <thread>

namespace tressimo::testing {
namespace {

using namespace std::chrono_literals;
using convert::ConversionRun;
using convert::ReadAhead;
using convert::ReadRow;
using convert::RunOutcome;
using convert::RunResult;
using filelist::FileList;

const std::string kHelp = "file:///manual.html#troubleshooting";
constexpr int kAhead = static_cast<int>(convert::kReadAheadLimits.rows);
// Four yields come before the loop: row r's yield is the run's (5 + r)-th.
constexpr int kFirstRowYield = 5;

std::string person(const std::string& given, const std::string& notes = {})
{
    return contactDocument(name(element("c:GivenName", given) + element("c:FamilyName", "Row")) +
                           (notes.empty() ? std::string() : element("c:Notes", notes)));
}

// prefix + i. Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
std::string numbered(std::string_view prefix, std::size_t i)
{
    std::string text(prefix);
    text += std::to_string(i);
    return text;
}

// `count` files, the contact of row i named "G<i>".
std::vector<std::string> contactRows(const TempDir& dir, int count, const std::string& notes = {})
{
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(dir.write(numbered("row", i) + ".contact", person(numbered("G", i), notes)).string());
    return rows;
}

FileList listOf(const std::vector<std::string>& rows)
{
    FileList list;
    for (const std::string& row : rows)
        list.AddFileRow(row);
    return list;
}

std::vector<std::string> savedFirstNames(const FakeWorld& world)
{
    std::vector<std::string> names;
    for (const SavedItem& item : world.saved)
        names.push_back(item.puts.at("FirstName"));
    return names;
}

std::vector<std::string> namesOfRows(int from, int to)
{
    std::vector<std::string> names;
    for (int i = from; i < to; ++i)
        names.push_back(numbered("G", i));
    return names;
}

// The reading thread as the test sees it through the hook called before each row's file.
class ReaderWatch
{
public:
    // Runs on the reading thread inside the hook: a delay, a throw.
    std::function<void(int row)> onRow;
    std::atomic<int> begun{0};

    ReadAhead::BeforeRow hook()
    {
        return [this](int row) {
            ++m_inside;
            struct Leave
            {
                std::atomic<int>& inside;
                ~Leave() { --inside; }
            } leave{m_inside};
            ++begun;
            if (onRow)
                onRow(row);
        };
    }

    // Waits until the reader begins no further row: held back, or at the end.
    void waitUntilResting() const
    {
        for (int seen = -1; seen != begun.load() || m_inside.load() > 0;) {
            seen = begun.load();
            std::this_thread::sleep_for(20ms);
        }
    }

    // Once the run is over: no row is being read, and no row is begun any more.
    void expectEnded()
    {
        EXPECT_EQ(m_inside.load(), 0);
        const int seen = begun.load();
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(begun.load(), seen);
    }

private:
    std::atomic<int> m_inside{0};
};

// Waits (briefly) until the reader has begun `rows` rows.
void waitForReader(const ReaderWatch& watch, int rows)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (watch.begun.load() < rows && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
}

// Every observable of a run, the same however long each side takes: the whole conversation
// with the window and the session, skips and reasons, and the record the last row leaves.
TEST(ReadAhead, RowsArriveInRowOrderWhateverEitherSideTakes)
{
    TempDir dir;
    std::vector<std::string> rows;
    std::vector<std::string> written;
    std::vector<std::pair<int, std::string>> skips; // row, start of the reason
    for (int i = 0; i < 3 * kAhead; ++i) {
        const std::string file = numbered("row", i) + ".contact";
        if (i % 7 == 3) {
            rows.push_back((dir.path() / file).string());
            skips.push_back({i, "Cannot open"});
        } else if (i % 11 == 5) {
            rows.push_back(dir.write(file, "<c:contact><c:NameCollection></c:contact>").string());
            skips.push_back({i, "Error parsing"});
        } else if (i == 13) {
            rows.push_back("  ");
            skips.push_back({i, "empty row"});
        } else {
            rows.push_back(dir.write(file, person(numbered("G", i))).string());
            written.push_back(numbered("G", i));
        }
    }
    const FileList list = listOf(rows);

    struct Case
    {
        std::string name;
        int readingMicros, writingMicros; // each row takes up to this long, at random
    };
    const Case cases[] = {
        {"no delays", 0, 0},
        {"slow reading", 3000, 0},
        {"slow writing", 0, 3000},
        {"both slow", 2000, 2000},
    };
    std::vector<std::string> firstTimeline;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        ConversionRun conversion(window.surroundings(), kHelp);
        ReaderWatch watch;
        std::minstd_rand readingRandom(7);
        std::minstd_rand writingRandom(11);
        if (c.readingMicros > 0)
            watch.onRow = [&](int) {
                std::this_thread::sleep_for(std::chrono::microseconds(readingRandom() % c.readingMicros));
            };
        if (c.writingMicros > 0)
            window.inYield = [&](int) {
                std::this_thread::sleep_for(std::chrono::microseconds(writingRandom() % c.writingMicros));
            };
        conversion.setBeforeReadingRow(watch.hook());
        const RunResult result = conversion.CmdExtractDBX_Click(list);
        watch.expectEnded();

        EXPECT_EQ(savedFirstNames(*window.world), written);
        ASSERT_EQ(result.skipped.size(), skips.size());
        for (std::size_t i = 0; i < skips.size(); ++i) {
            const convert::RowProblem& problem = result.skipped[i];
            EXPECT_EQ(problem.row, skips[i].first);
            EXPECT_EQ(problem.path, rows[static_cast<std::size_t>(problem.row)]);
            EXPECT_TRUE(problem.reason.starts_with(skips[i].second)) << problem.reason;
        }
        EXPECT_EQ(conversion.record().eContact_FirstName, numbered("G", rows.size() - 1));
        if (firstTimeline.empty())
            firstTimeline = window.world->calls;
        else
            EXPECT_EQ(window.world->calls, firstTimeline);
    }
}

// The reader is at most kAhead rows ahead of the row being written, and with a slow writer
// it does get that far ahead.
TEST(ReadAhead, ReadingNeverRunsMoreThanItsBoundAhead)
{
    TempDir dir;
    const FileList list = listOf(contactRows(dir, 3 * kAhead + 5));
    FakeWindow window;
    ConversionRun conversion(window.surroundings(), kHelp);
    // Counted in the row's yield, before the run takes the row's result.
    std::atomic<int> rowsYielded{0};
    window.inYield = [&](int n) {
        if (n >= kFirstRowYield) {
            ++rowsYielded;
            std::this_thread::sleep_for(1ms);
        }
    };
    std::atomic<int> mostAhead{-1};
    ReaderWatch watch;
    watch.onRow = [&](int row) {
        const int ahead = row - rowsYielded.load();
        if (ahead > mostAhead.load())
            mostAhead = ahead; // only the reading thread writes it
    };
    conversion.setBeforeReadingRow(watch.hook());
    const RunResult result = conversion.CmdExtractDBX_Click(list);
    watch.expectEnded();
    EXPECT_EQ(result.written, 3 * kAhead + 5);
    EXPECT_LE(mostAhead.load(), kAhead - 1);
    EXPECT_GE(mostAhead.load(), kAhead / 2);
}

// Contacts with large notes: the reader holds back on their bytes long before the row bound.
TEST(ReadAhead, LargeContactsHoldTheReaderBackByTheirBytes)
{
    TempDir dir;
    const std::string notes(400 * 1024, 'n');
    const std::vector<std::string> rows = contactRows(dir, 12, notes);
    // Counted before each take, so the reader never sees fewer taken than there are.
    std::atomic<int> takesBegun{0};
    std::atomic<int> mostAhead{-1};
    ReaderWatch watch;
    watch.onRow = [&](int row) {
        const int ahead = row - takesBegun.load();
        if (ahead > mostAhead.load())
            mostAhead = ahead;
    };
    {
        ReadAhead reader(rows, {32, 1024 * 1024}, watch.hook());
        std::unique_ptr<ReadRow> read;
        for (int i = 0; i < 12; ++i) {
            watch.waitUntilResting();
            ++takesBegun;
            reader.take(read);
            EXPECT_TRUE(read->loaded) << read->error;
            EXPECT_EQ(read->record.eContact_FirstName, numbered("G", i));
            EXPECT_EQ(read->record.eContact_Comments.size(), notes.size());
        }
    }
    watch.expectEnded();
    // Two such contacts (800 KB) are under the 1 MB budget, a third is over it.
    EXPECT_EQ(mostAhead.load(), 2);
}

// A stop asked for while the reader is rows ahead: the run writes no further contact, the
// reader ends after its current file, and the record is the last written row's.
TEST(ReadAhead, AStopWhileTheReaderIsAheadEndsItPromptly)
{
    TempDir dir;
    const int rowCount = 200;
    const FileList list = listOf(contactRows(dir, rowCount));
    FakeWindow window;
    ConversionRun conversion(window.surroundings(), kHelp);
    ReaderWatch watch;
    watch.onRow = [](int) { std::this_thread::sleep_for(1ms); };
    conversion.setBeforeReadingRow(watch.hook());
    window.inYield = [&](int n) {
        if (n == kFirstRowYield + 3) {
            waitForReader(watch, 3 + kAhead / 2);
            conversion.requestStop();
        }
    };
    const RunResult result = conversion.CmdExtractDBX_Click(list);
    watch.expectEnded();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.written, 3);
    EXPECT_EQ(result.notReached, rowCount - 3);
    EXPECT_EQ(savedFirstNames(*window.world), namesOfRows(0, 3));
    EXPECT_EQ(conversion.record().eContact_FirstName, "G2");
    EXPECT_EQ(window.bar, (std::vector<float>{100.0f / rowCount, 200.0f / rowCount, 300.0f / rowCount}));
    // It read on no further than its bound allows.
    EXPECT_GE(watch.begun.load(), 3 + kAhead / 2);
    EXPECT_LE(watch.begun.load(), 3 + kAhead);
    EXPECT_EQ(window.world->count("Logoff()"), 1);
    EXPECT_EQ(window.world->calls.back(), "window:list on");
}

// Exceptions on either side while the reader is ahead: a refused item or a failed reading
// skips its row; anything else ends the loop early, and the reader with it. Either way the
// store is closed.
TEST(ReadAhead, ExceptionsWhileTheReaderIsAhead)
{
    TempDir dir;
    const int rowCount = 40;
    const FileList list = listOf(contactRows(dir, rowCount));
    enum class Ends { Normally, Early };
    struct Case
    {
        std::string name;
        std::function<void(FakeWindow&, ReaderWatch&, convert::RunSurroundings&)> arrange;
        Ends ends;
        int itemsBegun;         // Add(2) calls
        std::string reason;     // row 2's skip, or what ended the loop
    };
    const Case cases[] = {
        {"the store refuses row 2's item",
         [](FakeWindow& w, ReaderWatch&, convert::RunSurroundings&) {
             auto slowWriter = w.inYield;
             w.inYield = [&w, slowWriter](int n) {
                 slowWriter(n);
                 if (n == kFirstRowYield + 2)
                     w.world->refusals = {"Add("};
                 else
                     w.world->refusals.clear();
             };
         },
         Ends::Normally, rowCount, "not written (Add): refused: Add(2)"},
        {"reading row 2 throws",
         [](FakeWindow&, ReaderWatch& r, convert::RunSurroundings&) {
             r.onRow = [](int row) {
                 if (row == 2)
                     throw std::runtime_error("the disk went away");
             };
         },
         Ends::Normally, rowCount - 1, "the disk went away"},
        // Rethrown at row 2's turn, not when it was read: rows 0 and 1 are written first.
        {"reading row 2 throws something else",
         [](FakeWindow&, ReaderWatch& r, convert::RunSurroundings&) {
             r.onRow = [](int row) {
                 if (row == 2)
                     throw 42;
             };
         },
         Ends::Early, 2, "unknown error"},
        {"the window throws after row 2",
         [](FakeWindow&, ReaderWatch&, convert::RunSurroundings& s) {
             s.setLblCurrentDBX = [label = s.setLblCurrentDBX, calls = 0](std::string_view text) mutable {
                 label(text);
                 if (++calls == 3)
                     throw std::runtime_error("no more labels");
             };
         },
         Ends::Early, 3, "no more labels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        // A slow writer, so the reader is ahead when it happens.
        window.inYield = [](int) { std::this_thread::sleep_for(200us); };
        ReaderWatch watch;
        convert::RunSurroundings surroundings = window.surroundings();
        c.arrange(window, watch, surroundings);
        ConversionRun conversion(std::move(surroundings), kHelp);
        conversion.setBeforeReadingRow(watch.hook());

        const RunResult result = conversion.CmdExtractDBX_Click(list);
        watch.expectEnded();
        EXPECT_GT(watch.begun.load(), 3); // it was ahead
        EXPECT_EQ(window.world->count("Add(2)"), c.itemsBegun);
        EXPECT_FALSE(conversion.running());
        EXPECT_EQ(window.world->calls.back(), "window:list on");
        EXPECT_EQ(window.world->count("Logoff()"), 1);
        if (c.ends == Ends::Normally) {
            EXPECT_EQ(result.written, rowCount - 1);
            ASSERT_EQ(result.skipped.size(), 1u);
            EXPECT_EQ(result.skipped[0].row, 2);
            EXPECT_EQ(result.skipped[0].reason, c.reason);
        } else {
            EXPECT_EQ(result.loopError, c.reason);
            EXPECT_EQ(result.written, c.itemsBegun);
            EXPECT_EQ(result.notReached, rowCount - c.itemsBegun);
        }
        // The next run starts afresh and converts every row.
        window.world->refusals.clear();
        watch.onRow = nullptr;
        window.inYield = nullptr;
        window.world->saved.clear();
        EXPECT_EQ(conversion.CmdExtractDBX_Click(list).written, rowCount);
        EXPECT_EQ(savedFirstNames(*window.world), namesOfRows(0, rowCount));
        watch.expectEnded();
    }
}

// A run that never gets a store reads no file, and a run that does begins reading only once
// the store is set up.
TEST(ReadAhead, NoFileIsReadBeforeTheStoreIsSetUp)
{
    TempDir dir;
    const FileList list = listOf(contactRows(dir, 5));
    struct Case
    {
        std::string name;
        std::function<void(FakeWindow&)> arrange;
        RunOutcome outcome;
    };
    const Case cases[] = {
        {"cancel at the prompt", [](FakeWindow& w) { w.folder.clear(); }, RunOutcome::Cancelled},
        {"session cannot be made", [](FakeWindow& w) { w.world->refuseSession = true; },
         RunOutcome::SetUpFailed},
        {"Logon fails", [](FakeWindow& w) { w.world->refusals = {"Logon("}; }, RunOutcome::SetUpFailed},
        {"store cannot be made", [](FakeWindow& w) { w.world->refusals = {"AddPSTStore("}; },
         RunOutcome::SetUpFailed},
        {"folder tree cannot be built", [](FakeWindow& w) { w.world->refusals = {"ValidateIPMTree("}; },
         RunOutcome::SetUpFailed},
        {"set up", [](FakeWindow&) {}, RunOutcome::Finished},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        c.arrange(window);
        ReaderWatch watch;
        convert::RunSurroundings surroundings = window.surroundings();
        // Time enough for a reader started too early to show itself.
        int begunAtSetUp = -1;
        surroundings.createSession = [make = surroundings.createSession, &watch, &begunAtSetUp] {
            std::this_thread::sleep_for(20ms);
            begunAtSetUp = watch.begun.load();
            return make();
        };
        ConversionRun conversion(std::move(surroundings), kHelp);
        conversion.setBeforeReadingRow(watch.hook());
        const RunResult result = conversion.CmdExtractDBX_Click(list);
        watch.expectEnded();
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(begunAtSetUp, c.outcome == RunOutcome::Cancelled ? -1 : 0);
        EXPECT_EQ(watch.begun.load(), c.outcome == RunOutcome::Finished ? 5 : 0);
    }
}

} // namespace
} // namespace tressimo::testing
