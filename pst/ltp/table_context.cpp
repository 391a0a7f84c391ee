#include "pst/ltp/table_context.h"

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tressimo::pst {
namespace {

constexpr std::size_t kMaxColumns = 255; // cCols is one byte
constexpr std::size_t kRowChunkBytes = 64 * 1024;
// Removed rows and replaced cells are reclaimed once they outweigh what is live.
constexpr std::size_t kMinRemovedRows = 1024;
constexpr std::size_t kMinGarbageBytes = 1024 * 1024;

// CEB bit 0 is the most significant bit of the first CEB byte ([MS-PST] 2.3.4.4.1).
bool testBit(const std::uint8_t* ceb, std::size_t bit)
{
    return (ceb[bit / 8] & (0x80 >> (bit % 8))) != 0;
}

void setBit(std::uint8_t* ceb, std::size_t bit)
{
    ceb[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
}

// A fixed-size value into its cell. The usual sizes with a size known when compiling: a copy
// of a size known only at run time became a string move, slow to start for eight bytes.
void copyCell(std::uint8_t* cell, const std::uint8_t* value, std::size_t size)
{
    if (size == 8)
        std::memcpy(cell, value, 8); // times, 64-bit numbers
    else if (size == 4)
        std::memcpy(cell, value, 4); // 32-bit numbers
    else
        std::memcpy(cell, value, size);
}

void store(const TcInfo& info, std::uint8_t* p)
{
    p[0] = info.bType;
    p[1] = info.cCols;
    for (std::size_t i = 0; i < 4; ++i)
        putU16(p + 2 + 2 * i, info.rgib[i]);
    putU32(p + 10, info.hidRowIndex);
    putU32(p + 14, info.hnidRows);
    putU32(p + 18, info.hidIndex);
}

void store(const TcColumn& c, std::uint8_t* p)
{
    putU32(p, c.tag);
    putU16(p + 4, c.ibData);
    p[6] = c.cbData;
    p[7] = c.iBit;
}

} // namespace

bool TableLayout::storesHnid(PropType type)
{
    const std::size_t size = fixedSize(type);
    return size == 0 || size > 8;
}

TableLayout::TableLayout(std::span<const PropTag> columns)
{
    std::vector<PropTag> tags{kPidTagLtpRowId, kPidTagLtpRowVer};
    for (const PropTag tag : columns) {
        if (tag != kPidTagLtpRowId && tag != kPidTagLtpRowVer)
            tags.push_back(tag);
    }
    if (tags.size() > kMaxColumns)
        throw LtpError("a table has at most 255 columns, not " + std::to_string(tags.size()));
    for (const PropTag tag : tags) {
        if (!isKnownType(tag.type()))
            throw LtpError("column " + tagName(tag) + " has a type that cannot be stored");
    }

    m_columns.resize(tags.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
        m_columns[i].tag = tags[i].value;
        m_columns[i].iBit = static_cast<std::uint8_t>(i);
        m_columns[i].cbData =
            static_cast<std::uint8_t>(storesHnid(tags[i].type()) ? 4 : fixedSize(tags[i].type()));
    }
    // Groups of 8- and 4-byte, 2-byte and 1-byte cells, each in bit order.
    std::size_t offset = 0;
    auto place = [&](auto inGroup) {
        for (TcColumn& c : m_columns) {
            if (inGroup(c.cbData)) {
                c.ibData = static_cast<std::uint16_t>(offset);
                offset += c.cbData;
            }
        }
        return static_cast<std::uint16_t>(offset);
    };
    m_rgib[0] = place([](std::uint8_t cb) { return cb >= 4; });
    m_rgib[1] = place([](std::uint8_t cb) { return cb == 2; });
    m_rgib[2] = place([](std::uint8_t cb) { return cb == 1; });
    m_rgib[3] = static_cast<std::uint16_t>(offset + (m_columns.size() + 7) / 8);

    m_byTag.resize(m_columns.size());
    std::iota(m_byTag.begin(), m_byTag.end(), std::uint16_t{0});
    std::sort(m_byTag.begin(), m_byTag.end(),
              [&](std::uint16_t a, std::uint16_t b) { return m_columns[a].tag < m_columns[b].tag; });
    for (std::size_t i = 1; i < m_byTag.size(); ++i) {
        if (m_columns[m_byTag[i]].tag == m_columns[m_byTag[i - 1]].tag)
            throw LtpError("column " + tagName(PropTag(m_columns[m_byTag[i]].tag)) + " is given twice");
    }

    // At most a quarter full, so that a lookup rarely probes twice.
    m_slotBits = 4;
    while ((std::size_t{1} << m_slotBits) < 4 * m_columns.size())
        ++m_slotBits;
    m_slots.assign(std::size_t{1} << m_slotBits, kNoColumn);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        std::size_t slot = slotOf(m_columns[i].tag);
        while (m_slots[slot] != kNoColumn)
            slot = (slot + 1) & mask;
        m_slots[slot] = static_cast<std::uint16_t>(i);
    }
}

std::size_t TableLayout::slotOf(std::uint32_t tag) const
{
    return static_cast<std::uint32_t>(tag * 0x9E3779B1u) >> (32 - m_slotBits);
}

std::vector<TcColumn> TableLayout::descriptors() const
{
    std::vector<TcColumn> out;
    out.reserve(m_columns.size());
    for (const std::uint16_t i : m_byTag)
        out.push_back(m_columns[i]);
    return out;
}

const TcColumn* TableLayout::find(PropTag tag) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = slotOf(tag.value);; slot = (slot + 1) & mask) {
        const std::uint16_t i = m_slots[slot];
        if (i == kNoColumn)
            return nullptr;
        if (m_columns[i].tag == tag.value)
            return &m_columns[i];
    }
}

TableBuilder::TableBuilder(std::span<const PropTag> columns, RowVersionSource rowVersions)
    : m_layout(columns), m_rowsPerChunk(std::max<std::size_t>(1, kRowChunkBytes / m_layout.rowSize())),
      m_lastCell(m_layout.columns().size()), m_rowVersions(std::move(rowVersions))
{
    for (std::size_t i = 0; i < m_layout.columns().size(); ++i) {
        if (TableLayout::storesHnid(PropTag(m_layout.columns()[i].tag).type()))
            m_hnidColumns.push_back(static_cast<std::uint16_t>(i));
    }
}

TableBuilder::~TableBuilder() = default;
TableBuilder::TableBuilder(TableBuilder&&) noexcept = default;
TableBuilder& TableBuilder::operator=(TableBuilder&&) noexcept = default;

std::uint8_t* TableBuilder::rowAt(std::size_t slot) const
{
    return m_chunks[slot / m_rowsPerChunk].get() + (slot % m_rowsPerChunk) * m_layout.rowSize();
}

bool TableBuilder::isLive(std::size_t slot) const
{
    return !m_removed[slot];
}

void TableBuilder::releaseCells(const std::uint8_t* row)
{
    const std::uint8_t* ceb = row + m_layout.cebOffset();
    for (const std::uint16_t i : m_hnidColumns) {
        const TcColumn& c = m_layout.columns()[i];
        if (testBit(ceb, c.iBit)) {
            if (const std::uint32_t ref = getU32(row + c.ibData))
                m_cells.release(ref);
        }
    }
}

void TableBuilder::putRow(std::uint32_t rowId, std::span<const PropValue> values)
{
    const std::size_t rowSize = m_layout.rowSize();
    // Taken first: a source that fails leaves the table as it was.
    std::optional<std::uint32_t> version;
    if (std::none_of(values.begin(), values.end(),
                     [](const PropValue& v) { return v.tag() == kPidTagLtpRowVer; }))
        version = m_rowVersions ? m_rowVersions() : m_nextRowVer++;
    const std::optional<std::uint32_t> existing = m_index.find(rowId);
    std::size_t slot;
    if (existing) {
        slot = *existing;
        releaseCells(rowAt(slot));
    } else {
        slot = m_slots;
        if (slot / m_rowsPerChunk == m_chunks.size())
            m_chunks.push_back(std::make_unique<std::uint8_t[]>(m_rowsPerChunk * rowSize));
        // Counted as removed until complete, so a failure below leaves no half row behind.
        m_removed.push_back(true);
        ++m_removedCount;
        ++m_slots;
    }

    std::uint8_t* row = rowAt(slot);
    std::uint8_t* ceb = row + m_layout.cebOffset();
    std::memset(row, 0, rowSize);
    putU32(row, rowId);
    setBit(ceb, 0);
    for (const PropValue& value : values) {
        const TcColumn* column = m_layout.find(value.tag());
        if (!column || column->iBit == 0)
            continue;
        std::uint8_t* cell = row + column->ibData;
        if (TableLayout::storesHnid(value.type())) {
            if (testBit(ceb, column->iBit)) {
                if (const std::uint32_t ref = getU32(cell))
                    m_cells.release(ref);
            }
            std::uint32_t ref = 0;
            if (!value.data().empty()) {
                ref = m_cells.add(value.data(), m_lastCell[column->iBit]);
                m_lastCell[column->iBit] = ref;
            }
            putU32(cell, ref);
        } else {
            copyCell(cell, value.data().data(), column->cbData);
        }
        setBit(ceb, column->iBit);
    }
    if (version) {
        putU32(row + 4, *version);
        setBit(ceb, 1);
    }

    if (!existing) {
        m_index.insertOrAssign(rowId, static_cast<std::uint32_t>(slot));
        m_removed[slot] = false;
        --m_removedCount;
    }
    if (m_cells.garbageBytes() > kMinGarbageBytes && m_cells.garbageBytes() > m_cells.liveBytes())
        compactCells();
}

bool TableBuilder::removeRow(std::uint32_t rowId)
{
    const std::optional<std::uint32_t> slot = m_index.find(rowId);
    if (!slot)
        return false;
    std::uint8_t* row = rowAt(*slot);
    releaseCells(row);
    std::memset(row, 0, m_layout.rowSize());
    m_removed[*slot] = true;
    ++m_removedCount;
    m_index.erase(rowId);
    if (m_removedCount > kMinRemovedRows && m_removedCount > rowCount())
        compactRows();
    if (m_cells.garbageBytes() > kMinGarbageBytes && m_cells.garbageBytes() > m_cells.liveBytes())
        compactCells();
    return true;
}

bool TableBuilder::containsRow(std::uint32_t rowId) const
{
    return m_index.find(rowId).has_value();
}

void TableBuilder::compactCells()
{
    CellStore fresh;
    Bytes scratch;
    std::fill(m_lastCell.begin(), m_lastCell.end(), 0);
    for (std::size_t slot = 0; slot < m_slots; ++slot) {
        if (!isLive(slot))
            continue;
        std::uint8_t* row = rowAt(slot);
        const std::uint8_t* ceb = row + m_layout.cebOffset();
        for (const std::uint16_t i : m_hnidColumns) {
            const TcColumn& c = m_layout.columns()[i];
            const std::uint32_t ref = testBit(ceb, c.iBit) ? getU32(row + c.ibData) : 0;
            if (ref) {
                m_lastCell[c.iBit] = fresh.add(m_cells.get(ref, scratch), m_lastCell[c.iBit]);
                putU32(row + c.ibData, m_lastCell[c.iBit]);
            }
        }
    }
    m_cells = std::move(fresh);
}

void TableBuilder::compactRows()
{
    const std::size_t rowSize = m_layout.rowSize();
    std::vector<std::unique_ptr<std::uint8_t[]>> chunks;
    std::size_t live = 0;
    m_index.clear();
    for (std::size_t slot = 0; slot < m_slots; ++slot) {
        if (!isLive(slot))
            continue;
        if (live / m_rowsPerChunk == chunks.size())
            chunks.push_back(std::make_unique<std::uint8_t[]>(m_rowsPerChunk * rowSize));
        std::uint8_t* to = chunks.back().get() + (live % m_rowsPerChunk) * rowSize;
        std::memcpy(to, rowAt(slot), rowSize);
        m_index.insertOrAssign(getU32(to), static_cast<std::uint32_t>(live));
        ++live;
    }
    m_chunks = std::move(chunks);
    m_slots = live;
    m_removed.assign(live, false);
    m_removedCount = 0;
}

std::optional<std::vector<PropValue>> TableBuilder::row(std::uint32_t rowId) const
{
    const std::optional<std::uint32_t> slot = m_index.find(rowId);
    if (!slot)
        return std::nullopt;
    const std::uint8_t* row = rowAt(*slot);
    const std::uint8_t* ceb = row + m_layout.cebOffset();
    std::vector<PropValue> out;
    Bytes scratch;
    for (const TcColumn& c : m_layout.columns()) {
        if (!testBit(ceb, c.iBit))
            continue;
        const PropTag tag(c.tag);
        if (TableLayout::storesHnid(tag.type())) {
            const std::uint32_t ref = getU32(row + c.ibData);
            const ByteView data = ref ? m_cells.get(ref, scratch) : ByteView();
            out.emplace_back(tag, Bytes(data.begin(), data.end()));
        } else {
            out.emplace_back(tag, Bytes(row + c.ibData, row + c.ibData + c.cbData));
        }
    }
    return out;
}

std::vector<std::uint32_t> TableBuilder::rowIds() const
{
    std::vector<std::uint32_t> ids;
    ids.reserve(rowCount());
    for (std::size_t slot = 0; slot < m_slots; ++slot) {
        if (isLive(slot))
            ids.push_back(getU32(rowAt(slot)));
    }
    return ids;
}

NodeContent TableBuilder::build(SubnodeNidAllocator& nids) const
{
    const std::vector<TcColumn>& columns = m_layout.columns();
    const std::size_t rowSize = m_layout.rowSize();
    const std::size_t rows = rowCount();
    NodeContent node;

    // Outlook's order: row index header, TCINFO, row index records, row matrix, cells.
    HeapBuilder heap(HeapClient::Table);
    BthWriter rowIndex(heap, 4, 4);
    const Hid infoHid = heap.allocate(kTcInfoSize + columns.size() * sizeof(TcColumn));
    rowIndex.reserve(rows);

    std::vector<std::uint64_t> byId; // row id << 32 | row number
    byId.reserve(rows);
    for (std::size_t slot = 0, n = 0; slot < m_slots; ++slot) {
        if (isLive(slot))
            byId.push_back(std::uint64_t{getU32(rowAt(slot))} << 32 | n++);
    }
    std::sort(byId.begin(), byId.end());
    Bytes records(rows * 8);
    for (std::size_t i = 0; i < rows; ++i)
        putU64(records.data() + 8 * i, (byId[i] >> 32) | (byId[i] << 32));

    // A row's cells outside the row go to the heap, or to a subnode past 3580 bytes.
    Bytes scratch;
    auto emitRow = [&](const std::uint8_t* from, std::uint8_t* to) {
        std::memcpy(to, from, rowSize);
        const std::uint8_t* ceb = from + m_layout.cebOffset();
        for (const std::uint16_t i : m_hnidColumns) {
            const TcColumn& c = columns[i];
            const std::uint32_t ref = testBit(ceb, c.iBit) ? getU32(from + c.ibData) : 0;
            if (!ref)
                continue;
            const ByteView data = m_cells.get(ref, scratch);
            std::uint32_t hnid;
            if (data.size() <= kMaxHeapAllocation) {
                hnid = heap.allocate(data).value;
            } else {
                const Nid nid = nids.allocate(NidType::Ltp);
                node.subnodes.push_back(SubnodeContent{nid, NodeStream{splitIntoBlocks(data), 0, {}}, {}});
                hnid = nid.value;
            }
            putU32(to + c.ibData, hnid);
        }
    };

    std::uint32_t hnidRows = 0;
    if (rows > 0 && rows * rowSize <= kMaxHeapAllocation) {
        const Hid matrixHid = heap.allocate(rows * rowSize);
        Bytes matrix(rows * rowSize);
        for (std::size_t slot = 0, n = 0; slot < m_slots; ++slot) {
            if (isLive(slot))
                emitRow(rowAt(slot), matrix.data() + rowSize * n++);
        }
        heap.write(matrixHid, 0, matrix);
        hnidRows = matrixHid.value;
    } else if (rows > 0) {
        // Whole rows per block; every block but the last is padded to the full 8176 bytes.
        const Nid matrixNid = nids.allocate(NidType::Ltp);
        const std::size_t perBlock = kMaxBlockData / rowSize;
        std::vector<Bytes> blocks((rows + perBlock - 1) / perBlock);
        for (std::size_t b = 0; b + 1 < blocks.size(); ++b)
            blocks[b].resize(kMaxBlockData);
        blocks.back().resize((rows - (blocks.size() - 1) * perBlock) * rowSize);
        for (std::size_t slot = 0, n = 0; slot < m_slots; ++slot) {
            if (isLive(slot)) {
                emitRow(rowAt(slot), blocks[n / perBlock].data() + (n % perBlock) * rowSize);
                ++n;
            }
        }
        node.subnodes.push_back(SubnodeContent{matrixNid, NodeStream{std::move(blocks), 0, {}}, {}});
        hnidRows = matrixNid.value;
    }

    TcInfo info;
    info.cCols = static_cast<std::uint8_t>(columns.size());
    info.rgib = m_layout.groupEnds();
    info.hidRowIndex = rowIndex.header().value;
    info.hnidRows = hnidRows;
    Bytes infoBytes(kTcInfoSize + columns.size() * sizeof(TcColumn));
    store(info, infoBytes.data());
    const std::vector<TcColumn> descriptors = m_layout.descriptors();
    for (std::size_t i = 0; i < descriptors.size(); ++i)
        store(descriptors[i], infoBytes.data() + kTcInfoSize + i * sizeof(TcColumn));
    heap.write(infoHid, 0, infoBytes);

    rowIndex.write(records);
    heap.setUserRoot(infoHid);
    node.data.blocks = heap.finish();
    return node;
}

NodeContent TableBuilder::build() const
{
    SubnodeNidAllocator nids;
    return build(nids);
}

std::size_t TableBuilder::memoryUsage() const
{
    return m_chunks.size() * m_rowsPerChunk * m_layout.rowSize() + m_chunks.capacity() * sizeof(void*) +
           m_removed.capacity() / 8 + m_index.memoryUsage() + m_cells.memoryUsage() +
           m_hnidColumns.capacity() * sizeof(std::uint16_t) + m_lastCell.capacity() * sizeof(std::uint32_t);
}

} // namespace tressimo::pst
