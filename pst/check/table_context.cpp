#include "pst/check/table_context.h"

#include "pst/check/block.h"
#include "pst/check/bth.h"
#include "pst/check/heap.h"
#include "pst/check/property_context.h"

#include <algorithm>

namespace tressimo::pst::check {
namespace {

constexpr std::uint8_t kTcType = 0x7C;
constexpr std::size_t kTcInfoSize = 22;
constexpr std::size_t kColumnSize = 8;

// Bytes a column of this type takes in a row: the value itself up to 8 bytes, else an HNID.
std::uint8_t cellSize(std::uint16_t type)
{
    if (isMultiValued(type))
        return 4;
    const std::size_t size = fixedSize(type);
    return size != 0 && size <= 8 ? static_cast<std::uint8_t>(size) : 4;
}

bool storedInline(std::uint16_t type)
{
    if (isMultiValued(type))
        return false;
    const std::size_t size = fixedSize(type);
    return size != 0 && size <= 8;
}

bool cebBitSet(const std::uint8_t* ceb, std::uint8_t bit)
{
    return (ceb[bit / 8] & (0x80 >> (bit % 8))) != 0;
}

} // namespace

const TableColumn* Table::findColumn(std::uint32_t tag) const
{
    for (const TableColumn& c : columns)
        if (c.tag == tag)
            return &c;
    return nullptr;
}

const TableRow* Table::findRow(std::uint32_t rowId) const
{
    for (const TableRow& r : rows)
        if (r.rowId == rowId)
            return &r;
    return nullptr;
}

Table readTableContext(const LtpNode& node, Findings* findings)
{
    const Heap heap(node.blocks, findings, node.where);
    return readTableContext(node, heap, findings);
}

Table readTableContext(const LtpNode& node, const Heap& heap, Findings* findings, const RowSink& rowSink)
{
    const std::string& where = node.where;
    auto error = [&](const char* code, std::string expected, std::string found) {
        if (findings)
            findings->error(code, where, std::move(expected), std::move(found));
    };

    if (heap.clientSignature() != static_cast<std::uint8_t>(HeapClient::Table)) {
        error("TC_HEAP_CLIENT", "heap client " + hex(kTcType) + " (table context)",
              hex(heap.clientSignature()));
        throw FormatError(where + ": not a table context");
    }
    const ByteView info = heap.item(heap.userRoot());
    if (info.size() < kTcInfoSize || info[0] != kTcType) {
        error("TC_INFO", "a TCINFO (bType 0x7C) at the heap's user root",
              info.empty() ? "nothing"
                           : "bType " + hex(info[0]) + ", " + std::to_string(info.size()) + " bytes");
        throw FormatError(where + ": no TCINFO");
    }
    const std::size_t columnCount = info[1];
    if (info.size() != kTcInfoSize + columnCount * kColumnSize) {
        error("TC_INFO",
              std::to_string(kTcInfoSize + columnCount * kColumnSize) + " bytes for " +
                  std::to_string(columnCount) + " columns",
              std::to_string(info.size()) + " bytes");
        if (info.size() < kTcInfoSize + columnCount * kColumnSize)
            throw FormatError(where + ": TCINFO shorter than its columns");
    }
    Table t;
    for (std::size_t i = 0; i < 4; ++i)
        t.groupEnds[i] = getU16(info.data() + 2 + 2 * i);
    t.rowIndexHid = getU32(info.data() + 10);
    t.rowsHnid = getU32(info.data() + 14);
    const std::uint32_t deprecatedIndex = getU32(info.data() + 18);
    if (deprecatedIndex != 0)
        error("TC_INFO", "hidIndex 0 (deprecated)", hex(deprecatedIndex));
    for (std::size_t i = 0; i < columnCount; ++i) {
        const std::uint8_t* c = info.data() + kTcInfoSize + i * kColumnSize;
        t.columns.push_back({getU32(c), getU16(c + 4), c[6], c[7]});
    }

    // Layout: groups in order, the CEB as long as the column count needs.
    const auto& g = t.groupEnds;
    if (!(g[0] <= g[1] && g[1] <= g[2] && g[2] <= g[3]))
        error("TC_INFO", "rgib group ends in ascending order",
              std::to_string(g[0]) + ", " + std::to_string(g[1]) + ", " + std::to_string(g[2]) + ", " +
                  std::to_string(g[3]));
    const std::size_t cebSize = (columnCount + 7) / 8;
    if (g[3] < g[2] || static_cast<std::size_t>(g[3] - g[2]) != cebSize)
        error("TC_CEB",
              "a CEB of " + std::to_string(cebSize) + " bytes for " + std::to_string(columnCount) +
                  " columns",
              std::to_string(int{g[3]} - int{g[2]}) + " bytes");

    std::vector<bool> bitUsed(std::max<std::size_t>(columnCount, 1), false);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> spans;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const TableColumn& c = t.columns[i];
        const std::string col = "column " + tagHex(c.tag);
        if (i > 0 && c.tag <= t.columns[i - 1].tag)
            error("TC_COLUMN_ORDER", "columns sorted by tag", col + " after " + tagHex(t.columns[i - 1].tag));
        const std::uint16_t type = tagType(c.tag);
        if (!isKnownType(type))
            error("TC_COLUMN_LAYOUT", col + " of a property type", "type " + hex(type));
        else if (c.size != cellSize(type))
            error("TC_COLUMN_LAYOUT", col + " cbData " + std::to_string(cellSize(type)),
                  "cbData " + std::to_string(c.size));
        const std::uint16_t lo = c.size >= 4 ? 0 : c.size == 2 ? g[0] : g[1];
        const std::uint16_t hi = c.size >= 4 ? g[0] : c.size == 2 ? g[1] : g[2];
        if (c.offset < lo || c.offset + c.size > hi)
            error("TC_COLUMN_LAYOUT",
                  col + " inside the " + std::to_string(c.size) + "-byte group " + std::to_string(lo) + ".." +
                      std::to_string(hi),
                  "ibData " + std::to_string(c.offset));
        for (auto [b, e] : spans)
            if (c.offset < e && b < c.offset + c.size)
                error("TC_COLUMN_LAYOUT", col + " not overlapping another column",
                      "bytes " + std::to_string(c.offset) + ".." + std::to_string(c.offset + c.size) +
                          " overlap");
        spans.emplace_back(c.offset, c.offset + c.size);
        if (c.cebBit >= columnCount || bitUsed[c.cebBit])
            error("TC_CEB", col + " with its own CEB bit below " + std::to_string(columnCount),
                  "iBit " + std::to_string(c.cebBit));
        else
            bitUsed[c.cebBit] = true;
    }
    // [MS-PST] 2.3.4.4.1: the row id and row version are the first two cells of every row.
    const TableColumn* rowIdCol = t.findColumn(kTagLtpRowId);
    const TableColumn* rowVerCol = t.findColumn(kTagLtpRowVer);
    if (!rowIdCol || rowIdCol->offset != 0 || rowIdCol->size != 4 || rowIdCol->cebBit != 0)
        error("TC_ROWID_COLUMN", "column 0x67F20003 at ibData 0, cbData 4, iBit 0",
              rowIdCol ? "ibData " + std::to_string(rowIdCol->offset) + ", iBit " +
                             std::to_string(rowIdCol->cebBit)
                       : "no such column");
    if (!rowVerCol || rowVerCol->offset != 4 || rowVerCol->size != 4 || rowVerCol->cebBit != 1)
        error("TC_ROWID_COLUMN", "column 0x67F30003 at ibData 4, cbData 4, iBit 1",
              rowVerCol ? "ibData " + std::to_string(rowVerCol->offset) + ", iBit " +
                              std::to_string(rowVerCol->cebBit)
                        : "no such column");

    // Row index: row id -> row number.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    try {
        const Bth bth = readBth(heap, t.rowIndexHid, findings);
        if (bth.header.keySize != 4 || bth.header.dataSize != 4)
            error("TC_ROW_INDEX", "a row index with cbKey 4, cbEnt 4",
                  "cbKey " + std::to_string(bth.header.keySize) + ", cbEnt " +
                      std::to_string(bth.header.dataSize));
        else
            for (const BthRecord& r : bth.records)
                index.emplace_back(getU32(r.key.data()), getU32(r.data.data()));
    } catch (const FormatError& e) {
        error("TC_ROW_INDEX", "a readable row index BTH at " + hex(t.rowIndexHid), e.what());
    }

    // Row matrix: a heap allocation, or a subnode whose blocks each hold whole rows.
    const std::size_t rowSize = t.rowSize();
    std::vector<Bytes> matrix;
    bool inSubnode = false;
    if (t.rowsHnid != 0) {
        try {
            if (isHid(t.rowsHnid)) {
                const ByteView v = heap.item(t.rowsHnid);
                matrix.emplace_back(v.begin(), v.end());
            } else {
                inSubnode = true;
                matrix = node.subnodeBlocks(t.rowsHnid);
            }
        } catch (const FormatError& e) {
            error("TC_ROW_MATRIX", "a readable row matrix at " + hex(t.rowsHnid), e.what());
        }
    }
    if (rowSize < 8) {
        error("TC_INFO", "rows of at least 8 bytes (row id and row version)",
              std::to_string(rowSize) + " bytes");
        return t;
    }
    const std::size_t rowsPerBlock = inSubnode ? kMaxBlockDataSize / rowSize : 0;
    if (inSubnode && rowsPerBlock == 0) {
        error("TC_INFO", "rows of at most " + std::to_string(kMaxBlockDataSize) + " bytes",
              std::to_string(rowSize));
        return t;
    }
    // Where the CEB sits must be inside the row, whatever the group ends claim.
    const bool cebInRow = g[2] + cebSize <= rowSize;
    std::size_t matrixRows = 0;
    for (std::size_t i = 0; i < matrix.size(); ++i) {
        const std::size_t bytes = matrix[i].size();
        const bool last = i + 1 == matrix.size();
        if (inSubnode && !last && bytes != kMaxBlockDataSize)
            error("TC_ROW_MATRIX",
                  "row matrix block " + std::to_string(i) + " filled to " +
                      std::to_string(kMaxBlockDataSize) + " bytes (only the last block is shorter)",
                  std::to_string(bytes) + " bytes");
        if (inSubnode && bytes / rowSize > rowsPerBlock)
            error("TC_ROW_MATRIX", "at most " + std::to_string(rowsPerBlock) + " rows per block",
                  std::to_string(bytes / rowSize));
        if (last && bytes % rowSize != 0)
            error("TC_ROW_MATRIX",
                  "whole rows of " + std::to_string(rowSize) + " bytes in row matrix block " +
                      std::to_string(i),
                  std::to_string(bytes) + " bytes");
        matrixRows += inSubnode && !last ? rowsPerBlock : bytes / rowSize;
    }
    if (index.size() != matrixRows)
        error("TC_ROW_COUNT",
              std::to_string(index.size()) + " rows in the row matrix (one per row index entry)",
              std::to_string(matrixRows));

    std::vector<bool> seen(index.size(), false);
    for (auto [rowId, rowIndex] : index) {
        // A copy: clang before 16 cannot capture a structured binding.
        auto rowWhere = [id = rowId] { return "row " + hex(id); };
        if (rowIndex >= index.size() || seen[rowIndex]) {
            error("TC_ROW_INDEX",
                  rowWhere() + " with a row number below " + std::to_string(index.size()) +
                      " used by no other row",
                  "row number " + std::to_string(rowIndex));
            continue;
        }
        seen[rowIndex] = true;
        const std::size_t block = inSubnode ? rowIndex / rowsPerBlock : 0;
        const std::size_t offset = (inSubnode ? rowIndex % rowsPerBlock : rowIndex) * rowSize;
        if (block >= matrix.size() || offset + rowSize > matrix[block].size())
            continue; // the count mismatch is reported above
        const std::uint8_t* row = matrix[block].data() + offset;
        const std::uint8_t* ceb = row + g[2];
        TableRow out;
        out.rowId = rowId;
        out.rowIndex = rowIndex;
        if (getU32(row) != rowId)
            error("TC_ROW_INDEX", rowWhere() + " holding dwRowID " + hex(rowId),
                  "dwRowID " + hex(getU32(row)));
        for (const TableColumn& c : t.columns) {
            if (!cebInRow || c.cebBit >= columnCount ||
                c.offset + c.size > std::min<std::size_t>(g[2], rowSize) || !cebBitSet(ceb, c.cebBit))
                continue;
            const std::uint16_t type = tagType(c.tag);
            if (!isKnownType(type))
                continue;
            auto cellWhere = [&] { return where + " " + rowWhere() + " column " + tagHex(c.tag); };
            Bytes value;
            if (storedInline(type)) {
                value.assign(row + c.offset, row + c.offset + c.size);
            } else {
                const std::uint32_t hnid = getU32(row + c.offset);
                try {
                    value = resolveHnid(node, heap, hnid);
                } catch (const FormatError& e) {
                    if (findings)
                        findings->error("TC_CELL_REF", cellWhere(),
                                        "an HNID naming a heap allocation or subnode", e.what());
                    continue;
                }
            }
            if (const auto problem = valueShapeProblem(type, value)) {
                if (findings)
                    findings->error("TC_CELL_VALUE", cellWhere(), "a value that fits its type", *problem);
                continue;
            }
            out.values[c.tag] = PropertyValue(type, std::move(value));
        }
        if (rowSink)
            rowSink(t, std::move(out));
        else
            t.rows.push_back(std::move(out));
    }
    return t;
}

} // namespace tressimo::pst::check
