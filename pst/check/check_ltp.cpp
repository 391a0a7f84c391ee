// Lists, tables and properties ([MS-PST] 2.3): every node and subnode that holds a heap is
// read as what its NID says it is (property or table context), with its heap, BTHs,
// values and rows checked on the way.

#include "pst/check/block.h"
#include "pst/check/checker.h"
#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/nid.h"
#include "pst/check/property_context.h"
#include "pst/check/table_context.h"

#include <algorithm>
#include <optional>

namespace tressimo::pst::check {
namespace {

constexpr std::uint8_t kHeapClientWideTable = 0xAC;

enum class Role { PropertyContext, TableContext, Unknown };

// What a node must hold, by its NID type and the fixed NIDs ([MS-PST] 2.4).
Role roleOf(std::uint32_t nid)
{
    switch (nidType(nid)) {
    case nidtype::NormalFolder:
    case nidtype::SearchFolder:
    case nidtype::NormalMessage:
    case nidtype::Attachment:
    case nidtype::SearchCriteria:
    case nidtype::AssocMessage:
        return Role::PropertyContext;
    case nidtype::ReceiveFolderTable:
    case nidtype::OutgoingQueueTable:
    case nidtype::HierarchyTable:
    case nidtype::ContentsTable:
    case nidtype::AssocContentsTable:
    case nidtype::SearchContentsTable:
    case nidtype::AttachmentTable:
    case nidtype::RecipientTable:
        return Role::TableContext;
    case nidtype::Internal:
        return nid == nids::MessageStore || nid == nids::NameToIdMap ? Role::PropertyContext : Role::Unknown;
    default:
        return Role::Unknown;
    }
}

bool looksLikeHeap(const std::vector<Bytes>& blocks)
{
    return !blocks.empty() && blocks[0].size() >= 12 && blocks[0][2] == kHeapSignature &&
           isKnownHeapClient(blocks[0][3]);
}

void checkHeapShape(const Heap& heap, Findings& f)
{
    for (std::size_t i = 0; i < heap.pages().size(); ++i) {
        const HeapPage& page = heap.pages()[i];
        const std::string where = heap.where() + " heap block " + std::to_string(i);
        for (std::size_t k = 1; k < page.offsets.size(); ++k) {
            const std::size_t size = page.offsets[k] - page.offsets[k - 1];
            if (size > kMaxHeapAllocation)
                f.error("HN_ALLOCATION_SIZE", where + " allocation " + std::to_string(k),
                        "at most " + std::to_string(kMaxHeapAllocation) +
                            " bytes (larger values go to subnodes)",
                        std::to_string(size) + " bytes");
        }
        // The fill level records the block's free space in the format's bands ([MS-PST]
        // 2.3.1.2); Outlook counts what the block leaves unused of the 8176 a block can hold.
        const std::uint8_t expected = fillLevelFor(kMaxBlockDataSize - page.dataSize);
        const std::uint8_t recorded = heap.recordedFillLevel(i);
        if (recorded != expected)
            f.error("HN_FILL_LEVEL", where,
                    "fill level " + std::to_string(expected) + " for " + std::to_string(page.dataSize) +
                        " of " + std::to_string(kMaxBlockDataSize) + " bytes used",
                    std::to_string(recorded));
    }
    // Nibbles for blocks the heap does not have stay empty.
    for (std::size_t i = heap.pages().size(); i < 8; ++i)
        if (heap.recordedFillLevel(i) != 0) {
            f.error("HN_FILL_LEVEL", heap.where(), "fill level 0 for absent heap block " + std::to_string(i),
                    std::to_string(heap.recordedFillLevel(i)));
            break;
        }
}

// Row versions come from one store-wide counter whose last value the header's dwUnique holds
// (as in Outlook's files): no two rows of the store share one, and each is below it.
class RowVersions
{
public:
    explicit RowVersions(std::uint32_t unique) : m_unique(unique) {}

    void add(const std::string& table, const TableRow& row, Findings& f)
    {
        const auto cell = row.values.find(kTagLtpRowVer);
        if (cell == row.values.end() || cell->second.data().size() != 4)
            return; // the row's layout has been reported
        const std::uint32_t version = getU32(cell->second.data().data());
        if (m_tables.empty() || m_tables.back() != table)
            m_tables.push_back(table);
        if (version >= m_unique)
            f.error("TC_ROW_VERSION", table + " row " + hex(row.rowId),
                    "a row version below dwUnique " + std::to_string(m_unique), std::to_string(version));
        m_seen.push_back(Seen{version, static_cast<std::uint32_t>(m_tables.size() - 1), row.rowId});
    }

    // Kept as a sorted list rather than a map: a big store has a row per message.
    void reportRepeats(Findings& f)
    {
        std::stable_sort(m_seen.begin(), m_seen.end(),
                         [](const Seen& a, const Seen& b) { return a.version < b.version; });
        for (std::size_t i = 1; i < m_seen.size(); ++i) {
            const Seen& first = m_seen[i - 1];
            if (first.version == m_seen[i].version)
                f.error("TC_ROW_VERSION", m_tables[m_seen[i].table] + " row " + hex(m_seen[i].rowId),
                        "a row version no other row of the store has",
                        std::to_string(first.version) + ", as " + m_tables[first.table] + " row " +
                            hex(first.rowId) + " has");
        }
    }

private:
    struct Seen
    {
        std::uint32_t version;
        std::uint32_t table; // index into m_tables
        std::uint32_t rowId;
    };
    std::uint32_t m_unique;
    std::vector<std::string> m_tables;
    std::vector<Seen> m_seen;
};

void checkContent(const LtpNode& node, Role role, Findings& f, RowVersions& versions)
{
    if (role == Role::Unknown && !looksLikeHeap(node.blocks))
        return; // raw data the format does not describe (0x201 and friends)
    std::optional<Heap> heap;
    try {
        heap.emplace(node.blocks, &f, node.where);
    } catch (const FormatError& e) {
        // A wrong bSig has been reported as such; only a node too short for a heap is left.
        const bool reported = !node.blocks.empty() && node.blocks[0].size() >= 12;
        if (!reported)
            f.error("NODE_UNREADABLE", node.where, "a heap-on-node", e.what());
        return;
    }
    checkHeapShape(*heap, f);
    const auto client = static_cast<HeapClient>(heap->clientSignature());
    // Outlook 2007 keeps some search-folder tables in a table variant with client 0xAC (its
    // column descriptions live in a subnode); the format lists the signature without
    // describing it, so such a table is noted and left alone.
    if (role == Role::TableContext && heap->clientSignature() == kHeapClientWideTable) {
        f.note("NODE_NOT_DECODED", node.where,
               "a table with heap client 0xAC, which this checker does not decode");
        return;
    }
    const std::size_t before = f.all().size();
    try {
        if (role == Role::PropertyContext || (role == Role::Unknown && client == HeapClient::Properties))
            readPropertyContext(node, *heap, &f);
        else if (role == Role::TableContext || (role == Role::Unknown && client == HeapClient::Table))
            readTableContext(node, *heap, &f, // checked as read
                             [&](const Table&, TableRow&& row) { versions.add(node.where, row, f); });
    } catch (const FormatError& e) {
        // The reader names the cause itself where it can; only an unexplained stop is reported.
        if (f.all().size() == before)
            f.error("NODE_UNREADABLE", node.where,
                    role == Role::TableContext ? "a readable table context" : "a readable property context",
                    e.what());
    }
}

void checkSubnodes(const PstFile& file, const LtpNode& parent, Findings& f, RowVersions& versions, int depth)
{
    for (const SubnodeEntry& s : parent.subnodes) {
        // Subnodes of type LTP hold raw values and row matrices, read through their owners.
        if (nidType(s.nid) == nidtype::Ltp || s.bidData == 0 || depth > 4)
            continue;
        try {
            const LtpNode sub = loadSubnode(file, s, parent.where);
            checkContent(sub, roleOf(s.nid), f, versions);
            checkSubnodes(file, sub, f, versions, depth + 1);
        } catch (const FormatError& e) {
            f.error("NODE_UNREADABLE", parent.where + " subnode " + describeNid(s.nid), "readable data",
                    e.what());
        }
    }
}

} // namespace

void checkLists(const PstFile& file, Findings& f)
{
    RowVersions versions(file.header().unique);
    for (const NodeEntry& n : file.nodes()) {
        const Role role = roleOf(n.nid);
        if (n.bidData == 0) {
            if (role != Role::Unknown)
                f.error("NODE_UNREADABLE", describeNid(n.nid),
                        role == Role::TableContext ? "a table context" : "a property context",
                        "no data block");
            continue;
        }
        LtpNode node;
        try {
            node = loadNode(file, n);
        } catch (const FormatError& e) {
            f.error("NODE_UNREADABLE", describeNid(n.nid), "readable data and subnodes", e.what());
            continue;
        }
        checkContent(node, role, f, versions);
        checkSubnodes(file, node, f, versions, 0);
    }
    versions.reportRepeats(f);
}

} // namespace tressimo::pst::check
