// The header encoder against Outlook's own bytes (the checker verifies every page's and
// block's trailer and CRC in the other tests; space allocation is judged by the checker on
// every store written and by the crash tests).

#include "ndb_test_util.h"
#include "pst/ndb/header.h"

#include <gtest/gtest.h>

namespace tressimo::pst::testing {
namespace {

using namespace ndb;

class NdbOutlookBytes : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        file = readFileBytes(referencePst(GetParam()));
        ASSERT_GT(file.size(), 0x4400u);
    }
    Bytes file;
};

// Our header with Outlook's values is Outlook's header, apart from the fields the format
// leaves to the implementation (Outlook puts junk there; a new file gets zeros) and the CRCs
// over them.
TEST_P(NdbOutlookBytes, HeaderEncodesLikeOutlooks)
{
    const check::Header theirs = readPst(file)->header();
    Header h;
    h.bidNextP = theirs.bidNextP;
    h.bidNextB = theirs.bidNextB;
    h.dwUnique = theirs.unique;
    h.rgnid = theirs.rgnid;
    h.ibFileEof = theirs.fileEof;
    h.ibAMapLast = theirs.amapLast;
    h.cbAMapFree = theirs.amapFree;
    h.nbt = {theirs.nbt.bid, theirs.nbt.ib};
    h.bbt = {theirs.bbt.bid, theirs.bbt.ib};
    h.fAMapValid = theirs.amapValid;
    h.cryptMethod = theirs.cryptMethod;
    HeaderBytes ours = encodeHeader(h);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        bool implementationDefined = (i >= 0x10 && i < 0x18) || (i >= 0x210) || (i >= 0xAC && i < 0xB4) ||
                                     (i >= 0xD0 && i < 0xD8) || (i >= 0x100 && i < 0x200);
        bool crc = (i >= 4 && i < 8) || (i >= 0x20C && i < 0x210);
        if (!implementationDefined && !crc) {
            EXPECT_EQ(ours[i], file[i]) << "header byte " << std::hex << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Outlook, NdbOutlookBytes,
                         ::testing::Values("outlook-empty.pst", "outlook2007-contacts-distlist.pst"));

} // namespace
} // namespace tressimo::pst::testing
