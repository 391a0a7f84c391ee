#include "mapi/contact_text.h"

#include <gtest/gtest.h>

namespace tressimo::mapi::contact {
namespace {

TEST(ContactText, Utf8ToUtf16HandlesEveryPlaneAndMalformedInput)
{
    struct Case
    {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"Ann", u"Ann"},
        {"Müller", u"Müller"},
        {"山田太郎", u"山田太郎"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},             // outside the BMP: a surrogate pair
        {"\xF0\xA0\xAE\xB7野", u"\U00020BB7野"},          // CJK extension B
        {"A\xFF" "B", u"A\uFFFDB"},                       // stray byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                    // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},          // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xE5\xB1", u"\uFFFD\uFFFD"},                    // cut short at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(ContactText, SanitizeDropsNulAndRepairsMalformedUtf8)
{
    EXPECT_EQ(sanitizeText(std::string("An\0n", 4)), "Ann");
    EXPECT_EQ(sanitizeText("Bad\xFF"), "Bad\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeText("山田 \xF0\x9F\x98\x80"), "山田 \xF0\x9F\x98\x80");
}

TEST(ContactText, TruncationCountsUtf16UnitsAndKeepsCodePointsWhole)
{
    EXPECT_EQ(truncateUtf16("abcdef", 4), "abcd");
    EXPECT_EQ(truncateUtf16("ab\xF0\x9F\x98\x80", 3), "ab"); // the pair would need units 3 and 4
    EXPECT_EQ(truncateUtf16("ab\xF0\x9F\x98\x80", 4), "ab\xF0\x9F\x98\x80");
    EXPECT_EQ(truncateUtf16("山田太郎", 2), "山田");
}

TEST(ContactText, CategoriesSplitAsOutlookListsThem)
{
    using Names = std::vector<std::string>;
    struct Case
    {
        std::string text;
        Names names;
    } cases[] = {
        {"", {}},
        {" , ; ", {}},
        {"Work", {"Work"}},
        {"Work, Personal", {"Work", "Personal"}},
        {"Work;Personal", {"Work", "Personal"}},
        {" Work ,, Personal , ", {"Work", "Personal"}},
        {"Work, work; WORK", {"Work"}},
        {"家族, Freunde", {"家族", "Freunde"}},
        {std::string(300, 'x'), {std::string(255, 'x')}},
        {std::string(254, 'y') + "\xF0\x9F\x98\x80", {std::string(254, 'y')}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCategories(c.text), c.names) << c.text;
}

} // namespace
} // namespace tressimo::mapi::contact
