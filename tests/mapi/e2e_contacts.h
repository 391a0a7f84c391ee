#pragma once
// Contacts as the conversion hands them to the contact writer, and the writer's way of
// writing one through the session model: every step on its own, failures skipped.

#include "mapi/mapi.h"

#include <cstdio>
#include <string>

namespace tressimo::mapi::test {

// The record values the writer receives (names after the record's eContact_* fields).
struct ContactRecordValues
{
    std::string firstName, middleName, lastName, suffix, title;
    std::string email, email2, email3;
    std::string company, jobTitle;
    std::string businessStreet, businessCity, businessZip, businessState, businessCountry;
    std::string location, webPage, department, manager, assistant;
    std::string officePhone, officeFax, cellPhone, pager;
    std::string otherEmail1, otherEmail2, otherEmail3;
    std::string personalStreet, personalCity, personalZip, personalState, personalCountry;
    std::string spouse, homePhone, homeFax;
    OleDate birthday, anniversary;
    std::string comments, categories;
};

template <class F> void guarded(F&& step)
{
    try {
        step();
    } catch (const MapiError&) {
        // The writer skips a failing step and goes on with the next.
    }
}

// One contact, step by step as the contact writer writes it: the store by its entry ID, its
// default Contacts folder, Add(2), 34 puts, four single-property writes with save, Save.
inline void writeContactAsTheWriterDoes(RDOStore& store, const ContactRecordValues& r)
{
    std::unique_ptr<RDOContactItem> item;
    guarded([&] { item = store.GetDefaultFolder(olFolderContacts).Items().Add(olContactItem); });
    if (!item)
        return;
    const std::pair<const char*, std::string> puts[] = {
        {"FirstName", r.firstName},
        {"MiddleName", r.middleName},
        {"LastName", r.lastName},
        {"JobTitle", r.jobTitle},
        {"CompanyName", r.company},
        {"BusinessTelephoneNumber", r.officePhone},
        {"BusinessFaxNumber", r.officeFax},
        {"HomeTelephoneNumber", r.homePhone},
        {"HomeFaxNumber", r.homeFax},
        {"MobileTelephoneNumber", r.cellPhone},
        {"PagerNumber", r.pager},
        {"BusinessAddressStreet", r.businessStreet},
        {"BusinessAddressCity", r.businessCity},
        {"BusinessAddressState", r.businessState},
        {"BusinessAddressPostalCode", r.businessZip},
        {"BusinessAddressCountry", r.businessCountry},
        {"HomeAddressStreet", r.personalStreet},
        {"HomeAddressCity", r.personalCity},
        {"HomeAddressState", r.personalState},
        {"HomeAddressPostalCode", r.personalZip},
        {"HomeAddressCountry", r.personalCountry},
        {"Email1Address", r.email},
        {"Email2Address", r.email2},
        {"Email3Address", r.email3},
        {"WebPage", r.webPage},
        {"IMAddress", r.otherEmail1 + " " + r.otherEmail2 + " " + r.otherEmail3},
        {"Categories", r.categories},
        {"Department", r.department},
        {"OfficeLocation", r.location},
        {"Profession", r.jobTitle},
        {"ManagerName", r.manager},
        {"AssistantName", r.assistant},
        {"Spouse", r.spouse},
        {"Body", r.comments},
    };
    for (const auto& [name, value] : puts)
        guarded([&] { item->put(name, value); });
    MAPIUtils utils;
    guarded([&] { utils.HrSetOneProp(item->MAPIOBJECT(), 0x3A420040, r.birthday, true); });
    guarded([&] { utils.HrSetOneProp(item->MAPIOBJECT(), 0x3A410040, r.anniversary, true); });
    guarded([&] { utils.HrSetOneProp(item->MAPIOBJECT(), 0x3A45001F, r.title, true); });
    guarded([&] { utils.HrSetOneProp(item->MAPIOBJECT(), 0x3A05001F, r.suffix, true); });
    guarded([&] { item->Save(); });
}

// A contact with what a Windows Contacts file usually holds: names, one or two e-mail
// addresses, a company with a work address and telephones, some a home address, a short note,
// a birthday. Varied by number so that no two are alike.
inline ContactRecordValues typicalContact(long n)
{
    static const char* const first[] = {"Anna", "Bernd", "Chloé", "David",
                                        "Eva",  "Farid", "Grete", "Hiroshi"};
    static const char* const last[] = {"Schmidt", "Müller",   "Dubois", "O'Brien",
                                       "Rossi",   "Nakamura", "Novák"};
    static const char* const cities[] = {"Berlin", "Lyon", "Dublin", "Milano", "Osaka", "Brno"};
    char number[32];
    std::snprintf(number, sizeof number, "%ld", n);
    const std::string id = number;

    ContactRecordValues r;
    r.firstName = first[n % 8];
    r.lastName = std::string(last[n % 7]) + " " + id;
    if (n % 3 == 0)
        r.middleName = "J.";
    r.email = r.firstName + "." + id + "@example.org";
    if (n % 4 == 0)
        r.email2 = "private." + id + "@example.net";
    r.company = "Contoso " + std::string(cities[n % 6]) + " GmbH";
    r.jobTitle = n % 2 ? "Sales Manager" : "Engineer";
    r.department = "Department " + std::to_string(n % 12);
    r.officePhone = "+49 30 " + std::to_string(1000000 + n);
    r.cellPhone = "+49 170 " + std::to_string(2000000 + n);
    r.businessStreet = std::to_string(n % 200 + 1) + " Main Street";
    r.businessCity = cities[n % 6];
    r.businessZip = std::to_string(10000 + n % 89999);
    r.businessCountry = "Germany";
    if (n % 2 == 0) {
        r.homePhone = "+49 30 " + std::to_string(3000000 + n);
        r.personalStreet = "Gartenweg " + std::to_string(n % 50 + 1);
        r.personalCity = cities[(n + 1) % 6];
        r.personalZip = std::to_string(20000 + n % 79999);
    }
    r.webPage = "https://example.org/~" + id;
    r.comments = "Met at the fair in " + std::string(cities[n % 6]) + ". Prefers e-mail; call after 10.";
    r.birthday = {25000.0 + static_cast<double>(n % 9000)};
    if (n % 5 == 0)
        r.categories = "Business, Customers";
    return r;
}

} // namespace tressimo::mapi::test
