// The record's field table, reset, the hand-over copy, and the date rules.

#include "contacts/contact_date.h"
#include "contacts/contact_record.h"

#include <set>

#include <gtest/gtest.h>

namespace tressimo::contacts {
namespace {

// The writer's argument order; a field out of place would reach the wrong argument.
TEST(ContactRecord, FieldTableInArgumentOrder)
{
    const char* const names[] = {
        "eContact_FirstName",      "eContact_MiddleName",     "eContact_LastName",       "eContact_Suffix",
        "eContact_Title",          "eContact_Email",          "eContact_Email2",         "eContact_Email3",
        "eContact_Company",        "eContact_JobTitle",       "eContact_BusinessStreet", "eContact_BusinessCity",
        "eContact_BusinessZip",    "eContact_BusinessState",  "eContact_BusinessCountry", "eContact_Location",
        "eContact_WebPage",        "eContact_Department",     "eContact_Manager",        "eContact_Assistant",
        "eContact_OfficePhone",    "eContact_OfficeFax",      "eContact_CellPhone",      "eContact_Pager",
        "eContact_OtherEmail1",    "eContact_OtherEmail2",    "eContact_OtherEmail3",    "eContact_PersonalStreet",
        "eContact_PersonalCity",   "eContact_PersonalZip",    "eContact_PersonalState",  "eContact_PersonalCountry",
        "eContact_Spouse",         "eContact_Childern",       "eContact_HomePhone",      "eContact_HomeFax",
        "eContact_BirthDay",       "eContact_Anniversary",    "eContact_Comments",       "eContact_ShortName",
        "eContact_PhoneticName",   "eContact_MailDomain",     "eContact_Categories"};
    static_assert(std::size(names) == kContactFieldCount);
    for (std::size_t i = 0; i < kContactFieldCount; ++i) {
        EXPECT_EQ(kContactFields[i].name, names[i]);
        const bool date = i == 36 || i == 37;
        EXPECT_EQ(kContactFields[i].kind, date ? ContactFieldKind::Date : ContactFieldKind::Text) << names[i];
        EXPECT_EQ(kContactFields[i].text == nullptr, date) << names[i];
        EXPECT_EQ(kContactFields[i].date == nullptr, !date) << names[i];
    }
}

// Writes every field through the table; distinct values prove distinct members.
ContactRecord filledThroughTable()
{
    ContactRecord record;
    double day = 1;
    for (const ContactField& field : kContactFields) {
        if (field.kind == ContactFieldKind::Text)
            (record.*field.text).append(" ").append(field.name).append(" ");
        else
            record.*field.date = day++;
    }
    return record;
}

TEST(ContactRecord, EveryFieldHasItsOwnMemberAndResetClearsAll)
{
    ContactRecord record = filledThroughTable();
    std::set<std::string> texts;
    for (const ContactField& field : kContactFields)
        if (field.kind == ContactFieldKind::Text)
            texts.insert(record.*field.text);
    EXPECT_EQ(texts.size(), 41u);
    EXPECT_EQ(record.eContact_Childern, " eContact_Childern ");
    EXPECT_EQ(record.eContact_Anniversary, 2.0);

    record.reset();
    for (const ContactField& field : kContactFields) {
        if (field.kind == ContactFieldKind::Text)
            EXPECT_EQ(record.*field.text, "") << field.name;
        else
            EXPECT_FALSE((record.*field.date).has_value()) << field.name;
    }
}

TEST(ContactRecord, HandOverTrimsBlanksOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"  Ann  ", "Ann"},
        {"A  B", "A  B"},
        {"     ", ""},
        {"", ""},
        {" \tAnn\r\n ", "\tAnn\r\n"},
        {"\n Ann \n", "\n Ann \n"},
        {"\xC2\xA0" "Ann\xE3\x80\x80", "\xC2\xA0" "Ann\xE3\x80\x80"}, // no-break and ideographic spaces stay
    };
    for (const auto& [input, expected] : cases) {
        ContactRecord record;
        for (const ContactField& field : kContactFields)
            if (field.kind == ContactFieldKind::Text)
                record.*field.text = input;
        record.eContact_BirthDay = 25700.0;
        const ContactRecord copy = handOver(record);
        for (const ContactField& field : kContactFields) {
            if (field.kind == ContactFieldKind::Text) {
                EXPECT_EQ(copy.*field.text, expected) << field.name;
                EXPECT_EQ(record.*field.text, input) << "the record itself is left as read";
            }
        }
        EXPECT_EQ(copy.eContact_BirthDay, 25700.0);
        EXPECT_FALSE(copy.eContact_Anniversary.has_value());
    }
}

TEST(ContactDate, DateOfAValue)
{
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"1899-12-30", 0.0},
        {"1899-12-31T23:59:59Z", 1.0},
        {"1900-01-01", 2.0},
        {"1900-03-01", 61.0}, // 1900 was no leap year (OLE dates skip no day after it)
        {"1970-01-01T00:00:00Z", 25569.0},
        {"2000-02-29", 36585.0},
        {"2026-12-06T08:00:00.000-11:00", 46362.0},
        {"0100-01-01", -657434.0},
        {"9999-12-31", 2958465.0},
        {"19700101", 25569.0},
        {"1970-01-01+05:30", 25569.0},
        {"  1970-01-01\r\n", 25569.0},
        {"1900-02-29", std::nullopt},
        {"2023-02-29", std::nullopt},
        {"2024-04-31", std::nullopt},
        {"2024-13-01", std::nullopt},
        {"0099-12-31", std::nullopt},
        {"10000-01-01", std::nullopt},
        {"1970-1-1", std::nullopt},
        {"01/02/1970", std::nullopt},
        {"1970-01-01x", std::nullopt},
        {"1970-01-01+25:00", std::nullopt},
        {"1970-01-01t00:00", std::nullopt}, // only a capital T starts the time
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(dateOfValue(text), expected) << '"' << text << '"';
}

TEST(ContactDate, FormatsTheDayOfAnOleDate)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "1899-12-30"}, {2.0, "1900-01-01"},       {36585.0, "2000-02-29"}, {36585.75, "2000-02-29"},
        {-1.0, "1899-12-29"}, {-657434.0, "0100-01-01"}, {2958465.0, "9999-12-31"},
    };
    for (const auto& [date, text] : cases)
        EXPECT_EQ(formatOleDate(date), text) << date;
}

} // namespace
} // namespace tressimo::contacts
