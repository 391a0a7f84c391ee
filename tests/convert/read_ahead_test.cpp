// The run's reading on a second thread: rows in row order whatever either side takes, how far
// reading may run ahead, and stops and exceptions while the reader is ahead. The fake window
// fails any test in which the reading thread touches the surroundings.

#include "convert/conversion_run.h"
#include "convert/read_ahead.h"
#include "tests/convert/fake_window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
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
using convert::RunResult;
using filelist::FileList;

// The runs here read ahead through a short ring, so that a test of a few hundred rows fills it.
constexpr convert::ReadAheadLimits kShortRing{128, 4 * 1024 * 1024};
constexpr int kAhead = static_cast<int>(kShortRing.rows);
// Four yields come before the loop: row r's yield is the run's (5 + r)-th.
constexpr int kFirstRowYield = 5;

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

// A run with the watch on its reader; `arrange` may change the window and the surroundings.
struct WatchedRun
{
    FakeWindow window;
    ReaderWatch watch;
    std::unique_ptr<ConversionRun> conversion;

    explicit WatchedRun(const std::function<void(WatchedRun&, convert::RunSurroundings&)>& arrange = {})
    {
        convert::RunSurroundings surroundings = window.surroundings();
        if (arrange)
            arrange(*this, surroundings);
        conversion = std::make_unique<ConversionRun>(std::move(surroundings), "help");
        conversion->setBeforeReadingRow(watch.hook());
        conversion->setReadAheadLimits(kShortRing);
    }
    RunResult operator()(const FileList& list)
    {
        const RunResult result = conversion->CmdExtractDBX_Click(list);
        watch.expectEnded();
        return result;
    }
};

// Every observable of a run, the same however long each side takes: the whole conversation
// with the window and the session, skips and reasons, and the record the last row leaves. The
// reader is at most kAhead rows ahead of the row being written, and with a slow writer it does
// get that far ahead.
TEST(ReadAhead, RowsArriveInRowOrderWhateverEitherSideTakes)
{
    TempDir dir;
    std::vector<std::string> rows = contactRows(dir, 3 * kAhead), written;
    std::vector<std::pair<int, std::string>> skips; // row, start of the reason
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string why = i % 7 == 3    ? "Cannot open"
                                : i % 11 == 5 ? "Error parsing"
                                : i == 13     ? "empty row"
                                              : "";
        if (why.empty())
            written.push_back(numbered("G", i));
        else
            skips.push_back({static_cast<int>(i), why});
        if (i % 7 == 3)
            rows[i] += ".gone";
        else if (i % 11 == 5)
            dir.write(numbered("row", i) + ".contact", "<c:contact><c:NameCollection></c:contact>");
        else if (i == 13)
            rows[i] = "  ";
    }
    const FileList list = listOf(rows);
    // Each row takes up to this long to read and to write, at random.
    const std::pair<int, int> cases[] = {{0, 0}, {3000, 0}, {0, 3000}, {2000, 2000}};
    std::vector<std::string> firstTimeline;
    for (const auto& [readingMicros, writingMicros] : cases) {
        SCOPED_TRACE(readingMicros + writingMicros);
        std::minstd_rand readingRandom(7), writingRandom(11);
        // Counted in the row's yield, before the run takes the row's result.
        std::atomic<int> rowsYielded{0}, mostAhead{-1};
        WatchedRun run([&](WatchedRun& r, convert::RunSurroundings&) {
            r.watch.onRow = [&, us = readingMicros](int row) {
                mostAhead = std::max(mostAhead.load(), row - rowsYielded.load()); // only the reader writes it
                if (us > 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(readingRandom() % us));
            };
            r.window.inYield = [&, us = writingMicros](int n) {
                rowsYielded += n >= kFirstRowYield ? 1 : 0;
                if (us > 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(writingRandom() % us));
            };
        });
        const RunResult result = run(list);
        EXPECT_EQ(savedFirstNames(*run.window.world), written);
        ASSERT_EQ(result.skipped.size(), skips.size());
        for (std::size_t i = 0; i < skips.size(); ++i) {
            const convert::RowProblem& problem = result.skipped[i];
            EXPECT_EQ(problem.row, skips[i].first);
            EXPECT_EQ(problem.path, rows[static_cast<std::size_t>(problem.row)]);
            EXPECT_TRUE(problem.reason.starts_with(skips[i].second)) << problem.reason;
        }
        EXPECT_EQ(run.conversion->record().eContact_FirstName, numbered("G", rows.size() - 1));
        EXPECT_LE(mostAhead.load(), kAhead - 1);
        if (readingMicros == 0 && writingMicros > 0) {
            EXPECT_GE(mostAhead.load(), kAhead / 2);
        }
        if (firstTimeline.empty())
            firstTimeline = run.window.world->calls;
        else
            EXPECT_EQ(run.window.world->calls, firstTimeline);
    }
}

// Contacts with large notes: the reader holds back on their bytes long before the row bound.
TEST(ReadAhead, LargeContactsHoldTheReaderBackByTheirBytes)
{
    TempDir dir;
    const std::string notes(400 * 1024, 'n');
    const std::vector<std::string> rows = contactRows(dir, 12, notes);
    // Counted before each take, so the reader never sees fewer taken than there are.
    std::atomic<int> takesBegun{0}, mostAhead{-1};
    ReaderWatch watch;
    watch.onRow = [&](int row) { mostAhead = std::max(mostAhead.load(), row - takesBegun.load()); };
    {
        ReadAhead reader(rows, {32, 1024 * 1024}, watch.hook());
        std::unique_ptr<ReadRow> read;
        for (std::size_t i = 0; i < 12; ++i) {
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

// The reader keeps the next rows' files open ahead of reading them, and closes every one it
// did not read when it stops: a window converts many times over.
TEST(ReadAhead, FilesOpenedAheadAreClosedWhenItStops)
{
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a file is opened when it is read";
#endif
    if (!std::filesystem::is_directory("/proc/self/fd"))
        GTEST_SKIP() << "no /proc/self/fd to count open files in";
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    TempDir dir;
    const std::vector<std::string> rows = contactRows(dir, 100);
    const auto before = openFiles();
    {
        ReadAhead reader(rows, {8, 1024 * 1024});
        std::unique_ptr<ReadRow> read;
        reader.take(read);
        EXPECT_EQ(read->record.eContact_FirstName, numbered("G", 0));
        EXPECT_GT(openFiles(), before + 8);
    }
    EXPECT_EQ(openFiles(), before);
}

// Exceptions on either side while the reader is ahead: a failed reading skips its row;
// anything else ends the loop early, and the reader with it. Either way the
// store is closed, and the next run starts afresh.
TEST(ReadAhead, ExceptionsWhileTheReaderIsAhead)
{
    TempDir dir;
    const int rowCount = 40;
    const FileList list = listOf(contactRows(dir, rowCount));
    std::vector<std::string> allNames;
    for (int i = 0; i < rowCount; ++i)
        allNames.push_back(numbered("G", static_cast<std::size_t>(i)));
    const auto readingRow2Throws = [](auto thrown) {
        return [thrown](WatchedRun& r, convert::RunSurroundings&) {
            r.watch.onRow = [thrown](int row) { row == 2 ? throw thrown : void(); };
        };
    };
    // What goes wrong, whether it ends the loop, the items begun, and row 2's skip or what ended
    // the loop.
    using Arrange = std::function<void(WatchedRun&, convert::RunSurroundings&)>;
    const std::tuple<Arrange, bool, int, std::string> cases[] = {
        {readingRow2Throws(std::runtime_error("the disk went away")), false, rowCount - 1,
         "the disk went away"},
        // Rethrown at row 2's turn, not when it was read: rows 0 and 1 are written first.
        {readingRow2Throws(42), true, 2, "unknown error"},
        {[](WatchedRun&, convert::RunSurroundings& s) {
             s.setLblCurrentDBX = [label = s.setLblCurrentDBX, calls = 0](std::string_view text) mutable {
                 label(text);
                 if (++calls == 3)
                     throw std::runtime_error("no more labels");
             };
         },
         true, 3, "no more labels"},
    };
    for (const auto& [arrange, endsEarly, itemsBegun, reason] : cases) {
        SCOPED_TRACE(reason);
        WatchedRun run([&](WatchedRun& r, convert::RunSurroundings& s) {
            // A slow writer, so the reader is ahead when it happens.
            r.window.inYield = [](int) { std::this_thread::sleep_for(200us); };
            arrange(r, s);
        });
        const RunResult result = run(list);
        EXPECT_GT(run.watch.begun.load(), 3); // it was ahead
        EXPECT_EQ(run.window.world->count("Add(2)"), itemsBegun);
        EXPECT_FALSE(run.conversion->running());
        EXPECT_EQ(run.window.world->calls.back(), "window:list on");
        EXPECT_EQ(run.window.world->count("Logoff()"), 1);
        if (!endsEarly) {
            EXPECT_EQ(result.written, rowCount - 1);
            ASSERT_EQ(result.skipped.size(), 1u);
            EXPECT_EQ(result.skipped[0].row, 2);
            EXPECT_EQ(result.skipped[0].reason, reason);
        } else {
            EXPECT_EQ(result.loopError, reason);
            EXPECT_EQ(result.written, itemsBegun);
            EXPECT_EQ(result.notReached, rowCount - itemsBegun);
            EXPECT_NE(convert::summaryMessage(result).text.find("The run ended early ("), std::string::npos);
        }
        run.watch.onRow = nullptr;
        run.window.inYield = nullptr;
        run.window.world->saved.clear();
        EXPECT_EQ(run(list).written, rowCount);
        EXPECT_EQ(savedFirstNames(*run.window.world), allNames);
    }
}

} // namespace
} // namespace tressimo::testing
