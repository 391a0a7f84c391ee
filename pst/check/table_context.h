#pragma once
// The table context ([MS-PST] 2.3.4): TCINFO with its column descriptions, a row index BTH
// (row id -> row number) and a row matrix of fixed-size rows, each with a cell-existence
// bitmap (CEB).

#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/property.h"
#include "pst/check/violation.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::uint32_t kTagLtpRowId = 0x67F20003;
inline constexpr std::uint32_t kTagLtpRowVer = 0x67F30003;

struct TableColumn
{
    std::uint32_t tag = 0;
    std::uint16_t offset = 0; // ibData
    std::uint8_t size = 0;    // cbData
    std::uint8_t cebBit = 0;  // iBit
};

struct TableRow
{
    std::uint32_t rowId = 0;
    std::uint32_t rowIndex = 0; // position in the row matrix
    PropertyMap values;         // the cells whose CEB bit is set
};

struct Table
{
    std::vector<TableColumn> columns;
    // End offsets of the 8/4-byte, 2-byte and 1-byte groups and of the CEB (= row size).
    std::array<std::uint16_t, 4> groupEnds{};
    std::uint32_t rowIndexHid = 0;
    std::uint32_t rowsHnid = 0;
    // Rows in row-index (row id) order.
    std::vector<TableRow> rows;

    std::uint16_t rowSize() const { return groupEnds[3]; }
    const TableColumn* findColumn(std::uint32_t tag) const;
    const TableRow* findRow(std::uint32_t rowId) const;
};

// Reads the node's table context. Throws FormatError when the node is no TC at all;
// anything else wrong is reported to findings and read past where possible.
Table readTableContext(const LtpNode& node, Findings* findings = nullptr);
// The same over a heap already read from the node (its own findings already reported). With a
// row sink, each row goes to it (with the table's columns, its rows left empty) instead of
// into Table::rows, so a table of any length is read in constant memory.
using RowSink = std::function<void(const Table& table, TableRow&& row)>;
Table readTableContext(const LtpNode& node, const Heap& heap, Findings* findings = nullptr,
                       const RowSink& rowSink = {});

} // namespace tressimo::pst::check
