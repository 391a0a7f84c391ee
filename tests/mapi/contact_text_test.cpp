#include "mapi/contact_text.h"

#include <gtest/gtest.h>

namespace tressimo::mapi::contact {
namespace {

// Texts that need no repair are used as they are; the test must agree with the repair.
TEST(ContactText, SanitizedTextsAreRecognised)
{
    const std::string cases[] = {
        "",
        "plain ASCII, longer than a machine word",
        "Müller 山田 \xF0\x9F\x98\x80",
        "\xEF\xBF\xBD is a replacement character written out",
        std::string("a\0b", 3),
        "A\xFF"
        "B",
        "\xC0\xAF",
        "\xED\xA0\x80",
        "\xE5\xB1",
        "cut short at the end \xF0\x9F\x98",
    };
    for (const std::string& text : cases)
        EXPECT_EQ(isSanitized(text), sanitizeText(text) == text) << text;
}

TEST(ContactText, CategoriesSplitAsOutlookListsThem)
{
    using Names = std::vector<std::string>;
    const std::pair<std::string, Names> cases[] = {
        {"", {}},
        {" , ; ", {}},
        {"Work, Personal", {"Work", "Personal"}},
        {"Work;Personal", {"Work", "Personal"}},
        {" Work ,, Personal , ", {"Work", "Personal"}},
        {"Work, work; WORK", {"Work"}},
        {"家族, Freunde", {"家族", "Freunde"}},
        {std::string(300, 'x'), {std::string(255, 'x')}},
        {std::string(254, 'y') + "\xF0\x9F\x98\x80", {std::string(254, 'y')}}, // a pair is never split
    };
    for (const auto& [text, names] : cases)
        EXPECT_EQ(splitCategories(text), names) << text;
}

} // namespace
} // namespace tressimo::mapi::contact
