#include "mapi/pst_session.h"
#include "platform/path_text.h"

#include "mapi/pst_contact_item.h"
#include "mapi/pst_store_core.h"
#include "mapi/staged_file.h"
#include "mapi/store_entry_id.h"
#include "pst/io/bytes.h"
#include "text/ascii.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace tressimo::mapi {

namespace {

using detail::StoreCore;

// The standard folders of an Outlook data file under the IPM subtree, in the order Outlook
// creates them, with the properties that make each one the store's default folder of its
// kind (seen on the root folder, the Inbox and the message store of an Outlook default store).
struct StandardFolder
{
    int number; // OlDefaultFolders
    std::string_view name;
    std::string_view containerClass;
    std::uint32_t entryIdOnRootAndInbox; // PidTagIpm*EntryId, 0 when none
    std::uint32_t entryIdOnStore;        // PidTagIpmOutboxEntryId, PidTagIpmSentMailEntryId
    std::uint32_t validFolderBit;        // PidTagValidFolderMask
};

constexpr std::uint32_t PidTagValidFolderMask = 0x35DF0003;
constexpr std::uint32_t folderIpmSubtreeValid = 0x01;
constexpr std::uint32_t folderIpmWastebasketValid = 0x08;
constexpr std::uint32_t folderViewsValid = 0x20;
constexpr std::uint32_t folderCommonViewsValid = 0x40;
constexpr std::uint32_t folderFinderValid = 0x80;

constexpr std::array<StandardFolder, 10> standardFolders = {{
    {olFolderDeletedItems, "Deleted Items", "", 0, 0, folderIpmWastebasketValid},
    {olFolderInbox, "Inbox", "IPF.Note", 0, 0, 0x02},
    {olFolderOutbox, "Outbox", "IPF.Note", 0, 0x35E20102, 0x04},
    {olFolderSentMail, "Sent Items", "IPF.Note", 0, 0x35E40102, 0x10},
    {olFolderCalendar, "Calendar", "IPF.Appointment", 0x36D00102, 0, 0},
    {olFolderContacts, "Contacts", "IPF.Contact", 0x36D10102, 0, 0},
    {olFolderJournal, "Journal", "IPF.Journal", 0x36D20102, 0, 0},
    {olFolderNotes, "Notes", "IPF.StickyNote", 0x36D30102, 0, 0},
    {olFolderTasks, "Tasks", "IPF.Task", 0x36D40102, 0, 0},
    {olFolderDrafts, "Drafts", "IPF.Note", 0x36D70102, 0, 0},
}};

// The message classes Outlook delivers to the Inbox of a data file it makes.
constexpr std::array<std::string_view, 3> inboxMessageClasses = {"", "IPM", "Report.IPM"};

const StandardFolder* findStandardFolder(int number)
{
    for (const auto& folder : standardFolders) {
        if (folder.number == number)
            return &folder;
    }
    return nullptr;
}

class PstFolder final : public RDOFolder, private RDOItems
{
public:
    PstFolder(std::shared_ptr<StoreCore> core, pst::Nid nid, std::string name)
        : m_core(std::move(core)), m_nid(nid), m_name(std::move(name))
    {
    }

    RDOItems& Items() override { return *this; }
    std::string Name() const override { return m_name; }

private:
    std::unique_ptr<RDOContactItem> Add(int itemType) override
    {
        if (itemType != olContactItem)
            throw MapiError("Cannot add an item of type " + std::to_string(itemType) + " to \"" + m_name +
                            "\": only contact items (type 2) can be created.");
        m_core->checkUsable();
        return std::make_unique<detail::ContactItem>(m_core, m_nid);
    }

    std::shared_ptr<StoreCore> m_core;
    pst::Nid m_nid;
    std::string m_name;
};

class PstStore final : public RDOStore
{
public:
    PstStore(std::shared_ptr<StoreCore> core, std::vector<std::uint8_t> entryId)
        : m_core(std::move(core)), m_entryId(std::move(entryId)), m_entryIdText(text::hexBytes(m_entryId))
    {
    }

    std::string EntryID() const override { return m_entryIdText; }
    // The ID exactly as EntryID gave it: the writer asks for the store by it once a contact.
    const std::string& entryIdText() const { return m_entryIdText; }
    const std::vector<std::uint8_t>& entryIdBytes() const { return m_entryId; }
    StoreCore& core() { return *m_core; }

    void ValidateIPMTree() override
    {
        if (m_treeBuilt) {
            m_core->checkUsable();
            return;
        }
        m_core->run([&](pst::MessageStore& store) {
            const pst::Nid ipm = store.ipmSubtree();
            std::map<int, pst::Nid> nids;
            nids[olFolderDeletedItems] = store.deletedItems();
            for (const auto& folder : standardFolders) {
                if (folder.number == olFolderDeletedItems)
                    continue;
                const auto existing = store.findFolder(ipm, folder.name);
                nids[folder.number] =
                    existing ? *existing : store.createFolder(ipm, folder.name, folder.containerClass);
            }

            std::vector<pst::PropValue> onRootAndInbox;
            std::vector<pst::PropValue> onStore;
            std::uint32_t mask = folderIpmSubtreeValid | folderFinderValid;
            for (const auto& folder : standardFolders) {
                const pst::Nid nid = nids.at(folder.number);
                if (folder.entryIdOnRootAndInbox)
                    onRootAndInbox.push_back(pst::PropValue::fromBinary(
                        pst::PropTag(folder.entryIdOnRootAndInbox), store.entryId(nid)));
                if (folder.entryIdOnStore)
                    onStore.push_back(
                        pst::PropValue::fromBinary(pst::PropTag(folder.entryIdOnStore), store.entryId(nid)));
                mask |= folder.validFolderBit;
            }
            // The views folders are the store's own; claim them only when they exist.
            if (store.findFolder(store.rootFolder(), "IPM_VIEWS"))
                mask |= folderViewsValid;
            if (store.findFolder(store.rootFolder(), "IPM_COMMON_VIEWS"))
                mask |= folderCommonViewsValid;
            onStore.push_back(pst::PropValue::fromUInt32(pst::PropTag(PidTagValidFolderMask), mask));

            const pst::Nid inbox = nids.at(olFolderInbox);
            store.setFolderProperties(store.rootFolder(), onRootAndInbox);
            store.setFolderProperties(inbox, onRootAndInbox);
            store.setStoreProperties(onStore);
            for (std::string_view messageClass : inboxMessageClasses)
                store.setReceiveFolder(messageClass, inbox);
            m_defaultFolders = std::move(nids);
        });
        // The tree is durable before the first item goes into it.
        m_core->commit();
        m_treeBuilt = true;
    }

    std::uint64_t ItemsCommitted() const override { return m_core->itemsCommitted(); }

    RDOFolder& GetDefaultFolder(int folderType) override
    {
        const StandardFolder* standard = findStandardFolder(folderType);
        if (!standard)
            throw MapiError("There is no default folder of type " + std::to_string(folderType) + ".");
        m_core->checkUsable();
        if (auto it = m_folders.find(folderType); it != m_folders.end())
            return *it->second;
        std::optional<pst::Nid> nid;
        if (const auto it = m_defaultFolders.find(folderType); it != m_defaultFolders.end())
            nid = it->second;
        else if (folderType == olFolderDeletedItems)
            nid = m_core->run([](pst::MessageStore& store) { return store.deletedItems(); });
        if (!nid)
            throw MapiError("The store \"" + platform::textOfPath(m_core->path()) + "\" has no default " +
                            std::string(standard->name) + " folder yet; ValidateIPMTree creates it.");
        auto folder = std::make_unique<PstFolder>(m_core, *nid, std::string(standard->name));
        return *m_folders.emplace(folderType, std::move(folder)).first->second;
    }

private:
    std::shared_ptr<StoreCore> m_core;
    std::vector<std::uint8_t> m_entryId;
    std::string m_entryIdText;
    bool m_treeBuilt = false;
    std::map<int, pst::Nid> m_defaultFolders;
    std::map<int, std::unique_ptr<PstFolder>> m_folders;
};

class PstSession final : public RDOSession, private RDOStores
{
public:
    explicit PstSession(PstSessionOptions options) : m_options(std::move(options))
    {
        const env::Environment& environment = m_options.session.environment;
        if (!environment.clock || !environment.random || !environment.localToUtc)
            throw std::invalid_argument("A session needs a clock, random bytes and a time zone");
        if (!m_options.createStore)
            m_options.createStore = pstMessageStoreFactory();
        // Without a sink of the caller's, a store is a file on disk, created staged.
        m_stageFiles = !m_options.openSink;
    }

    ~PstSession() override
    {
        try {
            closeStores();
        } catch (...) {
            // A destructor cannot report; the files stay at their last commits.
        }
    }

    void Logon() override { m_loggedOn = true; }

    RDOStores& Stores() override
    {
        requireLogon();
        return *this;
    }

    RDOStore& GetStoreFromID(const std::string& entryId) override
    {
        requireLogon();
        for (const auto& store : m_stores) {
            if (store->core().isOpen() && store->entryIdText() == entryId)
                return *store;
        }
        const auto bytes = text::bytesFromHex(entryId);
        if (bytes) {
            for (const auto& store : m_stores) {
                if (store->core().isOpen() && store->entryIdBytes() == *bytes)
                    return *store;
            }
        }
        throw MapiError("No store of this session has the entry ID \"" + entryId + "\".");
    }

    void Logoff() override
    {
        m_loggedOn = false;
        closeStores();
    }

private:
    RDOStore& AddPSTStore(const std::filesystem::path& path, int format,
                          const std::string& displayName) override
    {
        requireLogon();
        if (format == olStoreANSI)
            throw MapiError("Cannot create \"" + platform::textOfPath(path) +
                            "\": the old ANSI format (3) is not supported; use the Unicode format (1 or 2).");
        if (format != olStoreDefault && format != olStoreUnicode)
            throw MapiError("Cannot create \"" + platform::textOfPath(path) + "\": unknown store format " +
                            std::to_string(format) + "; use the Unicode format (1 or 2).");

        std::unique_ptr<pst::Sink> sink;
        StagedFile staged;
        try {
            if (m_stageFiles) {
                staged = createStagedFile(path);
                sink = std::move(staged.sink);
            } else {
                sink = m_options.openSink(path);
            }
        } catch (const std::exception& e) {
            throw MapiError(e.what());
        }
        // The staged file is ours alone and holds no store until published: on any failure
        // it goes, leaving nothing behind.
        auto discardStaging = [&] {
            if (staged.discard)
                staged.discard();
        };

        pst::StoreOptions storeOptions;
        storeOptions.ndb = m_options.ndb;
        storeOptions.clock = m_options.session.environment.clock;
        storeOptions.random = m_options.session.environment.random;
        // Outlook names an unnamed data file after the file.
        const std::string name = displayName.empty() ? platform::textOfPath(path.stem()) : displayName;
        std::unique_ptr<pst::MessageStore> store;
        try {
            store = m_options.createStore(std::move(sink), name, storeOptions);
            if (staged.publish)
                staged.publish();
        } catch (const std::exception& e) {
            store.reset();
            discardStaging();
            if (dynamic_cast<const pst::IoError*>(&e))
                throw MapiError(e.what());
            throw MapiError("Cannot create \"" + platform::textOfPath(path) + "\": " + e.what());
        }

        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(path, error);
        if (error)
            absolute = path;
        auto entryId = pstStoreEntryId(store->recordKey(), absolute);

        detail::StoreSettings settings;
        settings.environment = m_options.session.environment;
        settings.commitInterval = m_options.session.commitInterval;
        settings.onCommit = m_options.onCommit;
        auto core = std::make_shared<StoreCore>(std::move(store), path, std::move(settings));
        m_stores.push_back(std::make_unique<PstStore>(std::move(core), std::move(entryId)));
        return *m_stores.back();
    }

    void requireLogon() const
    {
        if (!m_loggedOn)
            throw MapiError("The session is not logged on.");
    }

    // Closes every store, also after one fails, and throws the first failure.
    void closeStores()
    {
        std::exception_ptr first;
        for (const auto& store : m_stores) {
            try {
                store->core().close();
            } catch (...) {
                if (!first)
                    first = std::current_exception();
            }
        }
        if (first)
            std::rethrow_exception(first);
    }

    PstSessionOptions m_options;
    bool m_stageFiles = false;
    bool m_loggedOn = false;
    std::vector<std::unique_ptr<PstStore>> m_stores;
};

} // namespace

std::unique_ptr<RDOSession> createPstSession(PstSessionOptions options)
{
    return std::make_unique<PstSession>(std::move(options));
}

} // namespace tressimo::mapi
