#pragma once
// Checks a converted .pst with the strict checker and through pypff, a reader we did not write:
// every mapped field and the names computed from them, of every contact, in row order. The
// expected values are what our reader makes of each row's file, handed over as the run hands
// it to the writer. (pffexport and readpst read every structure the store writes in tests/pst.)

#include "contacts/contact_date.h"
#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "contacts/contact_record.h"
#include "tests/pst/oracle/pst_oracle.h"
#include "tests/support/pst_support.h"
#include "tests/support/support.h"

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
    const std::tm out = *std::gmtime(&utc);
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

// The display name and the file-as text the model composes from the names, else the company,
// else the first e-mail address.
inline std::pair<std::string, std::string> displayAndFileAs(const contacts::ContactRecord& r)
{
    std::string display, person = r.eContact_FirstName, file;
    for (const std::string* part : {&r.eContact_Title, &r.eContact_FirstName, &r.eContact_MiddleName,
                                    &r.eContact_LastName, &r.eContact_Suffix})
        if (!part->empty())
            display += (display.empty() ? "" : " ") + *part;
    if (!r.eContact_MiddleName.empty())
        person += (person.empty() ? "" : " ") + r.eContact_MiddleName;
    file = r.eContact_LastName.empty()
               ? person
               : (person.empty() ? r.eContact_LastName : r.eContact_LastName + ", " + person);
    for (const std::string* fallback : {&r.eContact_Company, &r.eContact_Email})
        if (file.empty())
            file = *fallback;
    return {display.empty() ? file : display, file};
}

// One contact of pypff's dump against the record it was written from.
inline void expectContactMatches(const nlohmann::json& item, const contacts::ContactRecord& r)
{
    ASSERT_TRUE(item.contains("contact")) << item.dump().substr(0, 300);
    const nlohmann::json& c = item["contact"];
    const auto text = [&](const std::string& key) { return c.value(key, std::string("(absent)")); };
    std::vector<std::pair<const char*, const std::string*>> texts = {
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
        {"body", &r.eContact_Comments}};
    // The business address is also the mailing address.
    if (!r.eContact_BusinessStreet.empty())
        texts.insert(texts.end(), {{"mailing_address_street", &r.eContact_BusinessStreet},
                                   {"mailing_address_city", &r.eContact_BusinessCity},
                                   {"mailing_address_state", &r.eContact_BusinessState},
                                   {"mailing_address_postal_code", &r.eContact_BusinessZip},
                                   {"mailing_address_country", &r.eContact_BusinessCountry}});
    for (const auto& [key, value] : texts) {
        // Empty values are not stored at all.
        if (value->empty()) {
            EXPECT_FALSE(c.contains(key)) << key << " = " << c[key];
        } else {
            EXPECT_EQ(text(key), *value) << key;
        }
    }
    // The names the model computes from them, under their own properties.
    const auto [display, file] = displayAndFileAs(r);
    EXPECT_EQ(text("display_name"), display.empty() ? "(absent)" : display);
    EXPECT_EQ(text("file_under"), file.empty() ? "(absent)" : file);
    if (!r.eContact_BusinessStreet.empty()) {
        EXPECT_EQ(text("postal_address"), text("work_address"));
        EXPECT_EQ(c.value("postal_address_id", 0), 2);
        EXPECT_TRUE(text("work_address").starts_with(r.eContact_BusinessStreet + "\r\n"))
            << text("work_address");
    }
    if (!r.eContact_PersonalStreet.empty()) {
        EXPECT_TRUE(text("home_address").starts_with(r.eContact_PersonalStreet + "\r\n"))
            << text("home_address");
    }
    // Each address makes a whole e-mail group, and the groups are listed.
    std::vector<int> groups;
    const std::string* emails[] = {&r.eContact_Email, &r.eContact_Email2, &r.eContact_Email3};
    for (int i = 0; i < 3; ++i) {
        const std::string group = "email" + std::to_string(i + 1) + "_";
        if (emails[i]->empty()) {
            EXPECT_FALSE(c.contains(group + "display_name")) << group;
            continue;
        }
        groups.push_back(i);
        EXPECT_EQ(text(group + "address_type"), "SMTP");
        // "Name (address)", or the address alone when there is no other name to show.
        const std::string shown = text(group + "display_name");
        EXPECT_TRUE(shown == *emails[i] || shown.ends_with(" (" + *emails[i] + ")")) << shown;
        EXPECT_EQ(text(group + "original_display_name"), *emails[i]);
        EXPECT_TRUE(c.contains(group + "original_entry_id")) << group;
    }
    if (!groups.empty()) {
        EXPECT_EQ(c.value("address_book_provider_email_list", nlohmann::json()), nlohmann::json(groups));
    }
    if (!r.eContact_WebPage.empty()) {
        EXPECT_EQ(text("html"), r.eContact_WebPage);
    }
    // Three empty other e-mail texts: no instant-messaging address at all.
    EXPECT_FALSE(c.contains("instant_messaging_address")) << c["instant_messaging_address"];
    // Dates: PR_BIRTHDAY / PR_WEDDING_ANNIVERSARY at local midnight in UTC, the local twins at
    // 00:00; nothing at all for a date the file lacks.
    const std::tuple<std::string, const char*, std::optional<double>> dates[] = {
        {"birthday", "0x80DE", r.eContact_BirthDay}, {"wedding_anniversary", "0x80DF", r.eContact_Anniversary}};
    for (const auto& [key, localLid, date] : dates) {
        const nlohmann::json* local = namedValue(item, localLid);
        if (!date) {
            EXPECT_FALSE(c.contains(key)) << key;
            EXPECT_EQ(local, nullptr) << localLid;
            continue;
        }
        EXPECT_EQ(text(key), utcOfLocalMidnight(*date)) << key;
        ASSERT_NE(local, nullptr) << localLid;
        EXPECT_EQ(*local, contacts::formatOleDate(*date) + "T00:00:00.000000Z") << localLid;
    }
}

// The whole check of one converted file.
inline void expectPstHolds(const std::filesystem::path& pst, const std::vector<contacts::ContactRecord>& rows)
{
    SCOPED_TRACE(pst.string());
    EXPECT_TRUE(isSound(pst));

    const nlohmann::json dump = pst::oracle::dumpWithPypff(pst);
    const nlohmann::json* contactsFolder = pst::oracle::findFolder(dump, "Contacts");
    ASSERT_NE(contactsFolder, nullptr);
    EXPECT_EQ((*contactsFolder)["container_class"], "IPF.Contact");
    const auto& messages = (*contactsFolder)["messages"];
    ASSERT_EQ(messages.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("contact " + std::to_string(i));
        EXPECT_EQ(messages[i]["message_class"], "IPM.Contact");
        expectContactMatches(messages[i], rows[i]);
    }
}

inline const std::string kTool = TRESSIMO_BINARY_DIR "/tressimo-convert";

inline std::vector<std::filesystem::path> pstFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> out;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".pst")
                out.push_back(entry.path());
    return out;
}

// Items in the Contacts folder as pypff counts them (a full dump of thousands is slow), or -1
// when it cannot read the file.
inline int pypffContactCount(const std::filesystem::path& pst)
{
    const char* script = "import pypff, sys\n"
                         "f = pypff.file(); f.open(sys.argv[1])\n"
                         "def walk(folder):\n"
                         "    for sub in folder.sub_folders:\n"
                         "        if sub.name == 'Contacts': print(sub.number_of_sub_messages)\n"
                         "        walk(sub)\n"
                         "walk(f.get_root_folder())\n";
    const ProgramRun run = runProgram({"/usr/bin/python3", "-c", script, pst.string()});
    return run.status == 0 && !run.out.empty() ? std::atoi(run.out.c_str()) : -1;
}

} // namespace tressimo::testing
