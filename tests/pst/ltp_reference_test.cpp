// Our builders against the nodes Outlook wrote in its reference files: given the same
// content, we lay out heaps, property contexts and tables as Outlook does.

#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "tests/pst/ltp_test_util.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace tressimo::pst {
namespace {

using namespace tressimo::pst::testing;

struct ReferenceFile
{
    const char* name;
    // The current Outlook's new store is matched byte for byte. The Outlook 2007 store carries
    // the history of its edits (values allocated before their records, small values left in
    // subnodes), so there only the content must match.
    bool sameBytes;
};
const ReferenceFile kReferenceFiles[] = {{"outlook-empty.pst", true},
                                         {"outlook2007-contacts-distlist.pst", false}};

// Rebuilds every node of each Outlook file whose heap has this client signature, read by the
// checker's reader, and expects the new store's rebuilt byte for byte.
void forEachReferenceNode(check::HeapClient client, std::size_t atLeast,
                          const std::function<NodeContent(const check::LtpNode&)>& rebuild)
{
    for (const ReferenceFile& file : kReferenceFiles) {
        const PstFilePtr outlook = check::PstFile::open(referencePst(file.name));
        std::size_t compared = 0;
        for (const check::NodeEntry& n : outlook->nodes()) {
            if (n.bidData == 0)
                continue;
            const check::LtpNode node = check::loadNode(*outlook, n);
            const auto& blocks = node.blocks;
            if (blocks.empty() || blocks[0].size() < 12 || blocks[0][2] != check::kHeapSignature ||
                blocks[0][3] != static_cast<std::uint8_t>(client))
                continue;
            SCOPED_TRACE(std::string(file.name) + " " + node.where);
            const NodeContent ours = rebuild(node);
            if (file.sameBytes) {
                EXPECT_EQ(ours.data.blocks, node.blocks);
            }
            ++compared;
        }
        EXPECT_GE(compared, atLeast);
    }
}

using ColumnLayout = std::tuple<std::uint32_t, std::uint16_t, std::uint8_t, std::uint8_t>;

std::vector<ColumnLayout> layoutOf(const check::Table& table)
{
    std::vector<ColumnLayout> out;
    for (const check::TableColumn& c : table.columns)
        out.emplace_back(c.tag, c.offset, c.size, c.cebBit);
    return out;
}

// Every property context Outlook wrote, rebuilt from its decoded values (heap values given in
// the order Outlook allocated them), holds the same values; a new store's come out byte for
// byte the same.
TEST(LtpReference, PropertyContextsMatchOutlook)
{
    forEachReferenceNode(check::HeapClient::Properties, 9, [](const check::LtpNode& node) {
        const check::Heap heap(node.blocks);
        const check::Bth bth = check::readBth(heap, heap.userRoot());
        const StoredValues values = storedValues(check::readPropertyContext(node, heap));
        std::vector<std::pair<std::uint32_t, PropValue>> byHnid;
        for (const check::BthRecord& r : bth.records) {
            const std::uint32_t tag = std::uint32_t{getU16(r.key.data())} << 16 | getU16(r.data.data());
            const std::uint32_t hnid = getU32(r.data.data() + 2);
            const std::size_t size = fixedSize(PropTag(tag).type());
            const bool inHeap = (size == 0 || size > 4) && hnid != 0;
            byHnid.emplace_back(inHeap ? hnid : 0, PropValue(PropTag(tag), values.at(tag)));
        }
        std::stable_sort(byHnid.begin(), byHnid.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<PropValue> ordered;
        for (auto& entry : byHnid)
            ordered.push_back(entry.second);
        const NodeContent ours = buildPropertyContext(ordered);
        const ReadBack read = readBackPc(ours);
        EXPECT_EQ(read.errors, "");
        EXPECT_EQ(read.values(), values);
        return ours;
    });
}

// Every table Outlook wrote (templates, folder tables with their rows, the receive-folder
// table), rebuilt from its columns in Outlook's CEB-bit order and its decoded rows, has the
// same layout and rows; a new store's come out byte for byte the same.
TEST(LtpReference, TablesMatchOutlook)
{
    forEachReferenceNode(check::HeapClient::Table, 27, [](const check::LtpNode& node) {
        const check::Table tc = check::readTableContext(node);
        std::vector<check::TableColumn> byBit = tc.columns;
        std::sort(byBit.begin(), byBit.end(),
                  [](const auto& a, const auto& b) { return a.cebBit < b.cebBit; });
        std::vector<PropTag> columns;
        for (const auto& c : byBit)
            columns.emplace_back(c.tag);
        // Rows in Outlook's matrix order, which a new store's bytes depend on.
        std::vector<check::TableRow> rows = tc.rows;
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.rowIndex < b.rowIndex; });
        TableBuilder table(columns);
        for (const check::TableRow& row : rows) {
            std::vector<PropValue> values;
            for (const auto& [tag, value] : row.values)
                values.emplace_back(PropTag(tag), value.data());
            table.putRow(row.rowId, values);
        }
        const NodeContent ours = table.build();
        const ReadBack read = readBackTc(ours);
        EXPECT_EQ(read.errors, "");
        const check::Table rebuilt = read.table();
        EXPECT_EQ(layoutOf(rebuilt), layoutOf(tc));
        EXPECT_EQ(rebuilt.groupEnds, tc.groupEnds);
        const std::vector<check::TableRow> rebuiltRows = read.rows();
        EXPECT_EQ(rebuiltRows.size(), rows.size());
        for (std::size_t i = 0; i < rows.size() && i < rebuiltRows.size(); ++i) {
            EXPECT_EQ(rebuiltRows[i].values, rows[i].values);
        }
        return ours;
    });
}

} // namespace
} // namespace tressimo::pst
