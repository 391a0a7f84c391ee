// Messaging rules ([MS-PST] 2.4, 2.7): the nodes every store needs, the message store and
// name-to-ID map, the table templates, and each folder's tables and counts against its
// children and messages.

#include "pst/check/checker.h"
#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/name_map.h"
#include "pst/check/nid.h"
#include "pst/check/property_context.h"
#include "pst/check/table_context.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace tressimo::pst::check {
namespace {

namespace tag {
constexpr std::uint32_t MessageClass = 0x001A001F;
constexpr std::uint32_t MessageFlags = 0x0E070003;
constexpr std::uint32_t MessageSize = 0x0E080003;
constexpr std::uint32_t MessageStatus = 0x0E170003;
constexpr std::uint32_t RecordKey = 0x0FF90102;
constexpr std::uint32_t DisplayName = 0x3001001F;
constexpr std::uint32_t CreationTime = 0x30070040;
constexpr std::uint32_t LastModificationTime = 0x30080040;
constexpr std::uint32_t SearchKey = 0x300B0102;
constexpr std::uint32_t ContentCount = 0x36020003;
constexpr std::uint32_t ContentUnreadCount = 0x36030003;
constexpr std::uint32_t Subfolders = 0x360A000B;
constexpr std::uint32_t IpmSubTreeEntryId = 0x35E00102;
constexpr std::uint32_t IpmWastebasketEntryId = 0x35E30102;
constexpr std::uint32_t FinderEntryId = 0x35E70102;
constexpr std::uint32_t PstPassword = 0x67FF0003;
constexpr std::uint32_t AttachSize = 0x0E200003;
constexpr std::uint32_t AttachDataBinary = 0x37010102;
constexpr std::uint32_t AttachMethod = 0x37050003;
constexpr std::uint32_t RenderingPosition = 0x370B0003;
} // namespace tag

constexpr std::int32_t kMessageFlagRead = 0x0001;
constexpr std::int32_t kMessageFlagHasAttach = 0x0010;

// Columns every template must have ([MS-PST] 2.4.4.4.1, 2.4.4.5.1, 2.4.4.6.1, 2.4.8.6.2.1,
// 2.4.5.3.1, 2.4.6.1.1), by property id: [MS-PST] and Outlook disagree on some types.
struct TemplateColumns
{
    std::uint32_t nid;
    std::vector<std::uint16_t> ids;
};
const std::vector<TemplateColumns>& templates()
{
    static const std::vector<TemplateColumns> all = {
        {nids::HierarchyTableTemplate,
         {0x0E30, 0x0E33, 0x0E34, 0x0E38, 0x3001, 0x3602, 0x3603, 0x360A, 0x3613, 0x6635, 0x6636, 0x67F2,
          0x67F3}},
        {nids::ContentsTableTemplate,
         {0x0017, 0x001A, 0x0036, 0x0037, 0x0039, 0x0042, 0x0057, 0x0058, 0x0070,
          0x0071, 0x0E03, 0x0E04, 0x0E06, 0x0E07, 0x0E08, 0x0E17, 0x0E30, 0x0E33,
          0x0E34, 0x0E38, 0x0E3C, 0x0E3D, 0x1097, 0x3008, 0x65C6, 0x67F2, 0x67F3}},
        {nids::AssocContentsTableTemplate,
         {0x001A, 0x0E07, 0x0E17, 0x3001, 0x67F2, 0x67F3, 0x6800, 0x6803, 0x6805, 0x7003, 0x7004, 0x7005,
          0x7006, 0x7007}},
        {nids::SearchContentsTableTemplate,
         {0x0017, 0x001A, 0x0036, 0x0037, 0x0042, 0x0057, 0x0058, 0x0E03, 0x0E04, 0x0E05, 0x0E06, 0x0E07,
          0x0E08, 0x0E17, 0x0E2A, 0x3008, 0x67F1, 0x67F2, 0x67F3}},
        {nids::RecipientTableTemplate,
         {0x0C15, 0x0E0F, 0x0FF9, 0x0FFE, 0x0FFF, 0x3001, 0x3002, 0x3003, 0x300B, 0x3900, 0x39FF, 0x3A40,
          0x67F2, 0x67F3}},
        {nids::AttachmentTableTemplate, {0x0E20, 0x3704, 0x3705, 0x370B, 0x67F2, 0x67F3}},
    };
    return all;
}

// Columns a folder's table holds that are not copies of the child's properties: the row id
// and version, and in hierarchy tables the replication ids ([MS-PST] 2.4.4.4.1, "Copied? N").
const std::set<std::uint32_t>& uncopiedHierarchyColumns()
{
    static const std::set<std::uint32_t> tags = {kTagLtpRowId, kTagLtpRowVer, 0x0E300102,
                                                 0x0E300003,   0x0E330014,    0x0E340102};
    return tags;
}
const std::set<std::uint32_t>& uncopiedContentsColumns()
{
    // PidTagMessageStatus lives in the contents row only: Outlook does not keep it in the
    // message's own properties (neither reference file does).
    static const std::set<std::uint32_t> tags = {kTagLtpRowId, kTagLtpRowVer, tag::MessageStatus};
    return tags;
}

class Messaging
{
public:
    Messaging(const PstFile& file, Findings& f) : m_file(file), m_f(f) {}

    void run()
    {
        checkStore();
        checkRequiredNodes();
        checkNameMap();
        checkTemplates();
        for (const NodeEntry& n : m_file.nodes()) {
            const std::uint8_t type = nidType(n.nid);
            if (type == nidtype::NormalFolder)
                checkFolder(n);
            else if (type == nidtype::SearchFolder)
                checkSearchFolder(n);
            else if (type == nidtype::NormalMessage)
                checkMessage(n);
            else if (type == nidtype::AssocMessage)
                checkParentIsFolder(n, "MESSAGE_PARENT");
        }
    }

private:
    // A node's PC or TC; unreadable ones were reported by the LTP checks already.
    std::optional<PropertyMap> properties(std::uint32_t nid)
    {
        const NodeEntry* n = m_file.findNode(nid);
        if (!n || n->bidData == 0)
            return std::nullopt;
        try {
            return readPropertyContext(loadNode(m_file, *n));
        } catch (const FormatError&) {
            return std::nullopt;
        }
    }

    std::optional<Table> table(std::uint32_t nid)
    {
        const NodeEntry* n = m_file.findNode(nid);
        if (!n || n->bidData == 0)
            return std::nullopt;
        try {
            return readTableContext(loadNode(m_file, *n));
        } catch (const FormatError&) {
            return std::nullopt;
        }
    }

    bool isFolder(std::uint32_t nid) const
    {
        return nidType(nid) == nidtype::NormalFolder && m_file.findNode(nid) != nullptr;
    }

    void require(const PropertyMap& props, std::uint32_t t, const char* name, const char* code,
                 const std::string& where)
    {
        if (!props.count(t))
            m_f.error(code, where, std::string(name) + " (" + tagHex(t) + ")", "no such property");
    }

    // A PST entry ID ([MS-PST] 2.4.3.2): 4 zero flag bytes, the store's record key, a NID.
    std::optional<std::uint32_t> entryIdNid(const PropertyMap& store, std::uint32_t t, const char* name)
    {
        auto it = store.find(t);
        if (it == store.end()) {
            m_f.error("STORE_PROPERTY", "message store (node 0x21)",
                      std::string(name) + " (" + tagHex(t) + ")", "no such property");
            return std::nullopt;
        }
        const Bytes& id = it->second.data();
        const std::string where = std::string("message store ") + name;
        if (id.size() != 24 || getU32(id.data()) != 0) {
            m_f.error("STORE_PROPERTY", where, "a 24-byte entry ID with zero flags",
                      std::to_string(id.size()) + " bytes" +
                          (id.size() >= 4 ? ", flags " + hex(getU32(id.data())) : ""));
            return std::nullopt;
        }
        auto key = store.find(tag::RecordKey);
        if (key != store.end() && key->second.data().size() == 16 &&
            !std::equal(id.begin() + 4, id.begin() + 20, key->second.data().begin())) {
            m_f.error("STORE_PROPERTY", where, "the store's record key in bytes 4..19",
                      "a different provider UID");
            return std::nullopt;
        }
        const std::uint32_t nid = getU32(id.data() + 20);
        if (!isFolder(nid)) {
            m_f.error("STORE_PROPERTY", where, "the NID of an existing folder",
                      describeNid(nid) + (m_file.findNode(nid) ? "" : ", which does not exist"));
            return std::nullopt;
        }
        return nid;
    }

    void checkStore()
    {
        const std::string where = "message store (node 0x21)";
        const auto store = properties(nids::MessageStore);
        if (!store)
            return; // missing or unreadable: reported elsewhere
        auto key = store->find(tag::RecordKey);
        if (key == store->end() || key->second.data().size() != 16)
            m_f.error("STORE_PROPERTY", where, "PidTagRecordKey (0x0FF90102) of 16 bytes",
                      key == store->end() ? "no such property"
                                          : std::to_string(key->second.data().size()) + " bytes");
        require(*store, tag::DisplayName, "PidTagDisplayName", "STORE_PROPERTY", where);
        m_ipmSubtree = entryIdNid(*store, tag::IpmSubTreeEntryId, "PidTagIpmSubTreeEntryId");
        m_deletedItems = entryIdNid(*store, tag::IpmWastebasketEntryId, "PidTagIpmWastebasketEntryId");
        m_searchRoot = entryIdNid(*store, tag::FinderEntryId, "PidTagFinderEntryId");
        auto password = store->find(tag::PstPassword);
        if (password != store->end() && password->second.toInt32() != 0)
            m_f.note("STORE_PASSWORD", where,
                     "PidTagPstPassword is set: Outlook asks for a password on open");
    }

    void requireNode(std::uint32_t nid, const std::string& what)
    {
        if (!m_file.findNode(nid))
            m_f.error("STORE_NODE_MISSING", describeNid(nid), what, "no such node");
    }

    void requireFolderNodes(std::uint32_t folder, const std::string& what,
                            std::optional<std::uint32_t> parent)
    {
        requireNode(folder, what);
        for (std::uint8_t t : {nidtype::HierarchyTable, nidtype::ContentsTable, nidtype::AssocContentsTable})
            requireNode(withType(folder, t), std::string(nidTypeName(t)) + " of the " + what);
        const NodeEntry* n = m_file.findNode(folder);
        if (n && parent && n->nidParent != *parent)
            m_f.error("NODE_PARENT", describeNid(folder), "the " + what + " under " + describeNid(*parent),
                      "NBT parent " + hex(n->nidParent));
    }

    // [MS-PST] 2.7.1: the nodes of a minimal store, and 2.7.2: its folder hierarchy.
    void checkRequiredNodes()
    {
        requireNode(nids::MessageStore, "the message store");
        requireNode(nids::NameToIdMap, "the name-to-ID map");
        requireFolderNodes(nids::RootFolder, "root folder", nids::RootFolder);
        requireNode(nids::SearchManagementQueue, "the search management queue");
        requireNode(nids::SearchActivityList, "the search activity list");
        for (const TemplateColumns& t : templates())
            requireNode(t.nid, "a table template");
        if (m_ipmSubtree)
            requireFolderNodes(*m_ipmSubtree, "IPM subtree", nids::RootFolder);
        if (m_searchRoot)
            requireFolderNodes(*m_searchRoot, "Search Root", nids::RootFolder);
        if (m_deletedItems)
            requireFolderNodes(*m_deletedItems, "Deleted Items", m_ipmSubtree);
        const auto spam = std::find_if(m_file.nodes().begin(), m_file.nodes().end(), [](const NodeEntry& n) {
            return nidType(n.nid) == nidtype::SearchFolder && n.nidParent == nids::RootFolder;
        });
        if (spam == m_file.nodes().end())
            m_f.error("STORE_NODE_MISSING", "root folder",
                      "a search folder under it (the spam search folder)", "none");
    }

    void checkNameMap()
    {
        const auto props = properties(nids::NameToIdMap);
        if (!props)
            return;
        try {
            readNameMap(*props, &m_f);
        } catch (const FormatError& e) {
            // libpff refuses a store whose map lacks its streams, so they are required here.
            m_f.error("NAMEMAP_STREAM", "name-to-ID map (node 0x61)", "GUID, entry and string streams",
                      e.what());
        }
    }

    void checkTemplates()
    {
        for (const TemplateColumns& required : templates()) {
            const auto t = table(required.nid);
            if (!t)
                continue;
            const std::string where = "template " + describeNid(required.nid);
            if (!t->rows.empty())
                m_f.error("TEMPLATE_TABLE", where, "no rows", std::to_string(t->rows.size()) + " rows");
            for (std::uint16_t id : required.ids)
                if (std::none_of(t->columns.begin(), t->columns.end(),
                                 [&](const TableColumn& c) { return tagId(c.tag) == id; }))
                    m_f.error("TEMPLATE_TABLE", where, "a column for property " + hex(id), "none");
        }
    }

    void checkParentIsFolder(const NodeEntry& n, const char* code)
    {
        if (!isFolder(n.nidParent))
            m_f.error(code, describeNid(n.nid), "an NBT parent that is a folder",
                      n.nidParent == 0
                          ? "none"
                          : describeNid(n.nidParent) + (m_file.findNode(n.nidParent) ? "" : " (missing)"));
    }

    // Reads a folder's table one row at a time (a contents table may list every message of the
    // store), checks each row against the child it stands for, then the set of rows against
    // the children. `visit` sees each listed child's properties as they are read.
    using ChildVisitor = std::function<void(std::uint32_t, const PropertyMap&)>;
    void compareRows(std::uint32_t tableNid, const std::vector<std::uint32_t>& children, const char* rowsCode,
                     const std::set<std::uint32_t>& uncopied, const ChildVisitor& visit = {})
    {
        const NodeEntry* n = m_file.findNode(tableNid);
        if (!n || n->bidData == 0)
            return;
        const std::string where = describeNid(tableNid);
        const std::set<std::uint32_t> expected(children.begin(), children.end());
        std::set<std::uint32_t> listed;
        try {
            const LtpNode node = loadNode(m_file, *n);
            const Heap heap(node.blocks);
            readTableContext(node, heap, nullptr, [&](const Table& t, TableRow&& row) {
                listed.insert(row.rowId);
                if (expected.count(row.rowId))
                    compareRow(where, t, row, uncopied, visit);
            });
        } catch (const FormatError&) {
            return; // an unreadable table has been reported by the LTP checks
        }
        for (std::uint32_t c : expected)
            if (!listed.count(c))
                m_f.error(rowsCode, where, "a row for " + describeNid(c), "none");
        for (std::uint32_t r : listed)
            if (!expected.count(r))
                m_f.error(rowsCode, where + " row " + hex(r), "rows only for the folder's own children",
                          m_file.findNode(r) ? describeNid(r) + " belongs elsewhere" : "no such node");
    }

    // A row holds a copy of each of the child's properties its columns name, and nothing the
    // child does not have ([MS-PST] 2.4.4.7, 2.4.4.8).
    void compareRow(const std::string& where, const Table& t, const TableRow& row,
                    const std::set<std::uint32_t>& uncopied, const ChildVisitor& visit)
    {
        const auto child = properties(row.rowId);
        if (!child)
            return;
        if (visit)
            visit(row.rowId, *child);
        for (const TableColumn& c : t.columns) {
            if (uncopied.count(c.tag))
                continue;
            auto inRow = row.values.find(c.tag);
            auto inChild = child->find(c.tag);
            auto cell = [&] { return where + " row " + hex(row.rowId) + " column " + tagHex(c.tag); };
            if (inRow != row.values.end() && inChild != child->end()) {
                if (!(inRow->second == inChild->second))
                    m_f.error("FOLDER_ROW_VALUE", cell(),
                              inChild->second.toDisplayString() + " (the child's value)",
                              inRow->second.toDisplayString());
            } else if (inChild != child->end()) {
                m_f.error("FOLDER_ROW_VALUE", cell(),
                          inChild->second.toDisplayString() + " (the child's value)", "no value");
            } else if (inRow != row.values.end()) {
                m_f.error("FOLDER_ROW_VALUE", cell(), "no value (the child has none)",
                          inRow->second.toDisplayString());
            }
        }
    }

    void checkFolder(const NodeEntry& n)
    {
        const std::string where = describeNid(n.nid);
        if (n.nid == nids::RootFolder) {
            if (n.nidParent != n.nid)
                m_f.error("NODE_PARENT", where, "the root folder as its own parent", hex(n.nidParent));
        } else {
            checkParentIsFolder(n, "NODE_PARENT");
        }
        const auto props = properties(n.nid);
        if (!props)
            return;
        require(*props, tag::DisplayName, "PidTagDisplayName", "FOLDER_PROPERTY", where);
        require(*props, tag::ContentCount, "PidTagContentCount", "FOLDER_PROPERTY", where);
        require(*props, tag::ContentUnreadCount, "PidTagContentUnreadCount", "FOLDER_PROPERTY", where);
        require(*props, tag::Subfolders, "PidTagSubfolders", "FOLDER_PROPERTY", where);

        std::vector<std::uint32_t> subfolders, messages, assoc;
        for (const NodeEntry& c : m_file.children(n.nid)) {
            const std::uint8_t type = nidType(c.nid);
            if (type == nidtype::NormalFolder || type == nidtype::SearchFolder)
                subfolders.push_back(c.nid);
            else if (type == nidtype::NormalMessage)
                messages.push_back(c.nid);
            else if (type == nidtype::AssocMessage)
                assoc.push_back(c.nid);
        }

        // The unread count needs every message's flags; the contents rows read most of them.
        std::set<std::uint32_t> flagsSeen;
        std::int32_t unread = 0;
        auto countUnread = [&](std::uint32_t nid, const PropertyMap& mp) {
            if (!flagsSeen.insert(nid).second)
                return;
            auto flags = mp.find(tag::MessageFlags);
            if (flags != mp.end() && (flags->second.toInt32() & kMessageFlagRead) == 0)
                ++unread;
        };
        for (std::uint8_t t :
             {nidtype::HierarchyTable, nidtype::ContentsTable, nidtype::AssocContentsTable}) {
            const std::uint32_t tableNid = withType(n.nid, t);
            const NodeEntry* tn = m_file.findNode(tableNid);
            if (!tn) {
                m_f.error("FOLDER_NODES", where, std::string("its ") + nidTypeName(t) + " " + hex(tableNid),
                          "no such node");
                continue;
            }
            if (tn->nidParent != 0)
                m_f.error("NODE_PARENT", describeNid(tableNid), "NBT parent 0 (folder tables have none)",
                          hex(tn->nidParent));
            if (t == nidtype::HierarchyTable)
                compareRows(tableNid, subfolders, "FOLDER_HIERARCHY", uncopiedHierarchyColumns());
            else if (t == nidtype::ContentsTable)
                compareRows(tableNid, messages, "FOLDER_CONTENTS", uncopiedContentsColumns(), countUnread);
            else
                compareRows(tableNid, assoc, "FOLDER_CONTENTS", uncopiedContentsColumns());
        }
        for (std::uint32_t m : messages)
            if (!flagsSeen.count(m))
                if (const auto mp = properties(m))
                    countUnread(m, *mp);

        auto count = props->find(tag::ContentCount);
        if (count != props->end() && count->second.toInt32() != static_cast<std::int32_t>(messages.size()))
            m_f.error("FOLDER_CONTENT_COUNT", where,
                      "PidTagContentCount " + std::to_string(messages.size()) + " (its messages)",
                      std::to_string(count->second.toInt32()));
        auto unreadCount = props->find(tag::ContentUnreadCount);
        if (unreadCount != props->end() && unreadCount->second.toInt32() != unread)
            m_f.error("FOLDER_UNREAD_COUNT", where,
                      "PidTagContentUnreadCount " + std::to_string(unread) +
                          " (messages without the read flag)",
                      std::to_string(unreadCount->second.toInt32()));
        auto sub = props->find(tag::Subfolders);
        if (sub != props->end() && sub->second.toBool() != !subfolders.empty())
            m_f.error("FOLDER_SUBFOLDERS", where,
                      std::string("PidTagSubfolders ") + (subfolders.empty() ? "false" : "true") + " (" +
                          std::to_string(subfolders.size()) + " child folders)",
                      sub->second.toBool() ? "true" : "false");
    }

    void checkSearchFolder(const NodeEntry& n)
    {
        // A search folder's counts and contents follow its search, not its NBT children.
        const std::string where = describeNid(n.nid);
        checkParentIsFolder(n, "NODE_PARENT");
        const auto props = properties(n.nid);
        if (!props)
            return;
        require(*props, tag::DisplayName, "PidTagDisplayName", "FOLDER_PROPERTY", where);
    }

    void checkMessage(const NodeEntry& n)
    {
        const std::string where = describeNid(n.nid);
        checkParentIsFolder(n, "MESSAGE_PARENT");
        const auto props = properties(n.nid);
        if (!props)
            return;
        // [MS-PST] 2.4.5.1.1 also lists PidTagMessageStatus, which Outlook keeps in the
        // contents table row instead (see uncopiedContentsColumns).
        require(*props, tag::MessageClass, "PidTagMessageClass", "MESSAGE_PROPERTY", where);
        require(*props, tag::MessageFlags, "PidTagMessageFlags", "MESSAGE_PROPERTY", where);
        require(*props, tag::MessageSize, "PidTagMessageSize", "MESSAGE_PROPERTY", where);
        require(*props, tag::CreationTime, "PidTagCreationTime", "MESSAGE_PROPERTY", where);
        require(*props, tag::LastModificationTime, "PidTagLastModificationTime", "MESSAGE_PROPERTY", where);
        require(*props, tag::SearchKey, "PidTagSearchKey", "MESSAGE_PROPERTY", where);

        std::vector<SubnodeEntry> subs;
        try {
            subs = m_file.readSubnodes(n.bidSub);
        } catch (const FormatError&) {
            return; // reported by the LTP checks
        }
        const bool hasRecipients = std::any_of(subs.begin(), subs.end(), [](const SubnodeEntry& s) {
            return nidType(s.nid) == nidtype::RecipientTable;
        });
        // The format requires one; Outlook 2007 itself wrote its contacts without, so it is a
        // note rather than an error (our writer's tests demand the table explicitly).
        if (!hasRecipients)
            m_f.note("MESSAGE_RECIPIENTS", where, "no recipient table subnode (the format requires one)");
        checkAttachments(n, *props, subs);
    }

    // [MS-PST] 2.4.6: one attachment table row per attachment subnode, each row a copy of its
    // attachment's values; the message's flag and size account for them.
    void checkAttachments(const NodeEntry& message, const PropertyMap& props,
                          const std::vector<SubnodeEntry>& subs)
    {
        const std::string where = describeNid(message.nid);
        std::map<std::uint32_t, PropertyMap> attachments;
        const SubnodeEntry* tableEntry = nullptr;
        for (const SubnodeEntry& s : subs) {
            if (s.nid == nids::MessageAttachmentTable)
                tableEntry = &s;
            else if (nidType(s.nid) == nidtype::Attachment)
                try {
                    attachments[s.nid] = readPropertyContext(loadSubnode(m_file, s, where));
                } catch (const FormatError&) {
                    return; // reported by the LTP checks
                }
        }
        auto flags = props.find(tag::MessageFlags);
        if (flags != props.end() &&
            ((flags->second.toInt32() & kMessageFlagHasAttach) != 0) != !attachments.empty())
            m_f.error("MESSAGE_ATTACH_FLAG", where,
                      std::string("the has-attachments flag (0x10) ") +
                          (attachments.empty() ? "clear" : "set") + " (" +
                          std::to_string(attachments.size()) + " attachments)",
                      "flags " + hex(static_cast<std::uint32_t>(flags->second.toInt32())));
        std::optional<Table> table;
        if (tableEntry)
            try {
                table = readTableContext(loadSubnode(m_file, *tableEntry, where));
            } catch (const FormatError&) {
                return;
            }
        if (!table) {
            if (!attachments.empty())
                m_f.error("MESSAGE_ATTACHMENTS", where,
                          "an attachment table (subnode 0x671) listing its attachments", "none");
            return;
        }
        std::int64_t attachSizes = 0;
        for (const auto& [nid, a] : attachments) {
            const std::string at = where + " attachment " + hex(nid);
            require(a, tag::AttachSize, "PidTagAttachSize", "ATTACHMENT_PROPERTY", at);
            require(a, tag::AttachMethod, "PidTagAttachMethod", "ATTACHMENT_PROPERTY", at);
            require(a, tag::RenderingPosition, "PidTagRenderingPosition", "ATTACHMENT_PROPERTY", at);
            auto size = a.find(tag::AttachSize);
            auto data = a.find(tag::AttachDataBinary);
            if (size != a.end()) {
                attachSizes += size->second.toInt32();
                if (data != a.end() &&
                    size->second.toInt32() < static_cast<std::int64_t>(data->second.data().size()))
                    m_f.error("ATTACHMENT_SIZE", at,
                              "PidTagAttachSize of at least its data's " +
                                  std::to_string(data->second.data().size()) + " bytes",
                              std::to_string(size->second.toInt32()));
            }
            const TableRow* row = table->findRow(nid);
            if (!row) {
                m_f.error("MESSAGE_ATTACHMENTS", where + " attachment table",
                          "a row for attachment " + hex(nid), "none");
                continue;
            }
            for (const TableColumn& c : table->columns) {
                if (c.tag == kTagLtpRowId || c.tag == kTagLtpRowVer)
                    continue;
                auto inRow = row->values.find(c.tag);
                auto inAttachment = a.find(c.tag);
                const bool same = inRow == row->values.end()
                                      ? inAttachment == a.end()
                                      : inAttachment != a.end() && inRow->second == inAttachment->second;
                if (!same)
                    m_f.error("ATTACHMENT_ROW_VALUE",
                              where + " attachment table row " + hex(nid) + " column " + tagHex(c.tag),
                              inAttachment == a.end()
                                  ? "no value (the attachment has none)"
                                  : inAttachment->second.toDisplayString() + " (the attachment's value)",
                              inRow == row->values.end() ? "no value" : inRow->second.toDisplayString());
            }
        }
        for (const TableRow& row : table->rows)
            if (!attachments.count(row.rowId))
                m_f.error("MESSAGE_ATTACHMENTS", where + " attachment table row " + hex(row.rowId),
                          "rows only for the message's attachment subnodes", "no such attachment");
        auto size = props.find(tag::MessageSize);
        if (size != props.end() && size->second.toInt32() < attachSizes)
            m_f.error("ATTACHMENT_SIZE", where,
                      "PidTagMessageSize of at least its attachments' " + std::to_string(attachSizes) +
                          " bytes",
                      std::to_string(size->second.toInt32()));
    }

    const PstFile& m_file;
    Findings& m_f;
    std::optional<std::uint32_t> m_ipmSubtree;
    std::optional<std::uint32_t> m_deletedItems;
    std::optional<std::uint32_t> m_searchRoot;
};

} // namespace

void checkMessaging(const PstFile& file, Findings& f)
{
    Messaging(file, f).run();
}

} // namespace tressimo::pst::check
