// tressimo-convert's own account of a run, on every system: usage errors, a failed set-up, and
// an interrupted run whose file our checker and reader accept. (Readers we did not write check
// its files in convert_cli_test.cpp, on Linux.)

#include "convert/conversion_run.h"
#include "pst/check/pst_reader.h"
#include "tests/cli/store_expectations.h"
#include "tests/convert/sample_contacts.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace tressimo::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kRealContacts = TRESSIMO_SOURCE_DIR "/tests/data/real-contacts";

ProgramRun convertTool(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), kTool);
    return runProgram(arguments);
}

TEST(CliRun, UsageErrorsConvertNothing)
{
    const TempDir dir;
    const TextPath out = dir.path() / "out", nowhere = dir.path() / "nowhere";
    fs::create_directories(out);
    fs::create_directories(dir.path() / "empty" / "sub");
    std::ofstream(dir.path() / "empty" / "sub" / "x.txt") << "x";
    const std::string file = TextPath(kRealContacts / "kdepim_test1_john_doe.contact");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no PATH given"},
        {{"--output-folder", out}, "no PATH given"},
        {{file, "--output-folder"}, "--output-folder needs a folder"},
        {{file, "--output-folder="}, "--output-folder needs a folder"},
        {{file, "--output-folder", out, "--output-folder", out}, "--output-folder given twice"},
        {{"--output-folder", out, file, nowhere}, "\"" + std::string(nowhere) + "\": no such file or folder"},
        {{"--output-folder", out, TextPath(dir.path() / "empty")}, "no .contact file found; nothing to convert"},
        {{"--output-folder", out, ""}, "an empty PATH names no file or folder"},
        {{"--outputfolder", out, file}, "unknown option \"--outputfolder\""},
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

TEST(CliRun, ASetUpFailurePrintsTheOutlookErrorAndExitsTwo)
{
    const TempDir dir;
    // Tests run as root, so permissions would not stop the write: a folder below a file.
    const fs::path blocker = dir.write("plain-file", "x");
    const ProgramRun run = convertTool({"--output-folder", TextPath(blocker / "out"), TextPath(kRealContacts)});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::string manual = convert::troubleshootingAddress(fs::absolute(kTool).parent_path() / "manual.html");
    EXPECT_NE(run.err.find("tressimo-convert: Outlook Error: Outlook Session Creation Error !\n"
                           "Check if Outlook is installed and configured.\n"
                           "For more details visit this link : " +
                           manual + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\nReason: AddPSTStore: "), std::string::npos) << run.err;
}

// Ctrl+C, SIGTERM and a closed terminal (SIGHUP) stop after the contact being written; the
// file holds every contact written. (Windows can send another program only a Ctrl+C.)
TEST(CliRun, AnInterruptedRunClosesItsFileProperly)
{
    const TempDir dir;
    const fs::path in = dir.path() / "in", out = dir.path() / "out";
    constexpr int kFiles = 8000;
    for (int i = 0; i < kFiles; ++i)
        dir.write(concat({"in/p", std::to_string(100000 + i), ".contact"}), sampleContactXml(i % 50));

#ifdef _WIN32
    const Stop stops[] = {Stop::Interrupt};
#else
    const Stop stops[] = {Stop::Interrupt, Stop::Terminate, Stop::HangUp};
#endif
    for (const Stop stop : stops) {
        SCOPED_TRACE("stop " + std::to_string(static_cast<int>(stop)));
        fs::remove_all(out);
        fs::create_directory(out);
        const fs::path errText = dir.path() / "stderr";
        const int pid = startProgram({kTool, "--output-folder", TextPath(out), TextPath(in)}, {}, errText, {}, {}, true);
        ASSERT_GE(pid, 0);
        // Interrupt once the store exists and some contacts are on their way.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (pstFiles(out).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(stopProgram(pid, stop));
        const int status = waitProgram(pid);
        const std::string err = readWholeFile(errText);
        ASSERT_LT(status, 128) << "ended by signal " << status - 128;
        const std::vector<fs::path> made = pstFiles(out);
        ASSERT_EQ(made.size(), 1u);
        const std::size_t count = err.find("tressimo-convert: ");
        ASSERT_NE(err.find(" written to ", count), std::string::npos) << err;
        const int written = std::atoi(err.c_str() + count + std::strlen("tressimo-convert: "));
        if (status == 0) {
            // The machine was faster than the signal: every file was converted.
            EXPECT_EQ(written, kFiles);
        } else {
            EXPECT_EQ(status, 1);
            EXPECT_NE(
                err.find("interrupted; " + std::to_string(kFiles - written) + " of 8000 files not converted"),
                std::string::npos)
                << err;
        }
        const ProgramRun check = runProgram({TRESSIMO_BINARY_DIR "/pst-check", TextPath(made[0])});
        EXPECT_EQ(check.status, 0) << check.out;
#ifdef _WIN32
        const auto store = pst::check::PstReader::open(made[0]);
        EXPECT_EQ(store.messages(*store.findFolder("Contacts")).size(), std::size_t(written));
#else
        EXPECT_EQ(pypffContactCount(made[0]), written);
#endif
    }
}

} // namespace
} // namespace tressimo::testing
