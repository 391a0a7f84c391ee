// Durability as the user sees it, on files from the real writer: a writer process killed at any
// moment leaves a file that our checker and reader accept, holding at least what it had
// reported durable. (Commits at the interval and Save reporting a failed write: the session
// tests; a write failing at every point: tests/pst.)

#include "mapi/staged_file.h"
#include "pst/check/pst_file.h"
#include "pst/check/pst_reader.h"
#include "session_test_support.h"

#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include <sys/prctl.h>
#include <sys/wait.h>
#endif

namespace tressimo::mapi::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::size_t contactsIn(const pst::check::PstReader& pst)
{
    const auto folder = pst.findFolder("Contacts");
    return folder ? pst.messages(*folder).size() : 0;
}

struct KilledRun
{
    std::uint64_t lastCommitted = 0;
    bool created = false;
    bool done = false;
};

// Kills the writer `after` its start, or with `closing`, that long after it began its final
// commit.
KilledRun runAndKill(const fs::path& pst, std::chrono::microseconds after, const char* count = "1000000",
                     bool closing = false)
{
    using namespace tressimo::testing;
    const TempDir scratch("killed");
    const fs::path said = scratch / "stdout"; // the writer writes each line whole
#ifndef _WIN32
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    const int pid = startProgram({E2E_CONTACT_WRITER, TextPath(pst), count, "5"}, said);
    while (closing && readWholeFile(said).find("closing\n") == std::string::npos && waitProgram(pid, false) < 0)
        std::this_thread::sleep_for(50us);
    std::this_thread::sleep_for(after);
    stopProgram(pid, Stop::Kill);
    waitProgram(pid);
#ifndef _WIN32
    // A growth of the file that the writer had begun is finished by its own child process,
    // which the test, as subreaper, waits for too.
    for (int status = 0; ::waitpid(-1, &status, 0) > 0;) {
    }
#endif
    const std::string text = readWholeFile(said);

    KilledRun run;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        if (line == "created")
            run.created = true;
        if (line == "done")
            run.done = true;
        if (line.rfind("committed ", 0) == 0)
            run.lastCommitted = std::stoull(line.substr(10));
    }
    return run;
}

TEST(E2eDurability, AWriterKilledAtAnyMomentLeavesAFileTheReadersAccept)
{
    // From inside the store's creation to a run that has written thousands of contacts, then
    // during the final commit of a run of 4,000 contacts.
    struct Moment
    {
        std::chrono::microseconds after;
        bool closing = false;
    };
    const Moment moments[] = {{0us},       {300us},       {1ms},       {2ms},       {4ms},       {7ms},
                              {11ms},      {16ms},        {25ms},      {40ms},      {60ms},      {90ms},
                              {130ms},     {200ms},       {300ms},     {450ms},     {700ms},     {1000ms},
                              {0us, true}, {500us, true}, {2ms, true}, {5ms, true}, {12ms, true}};
    TempDir folder;
    int killedWithCommits = 0;
    for (std::size_t i = 0; i < std::size(moments); ++i) {
        SCOPED_TRACE("killed after " + std::to_string(moments[i].after.count()) + " us" +
                     (moments[i].closing ? " of the final commit" : ""));
        const fs::path pst = folder.path() / ("killed-" + std::to_string(i) + ".pst");
        const KilledRun run = moments[i].closing ? runAndKill(pst, moments[i].after, "4000", true)
                                                 : runAndKill(pst, moments[i].after);
        if (run.done)
            continue; // the final commit was over before the kill
        if (!fs::exists(pst)) {
            // Killed while the store was being made: no file under the name, no report.
            EXPECT_FALSE(run.created);
            continue;
        }
        // The file is exactly a committed store: as long as its header says, and sound.
        const pst::Bytes bytes = tressimo::testing::readFileBytes(pst);
        const std::uint64_t end = pst::check::PstFile::fromBytes(bytes, pst.string())->header().fileEof;
#ifdef _WIN32
        // Windows cannot finish a growth once its writer is dead: the file may be longer than
        // the store its header describes.
        EXPECT_LE(end, bytes.size());
#else
        EXPECT_EQ(end, bytes.size());
#endif
        EXPECT_TRUE(tressimo::testing::isSound(bytes));
        const auto reader = pst::check::PstReader::open(pst);
        EXPECT_GE(contactsIn(reader), run.lastCommitted);
        if (run.lastCommitted > 0)
            ++killedWithCommits;
    }
    // A store killed while being made was unnamed, or hidden under a name the next store made
    // beside it recognises and clears: nothing else is left.
    createStagedFile(folder / "next.pst", false).discard();
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("killed-", 0), 0u) << entry.path();
    EXPECT_GE(killedWithCommits, 3) << "too few kills fell into the run itself";
}

} // namespace
} // namespace tressimo::mapi::test
