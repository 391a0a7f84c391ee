// A write that fails at any point of a small run (a full disk, an I/O error): from then on
// every call fails with the same error, and the bytes that reached the file pass the checker
// and hold what the last commit held.

#include "messaging_test_util.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace tressimo::pst::messaging_test {
namespace {

struct Context
{
    MessageStore* store = nullptr;
    Nid contacts;
    std::vector<Nid> messages;
    std::uint16_t named = 0;
};

void addMessage(Context& c, const std::string& subject, std::vector<PropValue> extra = {})
{
    extra.push_back(PropValue::fromString(PropTag{0x001A001F}, std::string_view("IPM.Contact")));
    extra.push_back(PropValue::fromString(PropTag{0x0037001F}, std::string_view(subject)));
    c.messages.push_back(c.store->createMessage(c.contacts, extra));
}

// The run, a commit being an empty step.
const std::vector<std::function<void(Context&)>>& steps()
{
    using Step = std::function<void(Context&)>;
    static const std::vector<Step> list = {
        [](Context& c) {
            c.contacts = c.store->createFolder(c.store->ipmSubtree(), "Contacts", "IPF.Contact");
        },
        nullptr,
        [](Context& c) { addMessage(c, "one"); },
        [](Context& c) { addMessage(c, "two"); },
        [](Context& c) { addMessage(c, "three"); },
        nullptr,
        [](Context& c) {
            c.named = c.store->propertyId({kPsetidAddress, 0x8083, {}});
        },
        [](Context& c) {
            addMessage(c, "four",
                       {PropValue::fromString(PropTag(c.named, PropType::Unicode), std::string_view("a@b"))});
        },
        [](Context& c) {
            c.store->replaceMessage(c.messages[0], std::vector{PropValue::fromString(
                                                       PropTag{0x0037001F}, std::string_view("one again"))});
        },
        [](Context& c) { c.store->createFolder(c.contacts, "Friends", "IPF.Contact"); },
        [](Context& c) {
            c.store->setFolderProperties(
                c.contacts, std::vector{PropValue::fromString(PropTag{0x3004001F}, std::string_view("x"))});
        },
        nullptr,
        [](Context& c) {
            addMessage(c, "big", {PropValue::fromBinary(PropTag{0x10090102}, Bytes(300000, 7))});
        },
        nullptr,
    };
    return list;
}

// What a reader finds: each folder's name with the subjects of its messages.
using Snapshot = std::map<std::string, std::multiset<std::string>>;

Snapshot snapshotOf(const Bytes& bytes)
{
    const auto reader = readBack(bytes);
    Snapshot out;
    for (const check::FolderInfo& f : reader.folders()) {
        auto& subjects = out[f.name];
        for (std::uint32_t m : reader.messages(f.nid))
            subjects.insert(reader.properties(m).at(0x0037001F).toUtf8());
    }
    return out;
}

// The run over a file that fails at operation `failAt`; the error and where it came.
struct FailingRun
{
    MemorySink* memory = nullptr;
    FailingSink* sink = nullptr;
    std::unique_ptr<MessageStore> store;
    std::size_t commitsDone = 0;
    std::vector<Snapshot> commits; // of a run that does not fail: after creation and each commit
    std::optional<std::string> error;
    bool failedInCommit = false;
    bool swallowed = false; // a step returned although a write of it failed

    FailingRun(const NdbOptions& ndb, std::uint64_t failAt)
    {
        auto inner = std::make_unique<MemorySink>("failing.pst");
        memory = inner.get();
        auto failing = std::make_unique<FailingSink>(std::move(inner), failAt);
        sink = failing.get();
        StoreOptions options = repeatableOptions();
        options.ndb = ndb;
        store = MessageStore::create(std::move(failing), "Failing", options);
        const bool reference = failAt == ~std::uint64_t{0};
        if (reference)
            commits.push_back(snapshotOf(memory->bytes()));
        Context c;
        c.store = store.get();
        try {
            for (const auto& step : steps()) {
                failedInCommit = !step;
                step ? step(c) : store->commit();
                swallowed = swallowed || sink->operations() >= failAt;
                commitsDone += !step;
                if (!step && reference)
                    commits.push_back(snapshotOf(memory->bytes()));
            }
        } catch (const IoError& e) {
            error = e.what();
        }
    }
};

using FailedWrite = ::testing::TestWithParam<std::size_t>;

TEST_P(FailedWrite, AtEveryOperationLeavesTheLastCommit)
{
    NdbOptions ndb;
    ndb.writeBufferSize = GetParam();
    const FailingRun reference(ndb, ~std::uint64_t{0});
    ASSERT_FALSE(reference.error);
    const std::uint64_t operations = reference.sink->operations();
    ASSERT_GT(operations, 20u);

    int failedInCreate = 0, grownPastEof = 0, checked = 0;
    for (std::uint64_t failAt = 1; failAt <= operations; ++failAt) {
        SCOPED_TRACE("write failing at operation " + std::to_string(failAt));
        std::unique_ptr<FailingRun> run;
        try {
            run = std::make_unique<FailingRun>(ndb, failAt);
        } catch (const IoError& e) {
            // The store never existed; the caller discards the file.
            EXPECT_NE(std::string(e.what()).find("failing.pst"), std::string::npos) << e.what();
            ++failedInCreate;
            continue;
        }
        ASSERT_TRUE(run->error) << "every operation of the run is reached";
        EXPECT_FALSE(run->swallowed) << "a failed write was reported as success";
        EXPECT_NE(run->error->find("failing.pst"), std::string::npos) << *run->error;

        // Everything after fails the same way.
        MessageStore& store = *run->store;
        const std::vector<std::function<void()>> later = {
            [&] { store.commit(); },
            [&] { store.createMessage(store.ipmSubtree(), {}); },
            [&] { store.createFolder(store.ipmSubtree(), "Late", ""); },
            [&] {
                store.propertyId({kPsetidAddress, 0x9999, {}});
            },
            [&] { store.fileSize(); },
        };
        for (const auto& call : later) {
            try {
                call();
                ADD_FAILURE() << "a call after the failure succeeded";
            } catch (const IoError& e) {
                EXPECT_EQ(e.what(), *run->error);
            }
        }

        // The file holds the last commit; a failure in the sync after a commit's header write
        // may already have carried that commit to the file. Interrupted while growing, the
        // file may be longer than its header says: that tail is space no commit refers to, so
        // the committed part is judged.
        Bytes bytes = run->memory->bytes();
        const std::uint64_t eof = getU64(bytes.data() + 0xB8);
        ASSERT_LE(eof, bytes.size());
        grownPastEof += eof < bytes.size();
        bytes.resize(eof);
        ASSERT_TRUE(isSound(bytes));
        const Snapshot found = snapshotOf(bytes);
        const std::size_t done = run->commitsDone;
        const bool asLast = found == reference.commits[done];
        const bool asFailing = run->failedInCommit && found == reference.commits[done + 1];
        EXPECT_TRUE(asLast || asFailing) << "after " << done << " commits";
        ++checked;
    }
    EXPECT_GT(failedInCreate, 0);
    EXPECT_GT(grownPastEof, 0) << "the sweep went through a growth of the file";
    EXPECT_GT(checked, 10);
}

// Writes gathered into large ones (as the product runs) and every block written on its own.
INSTANTIATE_TEST_SUITE_P(Buffering, FailedWrite, ::testing::Values(std::size_t{1} << 20, std::size_t{0}));

} // namespace
} // namespace tressimo::pst::messaging_test
