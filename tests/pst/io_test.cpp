// Byte-level I/O: the format's CRC and creating a file. (Outlook's own CRCs and encoded
// blocks are reproduced by the node database's format tests; every block the writer encodes
// and sums while copying is verified by the checker, and the file sink carries every store
// the readers and the boundary tests open.)

#include "ndb_test_util.h"
#include "pst/io/crc.h"
#include "pst/io/permute.h"
#include "tests/support/support.h"

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

// The eight-byte stride must give the bit-by-bit result at every length and alignment.
TEST(IoCrc, FastPathAgreesWithBitwiseAtEveryLengthAndAlignment)
{
    Bytes data = patternBytes(700, 9);
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t length = 0; length + offset <= 200; ++length)
            ASSERT_EQ(computeCrc(data.data() + offset, length), bitwiseCrc(data.data() + offset, length))
                << offset << "+" << length;
    // Seed 0 and no final inversion: not zlib's crc32().
    EXPECT_EQ(computeCrc("123456789", 9), 0x2DFD2D88u);
    // Long runs go 64 and 16 bytes at a time where the processor can: every remainder.
    Bytes block = patternBytes(8192, 4);
    for (std::size_t length = 200; length <= block.size(); length += length < 400 ? 1 : 997)
        ASSERT_EQ(computeCrc(block.data(), length, 0x12345678), bitwiseCrc(block.data(), length, 0x12345678))
            << length;
    // Continuing from a seed equals one pass over the whole.
    EXPECT_EQ(computeCrc(data.data() + 300, 400, computeCrc(data.data(), 300)), computeCrc(data.data(), 700));
}

// Copying through the permute encoding maps every byte value, at every length (wide chunks
// and their remainders), and sums what it wrote.
TEST(IoCrc, EncodingCopyMapsEveryByteAndSumsTheResult)
{
    Bytes data(1100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 167 + i / 256);
    const std::uint8_t* map = permuteEncodeTable();
    for (std::size_t length = 0; length <= data.size(); length += length < 300 ? 1 : 61) {
        Bytes out(length + 1, 0xEE);
        const std::uint32_t crc = copyAndComputeCrc(data.data(), out.data(), length, map);
        for (std::size_t i = 0; i < length; ++i)
            ASSERT_EQ(out[i], map[data[i]]) << length << " at " << i;
        ASSERT_EQ(out[length], 0xEE) << length; // nothing past the end
        ASSERT_EQ(crc, bitwiseCrc(out.data(), length)) << length;
    }
}

// ---- sinks -------------------------------------------------------------------------------

// The message names the file and says why, so that the user can act on it; a file that
// was there is left as it was, never truncated or replaced.
TEST(IoFileSink, CreateReportsFileAndCauseAndLeavesAnyFileAlone)
{
    const tressimo::testing::TempDir dir{"io"};
    std::ofstream(dir / "old.pst") << "precious";
    const std::pair<std::filesystem::path, const char*> cases[] = {
        {dir / "old.pst", "File exists"}, {dir / "no" / "such.pst", "No such file or directory"}};
    for (const auto& [path, cause] : cases) {
        const Bytes before = readFileBytes(path);
        try {
            FileSink::createNew(path);
            ADD_FAILURE() << "created " << path;
        } catch (const IoError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(cause), std::string::npos) << message;
        }
        EXPECT_EQ(readFileBytes(path), before);
    }
}

} // namespace
} // namespace tressimo::pst::testing
