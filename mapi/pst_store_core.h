#pragma once
// Internal to mapi/: one open store file as the session's store, folder and item objects
// share it. It owns the message store, writes saved items into it, decides when to commit,
// and remembers the first failure so that every later use reports it.
//
// Single-threaded, like the automation model it stands for.

#include "mapi/contact_model.h"
#include "mapi/pst_session.h"
#include "pst/messaging/message_store.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::mapi::detail {

class ContactItem;

struct StoreSettings
{
    contact::ContactEnvironment environment;
    std::chrono::milliseconds commitInterval{2000};
    std::function<void(const CommitReport&)> onCommit;
};

class StoreCore
{
public:
    StoreCore(std::unique_ptr<pst::MessageStore> store, std::filesystem::path path, StoreSettings settings);

    const std::filesystem::path& path() const { return m_path; }
    // Items in the file as of the last commit that reached the disk.
    std::uint64_t itemsCommitted() const { return m_itemsCommitted; }
    bool isOpen() const { return m_store != nullptr; }

    // Runs an operation on the message store. Refused with the first failure once there was
    // one, or when the store is closed; any exception from the store becomes the store's
    // failure (a MapiError naming the file and the cause), because after a failed write the
    // writer's state can no longer be trusted: the file stays at its last commit.
    template <class Operation> decltype(auto) run(Operation&& operation)
    {
        checkUsable();
        try {
            return operation(*m_store);
        } catch (...) {
            fail(std::current_exception());
        }
    }
    // Runs the write of one item. The message store refuses an item it cannot take (too
    // large, out of memory while preparing it, a value it does not accept) before changing
    // anything, with anything but an IoError: that refusal is the item's (a plain MapiError)
    // and the store goes on. An IoError, or a failure once something changed, is the store's.
    template <class Operation> decltype(auto) runForItem(Operation&& operation)
    {
        checkUsable();
        try {
            return operation(*m_store);
        } catch (const pst::IoError&) {
            fail(std::current_exception());
        } catch (const std::exception& e) {
            throw MapiError(itemRefusal(e));
        } catch (...) {
            fail(std::current_exception());
        }
    }
    // Throws when run() would refuse.
    void checkUsable() const;

    // An item saved since it was last written: written at its release, at the next commit or
    // at Logoff, whichever comes first.
    void addPending(ContactItem& item);
    // Writes a saved item now (its Save), and commits when the interval has passed. Throws
    // the store's failure when the write or the commit fails.
    void writeNow(ContactItem& item);
    // The item is going away: write it if it is still pending. Never throws; a failure is
    // kept and reported by the next call.
    void release(ContactItem& item) noexcept;

    // Writes every pending item and makes everything durable; then throws a plain MapiError
    // when a pending item written at its release or here was refused.
    void commit();
    // Commits and closes the file; afterwards every use is refused. Closes even when the
    // commit fails (the file then stays at its last commit) and throws that failure.
    void close();

private:
    [[noreturn]] void fail(std::exception_ptr error);
    std::string itemRefusal(const std::exception& e) const;
    void writeItem(ContactItem& item);
    // commit() without telling refused pending items.
    void commitStore();
    std::uint16_t namedId(const contact::PropertyKey& key);
    // The id of a name met before, or 0.
    std::uint16_t knownNamedId(const contact::PropertyKey& key) const;
    class PropValueMaker;

    std::unique_ptr<pst::MessageStore> m_store;
    std::filesystem::path m_path;
    StoreSettings m_settings;
    std::optional<std::string> m_failure;
    std::vector<ContactItem*> m_pending;
    // Why a pending item written at its release or at a commit was refused; reported by the
    // next commit once the rest is durable.
    std::optional<std::string> m_lostItem;
    std::map<contact::PropertyKey, std::uint16_t> m_namedIds;
    std::array<std::uint16_t, 256> m_addressIds{}; // by the low byte of a PSETID_Address LID 0x80xx
    // The values writeItem makes, and how many the last item had.
    std::vector<pst::PropValue> m_madeValues;
    std::size_t m_madeCount = 0;
    std::chrono::system_clock::time_point m_lastCommit;
    std::uint64_t m_itemsWritten = 0;
    std::uint64_t m_itemsCommitted = 0;
};

} // namespace tressimo::mapi::detail
