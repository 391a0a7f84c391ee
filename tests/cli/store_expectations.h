#pragma once
// Checks a converted .pst with the strict checker and through pypff, a reader we did not write:
// every mapped field and the names computed from them, of every contact, in row order. The
// expected values are what our reader makes of each row's file, handed over as the run hands
// it to the writer. (pffexport and readpst read every structure the store writes in tests/pst.)

#include "contacts/contact_date.h"
#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "contacts/contact_record.h"
#include "image/contact_picture.h"
#include "outlook/contact_item_writer.h"
#include "tests/pst/oracle/pst_oracle.h"
#include "tests/support/pst_support.h"
#include "tests/support/support.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
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

// What the writer assigns to an object-model name, or sets in a step by tag, for the record.
inline std::string assigned(const contacts::ContactRecord& r, std::string_view property)
{
    const outlook::ComposedValues composed = outlook::composeValues(r);
    for (const auto& row : outlook::kAssignments)
        if (row.property == property)
            return std::string(outlook::assignedValue(row, r, composed));
    for (const auto& row : outlook::kTagAssignments)
        if (row.value.property == property)
            return std::string(outlook::assignedValue(row.value, r, composed));
    ADD_FAILURE() << "nothing is assigned to " << property;
    return {};
}

// The display name and the file-as text the model composes from the names, else the company,
// else the first e-mail address.
inline std::pair<std::string, std::string> displayAndFileAs(const contacts::ContactRecord& r)
{
    const std::string first = assigned(r, "FirstName"), middle = assigned(r, "MiddleName"),
                      last = assigned(r, "LastName");
    std::string display, person = first, file;
    for (const std::string& part :
         {assigned(r, "PR_DISPLAY_NAME_PREFIX"), first, middle, last, assigned(r, "PR_GENERATION")})
        if (!part.empty())
            display += (display.empty() ? "" : " ") + part;
    if (!middle.empty())
        person += (person.empty() ? "" : " ") + middle;
    file = last.empty() ? person : (person.empty() ? last : last + ", " + person);
    for (const std::string& fallback : {assigned(r, "CompanyName"), r.eContact_Email})
        if (file.empty())
            file = fallback;
    return {display.empty() ? file : display, file};
}

// One contact of pypff's dump against the record it was written from.
inline void expectContactMatches(const nlohmann::json& item, const contacts::ContactRecord& r)
{
    ASSERT_TRUE(item.contains("contact")) << item.dump().substr(0, 300);
    const nlohmann::json& c = item["contact"];
    const auto text = [&](const std::string& key) { return c.value(key, std::string("(absent)")); };
    // The oracle's name of each property and the object-model name it is assigned by.
    const std::pair<const char*, const char*> placed[] = {
        {"given_name", "FirstName"}, {"middle_name", "MiddleName"}, {"surname", "LastName"},
        {"generation", "PR_GENERATION"}, {"display_name_prefix", "PR_DISPLAY_NAME_PREFIX"},
        {"email1_address", "Email1Address"}, {"email2_address", "Email2Address"},
        {"email3_address", "Email3Address"}, {"company_name", "CompanyName"}, {"job_title", "JobTitle"},
        {"profession", "Profession"}, {"work_address_street", "BusinessAddressStreet"},
        {"work_address_city", "BusinessAddressCity"}, {"work_address_postal_code", "BusinessAddressPostalCode"},
        {"work_address_state", "BusinessAddressState"}, {"work_address_country", "BusinessAddressCountry"},
        {"office_location", "OfficeLocation"}, {"business_home_page", "WebPage"},
        {"department_name", "Department"}, {"manager_name", "ManagerName"}, {"assistant", "AssistantName"},
        {"business_telephone", "BusinessTelephoneNumber"}, {"business_fax", "BusinessFaxNumber"},
        {"mobile_telephone", "MobileTelephoneNumber"}, {"pager_telephone", "PagerNumber"},
        {"home_address_street", "HomeAddressStreet"}, {"home_address_city", "HomeAddressCity"},
        {"home_address_postal_code", "HomeAddressPostalCode"}, {"home_address_state", "HomeAddressState"},
        {"home_address_country", "HomeAddressCountry"}, {"spouse_name", "Spouse"},
        {"home_telephone", "HomeTelephoneNumber"}, {"home_fax", "HomeFaxNumber"}, {"body", "Body"},
        {"instant_messaging_address", "IMAddress"}, {"nickname", "NickName"}};
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& [key, property] : placed)
        texts.emplace_back(key, assigned(r, property));
    // The business address is also the mailing address, unless the file chose another.
    const bool businessMails = !r.eContact_BusinessStreet.empty() && r.MailingAddress.empty();
    if (businessMails)
        for (const char* part : {"street", "city", "state", "postal_code", "country"})
            texts.emplace_back(std::string("mailing_address_") + part,
                               c.value(std::string("work_address_") + part, std::string()));
    for (const auto& [key, value] : texts) {
        // Empty values are not stored at all.
        if (value.empty()) {
            EXPECT_FALSE(c.contains(key)) << key << " = " << c[key];
        } else {
            EXPECT_EQ(text(key), value) << key;
        }
    }
    // The names the model computes from them, under their own properties.
    const auto [display, file] = displayAndFileAs(r);
    EXPECT_EQ(text("display_name"), display.empty() ? "(absent)" : display);
    EXPECT_EQ(text("file_under"), file.empty() ? "(absent)" : file);
    if (businessMails) {
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
    // Then the business, home and other fax numbers (fax groups 2, 3, 1), entries 3 to 5.
    const std::pair<const char*, std::string> faxes[] = {
        {"fax2_address", r.eContact_OfficeFax}, {"fax3_address", r.eContact_HomeFax}, {"fax1_address", r.OtherFax}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.value(faxes[i].first, std::string()), faxes[i].second) << faxes[i].first;
        if (!faxes[i].second.empty())
            groups.push_back(3 + i);
    }
    EXPECT_EQ(c.value("address_book_provider_email_list", nlohmann::json()),
              groups.empty() ? nlohmann::json() : nlohmann::json(groups));
    EXPECT_EQ(c.value("html", std::string()), assigned(r, "WebPage"));
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
    // A photo that makes a picture is the contact's one attachment, flagged as its picture.
    const std::vector<std::uint8_t> jpeg =
        r.Photo.empty() ? std::vector<std::uint8_t>{} : image::outlookPictureFromBase64(r.Photo, r.PhotoType).jpeg;
    ASSERT_EQ(item["attachments"].size(), jpeg.empty() ? 0u : 1u);
    const nlohmann::json* hasPicture = namedValue(item, "0x8015");
    EXPECT_EQ(hasPicture ? *hasPicture : nlohmann::json(), jpeg.empty() ? nlohmann::json() : nlohmann::json(true));
    if (!jpeg.empty()) {
        const nlohmann::json& picture = item["attachments"][0];
        EXPECT_EQ(picture["name"], "ContactPicture.jpg");
        EXPECT_EQ(picture["contact_photo"], true);
        EXPECT_EQ(picture["data_size"], jpeg.size());
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
