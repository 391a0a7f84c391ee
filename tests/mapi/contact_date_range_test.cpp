// The dates a contact takes, at both ends, and the message for one it cannot take.

#include "mapi/contact_model.h"

#include <gtest/gtest.h>

namespace tressimo::mapi::contact {
namespace {

TEST(ContactDates, TheAcceptedRangeAndTheMessageAgreeAtBothEnds)
{
    // OLE dates: 1601-01-01, 1601-01-02, 9999-12-31 late in the day, 10000-01-01.
    const std::pair<double, bool> cases[] = {
        {-109205, false}, {-109204, true}, {2958465.99, true}, {2958466, false}};
    for (const auto& [days, accepted] : cases) {
        ContactState state;
        try {
            state.setProperty(0x3A420040, OleDate{days});
            EXPECT_TRUE(accepted) << days;
        } catch (const ContactModelError& e) {
            EXPECT_FALSE(accepted) << days;
            EXPECT_NE(std::string(e.what()).find("outside 1601-01-02 to 9999-12-31"), std::string::npos)
                << e.what();
        }
    }
}

} // namespace
} // namespace tressimo::mapi::contact
