#pragma once
// Checks a converted .pst through readers we did not write: the strict checker, pypff (every
// mapped field of every contact, in row order) and readpst's vCards (names, e-mail addresses
// and telephones). The expected values are what our reader makes of each row's file, handed
// over as the run hands it to the writer.

#include "contacts/contact_date.h"
#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "contacts/contact_record.h"
#include "pst/check/checker.h"
#include "tests/convert/spawn.h"
#include "tests/pst/oracle/pst_oracle.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tressimo::testing {

inline contacts::ContactRecord expectedRecord(const std::filesystem::path& file)
{
    contacts::ContactRecord record;
    contacts::ContactReaderContext context;
    const auto document = contacts::ContactDocument::load(file);
    EXPECT_TRUE(document.loaded()) << document.error();
    if (document.loaded())
        contacts::DisplayNode(document.document(), record, context);
    return contacts::handOver(record);
}

// pypff's text for a FILETIME: the UTC moment of local midnight of the OLE date's day, in
// this process's time zone (the converter's zone must be the same).
inline std::string utcOfLocalMidnight(double oleDate)
{
    const std::string day = contacts::formatOleDate(oleDate);
    std::tm fields{};
    fields.tm_year = std::stoi(day.substr(0, 4)) - 1900;
    fields.tm_mon = std::stoi(day.substr(5, 2)) - 1;
    fields.tm_mday = std::stoi(day.substr(8, 2));
    fields.tm_isdst = -1;
    const std::time_t utc = std::mktime(&fields);
    std::tm out{};
    gmtime_r(&utc, &out);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S.000000Z", &out);
    return buffer;
}

inline const nlohmann::json* namedValue(const nlohmann::json& item, const char* lid)
{
    for (const auto& p : item["properties"])
        if (p.contains("named") && p["named"].value("lid", "") == lid)
            return &p["value"];
    return nullptr;
}

// One contact of pypff's dump against the record it was written from.
inline void expectContactMatches(const nlohmann::json& item, const contacts::ContactRecord& r)
{
    ASSERT_TRUE(item.contains("contact")) << item.dump().substr(0, 300);
    const nlohmann::json& c = item["contact"];
    const std::pair<const char*, const std::string*> texts[] = {
        {"given_name", &r.eContact_FirstName},
        {"middle_name", &r.eContact_MiddleName},
        {"surname", &r.eContact_LastName},
        {"generation", &r.eContact_Suffix},
        {"display_name_prefix", &r.eContact_Title},
        {"email1_address", &r.eContact_Email},
        {"email2_address", &r.eContact_Email2},
        {"email3_address", &r.eContact_Email3},
        {"company_name", &r.eContact_Company},
        {"job_title", &r.eContact_JobTitle},
        {"profession", &r.eContact_JobTitle},
        {"work_address_street", &r.eContact_BusinessStreet},
        {"work_address_city", &r.eContact_BusinessCity},
        {"work_address_postal_code", &r.eContact_BusinessZip},
        {"work_address_state", &r.eContact_BusinessState},
        {"work_address_country", &r.eContact_BusinessCountry},
        {"office_location", &r.eContact_Location},
        {"business_home_page", &r.eContact_WebPage},
        {"department_name", &r.eContact_Department},
        {"manager_name", &r.eContact_Manager},
        {"assistant", &r.eContact_Assistant},
        {"business_telephone", &r.eContact_OfficePhone},
        {"business_fax", &r.eContact_OfficeFax},
        {"mobile_telephone", &r.eContact_CellPhone},
        {"pager_telephone", &r.eContact_Pager},
        {"home_address_street", &r.eContact_PersonalStreet},
        {"home_address_city", &r.eContact_PersonalCity},
        {"home_address_postal_code", &r.eContact_PersonalZip},
        {"home_address_state", &r.eContact_PersonalState},
        {"home_address_country", &r.eContact_PersonalCountry},
        {"spouse_name", &r.eContact_Spouse},
        {"home_telephone", &r.eContact_HomePhone},
        {"home_fax", &r.eContact_HomeFax},
        {"body", &r.eContact_Comments},
    };
    for (const auto& [key, value] : texts) {
        // Empty values are not stored at all.
        if (value->empty()) {
            EXPECT_FALSE(c.contains(key)) << key << " = " << c[key];
        } else {
            EXPECT_EQ(c.value(key, std::string("(absent)")), *value) << key;
        }
    }
    // Three empty other e-mail texts: no instant-messaging address at all.
    EXPECT_FALSE(c.contains("instant_messaging_address")) << c["instant_messaging_address"];
    // Dates: PR_BIRTHDAY / PR_WEDDING_ANNIVERSARY at local midnight in UTC, the local twins at
    // 00:00; nothing at all for a date the file lacks.
    const struct
    {
        const char* key;
        const char* localLid;
        const std::optional<double>* date;
    } dates[] = {{"birthday", "0x80DE", &r.eContact_BirthDay},
                 {"wedding_anniversary", "0x80DF", &r.eContact_Anniversary}};
    for (const auto& d : dates) {
        const nlohmann::json* local = namedValue(item, d.localLid);
        if (!*d.date) {
            EXPECT_FALSE(c.contains(d.key)) << d.key;
            EXPECT_EQ(local, nullptr) << d.localLid;
            continue;
        }
        EXPECT_EQ(c.value(d.key, std::string("(absent)")), utcOfLocalMidnight(**d.date)) << d.key;
        ASSERT_NE(local, nullptr) << d.localLid;
        EXPECT_EQ(*local, contacts::formatOleDate(**d.date) + "T00:00:00.000000Z") << d.localLid;
    }
}

// The vCards readpst writes for the contacts folder, one text each.
inline std::vector<std::string> readpstVCards(const std::filesystem::path& pst,
                                              const std::filesystem::path& scratch)
{
    const auto target = scratch / "readpst";
    std::filesystem::create_directories(target);
    const ProgramRun run = runProgram({"readpst", "-o", target.string(), pst.string()}, scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> cards;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(target)) {
        if (entry.path().filename() != "Contacts.contacts" && entry.path().filename() != "Contacts")
            continue;
        const std::string text = readWholeFile(entry.path());
        for (std::size_t at = text.find("BEGIN:VCARD"); at != std::string::npos;) {
            const std::size_t next = text.find("BEGIN:VCARD", at + 1);
            cards.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
            at = next;
        }
    }
    return cards;
}

// The whole check of one converted file.
inline void expectPstHolds(const std::filesystem::path& pst, const std::vector<contacts::ContactRecord>& rows,
                           const std::filesystem::path& scratch)
{
    SCOPED_TRACE(pst.string());
    const auto violations = pst::check::checkPst(pst);
    std::string found;
    for (const auto& v : violations)
        found += v.toString() + "\n";
    EXPECT_TRUE(pst::check::isSound(violations)) << found;

    const nlohmann::json dump = pst::oracle::dumpWithPypff(pst);
    const nlohmann::json* contactsFolder = pst::oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contactsFolder, nullptr);
    const auto& messages = (*contactsFolder)["messages"];
    ASSERT_EQ(messages.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("contact " + std::to_string(i));
        EXPECT_EQ(messages[i]["message_class"], "IPM.Contact");
        expectContactMatches(messages[i], rows[i]);
    }

    // readpst leaves out contacts without any name or address; the others, in order.
    std::vector<const contacts::ContactRecord*> named;
    for (const auto& r : rows)
        if (!r.eContact_FirstName.empty() || !r.eContact_LastName.empty() || !r.eContact_Email.empty())
            named.push_back(&r);
    const std::vector<std::string> cards = readpstVCards(pst, scratch);
    ASSERT_EQ(cards.size(), named.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const contacts::ContactRecord& r = *named[i];
        SCOPED_TRACE(cards[i]);
        if (!r.eContact_LastName.empty() || !r.eContact_FirstName.empty()) {
            EXPECT_NE(cards[i].find("N:" + r.eContact_LastName + ";" + r.eContact_FirstName + ";"),
                      std::string::npos);
        }
        for (const std::string* email : {&r.eContact_Email, &r.eContact_Email2, &r.eContact_Email3}) {
            if (!email->empty()) {
                EXPECT_NE(cards[i].find("EMAIL:" + *email + "\n"), std::string::npos) << *email;
            }
        }
        for (const std::string* phone :
             {&r.eContact_OfficePhone, &r.eContact_HomePhone, &r.eContact_CellPhone, &r.eContact_OfficeFax,
              &r.eContact_HomeFax, &r.eContact_Pager}) {
            if (!phone->empty()) {
                EXPECT_NE(cards[i].find(":" + *phone + "\n"), std::string::npos) << *phone;
            }
        }
    }
}

} // namespace tressimo::testing
