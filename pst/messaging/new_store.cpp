#include "pst/messaging/new_store.h"

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/message_properties.h"
#include "pst/messaging/store_nodes.h"

#include <algorithm>
#include <cassert>

namespace tressimo::pst {
namespace {

namespace storetags {
constexpr PropTag ReplVersionHistory{0x0E340102};
constexpr PropTag ReplFlags{0x0E380003};
constexpr PropTag RecordKey{0x0FF90102};
constexpr PropTag ValidFolderMask{0x35DF0003};
constexpr PropTag IpmSubtreeEntryId{0x35E00102};
constexpr PropTag IpmWastebasketEntryId{0x35E30102};
constexpr PropTag CommonViewsEntryId{0x35E60102};
constexpr PropTag FinderEntryId{0x35E70102};
constexpr PropTag PstLrNoRestrictions{0x6633000B};
constexpr PropTag LatestPstEnsure{0x66FA0003};
constexpr PropTag PstPassword{0x67FF0003};
constexpr PropTag SearchCriteriaFlags{0x660B0003};
} // namespace storetags

// PidTagValidFolderMask bits (mapidefs.h): IPM subtree, Deleted Items, common views, finder.
constexpr std::int32_t kValidFolderMask = 0x01 | 0x08 | 0x40 | 0x80;
// The same constant in both of Outlook's reference stores (2007 and current).
constexpr std::int32_t kLatestPstEnsure = 0xE0011;
constexpr std::uint8_t kHeapClientGuidIndex = 0x9C;

void putTable(NdbWriter& ndb, Nid nid, std::span<const PropTag> cols)
{
    ndb.reserveNid(nid);
    ndb.putNode(nid, Nid{}, TableBuilder(cols).build());
}

void putEmpty(NdbWriter& ndb, Nid nid)
{
    ndb.reserveNid(nid);
    ndb.putNode(nid, Nid{}, NodeContent{});
}

Bid dataBid(const NdbWriter& ndb, Nid nid)
{
    const auto info = ndb.findNode(nid);
    assert(info && info->dataBid != 0);
    return info->dataBid;
}

// An empty BTH of 16-byte keys and 4-byte data under a heap whose root holds its HID:
// the layout of node 0xC01 in Outlook's stores.
void writeGuidIndex(NdbWriter& ndb)
{
    HeapBuilder heap(static_cast<HeapClient>(kHeapClientGuidIndex));
    const Hid root = heap.allocate(std::size_t{4});
    const Hid bth = buildBth(heap, 16, 4, ByteView());
    Bytes rootValue(4);
    putU32(rootValue.data(), bth.value);
    heap.write(root, 0, rootValue);
    heap.setUserRoot(root);
    NodeContent content;
    content.data.blocks = heap.finish();
    ndb.reserveNid(nodes::GuidIndex);
    ndb.putNode(nodes::GuidIndex, Nid{}, content);
}

// Search management: an empty queue, the activity list naming the spam search folder (as
// Outlook's does), an empty search domain ([MS-PST] 2.4.8.4).
void writeSearchManagement(NdbWriter& ndb)
{
    putEmpty(ndb, nodes::SearchManagementQueue);
    putEmpty(ndb, nodes::SearchDomainObject);
    NodeContent sal;
    Bytes list(4);
    putU32(list.data(), nodes::SpamSearchFolder.value);
    sal.data.blocks.push_back(list);
    ndb.reserveNid(nodes::SearchActivityList);
    ndb.putNode(nodes::SearchActivityList, Nid{}, sal);
}

// The folders of Outlook's empty store ([MS-PST] 2.7.2), children in Outlook's order.
std::vector<NewStore::Folder> reserveFolders(NdbWriter& ndb)
{
    std::vector<NewStore::Folder> folders{
        {nodes::RootFolder, nodes::RootFolder, u"", false, {}},
        {nodes::IpmSubtree, nodes::RootFolder, u"Top of Outlook data file", false, {}},
        {nodes::SearchRoot, nodes::RootFolder, u"Search Root", false, {}},
        {nodes::SpamSearchFolder, nodes::RootFolder, u"SPAM Search Folder 2", true, {}},
        {nodes::DeletedItems, nodes::IpmSubtree, u"Deleted Items", false,
         {PropValue::fromString(tags::Comment, std::string_view("Deleted Items folder"))}},
        {nodes::CommonViews, nodes::RootFolder, u"IPM_COMMON_VIEWS", false,
         {PropValue::fromString(tags::Comment, std::string_view(""))}},
    };
    for (const NewStore::Folder& f : folders) {
        ndb.reserveNid(f.nid);
        if (!f.search) {
            for (NidType t : {NidType::HierarchyTable, NidType::ContentsTable, NidType::AssocContentsTable})
                ndb.reserveNid(nodes::withType(f.nid, t));
        }
    }
    return folders;
}

// The spam search folder's update queue, criteria and contents table ([MS-PST] 2.4.8.6).
void writeSpamSearchFolderNodes(NdbWriter& ndb, Bid searchContentsTemplate)
{
    const Nid queue = nodes::withType(nodes::SpamSearchFolder, NidType::SearchUpdateQueue);
    const Nid criteria = nodes::withType(nodes::SpamSearchFolder, NidType::SearchCriteriaObject);
    const Nid contents = nodes::withType(nodes::SpamSearchFolder, NidType::SearchContentsTable);
    putEmpty(ndb, queue);
    const PropValue criteriaFlags = PropValue::fromInt32(storetags::SearchCriteriaFlags, 0);
    ndb.reserveNid(criteria);
    ndb.putNode(criteria, Nid{}, buildPropertyContext(std::span(&criteriaFlags, 1)));
    ndb.reserveNid(contents);
    NodeContent shared;
    shared.data.sharedBid = searchContentsTemplate;
    ndb.putNode(contents, Nid{}, shared);
}

// The message store object ([MS-PST] 2.4.3.1) with the other values Outlook writes.
std::vector<PropValue> storeProperties(const std::array<std::uint8_t, 16>& recordKey,
                                       const std::array<std::uint8_t, 16>& replica, std::string_view displayName)
{
    Bytes history(24);
    putU32(history.data(), 1);
    std::copy(replica.begin(), replica.end(), history.begin() + 4);
    putU32(history.data() + 20, 1);
    auto entryId = [&](Nid nid) { return storeEntryId(recordKey, nid); };
    std::vector<PropValue> props{
        PropValue::fromBinary(storetags::ReplVersionHistory, history),
        PropValue::fromInt32(storetags::ReplFlags, 0),
        PropValue::fromBinary(storetags::RecordKey, recordKey),
        PropValue::fromString(tags::DisplayName, displayName),
        PropValue::fromInt32(storetags::ValidFolderMask, kValidFolderMask),
        PropValue::fromBinary(storetags::IpmSubtreeEntryId, entryId(nodes::IpmSubtree)),
        PropValue::fromBinary(storetags::IpmWastebasketEntryId, entryId(nodes::DeletedItems)),
        PropValue::fromBinary(storetags::CommonViewsEntryId, entryId(nodes::CommonViews)),
        PropValue::fromBinary(storetags::FinderEntryId, entryId(nodes::SearchRoot)),
        PropValue::fromBoolean(storetags::PstLrNoRestrictions, true),
        PropValue::fromInt32(storetags::LatestPstEnsure, kLatestPstEnsure),
        PropValue::fromInt32(storetags::PstPassword, 0),
    };
    std::sort(props.begin(), props.end(),
              [](const PropValue& a, const PropValue& b) { return a.tag().id() < b.tag().id(); });
    return props;
}

} // namespace

Bytes storeEntryId(const std::array<std::uint8_t, 16>& recordKey, Nid nid)
{
    Bytes id(kEntryIdSize, 0);
    std::copy(recordKey.begin(), recordKey.end(), id.begin() + 4);
    putU32(id.data() + 20, nid.value);
    return id;
}

NewStore writeNewStore(NdbWriter& ndb, std::string_view displayName,
                       const std::function<void(std::span<std::uint8_t>)>& random)
{
    NewStore store;
    random(store.recordKey);
    std::array<std::uint8_t, 16> replica{};
    random(replica);

    // Table templates ([MS-PST] 2.7.3.3), then the tables that share them.
    putTable(ndb, nodes::HierarchyTemplate, columns::hierarchy());
    putTable(ndb, nodes::ContentsTemplate, columns::contents());
    putTable(ndb, nodes::AssocContentsTemplate, columns::assocContents());
    putTable(ndb, nodes::SearchContentsTemplate, columns::searchContents());
    putTable(ndb, nodes::AttachmentTemplate, columns::attachments());
    putTable(ndb, nodes::RecipientTemplate, columns::recipients());
    store.hierarchyTemplate = dataBid(ndb, nodes::HierarchyTemplate);
    store.contentsTemplate = dataBid(ndb, nodes::ContentsTemplate);
    store.assocContentsTemplate = dataBid(ndb, nodes::AssocContentsTemplate);
    const Bid searchContentsTemplate = dataBid(ndb, nodes::SearchContentsTemplate);
    store.recipientTemplate = dataBid(ndb, nodes::RecipientTemplate);
    store.emptyRecipientBlocks = TableBuilder(columns::recipients()).build().data.blocks;

    putTable(ndb, nodes::OutgoingQueue, columns::outgoingQueue());
    putTable(ndb, nodes::ChangeTrackingTable, columns::changeTracking());
    putTable(ndb, nodes::ChangeTrackingTable2, columns::changeTracking2());
    putTable(ndb, nodes::ChangeTrackingTable3, columns::changeTracking3());
    writeGuidIndex(ndb);
    writeSearchManagement(ndb);
    for (Nid nid : {nodes::EmptyInternal1, nodes::EmptyInternal2, nodes::EmptyInternal3})
        putEmpty(ndb, nid);

    store.folders = reserveFolders(ndb);
    writeSpamSearchFolderNodes(ndb, searchContentsTemplate);
    store.storeProperties = storeProperties(store.recordKey, replica, displayName);
    // Written at every commit that changes them.
    ndb.reserveNid(nodes::ReceiveFolderTable);
    ndb.reserveNid(nodes::MessageStore);
    ndb.reserveNid(nodes::NameToIdMap);
    return store;
}

} // namespace tressimo::pst
