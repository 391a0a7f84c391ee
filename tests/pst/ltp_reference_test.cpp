// Our builders against the nodes Outlook wrote in its reference files: given the same
// content, we lay out heaps, property contexts and tables as Outlook does.

#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "tests/pst/ltp_test_util.h"

#include <algorithm>
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

// Every node of an Outlook file whose heap has this client signature, read by the checker's reader.
std::vector<check::LtpNode> referenceNodes(const char* name, check::HeapClient client, PstFilePtr& file)
{
    file = check::PstFile::open(referencePst(name));
    std::vector<check::LtpNode> out;
    for (const check::NodeEntry& n : file->nodes()) {
        if (n.bidData == 0)
            continue;
        check::LtpNode node = check::loadNode(*file, n);
        const auto& blocks = node.blocks;
        if (!blocks.empty() && blocks[0].size() >= 12 && blocks[0][2] == check::kHeapSignature &&
            blocks[0][3] == static_cast<std::uint8_t>(client))
            out.push_back(std::move(node));
    }
    return out;
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
    for (const ReferenceFile& file : kReferenceFiles) {
        int compared = 0;
        PstFilePtr outlook;
        for (const check::LtpNode& node : referenceNodes(file.name, check::HeapClient::Properties, outlook)) {
            SCOPED_TRACE(std::string(file.name) + " " + node.where);
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
            if (file.sameBytes) {
                EXPECT_EQ(ours.data.blocks, node.blocks);
            }
            ++compared;
        }
        EXPECT_GE(compared, 9);
    }
}

// Every table Outlook wrote (templates, folder tables with their rows, the receive-folder
// table), rebuilt from its columns in Outlook's CEB-bit order and its decoded rows, has the
// same layout and rows; a new store's come out byte for byte the same.
TEST(LtpReference, TablesMatchOutlook)
{
    for (const ReferenceFile& file : kReferenceFiles) {
        int compared = 0;
        PstFilePtr outlook;
        for (const check::LtpNode& node : referenceNodes(file.name, check::HeapClient::Table, outlook)) {
            SCOPED_TRACE(std::string(file.name) + " " + node.where);
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
            ASSERT_EQ(rebuiltRows.size(), rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rebuiltRows[i].rowId, rows[i].rowId);
                EXPECT_EQ(rebuiltRows[i].values, rows[i].values);
            }
            if (file.sameBytes) {
                EXPECT_EQ(ours.data.blocks, node.blocks);
            }
            ++compared;
        }
        EXPECT_GE(compared, 27);
    }
}

struct TemplateCase
{
    const char* name;
    std::vector<std::uint32_t> tags;
    std::size_t rowSize;
};

// The template tables' columns (as Outlook stores them, sorted by tag) give Outlook's row
// sizes whatever their order.
TEST(LtpReference, TemplateRowSizes)
{
    const TemplateCase cases[] = {
        {"hierarchy",
         {0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x3001001F, 0x36020003, 0x36030003, 0x360A000B,
          0x3613001F, 0x66350003, 0x66360003, 0x67F20003, 0x67F30003},
         55},
        {"contents",
         {0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B,
          0x0058000B, 0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003,
          0x0E080003, 0x0E170003, 0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102,
          0x0E3D0102, 0x10970003, 0x30080040, 0x30130102, 0x65C60003, 0x67F20003, 0x67F30003},
         126},
        {"associated contents",
         {0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F, 0x67F20003, 0x67F30003, 0x6800001F, 0x6803000B,
          0x68051003, 0x682F001F, 0x70030003, 0x70040102, 0x70050102, 0x7006001F, 0x70070003},
         59},
        {"search contents",
         {0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x0042001F, 0x0057000B, 0x0058000B, 0x0E03001F,
          0x0E04001F, 0x0E05001F, 0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003, 0x0E2A000B, 0x30080040,
          0x67F10003, 0x67F20003, 0x67F30003},
         78},
        {"recipients",
         {0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003, 0x0FFF0102, 0x3001001F, 0x3002001F, 0x3003001F,
          0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B, 0x67F20003, 0x67F30003},
         52},
        {"attachments", {0x0E200003, 0x3704001F, 0x37050003, 0x370B0003, 0x67F20003, 0x67F30003}, 25},
    };
    for (const TemplateCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PropTag> tags;
        for (const std::uint32_t t : c.tags)
            tags.emplace_back(t);
        const TableLayout layout(tags);
        EXPECT_EQ(layout.rowSize(), c.rowSize);
        EXPECT_EQ(layout.descriptors().size(), c.tags.size());
    }
}

} // namespace
} // namespace tressimo::pst
