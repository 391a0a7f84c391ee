#include "pst/ltp/bth.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace tressimo::pst {
namespace {

// Splits n entries into as few allocations of at most `capacity` as possible, evenly.
std::vector<std::size_t> spread(std::size_t n, std::size_t capacity)
{
    const std::size_t parts = (n + capacity - 1) / capacity;
    std::vector<std::size_t> counts(parts, n / parts);
    for (std::size_t i = 0; i < n % parts; ++i)
        ++counts[i];
    return counts;
}

// Keys compare as little-endian unsigned numbers.
int compareKeys(const std::uint8_t* a, const std::uint8_t* b, std::size_t size)
{
    for (std::size_t i = size; i-- > 0;) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

void store(const BthHeader& h, std::uint8_t* p)
{
    p[0] = h.bType;
    p[1] = h.cbKey;
    p[2] = h.cbEnt;
    p[3] = h.bIdxLevels;
    putU32(p + 4, h.hidRoot);
}

} // namespace

BthWriter::BthWriter(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize)
    : m_heap(heap), m_keySize(keySize), m_dataSize(dataSize)
{
    if (keySize != 2 && keySize != 4 && keySize != 8 && keySize != 16)
        throw std::invalid_argument("a BTH key is 2, 4, 8 or 16 bytes, not " + std::to_string(keySize));
    if (dataSize < 1 || dataSize > 32)
        throw std::invalid_argument("BTH data is 1 to 32 bytes, not " + std::to_string(dataSize));
    m_header = m_heap.allocate(sizeof(BthHeader));
    BthHeader header;
    header.cbKey = keySize;
    header.cbEnt = dataSize;
    std::uint8_t bytes[sizeof(BthHeader)];
    store(header, bytes);
    m_heap.write(m_header, 0, bytes);
}

void BthWriter::reserve(std::size_t count)
{
    if (!m_levels.empty() || m_singleLeaf.value != 0)
        throw std::logic_error("BthWriter::reserve called twice");
    m_count = count;
    if (count == 0)
        return;
    // Nearly every BTH fits one allocation: a leaf that is also the root.
    if (count <= kMaxHeapAllocation / recordSize()) {
        m_singleLeaf = m_heap.allocate(count * recordSize());
        return;
    }
    std::size_t entries = count;
    std::size_t entrySize = recordSize();
    do {
        Level level;
        level.counts = spread(entries, kMaxHeapAllocation / entrySize);
        for (const std::size_t n : level.counts)
            level.hids.push_back(m_heap.allocate(n * entrySize));
        entries = level.counts.size();
        entrySize = std::size_t{m_keySize} + 4;
        m_levels.push_back(std::move(level));
    } while (entries > 1);
}

void BthWriter::write(ByteView records)
{
    const std::size_t size = recordSize();
    if (records.size() != m_count * size)
        throw std::invalid_argument("BTH records: expected " + std::to_string(m_count) + " records of " +
                                    std::to_string(size) + " bytes, got " + std::to_string(records.size()) +
                                    " bytes");
    for (std::size_t i = 1; i < m_count; ++i) {
        if (compareKeys(records.data() + (i - 1) * size, records.data() + i * size, m_keySize) >= 0)
            throw std::invalid_argument("BTH record " + std::to_string(i) + " is not above its predecessor");
    }
    if (m_count == 0)
        return;
    if (m_singleLeaf.value != 0) {
        m_heap.write(m_singleLeaf, 0, records);
        writeHeader(0, m_singleLeaf);
        return;
    }

    // Leaves take the records in order; each index level takes the first key of each child.
    std::vector<const std::uint8_t*> firstKeys;
    const std::uint8_t* next = records.data();
    const Level& leaves = m_levels.front();
    for (std::size_t i = 0; i < leaves.hids.size(); ++i) {
        firstKeys.push_back(next);
        m_heap.write(leaves.hids[i], 0, ByteView(next, leaves.counts[i] * size));
        next += leaves.counts[i] * size;
    }
    for (std::size_t l = 1; l < m_levels.size(); ++l) {
        const Level& level = m_levels[l];
        const Level& below = m_levels[l - 1];
        std::vector<const std::uint8_t*> levelKeys;
        std::size_t child = 0;
        for (std::size_t i = 0; i < level.hids.size(); ++i) {
            levelKeys.push_back(firstKeys[child]);
            Bytes entries(level.counts[i] * (m_keySize + 4u));
            for (std::size_t e = 0; e < level.counts[i]; ++e, ++child) {
                std::uint8_t* at = entries.data() + e * (m_keySize + 4u);
                std::memcpy(at, firstKeys[child], m_keySize);
                putU32(at + m_keySize, below.hids[child].value);
            }
            m_heap.write(level.hids[i], 0, entries);
        }
        firstKeys = std::move(levelKeys);
    }

    writeHeader(m_levels.size() - 1, m_levels.back().hids.front());
}

void BthWriter::writeHeader(std::size_t indexLevels, Hid root)
{
    BthHeader header;
    header.cbKey = m_keySize;
    header.cbEnt = m_dataSize;
    header.bIdxLevels = static_cast<std::uint8_t>(indexLevels);
    header.hidRoot = root.value;
    std::uint8_t bytes[sizeof(BthHeader)];
    store(header, bytes);
    m_heap.write(m_header, 0, bytes);
}

Hid buildBth(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize, ByteView sortedRecords)
{
    BthWriter writer(heap, keySize, dataSize);
    writer.reserve(sortedRecords.size() / writer.recordSize());
    writer.write(sortedRecords);
    return writer.header();
}

} // namespace tressimo::pst
