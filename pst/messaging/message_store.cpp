// The message store over the node database.
//
// What is written when
// --------------------
// A message goes to the file at once (its property context and recipient table), so memory
// never holds item contents. Everything that lists or counts objects is kept in memory and
// written at commit(): a folder's property context (its counts), its hierarchy and contents
// tables (rows kept compactly by TableBuilder), the store object, the name-to-ID map and the
// receive-folder table. commit() rewrites only what changed since the last one, then commits
// the node database, whose header write makes it all durable at once. Until then the file
// still holds the previous commit in full: a message written since is an unreferenced node
// that no table lists and no count includes... and no committed header names.
//
// Errors: input the store cannot take is refused with std::invalid_argument (or LtpError from
// the property builders) before anything changes. A failure after something changed (a write,
// a commit) sticks: every later call throws the same IoError and the file stays at its last
// commit.

#include "pst/messaging/message_store.h"

#include "pst/io/sticky_failure.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/ltp/utf16.h"
#include "pst/messaging/attachments.h"
#include "pst/messaging/message_properties.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/messaging/new_store.h"
#include "pst/messaging/store_nodes.h"
#include "text/ascii.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace tressimo::pst {
namespace {

// A block's reference count is 16 bits and the block tree holds one reference itself.
constexpr std::uint32_t kMaxSharedUses = 0xFFFF - 2;

bool sameName(std::u16string_view a, std::u16string_view b)
{
    // Outlook compares folder names without regard to case; ASCII folding covers the names
    // a converter makes and never merges two names Outlook would keep apart... in the other
    // direction it may keep two names apart that Outlook would merge.
    return text::equalsIgnoringAsciiCase(a, b);
}

std::string hexNid(Nid nid)
{
    return text::hexNumber(nid.value);
}

void putProp(std::vector<PropValue>& props, PropValue value)
{
    auto it = std::lower_bound(props.begin(), props.end(), value.tag().id(),
                               [](const PropValue& p, std::uint16_t id) { return p.tag().id() < id; });
    if (it != props.end() && it->tag().id() == value.tag().id())
        *it = std::move(value);
    else
        props.insert(it, std::move(value));
}

const PropValue* findProp(const std::vector<PropValue>& props, std::uint16_t id)
{
    auto it = std::lower_bound(props.begin(), props.end(), id,
                               [](const PropValue& p, std::uint16_t i) { return p.tag().id() < i; });
    return it != props.end() && it->tag().id() == id ? &*it : nullptr;
}

NodeContent sharedStream(Bid bid)
{
    NodeContent content;
    content.data.sharedBid = bid;
    return content;
}

// Folder properties the store keeps itself: counts, the subfolders flag, what lives in the
// parent's tables only, and what readers compute ([MS-PST] 2.5.2.2).
const char* storeOwnedFolderProperty(std::uint16_t id)
{
    switch (id) {
    case 0x3602:
        return "PidTagContentCount";
    case 0x3603:
        return "PidTagContentUnreadCount";
    case 0x360A:
        return "PidTagSubfolders";
    case 0x6635:
        return "PidTagPstHiddenCount";
    case 0x6636:
        return "PidTagPstHiddenUnread";
    case 0x360E:
        return "PidTagContainerHierarchy";
    case 0x360F:
        return "PidTagContainerContents";
    case 0x3610:
        return "PidTagFolderAssociatedContents";
    case 0x3601:
        return "PidTagFolderType";
    case 0x0E30:
        return "PidTagReplItemid";
    case 0x0E33:
        return "PidTagReplChangenum";
    case 0x0E34:
        return "PidTagReplVersionhistory";
    case 0x0E09:
        return "PidTagParentEntryId";
    case 0x0FF9:
        return "PidTagRecordKey";
    case 0x0FFE:
        return "PidTagObjectType";
    case 0x0FFF:
        return "PidTagEntryId";
    case 0x67F2:
        return "PidTagLtpRowId";
    case 0x67F3:
        return "PidTagLtpRowVer";
    default:
        return nullptr;
    }
}

const char* storeOwnedStoreProperty(std::uint16_t id)
{
    switch (id) {
    case 0x0FF9:
        return "PidTagRecordKey (every entry ID of the store carries it)";
    case 0x0FFA:
        return "PidTagStoreRecordKey";
    case 0x0FFB:
        return "PidTagStoreEntryId";
    case 0x0FFE:
        return "PidTagObjectType";
    case 0x0FFF:
        return "PidTagEntryId";
    case 0x0FF8:
        return "PidTagMappingSignature";
    case 0x3414:
        return "PidTagStoreProvider";
    default:
        return nullptr;
    }
}

struct Folder
{
    Nid nid;
    Nid parent;
    bool search = false;
    std::vector<PropValue> props; // sorted by id; counts refreshed at commit
    std::vector<Nid> children;
    std::unique_ptr<TableBuilder> hierarchy;
    std::unique_ptr<TableBuilder> contents;
    std::uint32_t contentCount = 0;
    std::uint32_t unreadCount = 0;
    bool stored = false;
    bool propsDirty = true;
    bool hierarchyDirty = true;
    bool contentsDirty = true;

    std::u16string displayName() const
    {
        const PropValue* name = findProp(props, tags::DisplayName.id());
        return name && name->type() == PropType::Unicode ? name->toUtf16() : std::u16string();
    }
};

// What a message saved again keeps unless its caller says otherwise.
struct MessageIdentity
{
    std::uint32_t nid = 0;
    std::uint64_t created = 0;
    std::array<std::uint8_t, 16> searchKey{};
};

struct ReceiveRow
{
    std::u16string messageClass;
    std::uint32_t rowId = 0;
    Nid folder;
};

class StoreImpl final : public MessageStore
{
public:
    explicit StoreImpl(const StoreOptions& options) : m_clock(options.clock), m_random(options.random)
    {
        if (!m_clock || !m_random)
            throw std::invalid_argument("A store needs a clock and a source of random bytes");
    }

    void start(std::unique_ptr<Sink> sink, std::string_view displayName, const NdbOptions& ndb)
    {
        m_failure = StickyFailure(sink->name());
        m_ndb = NdbWriter::create(std::move(sink), ndb);
        guarded([&] { writeNewStore(displayName); });
        commit();
    }

    // --- identity -------------------------------------------------------------------------

    std::array<std::uint8_t, 16> recordKey() const override { return m_recordKey; }

    Bytes entryId(Nid nid) const override
    {
        return storeEntryId(m_recordKey, nid);
    }

    Nid rootFolder() const override { return nodes::RootFolder; }
    Nid ipmSubtree() const override { return nodes::IpmSubtree; }
    Nid deletedItems() const override { return nodes::DeletedItems; }

    // --- folders ---------------------------------------------------------------------------

    Nid createFolder(Nid parent, std::string_view displayName, std::string_view containerClass) override
    {
        throwIfFailed();
        Folder& p = folderForChildren(parent);
        const std::u16string name = text::utf8ToUtf16(displayName);
        checkNameFree(p, name, nullptr);

        Nid nid;
        guarded([&] {
            nid = m_ndb->allocateNid(NidType::NormalFolder);
            for (NidType t : {NidType::HierarchyTable, NidType::ContentsTable, NidType::AssocContentsTable})
                m_ndb->reserveNid(nodes::withType(nid, t));
        });
        afterWrite([&] {
            Folder f;
            f.nid = nid;
            f.parent = p.nid;
            putProp(f.props, PropValue::fromString(tags::DisplayName, std::u16string_view(name)));
            if (!containerClass.empty())
                putProp(f.props, PropValue::fromString(tags::ContainerClass, containerClass));
            // Outlook's folders carry the hidden-item counts (hierarchy table columns) as 0.
            putProp(f.props, PropValue::fromInt32(tags::PstHiddenCount, 0));
            putProp(f.props, PropValue::fromInt32(tags::PstHiddenUnread, 0));
            addFolder(std::move(f));
        });
        return nid;
    }

    std::optional<Nid> findFolder(Nid parent, std::string_view displayName) const override
    {
        throwIfFailed();
        const Folder& p = folder(parent);
        const std::u16string name = text::utf8ToUtf16(displayName);
        for (Nid child : p.children) {
            if (sameName(folder(child).displayName(), name))
                return child;
        }
        return std::nullopt;
    }

    std::vector<Nid> subfolders(Nid nid) const override
    {
        throwIfFailed();
        return folder(nid).children;
    }

    void setFolderProperties(Nid nid, std::span<const PropValue> props) override
    {
        throwIfFailed();
        Folder& f = folder(nid);
        std::optional<std::u16string> newName;
        for (const PropValue& p : props) {
            if (const char* owned = storeOwnedFolderProperty(p.tag().id()))
                throw std::invalid_argument(std::string(owned) + " (" + tagName(p.tag()) +
                                            ") is kept by the store and cannot be set on a folder");
            if (p.tag().id() == tags::DisplayName.id() || p.tag().id() == tags::ContainerClass.id()) {
                if (p.type() != PropType::Unicode)
                    throw std::invalid_argument(tagName(p.tag()) +
                                                " must be a Unicode string in a Unicode store");
            }
            if (p.tag().id() == tags::DisplayName.id())
                newName = p.toUtf16();
        }
        if (newName && f.nid != nodes::RootFolder)
            checkNameFree(folder(f.parent), *newName, &f);
        afterWrite([&] {
            for (const PropValue& p : props)
                putProp(f.props, p);
            markDirty(f, &Folder::propsDirty);
        });
    }

    std::optional<PropValue> folderProperty(Nid nid, PropTag tag) const override
    {
        throwIfFailed();
        const Folder& f = folder(nid);
        const PropValue* p = nullptr;
        std::optional<PropValue> count;
        if (tag == tags::ContentCount)
            count = PropValue::fromUInt32(tag, f.contentCount);
        else if (tag == tags::ContentUnreadCount)
            count = PropValue::fromUInt32(tag, f.unreadCount);
        else if (tag == tags::Subfolders)
            count = PropValue::fromBoolean(tag, !f.children.empty());
        if (count)
            return count;
        p = findProp(f.props, tag.id());
        if (!p || p->tag() != tag)
            return std::nullopt;
        return *p;
    }

    void setStoreProperties(std::span<const PropValue> props) override
    {
        throwIfFailed();
        for (const PropValue& p : props) {
            if (const char* owned = storeOwnedStoreProperty(p.tag().id()))
                throw std::invalid_argument(std::string(owned) + " (" + tagName(p.tag()) +
                                            ") is kept by the store and cannot be set");
            if (p.tag().id() == tags::DisplayName.id() && p.type() != PropType::Unicode)
                throw std::invalid_argument(tagName(p.tag()) +
                                            " must be a Unicode string in a Unicode store");
        }
        afterWrite([&] {
            for (const PropValue& p : props)
                putProp(m_storeProps, p);
            m_storeDirty = true;
        });
    }

    void setReceiveFolder(std::string_view messageClass, Nid nid) override
    {
        throwIfFailed();
        const Folder& f = folder(nid);
        if (f.search)
            throw std::invalid_argument("Search folder " + hexNid(nid) + " cannot receive messages");
        const std::u16string cls = text::utf8ToUtf16(messageClass);
        afterWrite([&] {
            auto it = std::find_if(m_receiveRows.begin(), m_receiveRows.end(),
                                   [&](const ReceiveRow& r) { return sameName(r.messageClass, cls); });
            if (it == m_receiveRows.end()) {
                const std::uint32_t rowId = m_receiveRows.empty() ? 1 : m_receiveRows.back().rowId + 1;
                m_receiveRows.push_back(ReceiveRow{cls, rowId, nid});
                it = m_receiveRows.end() - 1;
            }
            it->folder = nid;
            m_receiveTable->putRow(
                it->rowId, {PropValue::fromString(tags::MessageClass, std::u16string_view(it->messageClass)),
                            PropValue::fromUInt32(kReceiveFolderNidTag, nid.value)});
            m_receiveDirty = true;
        });
    }

    // --- named properties ------------------------------------------------------------------

    std::uint16_t propertyId(const PropertyName& name) override
    {
        throwIfFailed();
        return m_names.propertyId(name);
    }

    // --- messages ----------------------------------------------------------------------------

    Nid createMessage(Nid folderNid, std::vector<PropValue> props,
                      std::vector<std::vector<PropValue>> attachments) override
    {
        throwIfFailed();
        Folder& f = folder(folderNid);
        if (f.search)
            throw std::invalid_argument("Search folder " + hexNid(folderNid) +
                                        " lists what its search finds; "
                                        "messages cannot be created in it");
        MessageDefaults defaults;
        defaults.now = toFileTime(m_clock());
        m_random(defaults.searchKey);
        prepareAttachments(attachments, defaults);
        PreparedMessage message = prepare(std::move(props), defaults);
        bool shared = false;
        const NodeContent content = messageNode(message, attachments, shared);

        const Nid nid = writeNode(NidType::NormalMessage, f.nid, content);
        afterWrite([&] {
            if (shared)
                ++m_recipientShares;
            remember(nid, message);
            if (!f.contents)
                f.contents = std::make_unique<TableBuilder>(columns::contents(), rowVersions());
            f.contents->putRow(nid.value, message.properties);
            ++f.contentCount;
            if (!message.read)
                ++f.unreadCount;
            markDirty(f, &Folder::contentsDirty);
            f.propsDirty = true;
        });
        return nid;
    }

    void replaceMessage(Nid nid, std::span<const PropValue> props,
                        std::vector<std::vector<PropValue>> attachments) override
    {
        throwIfFailed();
        auto known = std::lower_bound(m_messages.begin(), m_messages.end(), nid.value,
                                      [](const MessageIdentity& m, std::uint32_t n) { return m.nid < n; });
        const auto info = nid.type() == NidType::NormalMessage ? m_ndb->findNode(nid) : std::nullopt;
        if (!info || known == m_messages.end() || known->nid != nid.value)
            throw std::invalid_argument("No message " + hexNid(nid) + " in this store");
        Folder& f = folder(info->parent);
        assert(f.contents && f.contents->containsRow(nid.value));

        // A message saved again keeps when it was made and its search key unless told otherwise.
        MessageDefaults defaults;
        defaults.now = toFileTime(m_clock());
        defaults.searchKey = known->searchKey;
        std::vector<PropValue> given(props.begin(), props.end());
        if (std::none_of(given.begin(), given.end(),
                         [](const PropValue& p) { return p.tag().id() == tags::CreationTime.id(); }))
            given.push_back(PropValue::fromSysTime(tags::CreationTime, known->created));
        prepareAttachments(attachments, defaults);
        PreparedMessage message = prepare(std::move(given), defaults);
        bool shared = false;
        const NodeContent content = messageNode(message, attachments, shared);
        bool wasRead = true;
        if (const auto row = f.contents->row(nid.value)) {
            for (const PropValue& v : *row) {
                if (v.tag() == tags::MessageFlags)
                    wasRead = (v.toInt32() & kMessageFlagRead) != 0;
            }
        }

        guarded([&] { m_ndb->putNode(nid, f.nid, content); });
        afterWrite([&] {
            // Counted again: the old message's share is released, so the count only errs high.
            if (shared)
                ++m_recipientShares;
            known->created = createdOf(message);
            known->searchKey = searchKeyOf(message);
            f.contents->putRow(nid.value, message.properties);
            if (wasRead && !message.read)
                ++f.unreadCount;
            else if (!wasRead && message.read)
                --f.unreadCount;
            markDirty(f, &Folder::contentsDirty);
            f.propsDirty = true;
        });
    }

    std::uint32_t messageCount(Nid nid) const override
    {
        throwIfFailed();
        return folder(nid).contentCount;
    }

    // --- commit --------------------------------------------------------------------------------

    void commit() override
    {
        throwIfFailed();
        guarded([&] {
            // A folder's new counts change its row in its parent's hierarchy table.
            const std::vector<std::uint32_t> dirty(m_dirty.begin(), m_dirty.end());
            for (std::uint32_t nid : dirty) {
                Folder& f = m_folders.at(nid);
                if (!f.propsDirty)
                    continue;
                writeFolderProperties(f);
                if (f.nid != nodes::RootFolder)
                    putHierarchyRow(m_folders.at(f.parent.value), f);
            }
            for (std::uint32_t nid : m_dirty)
                writeFolderTables(m_folders.at(nid));
            if (m_names.changed())
                m_ndb->putNode(nodes::NameToIdMap, Nid{}, buildPropertyContext(m_names.properties()));
            if (m_storeDirty)
                m_ndb->putNode(nodes::MessageStore, Nid{}, buildPropertyContext(m_storeProps));
            if (m_receiveDirty)
                m_ndb->putNode(nodes::ReceiveFolderTable, Nid{}, m_receiveTable->build());
            m_ndb->commit();

            m_dirty.clear();
            m_names.markStored();
            m_storeDirty = false;
            m_receiveDirty = false;
        });
    }

    std::uint64_t fileSize() const override
    {
        throwIfFailed();
        return m_ndb->fileSize();
    }

private:
    // --- errors ----------------------------------------------------------------------------

    void throwIfFailed() const { m_failure.throwIfFailed(); }

    // Runs a step that writes: any failure in it leaves state behind that the file does not
    // hold, so it sticks.
    template <typename F> void guarded(F&& step) { m_failure.guard(std::forward<F>(step)); }

    // A new node. Content the node database refuses (std::invalid_argument) leaves nothing
    // behind but a skipped identifier, so only write failures stick.
    Nid writeNode(NidType type, Nid parent, const NodeContent& content)
    {
        Nid nid;
        try {
            nid = m_ndb->allocateNid(type);
            m_ndb->putNode(nid, parent, content);
        } catch (const std::invalid_argument&) {
            throw;
        } catch (...) {
            m_failure.stick();
        }
        return nid;
    }

    // Every table of the store versions its rows from the header's counter, so versions never
    // repeat across tables and stay below the dwUnique of the commit that writes them.
    RowVersionSource rowVersions() const
    {
        return [ndb = m_ndb.get()] { return ndb->nextUnique(); };
    }

    // Bookkeeping after a write succeeded; it fails only when memory runs out, which then
    // sticks like a failed write.
    template <typename F> void afterWrite(F&& step) { guarded(std::forward<F>(step)); }

    // --- folders ----------------------------------------------------------------------------

    const Folder& folder(Nid nid) const
    {
        auto it = m_folders.find(nid.value);
        if (it == m_folders.end())
            throw std::invalid_argument("No folder " + hexNid(nid) + " in this store");
        return it->second;
    }
    Folder& folder(Nid nid) { return const_cast<Folder&>(std::as_const(*this).folder(nid)); }

    Folder& folderForChildren(Nid nid)
    {
        Folder& f = folder(nid);
        if (f.search)
            throw std::invalid_argument("Search folder " + hexNid(nid) + " cannot hold folders");
        return f;
    }

    void checkNameFree(const Folder& parent, const std::u16string& name, const Folder* self) const
    {
        for (Nid child : parent.children) {
            const Folder& c = folder(child);
            if (&c != self && sameName(c.displayName(), name))
                throw std::invalid_argument("Folder " + hexNid(parent.nid) +
                                            " already holds a folder named \"" + text::utf16ToUtf8(name) + "\"");
        }
    }

    void markDirty(Folder& f, bool Folder::*what)
    {
        f.*what = true;
        m_dirty.insert(f.nid.value);
    }

    Folder& addFolder(Folder f)
    {
        putProp(f.props, PropValue::fromInt32(tags::ContentCount, 0));
        putProp(f.props, PropValue::fromInt32(tags::ContentUnreadCount, 0));
        putProp(f.props, PropValue::fromBoolean(tags::Subfolders, false));
        const Nid nid = f.nid;
        const Nid parent = f.parent;
        Folder& added = m_folders.emplace(nid.value, std::move(f)).first->second;
        m_dirty.insert(nid.value);
        if (parent != nid) {
            Folder& p = m_folders.at(parent.value);
            p.children.push_back(nid);
            // The row goes in now so that rows keep the order folders were made in; commit()
            // refreshes it in place.
            putHierarchyRow(p, added);
            // The parent's subfolders flag changes with its first child.
            if (p.children.size() == 1)
                markDirty(p, &Folder::propsDirty);
        }
        return added;
    }

    void putHierarchyRow(Folder& parent, const Folder& child)
    {
        if (!parent.hierarchy)
            parent.hierarchy = std::make_unique<TableBuilder>(columns::hierarchy(), rowVersions());
        parent.hierarchy->putRow(child.nid.value, child.props);
        markDirty(parent, &Folder::hierarchyDirty);
    }

    void writeFolderProperties(Folder& f)
    {
        putProp(f.props, PropValue::fromUInt32(tags::ContentCount, f.contentCount));
        putProp(f.props, PropValue::fromUInt32(tags::ContentUnreadCount, f.unreadCount));
        putProp(f.props, PropValue::fromBoolean(tags::Subfolders, !f.children.empty()));
        m_ndb->putNode(f.nid, f.parent, buildPropertyContext(f.props));
        f.propsDirty = false;
    }

    // Empty tables share their template's block, as in Outlook's own stores.
    void writeFolderTables(Folder& f)
    {
        if (!f.search) {
            if (f.hierarchyDirty) {
                const bool rows = f.hierarchy && f.hierarchy->rowCount() > 0;
                m_ndb->putNode(nodes::withType(f.nid, NidType::HierarchyTable), Nid{},
                               rows ? f.hierarchy->build() : sharedStream(m_templateBids.hierarchy));
            }
            if (f.contentsDirty) {
                const bool rows = f.contents && f.contents->rowCount() > 0;
                m_ndb->putNode(nodes::withType(f.nid, NidType::ContentsTable), Nid{},
                               rows ? f.contents->build() : sharedStream(m_templateBids.contents));
            }
            if (!f.stored)
                m_ndb->putNode(nodes::withType(f.nid, NidType::AssocContentsTable), Nid{},
                               sharedStream(m_templateBids.assocContents));
        }
        f.stored = true;
        f.hierarchyDirty = false;
        f.contentsDirty = false;
    }

    // --- messages ------------------------------------------------------------------------------

    void checkNamedIds(std::span<const PropValue> props) const
    {
        for (const PropValue& p : props) {
            const std::uint16_t id = p.tag().id();
            if (id >= kFirstNamedPropertyId && !m_names.contains(id))
                throw std::invalid_argument("Property " + tagName(p.tag()) +
                                            " has a named property id the store never handed out");
        }
    }

    PreparedMessage prepare(std::vector<PropValue> props, const MessageDefaults& defaults) const
    {
        checkNamedIds(props);
        return prepareMessage(std::move(props), defaults);
    }

    // In place; the message's size and flags learn of them through `defaults`.
    void prepareAttachments(std::vector<std::vector<PropValue>>& attachments, MessageDefaults& defaults) const
    {
        for (std::vector<PropValue>& a : attachments) {
            checkNamedIds(a);
            a = prepareAttachment(std::move(a));
            defaults.attachmentsSize += attachmentSize(a);
        }
        defaults.hasAttachments = !attachments.empty();
    }

    // The message's node: its property context, an empty recipient table, which shares the
    // template's block while the block's reference count has room, and the attachments.
    NodeContent messageNode(const PreparedMessage& message, std::span<const std::vector<PropValue>> attachments,
                            bool& shared) const
    {
        SubnodeNidAllocator nids;
        nids.reserve(nodes::RecipientTemplate);
        NodeContent content = buildPropertyContext(message.properties, nids);
        addAttachmentSubnodes(attachments, nids, rowVersions(), content.subnodes);
        SubnodeContent recipients;
        recipients.nid = nodes::RecipientTemplate;
        shared = m_recipientShares < kMaxSharedUses;
        if (shared)
            recipients.data.sharedBid = m_recipientTemplateBid;
        else
            recipients.data.blocks = m_emptyRecipientBlocks;
        content.subnodes.push_back(std::move(recipients));
        return content;
    }

    static std::uint64_t createdOf(const PreparedMessage& m)
    {
        return findProp(m.properties, tags::CreationTime.id())->toFileTime();
    }

    static std::array<std::uint8_t, 16> searchKeyOf(const PreparedMessage& m)
    {
        std::array<std::uint8_t, 16> key{};
        const ByteView data = findProp(m.properties, tags::SearchKey.id())->data();
        std::copy_n(data.begin(), std::min(data.size(), key.size()), key.begin());
        return key;
    }

    void remember(Nid nid, const PreparedMessage& m)
    {
        // Message NIDs only grow, so appending keeps the list sorted.
        assert(m_messages.empty() || m_messages.back().nid < nid.value);
        m_messages.push_back(MessageIdentity{nid.value, createdOf(m), searchKeyOf(m)});
    }

    // --- the new store ----------------------------------------------------------------------

    void writeNewStore(std::string_view displayName)
    {
        NewStore made = pst::writeNewStore(*m_ndb, displayName, m_random);
        m_recordKey = made.recordKey;
        m_templateBids = {made.hierarchyTemplate, made.contentsTemplate, made.assocContentsTemplate};
        m_recipientTemplateBid = made.recipientTemplate;
        m_emptyRecipientBlocks = std::move(made.emptyRecipientBlocks);
        for (NewStore::Folder& written : made.folders) {
            Folder f;
            f.nid = written.nid;
            f.parent = written.parent;
            f.search = written.search;
            putProp(f.props, PropValue::fromString(tags::DisplayName, written.name));
            Folder& added = addFolder(std::move(f));
            for (PropValue& p : written.extra)
                putProp(added.props, std::move(p));
        }

        // Messages of every class go to the root folder until a caller names an Inbox.
        m_receiveTable = std::make_unique<TableBuilder>(columns::receiveFolders(), rowVersions());
        m_receiveRows.push_back(ReceiveRow{u"", 1, nodes::RootFolder});
        m_receiveTable->putRow(1, {PropValue::fromString(tags::MessageClass, std::string_view("")),
                                   PropValue::fromUInt32(kReceiveFolderNidTag, nodes::RootFolder.value)});
        m_receiveDirty = true;

        m_storeProps = std::move(made.storeProperties);
        m_storeDirty = true;
    }

    struct TemplateBids
    {
        Bid hierarchy = 0;
        Bid contents = 0;
        Bid assocContents = 0;
    };

    std::function<std::chrono::system_clock::time_point()> m_clock;
    std::function<void(std::span<std::uint8_t>)> m_random;
    std::unique_ptr<NdbWriter> m_ndb;
    StickyFailure m_failure;

    std::array<std::uint8_t, 16> m_recordKey{};
    std::vector<PropValue> m_storeProps;
    bool m_storeDirty = false;
    NameToIdMap m_names;
    std::unordered_map<std::uint32_t, Folder> m_folders;
    std::set<std::uint32_t> m_dirty; // folders with something to write at the next commit
    std::unique_ptr<TableBuilder> m_receiveTable;
    std::vector<ReceiveRow> m_receiveRows;
    bool m_receiveDirty = false;

    TemplateBids m_templateBids;
    Bid m_recipientTemplateBid = 0;
    std::uint32_t m_recipientShares = 0;
    std::vector<Bytes> m_emptyRecipientBlocks;
    std::vector<MessageIdentity> m_messages; // sorted by NID
};

} // namespace

std::unique_ptr<MessageStore> MessageStore::create(std::unique_ptr<Sink> sink, std::string_view displayName,
                                                   const StoreOptions& options)
{
    auto store = std::make_unique<StoreImpl>(options);
    store->start(std::move(sink), displayName, options.ndb);
    return store;
}

} // namespace tressimo::pst
