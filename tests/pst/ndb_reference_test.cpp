// The test reader against Outlook's own files, and a new store against Outlook's empty one.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ndb_test_reader.h"
#include "ndb_test_util.h"

namespace tressimo::pst::testing {
namespace {

struct OutlookFileCase
{
    const char* file;
    // What Outlook itself does differently from the strict rules, as substrings of the
    // reader's complaints; every complaint must be one of these, and each must show up.
    std::vector<std::string> knownQuirks;
};

class OutlookFile : public ::testing::TestWithParam<OutlookFileCase>
{
};

// If the reader complained about Outlook's files beyond their known quirks, its complaints
// about ours would mean nothing.
TEST_P(OutlookFile, ReaderFindsOnlyKnownQuirks)
{
    const OutlookFileCase& c = GetParam();
    Bytes file = readFileBytes(referencePst(c.file));
    ASSERT_FALSE(file.empty());
    NdbReader reader(file);
    std::set<std::string> seen;
    for (const std::string& problem : reader.problems()) {
        auto quirk = std::find_if(c.knownQuirks.begin(), c.knownQuirks.end(),
                                  [&](const std::string& q) { return problem.find(q) != std::string::npos; });
        EXPECT_NE(quirk, c.knownQuirks.end()) << problem;
        if (quirk != c.knownQuirks.end())
            seen.insert(*quirk);
    }
    EXPECT_EQ(seen.size(), c.knownQuirks.size()) << reader.report();
    EXPECT_GT(reader.nodes().size(), 40u);
    EXPECT_EQ(reader.nbtLevels, 2);
    EXPECT_EQ(reader.bbtLevels, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, OutlookFile,
    ::testing::Values(OutlookFileCase{"outlook-empty.pst", {}},
                      // Outlook 2007 kept its own FMap values in the header, left junk above the
                      // 32-bit subnode NIDs, kept a block whose last user had gone (cRef 1) and
                      // left old pages marked used.
                      OutlookFileCase{"outlook2007-contacts-distlist.pst",
                                      {"rgbFM/rgbFP not all 0xFF", "keeps bytes above its 32-bit subnode",
                                       "is referenced by nothing (cRef 1)", "AMap 0 "}}));

} // namespace
} // namespace tressimo::pst::testing
