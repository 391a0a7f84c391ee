// One contact's failure stays that contact's: a contact that cannot be written (memory runs out
// while it is prepared or written) is refused by its own Save and leaves nothing behind, and the
// contacts after it still reach the file. Memory runs out on demand through this binary's own
// operator new. (What the store itself refuses: tests/pst.)

#include "mapi/contact_text.h"
#include "pst/check/pst_reader.h"
#include "session_test_support.h"
#include "text/utf.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <new>

namespace {

// Allocations left before one fails (-1: none fails).
std::atomic<long> g_allocationsLeft{-1};

} // namespace

void* operator new(std::size_t size)
{
    if (g_allocationsLeft.load(std::memory_order_relaxed) >= 0 &&
        g_allocationsLeft.fetch_sub(1, std::memory_order_relaxed) == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

// The nothrow form too (std::stable_sort's buffer): a sanitizer's runtime would supply it, and
// its allocation would then reach this delete. Array forms stay the runtime's, new and delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// GCC sees malloc's pointer freed where it inlines the replaced pair and warns wrongly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace tressimo::mapi::test {
namespace {

void disarm()
{
    g_allocationsLeft = -1;
}

enum class Saved { Yes, ItemRefused, StoreFailed };

// One contact as the contact writer writes it; `arm` runs just before its Save.
Saved saveContact(RDOFolder& folder, const std::string& name, const std::string& note,
                  const std::function<void(RDOContactItem&)>& arm = {})
{
    try {
        auto item = folder.Items().Add(olContactItem);
        item->put("FirstName", name);
        item->put("Body", note);
        if (arm)
            arm(*item);
        item->Save();
        disarm();
        return Saved::Yes;
    } catch (const StoreFailure&) {
        disarm();
        return Saved::StoreFailed;
    } catch (const MapiError&) {
        disarm();
        return Saved::ItemRefused;
    } catch (const std::bad_alloc&) {
        // Memory ran out while the refusal's own message was being made: still the item's.
        disarm();
        return Saved::ItemRefused;
    }
}

struct Written
{
    Saved bad = Saved::Yes;
    std::uint64_t committed = 0;
    std::vector<std::string> expected; // the contacts the file must hold, in order
};

// Two good contacts, the bad one, two more good ones; then the store is closed and its file
// must hold exactly the contacts whose Save succeeded before any store failure, pass our
// checker, and name no contact that was refused.
Written writeAround(const std::filesystem::path& path, const std::string& badNote,
                    const std::function<void(RDOContactItem&)>& arm)
{
    Written run;
    auto session = createPstSession(realWriterOptions());
    session->Logon();
    RDOStore& store = session->Stores().AddPSTStore(path, olStoreDefault, "Failures");
    store.ValidateIPMTree();
    RDOFolder& contacts = store.GetDefaultFolder(olFolderContacts);
    bool storeFailed = false;
    auto good = [&](const std::string& name) {
        const Saved saved = saveContact(contacts, name, "a note");
        EXPECT_EQ(saved, storeFailed ? Saved::StoreFailed : Saved::Yes) << name;
        if (saved == Saved::Yes)
            run.expected.push_back(name);
    };
    good("Before1");
    good("Before2");
    run.bad = saveContact(contacts, "Bad", badNote, arm);
    if (run.bad == Saved::Yes)
        run.expected.push_back("Bad");
    storeFailed = run.bad == Saved::StoreFailed;
    good("After1");
    good("After2");
    try {
        session->Logoff();
    } catch (const StoreFailure&) {
        EXPECT_TRUE(storeFailed);
    }
    run.committed = store.ItemsCommitted();
    if (storeFailed)
        run.expected.clear(); // the file stays at its last commit, before any contact
    return run;
}

void expectFileHolds(const std::filesystem::path& path, const Written& run)
{
    EXPECT_TRUE(tressimo::testing::isSound(path));
    EXPECT_EQ(tressimo::testing::givenNamesIn(pst::check::PstReader::open(path)), run.expected);
    EXPECT_EQ(run.committed, run.expected.size());
}

// A large note is encoded a piece at a time as it is stored: characters of every length on
// every side of the pieces' seams, bytes the model repairs first (the store then refers to the
// repaired copy), and enough of it for a two-level data tree, must read back exactly.
TEST(ItemFailure, ALargeNoteIsStoredAsItsWholeTextConverts)
{
    const std::string unit =
        "ab\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF\xE2\x82z\x80\xED\xA0\x80\n"; // 22 bytes
    std::string note;
    while (note.size() < (5 << 20))
        note += unit;
    TempDir folder;
    const auto path = folder.path() / "large.pst";
    const Written run = writeAround(path, note, {});
    ASSERT_EQ(run.bad, Saved::Yes);
    expectFileHolds(path, run);
    const auto reader = pst::check::PstReader::open(path);
    const auto messages = reader.messages(*reader.findFolder("Contacts"));
    ASSERT_EQ(messages.size(), 5u);
    // The model repairs what is not UTF-8 before the store sees it.
    const std::string want = text::utf16ToUtf8(text::utf8ToUtf16(contact::sanitizeText(note)));
    EXPECT_TRUE(reader.properties(messages[2]).at(0x1000001F).toUtf8() == want);
}

// One allocation fails at each point of a contact's Save in turn: the Save is refused and the
// store goes on, or (once the write has changed the store) the store fails and its file stays
// at its last commit. Either way nothing refused or lost is in the file and nothing crashes.
TEST(ItemFailure, MemoryRunningOutAnywhereInASaveLeavesASoundFile)
{
    // Allocations counted into the Save, ever sparser, until one Save needs no more than given.
    int refused = 0, failed = 0;
    for (long n = 0;; n += 1 + n / 8) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        TempDir folder;
        const auto path = folder.path() / "oom.pst";
        const Written run =
            writeAround(path, std::string(20000, 'n'), [n](RDOContactItem&) { g_allocationsLeft = n; });
        expectFileHolds(path, run);
        if (run.bad == Saved::Yes)
            break;
        ++(run.bad == Saved::ItemRefused ? refused : failed);
    }
    // Most of a Save is preparing the contact: there a failure must stay the contact's.
    EXPECT_GT(refused, std::max(failed, 10));
}

} // namespace
} // namespace tressimo::mapi::test
