// Durability as the user sees it, on files from the real writer: saved contacts become
// durable on their own at the commit interval; a failed write leaves the file at its last
// commit and is reported by every later call; a writer process killed at any moment leaves a
// file that our checker and reader accept, holding at least what it had reported durable.

#include "e2e_support.h"
#include "pst/check/checker.h"
#include "pst/check/pst_file.h"
#include "pst/check/pst_reader.h"
#include "tests/support/kept_sink.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tressimo::mapi::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The checker's errors on a file's bytes, one per line; empty when sound.
std::string violations(const pst::Bytes& bytes)
{
    std::string out;
    for (const auto& v : pst::check::checkPstBytes(bytes))
        if (v.severity == pst::check::Severity::Error)
            out += v.toString() + "\n";
    return out;
}

std::size_t contactsIn(const pst::check::PstReader& pst)
{
    const auto folder = pst.findFolder("Contacts");
    return folder ? pst.messages(*folder).size() : 0;
}

TEST(E2eDurability, ContactsBecomeDurableOnTheirOwnAtTheCommitInterval)
{
    auto kept = std::make_shared<pst::MemorySink>("interval.pst");
    auto clock = std::make_shared<std::chrono::system_clock::time_point>(e2eStart);
    auto options = realWriterOptions(clock);
    options.openSink = [kept](const fs::path&) { return std::make_unique<testing::KeptSink>(kept); };
    auto reports = std::make_shared<std::vector<std::uint64_t>>();
    options.onCommit = [reports](const CommitReport& r) { reports->push_back(r.itemsDurable); };

    auto session = createPstSession(options);
    session->Logon();
    RDOStore& store = session->Stores().AddPSTStore("interval.pst", olStoreDefault, "Interval");
    store.ValidateIPMTree();
    std::vector<std::size_t> inCopies;
    for (int i = 0; i < 10; ++i) {
        *clock += 500ms;
        writeContact(store.GetDefaultFolder(olFolderContacts), typicalContact(i));
        // What a crash now would leave: the file as it is.
        const pst::Bytes copy = kept->bytes();
        ASSERT_EQ(violations(copy), "") << "after contact " << i;
        inCopies.push_back(contactsIn(pst::check::PstReader::fromBytes(copy)));
        EXPECT_EQ(inCopies.back(), reports->back()) << "after contact " << i;
    }
    EXPECT_EQ(inCopies, (std::vector<std::size_t>{0, 0, 0, 4, 4, 4, 4, 8, 8, 8}));
    session->Logoff();
    EXPECT_EQ(contactsIn(pst::check::PstReader::fromBytes(kept->bytes())), 10u);
}

// Tree, six contacts (a commit after the fourth), Logoff; the sink fails at operation
// `failAt`. Returns the errors seen, the bytes left and the last durable count.
struct FailedRun
{
    std::vector<std::string> errors;
    bool storeCreated = false;
    std::optional<std::uint64_t> lastReported;
    std::size_t itemsWritten = 0; // saved without an error
    bool saveFailed = false;      // an item's Save reported the failure
    pst::Bytes bytes;
};

FailedRun runFailingAt(std::uint64_t failAt)
{
    FailedRun run;
    auto kept = std::make_shared<pst::MemorySink>("/media/stick/WindowsContacts.pst");
    auto clock = std::make_shared<std::chrono::system_clock::time_point>(e2eStart);
    auto options = realWriterOptions(clock);
    options.openSink = [&](const fs::path&) {
        return std::make_unique<pst::FailingSink>(std::make_unique<testing::KeptSink>(kept), failAt);
    };
    options.onCommit = [&](const CommitReport& r) { run.lastReported = r.itemsDurable; };
    auto note = [&](auto&& step) {
        try {
            step();
        } catch (const MapiError& e) {
            run.errors.push_back(e.what());
        }
    };
    {
        auto session = createPstSession(options);
        session->Logon();
        RDOStore* store = nullptr;
        note([&] { store = &session->Stores().AddPSTStore("/media/stick/WindowsContacts.pst"); });
        if (store) {
            run.storeCreated = true;
            note([&] { store->ValidateIPMTree(); });
            for (int i = 0; i < 6; ++i) {
                *clock += 500ms;
                // The contact writer's steps swallow their failures; Save's is seen here.
                note([&] {
                    auto item = store->GetDefaultFolder(olFolderContacts).Items().Add(olContactItem);
                    for (const auto& [name, value] : typicalContact(i).puts)
                        item->put(name, value);
                    MAPIUtils().HrSetOneProp(item->MAPIOBJECT(), 0x3A45001F, std::string("Dr."), true);
                    try {
                        item->Save();
                    } catch (const MapiError&) {
                        run.saveFailed = true;
                        throw;
                    }
                    ++run.itemsWritten;
                });
            }
            note([&] { session->Logoff(); });
        }
    }
    run.bytes = kept->bytes();
    return run;
}

TEST(E2eDurability, AFailedWriteLeavesTheFileAtItsLastCommitWhateverWriteFails)
{
    // Every operation in turn, until one past the last of a whole run.
    std::uint64_t failAt = 1;
    for (;; ++failAt) {
        SCOPED_TRACE("failing operation " + std::to_string(failAt));
        const FailedRun run = runFailingAt(failAt);
        if (run.errors.empty()) {
            EXPECT_EQ(run.lastReported, 6u);
            EXPECT_EQ(contactsIn(pst::check::PstReader::fromBytes(run.bytes)), 6u);
            break;
        }
        for (const auto& e : run.errors)
            EXPECT_EQ(e, "Cannot write to \"/media/stick/WindowsContacts.pst\": No space left on device");
        if (!run.storeCreated)
            continue; // AddPSTStore failed: on disk the staged file is removed
        EXPECT_EQ(violations(run.bytes), "");
        // A commit whose last sync failed may still have reached the file: it then holds the
        // items of that commit, never fewer than the last one reported. When that commit ran
        // in a Save, the item of that Save was reported as not saved but may be there too.
        const std::size_t held = contactsIn(pst::check::PstReader::fromBytes(run.bytes));
        EXPECT_GE(held, run.lastReported.value_or(0));
        EXPECT_LE(held, run.itemsWritten + (run.saveFailed ? 1 : 0));
    }
    EXPECT_GT(failAt, 10u);
}

// ---- A writer process killed at chosen moments ------------------------------------------------

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
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        const std::string file = pst.string();
        ::execl(E2E_CONTACT_WRITER, E2E_CONTACT_WRITER, file.c_str(), count, "5", nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[65536];
    while (closing && text.find("closing\n") == std::string::npos) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // A growth of the file that the writer had begun is finished by its own child process,
    // which the test, as subreaper, waits for too.
    while (::waitpid(-1, &status, 0) > 0) {
    }
    // Everything the writer said before it died is in the pipe.
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);

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
    TempFolder folder;
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
        const std::string text = readWholeFile(pst);
        const pst::Bytes bytes(text.begin(), text.end());
        EXPECT_EQ(pst::check::PstFile::fromBytes(bytes, pst.string())->header().fileEof, bytes.size());
        EXPECT_EQ(violations(bytes), "");
        const auto reader = pst::check::PstReader::open(pst);
        EXPECT_GE(contactsIn(reader), run.lastCommitted);
        if (run.lastCommitted > 0)
            ++killedWithCommits;
    }
    // A store killed while being made was still unnamed: nothing else is left.
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("killed-", 0), 0u) << entry.path();
    EXPECT_GE(killedWithCommits, 3) << "too few kills fell into the run itself";
}

} // namespace
} // namespace tressimo::mapi::test
