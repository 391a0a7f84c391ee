// Byte-level I/O: the format's CRC and permute encoding against Outlook's stored values, and
// the sinks the writer writes through.

#include "ndb_test_util.h"
#include "pst/io/crc.h"
#include "pst/io/permute.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tressimo::pst::testing {
namespace {

// ---- CRC ---------------------------------------------------------------------------------

std::uint32_t bitwiseCrc(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0)
{
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

struct CrcVector
{
    std::string text;
    std::uint32_t crc;
};

class IoCrcVector : public ::testing::TestWithParam<CrcVector>
{
};

// Seed 0 and no final inversion: not zlib's crc32().
TEST_P(IoCrcVector, MatchesTheFormatsVariant)
{
    const CrcVector& v = GetParam();
    EXPECT_EQ(computeCrc(v.text.data(), v.text.size()), v.crc);
}

INSTANTIATE_TEST_SUITE_P(Known, IoCrcVector,
                         ::testing::Values(CrcVector{"", 0}, CrcVector{"123456789", 0x2DFD2D88},
                                           CrcVector{std::string(496, '\0'), 0}));

// The eight-byte stride must give the bit-by-bit result at every length and alignment.
TEST(IoCrc, FastPathAgreesWithBitwiseAtEveryLengthAndAlignment)
{
    Bytes data = patternBytes(700, 9);
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t length = 0; length + offset <= 200; ++length)
            ASSERT_EQ(computeCrc(data.data() + offset, length), bitwiseCrc(data.data() + offset, length))
                << offset << "+" << length;
    EXPECT_EQ(computeCrc(data.data(), 700), bitwiseCrc(data.data(), 700));
    // Long runs go 64 and 16 bytes at a time where the processor can: every remainder.
    Bytes block = patternBytes(8192, 4);
    for (std::size_t length = 200; length <= block.size(); length += length < 400 ? 1 : 997)
        ASSERT_EQ(computeCrc(block.data(), length, 0x12345678), bitwiseCrc(block.data(), length, 0x12345678))
            << length;
    // Continuing from a seed equals one pass over the whole.
    EXPECT_EQ(computeCrc(data.data() + 300, 400, computeCrc(data.data(), 300)), computeCrc(data.data(), 700));
}

// Encoding while copying gives the bytes and the CRC of encoding first and summing after.
TEST(IoCrc, CopyingThroughThePermutationAgreesWithEncodingThenSumming)
{
    const Bytes data = patternBytes(700, 3);
    for (const std::uint8_t* map : {static_cast<const std::uint8_t*>(nullptr), permuteEncodeTable()}) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            for (std::size_t length : {0, 1, 7, 8, 9, 63, 64, 65, 500, 691}) {
                Bytes expected(data.begin() + offset, data.begin() + offset + length);
                if (map)
                    permuteEncode(expected.data(), expected.size());
                Bytes out(length + 1, 0xAA);
                const std::uint32_t crc = copyAndComputeCrc(data.data() + offset, out.data(), length, map);
                ASSERT_EQ(Bytes(out.begin(), out.end() - 1), expected) << offset << "+" << length;
                ASSERT_EQ(out.back(), 0xAA) << "wrote past the end";
                ASSERT_EQ(crc, bitwiseCrc(expected.data(), expected.size())) << offset << "+" << length;
            }
        }
    }
}

class IoReferenceFile : public ::testing::TestWithParam<const char*>
{
};

// Every CRC Outlook stored: both header CRCs, every page and every block.
TEST_P(IoReferenceFile, CrcReproducesEveryStoredValue)
{
    Bytes file = readFileBytes(referencePst(GetParam()));
    ASSERT_GE(file.size(), 0x4400u);
    EXPECT_EQ(computeCrc(file.data() + 8, 471), getU32(file.data() + 4));
    EXPECT_EQ(computeCrc(file.data() + 8, 516), getU32(file.data() + 0x20C));
    for (std::uint64_t ib : {0x4200, 0x4400, 0x4600})
        EXPECT_EQ(computeCrc(file.data() + ib, 496), getU32(file.data() + ib + 500)) << ib;
    const PstFilePtr reader = readPst(file);
    ASSERT_GT(reader->blocks().size(), 30u);
    for (const check::BlockEntry& block : reader->blocks()) {
        std::uint64_t trailer = block.ib + (block.cb + 16 + 63) / 64 * 64 - 16;
        EXPECT_EQ(computeCrc(file.data() + block.ib, block.cb), getU32(file.data() + trailer + 4)) << block.bid;
    }
}

// Decoding Outlook's permute-encoded blocks must give heaps: signature 0xEC in byte 2, and
// a table (0x7C) or property context (0xBC) in byte 3. Encoding them again gives the stored
// bytes back.
TEST_P(IoReferenceFile, PermuteDecodesOutlooksBlocksIntoHeaps)
{
    Bytes file = readFileBytes(referencePst(GetParam()));
    const PstFilePtr reader = readPst(file);
    ASSERT_EQ(reader->header().cryptMethod, 1);
    int heaps = 0;
    for (const check::NodeEntry& node : reader->nodes()) {
        const std::uint32_t nid = node.nid;
        if (node.bidData == 0 || (node.bidData & 2))
            continue;
        Bytes stored = storedBlock(*reader, node.bidData);
        Bytes plain = stored;
        permuteDecode(plain.data(), plain.size());
        ASSERT_GE(plain.size(), 4u);
        std::uint32_t type = nid & 0x1F;
        if (type == 0x02 || type == 0x0D || type == 0x0E || type == 0x0F || nid == 0x21) {
            EXPECT_EQ(plain[2], 0xEC) << std::hex << nid;
            EXPECT_TRUE(plain[3] == 0x7C || plain[3] == 0xBC) << std::hex << nid;
            ++heaps;
        }
        permuteEncode(plain.data(), plain.size());
        EXPECT_EQ(plain, stored);
    }
    EXPECT_GT(heaps, 10);
}

INSTANTIATE_TEST_SUITE_P(Outlook, IoReferenceFile,
                         ::testing::Values("outlook-empty.pst", "outlook2007-contacts-distlist.pst"));

// ---- sinks -------------------------------------------------------------------------------

TEST(IoSink, FailingSinkFailsAtTheChosenOperationAndAfter)
{
    auto memory = std::make_unique<MemorySink>("x.pst");
    MemorySink* inner = memory.get();
    FailingSink sink(std::move(memory), 3);
    sink.writeAt(0, Bytes{1});
    sink.resize(4);
    EXPECT_THROW(sink.sync(), IoError);
    EXPECT_THROW(sink.writeAt(1, Bytes{2}), IoError);
    EXPECT_EQ(inner->bytes(), (Bytes{1, 0, 0, 0})) << "a failed write reaches nothing";
    EXPECT_EQ(inner->syncCount(), 0);
    EXPECT_EQ(sink.operations(), 4u);
}

class IoFileSink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / "tressimo-io-test";
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(IoFileSink, WritesResizesAndSyncs)
{
    std::filesystem::path path = m_dir / "a.pst";
    {
        auto sink = FileSink::createNew(path);
        sink->resize(4096);
        sink->writeAt(4000, Bytes{7, 8});
        sink->writeAt(5000, Bytes{9});
        sink->sync();
        EXPECT_EQ(sink->size(), 5001u);
        EXPECT_EQ(sink->name(), path.string());
    }
    Bytes content = readFileBytes(path);
    ASSERT_EQ(content.size(), 5001u);
    EXPECT_EQ(content[4000], 7);
    EXPECT_EQ(content[5000], 9);
    EXPECT_EQ(content[100], 0);
}

struct CreateFailure
{
    const char* name;
    std::function<std::filesystem::path(const std::filesystem::path&)> prepare;
    const char* cause;
};

class IoFileSinkCreate : public IoFileSink, public ::testing::WithParamInterface<CreateFailure>
{
};

// The message names the file and says why, so that the user can act on it.
TEST_P(IoFileSinkCreate, ReportsFileAndCause)
{
    std::filesystem::path path = GetParam().prepare(m_dir);
    try {
        FileSink::createNew(path);
        FAIL() << "created " << path;
    } catch (const IoError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().cause), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, IoFileSinkCreate,
                         ::testing::Values(CreateFailure{"Existing",
                                                         [](const std::filesystem::path& dir) {
                                                             std::ofstream(dir / "old.pst") << "x";
                                                             return dir / "old.pst";
                                                         },
                                                         "File exists"},
                                           CreateFailure{"MissingFolder",
                                                         [](const std::filesystem::path& dir) {
                                                             return dir / "no" / "such.pst";
                                                         },
                                                         "No such file or directory"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tressimo::pst::testing
