#include "mapi/contact_entryid.h"
#include "mapi/contact_text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

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

// A one-off ID's three texts read back whole, ASCII or not, and a NUL inside one cannot end
// it early and shift the next.
TEST(ContactText, OneOffIdsKeepTheirFieldsApart)
{
    const auto fields = [](const std::vector<std::uint8_t>& id) {
        std::vector<std::u16string> out(1);
        for (std::size_t i = 24; i + 1 < id.size(); i += 2) {
            const auto unit = static_cast<char16_t>(id[i] | id[i + 1] << 8);
            if (unit != 0)
                out.back() += unit;
            else if (i + 2 < id.size())
                out.emplace_back();
        }
        return out;
    };
    using Fields = std::vector<std::u16string>;
    EXPECT_EQ(fields(makeOneOffEntryId("Ann Lee (ann@example.com)", "SMTP", "ann@example.com")),
              (Fields{u"Ann Lee (ann@example.com)", u"SMTP", u"ann@example.com"}));
    EXPECT_EQ(fields(makeOneOffEntryId(std::string("A\0B", 3), "SMTP", "a@b.c")), (Fields{u"AB", u"SMTP", u"a@b.c"}));
    EXPECT_EQ(fields(makeOneOffEntryId("Zo\xC3\xAB", "SMTP", std::string("z\0@b.c", 6))),
              (Fields{u"Zo\u00EB", u"SMTP", u"z@b.c"}));
}

} // namespace
} // namespace tressimo::mapi::contact
