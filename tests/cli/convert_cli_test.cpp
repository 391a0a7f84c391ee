// tressimo-convert [--output-folder DIR] PATH..., run as users run it: the .pst it writes
// (checked by pst-check and pypff: every kind of contact value end to end), its output, summary
// and exit status.

#include "convert/conversion_run.h"
#include "convert/run_names.h"
#include "tests/cli/store_expectations.h"
#include "tests/convert/sample_contacts.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tressimo::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kRealContacts = TRESSIMO_SOURCE_DIR "/tests/data/real-contacts";
// West of UTC, so a date stored at UTC midnight would show the day before.
const std::map<std::string, std::string> kZone = {{"TZ", "America/New_York"}};

ProgramRun convertTool(std::vector<std::string> arguments, const fs::path& folder = {})
{
    arguments.insert(arguments.begin(), kTool);
    return runProgram(arguments, kZone, folder);
}

// The expectations are computed in the zone the tool runs in.
class CliConvert : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("TZ", "America/New_York", 1);
        ::tzset();
    }
};

// PATHs in argument order; a folder as "Add folder" walks it (breadth-first, any letter case
// of ".contact", no symbolic links to folders); names in any bytes; a broken file skipped; and
// the store every reader accepts.
TEST_F(CliConvert, PathsBecomeAStoreEveryReaderAcceptsAndProblemsAreSummarised)
{
    const TempDir dir;
    const fs::path tree = dir.path() / "tree";
    fs::create_directories(tree / "b-sub" / "deeper");
    fs::create_directories(tree / "a-sub");
    std::vector<fs::path> files = {
        dir.write("single name.contact", sampleContactXml(5)),
        dir.write("tree/deeper-first.contact", sampleContactXml(1)),   // level 0
        dir.write("tree/a-sub/Upper.CONTACT", sampleContactXml(2)),    // level 1, first sub-folder
        dir.write("tree/b-sub/caf\xe9.contact", sampleContactXml(3)),  // level 1, not UTF-8
        dir.write("tree/b-sub/deeper/z.contact", sampleContactXml(4)), // level 2
    };
    dir.write("tree/b-sub/notes.txt", sampleContactXml(9)); // not a contact file
    const fs::path broken = dir.write("tree/a-sub/broken.contact", "<c:contact><c:Name></c:contact>");
    fs::create_directory_symlink(tree / "a-sub", tree / "link-to-a");
    // Values of every kind beyond the samples: CJK and beyond the BMP, a 100 KB note, a photo,
    // a company alone, an e-mail address alone, nothing at all.
    std::string longNote;
    for (int i = 0; i < 3000; ++i)
        longNote += "Line " + std::to_string(i) + " of a note that spans many blocks.&#13;\n";
    const std::string odd[] = {
        contactDocument(name(element("c:GivenName", "太郎") + element("c:FamilyName", "山田")) +
                        collection("c:EmailAddressCollection", {emailEntry("SMTP", "taro@example.jp")}) +
                        element("c:Notes", "絵文字 😀 と 𠮷野家")),
        contactDocument(name(element("c:GivenName", "Long") + element("c:FamilyName", "Note")) +
                        element("c:Notes", longNote)),
        sampleContactXml(6, 40000),
        contactDocument(
            collection("c:PositionCollection",
                       {entry("c:Position", element("c:Company", "Contoso Ltd.") + labels({"Business"}))})),
        contactDocument(collection("c:EmailAddressCollection", {emailEntry("SMTP", "someone@example.com")})),
        contactDocument(""),
    };
    const fs::path out = dir.path() / "out";
    fs::create_directory(out);
    // No output folder: the current one; a PATH relative to it.
    std::vector<std::string> arguments = {"../single name.contact", tree.string() + "/"};
    for (std::size_t i = 0; i < std::size(odd); ++i)
        files.push_back(dir.write(concat({"odd/", std::to_string(i), ".contact"}), odd[i]));
    // The real files last, in the folder's order (by name).
    std::vector<fs::path> real;
    for (const auto& entry : fs::directory_iterator(kRealContacts))
        if (entry.path().extension() == ".contact")
            real.push_back(entry.path());
    std::sort(real.begin(), real.end());
    files.insert(files.end(), real.begin(), real.end());
    for (auto file = files.begin() + 5; file != files.end() - long(real.size()); ++file)
        arguments.push_back(file->string());
    arguments.push_back(kRealContacts.string());

    const std::time_t before = std::time(nullptr);
    const ProgramRun run = convertTool(arguments, out);
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(run.status, 1) << run.err;
    // The path, and nothing else, on standard output; not a terminal: no progress, only the summary.
    const std::vector<fs::path> made = pstFiles(out);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(run.out, made[0].string() + "\n");
    EXPECT_EQ(run.err, "tressimo-convert: " + std::to_string(files.size()) + " contacts written to " +
                           made[0].string() + "\ntressimo-convert: 1 file skipped:\n  " + broken.string() +
                           ": Error parsing \"" + broken.string() +
                           "\": Start-end tags mismatch at byte 21\n");
    // Named by the local time during the run.
    std::vector<std::string> names;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm l{};
        localtime_r(&t, &l);
        names.push_back(convert::pstFileName(
            convert::timeText({l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec})));
    }
    EXPECT_NE(std::find(names.begin(), names.end(), made[0].filename()), names.end()) << made[0];

    std::vector<contacts::ContactRecord> expected;
    for (const fs::path& file : files)
        expected.push_back(expectedRecord(file));
    expectPstHolds(made[0], expected);
    for (const fs::path& file : real) // named, even those whose name is only the whole name
        EXPECT_FALSE(displayAndFileAs(expectedRecord(file)).first.empty()) << file;
    const std::string store = pst::oracle::dumpWithPypff(made[0])["store"]["name"];
    EXPECT_TRUE(store.starts_with("Windows Contacts : Created - ")) << store;
}

TEST_F(CliConvert, UsageErrorsConvertNothing)
{
    const TempDir dir;
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    fs::create_directories(dir.path() / "empty" / "sub");
    std::ofstream(dir.path() / "empty" / "sub" / "x.txt") << "x";
    const std::string file = (kRealContacts / "kdepim_test1_john_doe.contact").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no PATH given"},
        {{"--output-folder", out.string()}, "no PATH given"},
        {{file, "--output-folder"}, "--output-folder needs a folder"},
        {{file, "--output-folder="}, "--output-folder needs a folder"},
        {{file, "--output-folder", out.string(), "--output-folder", out.string()}, "--output-folder given twice"},
        {{"--output-folder", out.string(), file, (dir.path() / "nowhere").string()},
         "\"" + (dir.path() / "nowhere").string() + "\": no such file or folder"},
        {{"--output-folder", out.string(), (dir.path() / "empty").string()},
         "no .contact file found; nothing to convert"},
        {{"--output-folder", out.string(), ""}, "an empty PATH names no file or folder"},
        {{"--outputfolder", out.string(), file}, "unknown option \"--outputfolder\""},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(message);
        const ProgramRun run = convertTool(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("tressimo-convert: " + message + "\n"), std::string::npos) << run.err;
        EXPECT_TRUE(pstFiles(out).empty());
    }
}

TEST_F(CliConvert, ASetUpFailurePrintsTheOutlookErrorAndExitsTwo)
{
    const TempDir dir;
    // Tests run as root, so permissions would not stop the write: a folder below a file.
    const fs::path blocker = dir.write("plain-file", "x");
    const ProgramRun run =
        convertTool({"--output-folder", (blocker / "out").string(), kRealContacts.string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::string manual = convert::troubleshootingAddress(TRESSIMO_BINARY_DIR "/manual.html");
    EXPECT_NE(run.err.find("tressimo-convert: Outlook Error: Outlook Session Creation Error !\n"
                           "Check if Outlook is installed and configured.\n"
                           "For more details visit this link : " +
                           manual + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\nReason: AddPSTStore: "), std::string::npos) << run.err;
}

// On a terminal, progress is drawn on standard error (and only there).
TEST_F(CliConvert, ProgressOnlyOnATerminal)
{
    const TempDir dir;
    const fs::path out = dir.path() / "out", outText = dir.path() / "stdout";
    fs::create_directory(out);
    // script(1) gives the tool a terminal; its standard output goes to a file.
    const ProgramRun run = runProgram({"script", "-qec",
                                       concat({"'", kTool, "' '--output-folder=", out.string(), "' '",
                                               kRealContacts.string(), "' >'", outText.string(), "'"}),
                                       "/dev/null"});
    const std::string& terminal = run.out;
    EXPECT_EQ(run.status, 0) << terminal;
    EXPECT_NE(terminal.find("100.0% "), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("kdepim_test1_john_doe.contact"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("6 contacts written to"), std::string::npos) << terminal;
    // Standard output, a file here, holds the path alone.
    const std::string path = readWholeFile(outText);
    EXPECT_TRUE(path.ends_with(".pst\n") && path.find('%') == std::string::npos) << path;
}

// Ctrl+C, SIGTERM and a closed terminal (SIGHUP) stop after the contact being written; the
// file holds every contact written.
TEST_F(CliConvert, AnInterruptedRunClosesItsFileProperly)
{
    const TempDir dir;
    const fs::path in = dir.path() / "in", out = dir.path() / "out";
    constexpr int kFiles = 8000;
    for (int i = 0; i < kFiles; ++i)
        dir.write(concat({"in/p", std::to_string(100000 + i), ".contact"}), sampleContactXml(i % 50));

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove_all(out);
        fs::create_directory(out);
        const std::string errText = (dir.path() / "stderr").string();
        const pid_t pid = startProgram({kTool, "--output-folder", out.string(), in.string()}, "/dev/null", errText);
        ASSERT_GE(pid, 0);
        // Interrupt once the store exists and some contacts are on their way.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (pstFiles(out).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::string err = readWholeFile(errText);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        const std::vector<fs::path> made = pstFiles(out);
        ASSERT_EQ(made.size(), 1u);
        const std::size_t count = err.find("tressimo-convert: ");
        ASSERT_NE(err.find(" written to ", count), std::string::npos) << err;
        const int written = std::atoi(err.c_str() + count + std::strlen("tressimo-convert: "));
        if (WEXITSTATUS(status) == 0) {
            // The machine was faster than the signal: every file was converted.
            EXPECT_EQ(written, kFiles);
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1);
            EXPECT_NE(
                err.find("interrupted; " + std::to_string(kFiles - written) + " of 8000 files not converted"),
                std::string::npos)
                << err;
        }
        const ProgramRun check = runProgram({TRESSIMO_BINARY_DIR "/pst-check", made[0].string()});
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_EQ(pypffContactCount(made[0]), written);
    }
}

} // namespace
} // namespace tressimo::testing
