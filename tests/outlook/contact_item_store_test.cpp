// Record values written by the contact writer into a real store and read back by pypff, a
// reader we did not write: one contact per rule of where a value goes, each with what must (or
// must not, null) be found.

#include "mapi/contact_properties.h"
#include "mapi/mapi.h"
#include "outlook/contact_item_writer.h"
#include "tests/pst/oracle/pst_oracle.h"
#include "tests/support/support.h"

#include <functional>
#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using contacts::ContactRecord;
using nlohmann::json;

struct Row
{
    const char* rule;
    std::function<void(ContactRecord&)> fill;
    std::vector<std::pair<const char*, json>> found;
};

TEST(ContactItemStore, EveryValueReachesItsOutlookProperty)
{
    const std::string heading(outlook::kUnplacedHeading);
    const Row rows[] = {
        {"the file's profession wins over the job title", [](auto& r) {
             r.eContact_JobTitle = "Engineer";
             r.Profession = "Physicist";
         }, {{"job_title", "Engineer"}, {"profession", "Physicist"}}},
        {"without one the job title is the profession", [](auto& r) { r.eContact_JobTitle = "Engineer"; },
         {{"profession", "Engineer"}}},
        {"a whole name alone is split", [](auto& r) { r.FormattedName = "Dr. Ann  Marie Smith Jr."; },
         {{"display_name_prefix", "Dr."}, {"given_name", "Ann"}, {"middle_name", "Marie"},
          {"surname", "Smith"}, {"generation", "Jr."}, {"display_name", "Dr. Ann Marie Smith Jr."},
          {"file_under", "Smith, Ann Marie"}}},
        {"last name first", [](auto& r) { r.FormattedName = "Smith, Ann"; },
         {{"given_name", "Ann"}, {"surname", "Smith"}, {"display_name", "Ann Smith"}}},
        {"name parts win over the whole name", [](auto& r) {
             r.eContact_LastName = "Jones";
             r.FormattedName = "Ann Smith";
             r.Prefix = "Ms";
             r.Generation = "III";
         }, {{"given_name", nullptr}, {"surname", "Jones"}, {"display_name", "Ms Jones III"}}},
        {"unplaced lines after the notes", [](auto& r) {
             r.eContact_Comments = "Own notes";
             r.Unplaced = {"Agent: Bob", "Url: http://x.example"};
         }, {{"body", "Own notes\r\n\r\n" + heading + "\r\nAgent: Bob\r\nUrl: http://x.example"}}},
        {"unplaced lines alone", [](auto& r) { r.Unplaced = {"Agent: Bob"}; },
         {{"body", heading + "\r\nAgent: Bob"}}},
        {"people, the legacy fields first", [](auto& r) {
             r.eContact_Spouse = "Sam";
             r.Spouse = "Other";
             r.Manager = "Max";
             r.Assistant = "Al";
             r.Children = {"Ann", "Bob"};
         }, {{"spouse_name", "Sam"}, {"manager_name", "Max"}, {"assistant", "Al"},
             {"childrens_names", {"Ann", "Bob"}}}},
        {"single values", [](auto& r) {
             r.NickName = "Annie";
             r.Gender = "Female";
             r.Organization = "Acme";
             r.IMAddress = "ann@im.example";
             r.PersonalWebPage = "http://home.example";
             r.BusinessWebPage = "http://work.example";
         }, {{"nickname", "Annie"}, {"gender", 1}, {"company_name", "Acme"},
             {"instant_messaging_address", "ann@im.example"}, {"personal_home_page", "http://home.example"},
             {"business_home_page", "http://work.example"}, {"html", "http://work.example"}}},
        {"gender male", [](auto& r) { r.Gender = "Male"; }, {{"gender", 2}}},
        {"phones", [](auto& r) {
             r.eContact_CellPhone = "1";
             r.MobilePhone = "2";
             r.Home2Phone = "3";
             r.Business2Phone = "4";
             r.CarPhone = "5";
             r.IsdnNumber = "6";
             r.TtyPhone = "7";
             r.OtherPhone = "8";
             r.PrimaryPhone = "9";
         }, {{"mobile_telephone", "1"}, {"home2_telephone", "3"}, {"business2_telephone", "4"},
             {"car_telephone", "5"}, {"isdn", "6"}, {"tty_tdd_telephone", "7"}, {"other_telephone", "8"},
             {"primary_telephone", "9"}}},
        {"mobile or PCS when no cellular", [](auto& r) { r.MobilePhone = "20"; }, {{"mobile_telephone", "20"}}},
        {"a fax number alone is in the address book", [](auto& r) { r.OtherFax = "555"; },
         {{"primary_fax", "555"}, {"fax1_address_type", "FAX"}, {"fax1_address", "555"},
          {"fax1_original_display_name", "555 (Other Fax)"}, {"address_book_provider_email_list", {5}},
          {"address_book_provider_array_type", 0x20}, {"fax2_address", nullptr}}},
        {"fax entries after the e-mail entries", [](auto& r) {
             r.eContact_FirstName = "Ann";
             r.eContact_Email2 = "a@x.example";
             r.eContact_OfficeFax = "111";
             r.eContact_HomeFax = "222";
         }, {{"fax2_address", "111"}, {"fax2_original_display_name", "Ann (Business Fax)"},
             {"fax3_address", "222"}, {"fax1_address", nullptr},
             {"address_book_provider_email_list", {1, 3, 4}}, {"address_book_provider_array_type", 0x1A}}},
        {"the other address, the mailing address when alone", [](auto& r) {
             r.OtherStreet = "1 Main St";
             r.OtherExtended = "Apt 2";
             r.OtherCity = "Springfield";
             r.OtherState = "IL";
             r.OtherZip = "62701";
             r.OtherCountry = "USA";
             r.OtherPOBox = "PO 9";
         }, {{"other_address_street", "1 Main St\r\nApt 2"}, {"other_address_post_office_box", "PO 9"},
             {"other_address", "1 Main St\r\nApt 2\r\nSpringfield, IL 62701\r\nUSA"},
             {"postal_address_id", 3}, {"mailing_address_city", "Springfield"},
             {"mailing_address_post_office_box", "PO 9"}}},
        {"the chosen mailing address and labels", [](auto& r) {
             r.eContact_BusinessCity = "Work City";
             r.BusinessPOBox = "PO 1";
             r.eContact_PersonalCity = "Home City";
             r.HomePOBox = "PO 2";
             r.HomeLabel = "As printed";
             r.MailingAddress = "Personal";
         }, {{"postal_address_id", 1}, {"mailing_address_city", "Home City"}, {"postal_address", "As printed"},
             {"home_address", "As printed"}, {"work_address_post_office_box", "PO 1"},
             {"home_address_post_office_box", "PO 2"}, {"mailing_address_post_office_box", "PO 2"}}},
        {"work before home without a choice", [](auto& r) {
             r.eContact_BusinessCity = "Work City";
             r.eContact_PersonalCity = "Home City";
             r.OtherCity = "Other City";
         }, {{"postal_address_id", 2}, {"mailing_address_city", "Work City"}, {"other_address", "Other City"}}},
    };
    // Every name the writer assigns is one the model knows, in the model's order.
    for (std::size_t i = 0; i < outlook::kAssignments.size(); ++i)
        EXPECT_EQ(outlook::kAssignments[i].property, mapi::contact::objectModelProperties()[i].name);
    const TempDir dir;
    const auto pst = dir.path() / "rules.pst";
    {
        auto session = mapi::createSession({env::systemEnvironment(), std::chrono::milliseconds(2000)});
        session->Logon();
        mapi::RDOStore& store = session->Stores().AddPSTStore(pst, mapi::olStoreDefault, "Rules");
        store.ValidateIPMTree();
        for (const Row& row : rows) {
            ContactRecord record;
            row.fill(record);
            EXPECT_TRUE(outlook::CreateContactItem(*session, store.EntryID(), 10, record).saved) << row.rule;
        }
        session->Logoff();
    }
    const json dump = pst::oracle::dumpWithPypff(pst);
    const json& messages = (*pst::oracle::findFolder(dump, "Contacts"))["messages"];
    ASSERT_EQ(messages.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].rule);
        const json& contact = messages[i]["contact"];
        for (const auto& [key, value] : rows[i].found)
            EXPECT_EQ(contact.contains(key) ? contact[key] : json(), value) << key;
    }
}

} // namespace
} // namespace tressimo::testing
