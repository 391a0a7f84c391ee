// The conversion run with the real session over our PST writer, checked through readers we
// did not write: every row's contact with every mapped field, in row order.

#include "convert/conversion_run.h"
#include "tests/convert/fake_window.h"
#include "tests/convert/sample_contacts.h"
#include "tests/convert/store_expectations.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using convert::ConversionRun;
using convert::RunOutcome;
using convert::RunResult;

const std::filesystem::path kRealContacts = TRESSIMO_SOURCE_DIR "/tests/data/real-contacts";

// Runs in a time zone west of UTC, where a date at UTC midnight would show the day before.
class TimeZone
{
public:
    explicit TimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

struct RealRun
{
    TempDir dir;
    FakeWindow window;
    RunResult result;
    std::vector<contacts::ContactRecord> expected;
};

// Converts the rows with the real session into dir/out; `stopAtRow` asks for a stop in that
// row's yield.
void convertRows(RealRun& run, const std::vector<std::string>& rows, int stopAtRow = -1)
{
    std::filesystem::create_directory(run.dir.path() / "out");
    run.window.folder = (run.dir.path() / "out").string();
    convert::RunSurroundings surroundings = run.window.surroundings();
    surroundings.createSession = [] { return mapi::createSession(); };
    surroundings.clock = nullptr;
    ConversionRun conversion(std::move(surroundings), "file:///manual.html#troubleshooting");
    // Yields 1-4 come before the loop; row r's yield is number 5 + r.
    run.window.inYield = [&](int n) {
        if (stopAtRow >= 0 && n == 5 + stopAtRow)
            conversion.requestStop();
    };
    filelist::FileList list;
    for (const std::string& row : rows)
        list.AddFileRow(row);
    run.result = conversion.CmdExtractDBX_Click(list);
}

TEST(RealStore, EveryRowBecomesOneContactWithEveryMappedField)
{
    TimeZone zone("America/New_York");
    RealRun run;
    std::vector<std::string> rows;
    auto sample = [&](int n, std::size_t photo = 0) {
        rows.push_back(
            run.dir.write("sample" + std::to_string(n) + ".contact", sampleContactXml(n, photo)).string());
        run.expected.push_back(expectedRecord(rows.back()));
    };
    sample(0);
    sample(1, 40000);
    for (const auto& entry : std::filesystem::directory_iterator(kRealContacts)) {
        if (entry.path().extension() != ".contact")
            continue;
        rows.push_back(entry.path().string());
        run.expected.push_back(expectedRecord(entry.path()));
    }
    // A file that is not there gives no contact; the rows after it go on.
    rows.push_back((run.dir.path() / "missing.contact").string());
    sample(2);
    sample(3);

    convertRows(run, rows);
    ASSERT_EQ(run.result.outcome, RunOutcome::Finished) << run.result.setUpError;
    EXPECT_EQ(run.result.written, static_cast<int>(run.expected.size()));
    ASSERT_EQ(run.result.skipped.size(), 1u);
    EXPECT_EQ(run.result.skipped[0].row, static_cast<int>(rows.size()) - 3);
    EXPECT_EQ(run.result.storeError, "");
    // The sample files' own values, not only the reader's view of them.
    EXPECT_EQ(run.expected[0].eContact_LastName, sampleValues(0).family);
    EXPECT_EQ(run.expected[3].eContact_Email2, "");
    ASSERT_EQ(std::filesystem::path(run.result.pstPath).parent_path(), run.dir.path() / "out");
    expectPstHolds(run.result.pstPath, run.expected, run.dir.path());

    const nlohmann::json dump = pst::oracle::dumpWithPypff(run.result.pstPath);
    EXPECT_EQ(dump["store"]["name"], run.result.storeName);
}

// Stopping keeps every contact written so far in a sound file; an empty list still gives a
// sound store with an empty Contacts folder.
TEST(RealStore, AStoppedRunAndAnEmptyListLeaveSoundFiles)
{
    struct Case
    {
        int files;
        int stopAtRow;
        int written;
    };
    for (const Case c : {Case{5, 2, 2}, Case{3, 0, 0}, Case{0, -1, 0}}) {
        SCOPED_TRACE(c.files);
        RealRun run;
        std::vector<std::string> rows;
        for (int i = 0; i < c.files; ++i) {
            rows.push_back(run.dir.write("s" + std::to_string(i) + ".contact", sampleContactXml(i)).string());
            if (i < c.written)
                run.expected.push_back(expectedRecord(rows.back()));
        }
        convertRows(run, rows, c.stopAtRow);
        ASSERT_EQ(run.result.outcome, RunOutcome::Finished) << run.result.setUpError;
        EXPECT_EQ(run.result.written, c.written);
        EXPECT_EQ(run.result.stopped, c.stopAtRow >= 0);
        expectPstHolds(run.result.pstPath, run.expected, run.dir.path());
    }
}

TEST(RealStore, AFolderThatCannotHoldTheFileFailsTheSetUp)
{
    RealRun run;
    // Tests run as root, where permissions deny nothing: a folder below a regular file.
    const auto blocker = run.dir.write("file", "x");
    run.window.folder = (blocker / "out").string();
    convert::RunSurroundings surroundings = run.window.surroundings();
    surroundings.createSession = [] { return mapi::createSession(); };
    ConversionRun conversion(std::move(surroundings), "help");
    filelist::FileList list;
    list.AddFileRow((kRealContacts / "kdepim_test1_john_doe.contact").string());
    const RunResult result = conversion.CmdExtractDBX_Click(list);
    EXPECT_EQ(result.outcome, RunOutcome::SetUpFailed);
    EXPECT_TRUE(result.setUpError.starts_with("AddPSTStore: ")) << result.setUpError;
    ASSERT_EQ(run.window.messages.size(), 1u);
    EXPECT_EQ(run.window.messages[0].title, "Outlook Error");
}

} // namespace
} // namespace tressimo::testing
