// The pypff oracle on Outlook's files, and our reader against it: two readers written apart
// must agree on every property of every folder and item.

#include "check_patcher.h"
#include "pst/check/pst_reader.h"
#include "tests/pst/oracle/pst_oracle.h"
#include "tests/support/support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace tressimo::pst;
using namespace tressimo::pst::check;
using nlohmann::json;
namespace oracle = tressimo::pst::oracle;
using tressimo::pst::check::testing::referencePst;

namespace {

class OracleOnReference : public ::testing::TestWithParam<const char*>
{
};

TEST_P(OracleOnReference, AgreesWithOurReaderOnEveryProperty)
{
    TRESSIMO_NEEDS_LINUX_READERS();
    const json dump = oracle::dumpWithPypff(referencePst(GetParam()));
    const PstReader pst = PstReader::open(referencePst(GetParam()));
    std::size_t compared = 0;
    auto compare = [&](const json& object) {
        const std::uint32_t nid = object.at("id").get<std::uint32_t>();
        const PropertyMap ours = pst.properties(nid);
        std::set<std::uint32_t> theirs;
        for (const json& p : object.at("properties")) {
            const auto tag =
                static_cast<std::uint32_t>(std::stoul(p.at("tag").get<std::string>(), nullptr, 16));
            theirs.insert(tag);
            auto it = ours.find(tag);
            ASSERT_NE(it, ours.end()) << hex(nid) << " " << tagHex(tag) << " only pypff sees";
            if (const auto mine = oracle::asOracleJson(it->second)) {
                EXPECT_EQ(*mine, p.at("value")) << hex(nid) << " " << tagHex(tag);
                ++compared;
            }
        }
        for (const auto& [tag, value] : ours)
            EXPECT_TRUE(theirs.count(tag)) << hex(nid) << " " << tagHex(tag) << " only we see";
    };
    for (const json* folder : oracle::allFolders(dump)) {
        compare(*folder);
        for (const json& item : folder->at("messages"))
            compare(item);
    }
    EXPECT_GT(compared, 20u);
}

INSTANTIATE_TEST_SUITE_P(Outlook, OracleOnReference,
                         ::testing::Values("outlook-empty.pst", "outlook2007-contacts-distlist.pst"));

TEST(OracleFailure, ReportsAFilePypffRefuses)
{
    // A header CRC pypff checks: the oracle must fail loudly, not return an empty dump.
    const tressimo::testing::TempDir dir("oracle");
    const std::filesystem::path copy = dir / "bad-crc.pst";
    std::filesystem::copy_file(referencePst("outlook-empty.pst"), copy);
    {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put('\x00');
    }
    EXPECT_THROW(oracle::dumpWithPypff(copy), std::runtime_error);
}

} // namespace
