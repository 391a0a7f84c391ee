// The hand-over (copying and moving), the reset and the date rules. (The field table is checked by the reader's cases
// and, end to end, by the converted files.)

#include "contacts/contact_date.h"
#include "contacts/contact_record.h"
#include "tests/contacts/record_check.h"

#include <gtest/gtest.h>

namespace tressimo::contacts {
namespace {

TEST(ContactRecord, HandOverTrimsBlanksOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"  A  B  ", "A  B"},
        {"     ", ""},
        {"", ""},
        {" \tAnn\r\n\t ", "\tAnn\r\n\t"},
        {"\n Ann \n", "\n Ann \n"},
        {"\u00A0Ann\u3000", "\u00A0Ann\u3000"}, // no-break and ideographic spaces stay
    };
    for (const auto& [input, expected] : cases) {
        ContactRecord record;
        for (const ContactField& field : kContactFields)
            if (field.kind == ContactFieldKind::Text)
                record.*field.text = input;
        record.eContact_BirthDay = 25700.0;
        const ContactRecord copies[] = {handOver(record), handOver(ContactRecord(record))};
        for (const ContactRecord& copy : copies) {
            for (const ContactField& field : kContactFields)
                if (field.kind == ContactFieldKind::Text) {
                    EXPECT_EQ(copy.*field.text + "|" + record.*field.text, expected + "|" + input) << field.name;
                }
            EXPECT_EQ(copy.eContact_BirthDay, 25700.0);
            EXPECT_FALSE(copy.eContact_Anniversary.has_value());
        }
        record.eContact_Anniversary = 0.0;
        record.reset();
        tressimo::testing::expectRecord(record, {});
    }
}

// Both ways between a value's text and the day of an OLE date (days since 1899-12-30).
TEST(ContactDate, DateOfAValueAndTheDayOfADate)
{
    const std::pair<const char*, double> days[] = {
        {"1899-12-30", 0.0},
        {"1899-12-31T23:59:59Z", 1.0},
        {"1900-01-01", 2.0},
        {"1900-03-01", 61.0}, // 1900 was no leap year (OLE dates skip no day after it)
        {"2000-02-29", 36585.0},
        {"2026-12-06T08:00:00.000-11:00", 46362.0},
        {"0100-01-01", -657434.0},
        {"9999-12-31", 2958465.0},
        {"1970-01-01+05:30", 25569.0},
        {"  1970-01-01\r\n", 25569.0},
    };
    for (const auto& [text, day] : days) {
        EXPECT_EQ(dateOfValue(text), day) << '"' << text << '"';
        if (text[4] == '-') {
            EXPECT_EQ(formatOleDate(day), std::string(text, 10));
        }
    }
    EXPECT_EQ(formatOleDate(-1.0), "1899-12-29");
    EXPECT_EQ(formatOleDate(36585.75), "2000-02-29");
    // Only a capital T starts the time.
    for (const char* text :
         {"1900-02-29", "2023-02-29", "2024-04-31", "2024-13-01", "0099-12-31", "10000-01-01", "1970-1-1",
          "01/02/1970", "1970-01-01x", "1970-01-01+25:00", "1970-01-01t00:00", ""})
        EXPECT_EQ(dateOfValue(text), std::nullopt) << '"' << text << '"';
}

} // namespace
} // namespace tressimo::contacts
