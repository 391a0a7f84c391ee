// The table context builder, read back from a file by the checker's reader.

#include "pst/ltp/table_context.h"
#include "tests/pst/ltp_test_util.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace tressimo::pst {
namespace {

using namespace tressimo::pst::testing;

constexpr PropTag kClass{0x001A001F};
constexpr PropTag kFlags{0x0E070003};
constexpr PropTag kImportance{0x00170002}; // a 2-byte column
constexpr PropTag kRead{0x0057000B};
constexpr PropTag kModified{0x30080040};
constexpr PropTag kSearchKey{0x300B0102};
constexpr PropTag kGuid{0x68330048};

const std::vector<PropTag> kColumns = {kClass, kRead, kImportance, kModified, kFlags, kSearchKey, kGuid};

std::vector<PropValue> contactRow(std::uint32_t n)
{
    return {PropValue::fromString(kClass, "IPM.Contact"),
            PropValue::fromInt32(kFlags, static_cast<std::int32_t>(n)),
            PropValue::fromSysTime(kModified, 0x01D4EC549D04F1D0ull + n),
            PropValue::fromString(PropTag(0x0037001F), "not a column"),
            PropValue::fromBinary(kSearchKey, Bytes(16, static_cast<std::uint8_t>(n)))};
}

// Reads the built table back from a file and expects the builder's rows (the given cells that
// are columns, the row id and the row version), in its order.
ReadBack expectReadsAs(const TableBuilder& table, const NodeContent& node)
{
    ReadBack read = readBackTc(node);
    EXPECT_EQ(read.errors, "");
    const std::vector<check::TableRow> rows = read.rows();
    const std::vector<std::uint32_t> ids = table.rowIds();
    EXPECT_EQ(rows.size(), ids.size());
    for (std::size_t i = 0; i < ids.size() && i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].rowId, ids[i]) << "row " << i;
        EXPECT_EQ(storedValues(rows[i].values), storedValues(*table.row(ids[i]))) << "row " << i;
    }
    return read;
}

// Where each column sits is held to Outlook's tables (ltp_reference_test, the structure test);
// here, what no table of Outlook's shows: the column limit and a column given twice.
TEST(LtpTableContext, ColumnLimits)
{
    std::vector<PropTag> tooMany;
    for (std::uint16_t i = 0; i < 254; ++i)
        tooMany.emplace_back(static_cast<std::uint16_t>(0x4000 + i), PropType::Int32);
    EXPECT_THROW(TableLayout{tooMany}, LtpError);
    tooMany.pop_back();
    EXPECT_NO_THROW(TableLayout{tooMany}); // 253 + RowId + RowVer
    EXPECT_THROW(TableLayout({kFlags, kClass, kFlags}), LtpError);
}

// The builder keeps text whose high bytes are zero at half size and shares a value with the
// previous row's; neither may change what a row reads back, also after replacing a sharer
// and after the builder reclaims replaced cells.
TEST(LtpTableContext, CellValuesSurvivePackingAndSharing)
{
    const std::vector<PropValue> values = {
        PropValue::fromString(kClass, "IPM.Contact"),
        PropValue::fromString(kClass, "IPM.Contact"), // shared with the row before
        PropValue::fromString(kClass, "Jos\xC3\xA9"), // packs: every high byte is zero
        PropValue::fromString(kClass, "\xE5\xB1\xB1\xE7\x94\xB0"),
        PropValue::fromString(kClass, "\xF0\x9F\x98\x80"),
        PropValue::fromBinary(kSearchKey, Bytes{7, 0, 9, 0}),
        PropValue::fromBinary(kSearchKey, Bytes{7, 0, 9}),
        PropValue::fromBinary(kSearchKey, Bytes{7, 1, 9, 0}),
        PropValue::fromBinary(kSearchKey, Bytes{7, 1, 9, 0}),
    };
    TableBuilder table(kColumns);
    for (std::uint32_t i = 0; i < values.size(); ++i)
        table.putRow(i + 1, {values[i]});
    table.putRow(1, {PropValue::fromString(kClass, "IPM.Contact.Other")});
    expectReadsAs(table, table.build());
    EXPECT_EQ(table.row(2)->at(2), values[1]);

    for (int i = 0; i < 400; ++i) // 1.2 MB of replaced cells: the builder reclaims them
        table.putRow(100, {PropValue::fromBinary(kSearchKey, Bytes(3000, static_cast<std::uint8_t>(i)))});
    for (std::uint32_t i = 1; i < values.size(); ++i)
        EXPECT_EQ(table.row(i + 1)->at(2), values[i]) << i;
    expectReadsAs(table, table.build());
}

// Rows take their versions from the source the table is given; a source that fails (its store
// has) leaves the row that was there untouched.
TEST(LtpTableContext, RowVersionsFromTheSource)
{
    std::uint32_t next = 500;
    bool fail = false;
    TableBuilder table(kColumns, [&]() -> std::uint32_t {
        if (fail)
            throw std::runtime_error("store failed");
        return next += 7;
    });
    table.putRow(1, contactRow(1));
    table.putRow(2, contactRow(2));
    fail = true;
    EXPECT_THROW(table.putRow(1, contactRow(3)), std::runtime_error);
    EXPECT_THROW(table.putRow(3, contactRow(3)), std::runtime_error);
    EXPECT_EQ(table.rowIds(), (std::vector<std::uint32_t>{1, 2}));
    const std::vector<check::TableRow> rows = expectReadsAs(table, table.build()).rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].values.at(kPidTagLtpRowVer.value).toInt32(), 507);
    EXPECT_EQ(rows[0].values.at(kFlags.value).toInt32(), 1);
    EXPECT_EQ(rows[1].values.at(kPidTagLtpRowVer.value).toInt32(), 514);
}

// Cells past 3580 bytes go to subnodes of their own, with NIDs from the caller's allocator
// that clash neither with the row matrix nor with what the caller reserved.
TEST(LtpTableContext, BigCellsInSubnodes)
{
    TableBuilder table(kColumns);
    for (std::uint32_t i = 0; i < 200; ++i) {
        std::vector<PropValue> row = contactRow(i);
        if (i % 50 == 0)
            row.push_back(PropValue::fromBinary(kSearchKey, Bytes(3581 + i, static_cast<std::uint8_t>(i))));
        if (i == 7)
            row.push_back(PropValue::fromString(kClass, std::string(1790, 'c'))); // 3580 bytes: heap
        table.putRow(i + 1, row);
    }
    SubnodeNidAllocator nids;
    nids.reserve(Nid::make(NidType::Ltp, 0x401));
    const NodeContent node = table.build(nids);
    expectReadsAs(table, node);
    std::set<std::uint32_t> seen{Nid::make(NidType::Ltp, 0x401).value};
    for (const SubnodeContent& sub : node.subnodes)
        EXPECT_TRUE(seen.insert(sub.nid.value).second);
    EXPECT_EQ(node.subnodes.size(), 5u); // the matrix and four big cells
}

// Rows are found by id through growth, replacement and removal, also where ids crowd one
// place of the map (ids whose index differs by a power of two) and removals open gaps in
// the runs between them.
TEST(LtpTableRows, RowIdsFindTheirSlotsAfterRemovals)
{
    RowIdMap map;
    std::map<std::uint32_t, std::uint32_t> expected;
    std::mt19937 random(7);
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::uint32_t index = i % 3 == 0 ? i : (i % 7) << (4 + i % 9); // runs and crowds
        const std::uint32_t rowId = index << 5 | 0x04;
        map.insertOrAssign(rowId, i);
        expected[rowId] = i;
        if (random() % 3 == 0) {
            auto gone = expected.begin();
            std::advance(gone, random() % expected.size());
            EXPECT_TRUE(map.erase(gone->first));
            expected.erase(gone);
        }
    }
    ASSERT_EQ(map.size(), expected.size());
    for (const auto& [rowId, slot] : expected)
        EXPECT_EQ(map.find(rowId), slot) << rowId;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::uint32_t rowId = i << 5 | 0x04;
        if (!expected.contains(rowId))
            EXPECT_FALSE(map.find(rowId).has_value()) << rowId;
    }
}

} // namespace
} // namespace tressimo::pst
