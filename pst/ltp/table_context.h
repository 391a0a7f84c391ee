#pragma once
// Table context ([MS-PST] 2.3.4): rows of fixed layout on a heap whose client signature is
// 0x7C. The TCINFO (user root) describes the columns; a BTH (row id -> row number) is the
// row index; the row matrix holds the rows back to back, each ending in its cell existence
// block (CEB). The matrix sits in one heap allocation when it is small, otherwise in a
// subnode whose blocks hold whole rows (every block but the last padded to 8176 bytes).

#include "pst/ltp/prop_value.h"
#include "pst/ltp/subnode_nids.h"
#include "pst/ltp/table_rows.h"
#include "pst/ndb/node.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tressimo::pst {

inline constexpr std::uint8_t kTcType = 0x7C;

// TCOLDESC.
struct TcColumn
{
    std::uint32_t tag = 0;
    std::uint16_t ibData = 0;
    std::uint8_t cbData = 0;
    std::uint8_t iBit = 0;
};
static_assert(sizeof(TcColumn) == 8);

// TCINFO without its column array. Its hidRowIndex sits at offset 10, so this struct is not
// the byte layout; it is written field by field (kTcInfoSize bytes).
struct TcInfo
{
    std::uint8_t bType = kTcType;
    std::uint8_t cCols = 0;
    std::array<std::uint16_t, 4> rgib{}; // ends of the 4/8-byte, 2-byte, 1-byte groups and the CEB
    std::uint32_t hidRowIndex = 0;
    std::uint32_t hnidRows = 0;
    std::uint32_t hidIndex = 0; // deprecated, always 0
};
inline constexpr std::size_t kTcInfoSize = 22;

// Where each column of a table lives in a row.
//
// The order of the columns given decides their CEB bits (PidTagLtpRowId 0 and
// PidTagLtpRowVer 1 always, the others from 2 in the order given) and their places: the
// 8- and 4-byte values first (an HNID counts as 4 bytes), then the 2-byte, then the 1-byte
// values, each group in bit order, then the CEB. That is how Outlook lays out its tables, so
// a table given Outlook's column order comes out with Outlook's exact layout.
class TableLayout
{
public:
    // Throws LtpError for a repeated tag, an unknown type or more than 255 columns.
    explicit TableLayout(std::span<const PropTag> columns);
    explicit TableLayout(std::initializer_list<PropTag> columns)
        : TableLayout(std::span<const PropTag>(columns.begin(), columns.size()))
    {
    }

    // In bit order.
    const std::vector<TcColumn>& columns() const { return m_columns; }
    // Sorted by tag, as TCINFO stores them.
    std::vector<TcColumn> descriptors() const;
    const TcColumn* find(PropTag tag) const;
    const std::array<std::uint16_t, 4>& groupEnds() const { return m_rgib; }
    std::size_t cebOffset() const { return m_rgib[2]; }
    std::size_t rowSize() const { return m_rgib[3]; }
    // Whether the column holds an HNID rather than the value itself.
    static bool storesHnid(PropType type);

private:
    std::size_t slotOf(std::uint32_t tag) const;

    std::vector<TcColumn> m_columns;
    std::vector<std::uint16_t> m_byTag; // column indices sorted by tag
    // Column index by tag, open addressing (kNoColumn marks a free slot): find() runs for
    // every value of every row put.
    static constexpr std::uint16_t kNoColumn = 0xFFFF;
    std::vector<std::uint16_t> m_slots;
    unsigned m_slotBits = 0;
    std::array<std::uint16_t, 4> m_rgib{};
};

// Where rows take their versions (PidTagLtpRowVer): in a store, one counter that every
// table shares, so no two rows of the store have the same version.
using RowVersionSource = std::function<std::uint32_t()>;

// The rows of one table, kept compactly for the life of a store; build() gives the node.
// Rows keep the order they were first put in (a replaced row keeps its place).
class TableBuilder
{
public:
    // Without a source, the table counts its row versions itself from 1.
    explicit TableBuilder(std::span<const PropTag> columns, RowVersionSource rowVersions = {});
    explicit TableBuilder(std::initializer_list<PropTag> columns, RowVersionSource rowVersions = {})
        : TableBuilder(std::span<const PropTag>(columns.begin(), columns.size()), std::move(rowVersions))
    {
    }
    ~TableBuilder();
    TableBuilder(TableBuilder&&) noexcept;
    TableBuilder& operator=(TableBuilder&&) noexcept;

    const TableLayout& layout() const { return m_layout; }

    // Adds a row, or replaces the row with this id in its place. Values whose tags are not
    // columns are skipped, so a caller can hand over every property of the object the row
    // stands for; of a tag given twice the last wins. PidTagLtpRowId is the row id;
    // PidTagLtpRowVer comes from the values, or else from the table's row version source.
    void putRow(std::uint32_t rowId, std::span<const PropValue> values);
    void putRow(std::uint32_t rowId, std::initializer_list<PropValue> values)
    {
        putRow(rowId, std::span<const PropValue>(values.begin(), values.size()));
    }
    // Removes a row; the rows after it move up. False when there is no such row.
    bool removeRow(std::uint32_t rowId);
    bool containsRow(std::uint32_t rowId) const;
    std::size_t rowCount() const { return m_index.size(); }
    // The row's present cells in bit order (RowId and RowVer first).
    std::optional<std::vector<PropValue>> row(std::uint32_t rowId) const;
    // Row ids in matrix order.
    std::vector<std::uint32_t> rowIds() const;

    // The table's node. Subnode NIDs (big cells, a row matrix past 3580 bytes) come from
    // `nids`. Throws LtpError when the table does not fit a heap.
    NodeContent build(SubnodeNidAllocator& nids) const;
    NodeContent build() const;

    // Bytes this builder holds, for memory budgets.
    std::size_t memoryUsage() const;

private:
    std::uint8_t* rowAt(std::size_t slot) const;
    bool isLive(std::size_t slot) const;
    void releaseCells(const std::uint8_t* row);
    void compactCells();
    void compactRows();

    TableLayout m_layout;
    std::vector<std::uint16_t> m_hnidColumns; // indices into m_layout.columns()
    std::size_t m_rowsPerChunk;
    std::vector<std::unique_ptr<std::uint8_t[]>> m_chunks;
    std::size_t m_slots = 0; // live and removed
    std::vector<bool> m_removed;
    std::size_t m_removedCount = 0;
    RowIdMap m_index;
    CellStore m_cells;
    std::vector<std::uint32_t> m_lastCell; // per column, the last cell added (shared when equal)
    RowVersionSource m_rowVersions;
    std::uint32_t m_nextRowVer = 1; // without a source
};

} // namespace tressimo::pst
