// A write that fails at any point of a small run (a full disk, an I/O error): from then on
// every call fails with the same error, and the bytes that reached the file pass the checker
// and hold what the last commit held.

#include "messaging_test_util.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace tressimo::pst::messaging_test {
namespace {

const Guid kPsetidAddress{0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct Context
{
    MessageStore* store = nullptr;
    Nid contacts;
    std::vector<Nid> messages;
    std::uint16_t named = 0;
};

struct Step
{
    const char* name;
    bool commit;
    std::function<void(Context&)> run;
};

std::vector<PropValue> message(const std::string& subject)
{
    return {PropValue::fromString(PropTag{0x001A001F}, std::string_view("IPM.Contact")),
            PropValue::fromString(PropTag{0x0037001F}, std::string_view(subject))};
}

const std::vector<Step>& steps()
{
    static const std::vector<Step> list = {
        {"folder", false,
         [](Context& c) {
             c.contacts = c.store->createFolder(c.store->ipmSubtree(), "Contacts", "IPF.Contact");
         }},
        {"commit", true, [](Context& c) { c.store->commit(); }},
        {"message 1", false,
         [](Context& c) { c.messages.push_back(c.store->createMessage(c.contacts, message("one"))); }},
        {"message 2", false,
         [](Context& c) { c.messages.push_back(c.store->createMessage(c.contacts, message("two"))); }},
        {"message 3", false,
         [](Context& c) { c.messages.push_back(c.store->createMessage(c.contacts, message("three"))); }},
        {"commit", true, [](Context& c) { c.store->commit(); }},
        {"named property", false,
         [](Context& c) {
             c.named = c.store->propertyId({kPsetidAddress, 0x8083, {}});
         }},
        {"message with it", false,
         [](Context& c) {
             auto props = message("four");
             props.push_back(
                 PropValue::fromString(PropTag(c.named, PropType::Unicode), std::string_view("a@b.c")));
             c.messages.push_back(c.store->createMessage(c.contacts, props));
         }},
        {"replace", false, [](Context& c) { c.store->replaceMessage(c.messages[0], message("one again")); }},
        {"subfolder", false, [](Context& c) { c.store->createFolder(c.contacts, "Friends", "IPF.Contact"); }},
        {"comment", false,
         [](Context& c) {
             c.store->setFolderProperties(
                 c.contacts, std::vector{PropValue::fromString(PropTag{0x3004001F}, std::string_view("x"))});
         }},
        {"commit", true, [](Context& c) { c.store->commit(); }},
        {"big message", false,
         [](Context& c) {
             auto props = message("big");
             props.push_back(PropValue::fromBinary(PropTag{0x10090102}, Bytes(300000, 7)));
             c.messages.push_back(c.store->createMessage(c.contacts, props));
         }},
        {"commit", true, [](Context& c) { c.store->commit(); }},
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

// The snapshots after creation and after each commit of a run that does not fail, and the
// number of sink operations it takes.
struct Reference
{
    std::vector<Snapshot> commits;
    std::uint64_t operations = 0;
};

Reference reference(const NdbOptions& ndb)
{
    Reference r;
    auto inner = std::make_unique<MemorySink>("failing.pst");
    MemorySink* memory = inner.get();
    auto counting = std::make_unique<FailingSink>(std::move(inner), ~std::uint64_t{0});
    FailingSink* sink = counting.get();
    StoreOptions options = repeatableOptions();
    options.ndb = ndb;
    auto store = MessageStore::create(std::move(counting), "Failing", options);
    r.commits.push_back(snapshotOf(memory->bytes()));
    Context c;
    c.store = store.get();
    for (const Step& step : steps()) {
        step.run(c);
        if (step.commit)
            r.commits.push_back(snapshotOf(memory->bytes()));
    }
    r.operations = sink->operations();
    return r;
}

using FailedWrite = ::testing::TestWithParam<std::size_t>;

TEST_P(FailedWrite, AtEveryOperationLeavesTheLastCommit)
{
    NdbOptions ndb;
    ndb.writeBufferSize = GetParam();
    const Reference ref = reference(ndb);
    ASSERT_GT(ref.operations, 20u);

    int failedInCreate = 0;
    int grownPastEof = 0;
    int checked = 0;
    for (std::uint64_t failAt = 1; failAt <= ref.operations; ++failAt) {
        SCOPED_TRACE("write failing at operation " + std::to_string(failAt));
        auto inner = std::make_unique<MemorySink>("failing.pst");
        MemorySink* memory = inner.get();
        StoreOptions options = repeatableOptions();
        options.ndb = ndb;
        std::unique_ptr<MessageStore> store;
        try {
            store = MessageStore::create(std::make_unique<FailingSink>(std::move(inner), failAt), "Failing",
                                         options);
        } catch (const IoError& e) {
            // The store never existed; the caller discards the file.
            EXPECT_NE(std::string(e.what()).find("failing.pst"), std::string::npos) << e.what();
            ++failedInCreate;
            continue;
        }

        Context c;
        c.store = store.get();
        std::size_t commitsDone = 0;
        std::optional<std::string> error;
        bool failedInCommit = false;
        for (const Step& step : steps()) {
            try {
                step.run(c);
            } catch (const IoError& e) {
                error = e.what();
                failedInCommit = step.commit;
                break;
            }
            commitsDone += step.commit;
        }
        ASSERT_TRUE(error) << "every operation of the run is reached";
        EXPECT_NE(error->find("failing.pst"), std::string::npos) << *error;

        // Everything after fails the same way.
        const std::vector<std::function<void()>> later = {
            [&] { store->commit(); },
            [&] { store->createMessage(store->ipmSubtree(), message("late")); },
            [&] { store->createFolder(store->ipmSubtree(), "Late", ""); },
            [&] {
                store->propertyId({kPsetidAddress, 0x9999, {}});
            },
            [&] { store->fileSize(); },
        };
        for (const auto& call : later) {
            try {
                call();
                ADD_FAILURE() << "a call after the failure succeeded";
            } catch (const IoError& e) {
                EXPECT_EQ(e.what(), *error);
            }
        }

        // The file holds the last commit; a failure in the sync after a commit's header write
        // may already have carried that commit to the file. Interrupted while growing, the
        // file may be longer than its header says: that tail is space no commit refers to
        // (the node database's design), so the committed part is judged.
        Bytes bytes = memory->bytes();
        const std::uint64_t eof = getU64(bytes.data() + 0xB8);
        ASSERT_LE(eof, bytes.size());
        grownPastEof += eof < bytes.size();
        bytes.resize(eof);
        ASSERT_TRUE(isSound(bytes));
        const Snapshot found = snapshotOf(bytes);
        const bool asLast = found == ref.commits[commitsDone];
        const bool asFailing = failedInCommit && found == ref.commits[commitsDone + 1];
        EXPECT_TRUE(asLast || asFailing) << "after " << commitsDone << " commits";
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
