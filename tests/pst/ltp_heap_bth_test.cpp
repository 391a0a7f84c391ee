// The heap-on-node and BTH builders, read back by the checker's reader.

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "tests/pst/ltp_test_util.h"

#include <gtest/gtest.h>
#include <numeric>

namespace tressimo::pst {
namespace {

using namespace tressimo::pst::testing;

// A heap read back, with everything the checker or our layout rules find wrong with it.
struct HeapRead
{
    explicit HeapRead(std::vector<Bytes> blocks) : heap(std::move(blocks), &findings)
    {
        errors = errorsOf(findings) + heapLayoutErrors(heap);
    }
    check::Findings findings;
    check::Heap heap;
    std::string errors;
};

struct HeapCase
{
    const char* name;
    std::vector<std::size_t> sizes;
    std::size_t blocks;
};

// Every allocation reads back whole from the HID it was given, whichever block it landed in:
// across the HNBITMAPHDR blocks 8 and 136, up to the 2047 allocations an HID can number,
// with sizes that leave odd tails before the page map.
TEST(LtpHeap, AllocationsReadBackAcrossBlocks)
{
    std::vector<std::size_t> mixed;
    for (std::size_t i = 0; i < 400; ++i)
        mixed.push_back(1 + (i * 2654435761u) % kMaxHeapAllocation);
    const HeapCase cases[] = {
        {"one block", std::vector<std::size_t>(10, 100), 1},
        {"two largest per block, past block 136", std::vector<std::size_t>(300, kMaxHeapAllocation), 150},
        {"tiny allocations, capped by the HID index", std::vector<std::size_t>(5000, 1), 3},
        {"mixed odd sizes", mixed, 0},
    };
    for (const HeapCase& c : cases) {
        SCOPED_TRACE(c.name);
        HeapBuilder heap(HeapClient::Bth);
        std::map<std::uint32_t, Bytes> expected;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            Bytes data(c.sizes[i]);
            std::iota(data.begin(), data.end(), static_cast<std::uint8_t>(i * 7));
            expected[heap.allocate(data).value] = data;
        }
        const std::vector<Bytes> blocks = heap.finish();
        if (c.blocks) {
            EXPECT_EQ(blocks.size(), c.blocks);
        }
        const HeapRead read(blocks);
        EXPECT_EQ(read.errors, "");
        EXPECT_EQ(heapItems(read.heap), expected);
    }
    HeapBuilder heap(HeapClient::Bth);
    heap.allocate(Bytes{1});
    EXPECT_THROW(heap.allocate(0), std::invalid_argument);
    EXPECT_THROW(heap.allocate(kMaxHeapAllocation + 1), std::invalid_argument);
    EXPECT_THROW(heap.write(Hid{0x20}, 0, Bytes{1, 2}), std::out_of_range);
}

struct BthCase
{
    std::uint8_t keySize;
    std::uint8_t dataSize;
    std::size_t count;
    std::uint8_t indexLevels;
};

// Records come back sorted and whole; index levels appear exactly when one allocation
// cannot hold the records (or the index entries), and every index key is its child's first
// key (the reader checks that).
TEST(LtpBth, LevelsAndKeys)
{
    const BthCase cases[] = {
        {2, 6, 0, 0},     {2, 6, 1, 0},    {2, 6, 447, 0},     {2, 6, 448, 1},
        {4, 4, 20000, 1}, {8, 1, 1000, 1}, {16, 32, 20000, 2},
    };
    for (const BthCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.keySize) + "/" + std::to_string(c.dataSize) + " x" +
                     std::to_string(c.count));
        const std::size_t size = std::size_t{c.keySize} + c.dataSize;
        Bytes records(c.count * size);
        std::vector<Bytes> expected;
        for (std::size_t i = 0; i < c.count; ++i) {
            std::uint8_t* r = records.data() + i * size;
            const std::uint64_t key = 3 * i + 1;
            for (std::size_t k = 0; k < std::min<std::size_t>(c.keySize, 8); ++k)
                r[k] = static_cast<std::uint8_t>(key >> (8 * k));
            std::fill(r + c.keySize, r + size, static_cast<std::uint8_t>(i));
            expected.emplace_back(r, r + size);
        }
        HeapBuilder heap(HeapClient::Bth);
        const Hid header = buildBth(heap, c.keySize, c.dataSize, records);
        const HeapRead heapRead(heap.finish());
        check::Findings findings;
        const check::Bth bth = check::readBth(heapRead.heap, header.value, &findings);
        EXPECT_EQ(heapRead.errors + errorsOf(findings), "");
        EXPECT_EQ(bth.header.keySize, c.keySize);
        EXPECT_EQ(bth.header.dataSize, c.dataSize);
        EXPECT_EQ(bth.header.indexLevels, c.indexLevels);
        std::vector<Bytes> read;
        for (const check::BthRecord& r : bth.records) {
            read.emplace_back(r.key.begin(), r.key.end());
            read.back().insert(read.back().end(), r.data.begin(), r.data.end());
        }
        EXPECT_EQ(read, expected);
    }
}

} // namespace
} // namespace tressimo::pst
