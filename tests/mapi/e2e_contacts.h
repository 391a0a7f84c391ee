#pragma once
// Contacts as the conversion hands them to the contact writer, and the writer's way of
// writing one through the session model: every step on its own, failures skipped.

#include "mapi/mapi.h"

#include <string>
#include <utility>
#include <vector>

namespace tressimo::mapi::test {

// Puts by object-model name, then the writer's four single-property writes.
struct ContactValues
{
    std::vector<std::pair<std::string, std::string>> puts;
    OleDate birthday;
    OleDate anniversary;
    std::string title;
    std::string suffix;
};

template <class F> void guarded(F&& step)
{
    try {
        step();
    } catch (const MapiError&) {
        // The writer skips a failing step and goes on with the next.
    }
}

// One contact as the contact writer writes it: Add(2), the puts, four single-property writes
// with save, Save, release.
inline void writeContact(RDOFolder& folder, const ContactValues& v)
{
    std::unique_ptr<RDOContactItem> item;
    guarded([&] { item = folder.Items().Add(olContactItem); });
    if (!item)
        return;
    for (const auto& [name, value] : v.puts)
        guarded([&] { item->put(name, value); });
    const std::pair<std::uint32_t, PropertyValue> singles[] = {
        {0x3A420040, v.birthday}, {0x3A410040, v.anniversary}, {0x3A45001F, v.title}, {0x3A05001F, v.suffix}};
    for (const auto& [tag, value] : singles)
        guarded([&] { MAPIUtils().HrSetOneProp(item->MAPIOBJECT(), tag, value, true); });
    guarded([&] { item->Save(); });
}

inline ContactValues named(std::string first, std::string last)
{
    return {{{"FirstName", std::move(first)}, {"LastName", std::move(last)}}, {}, {}, {}, {}};
}

// A contact with what a Windows Contacts file usually holds: names, one or two e-mail
// addresses, a company with a work address and telephones, some a home address, a short note,
// a birthday. Varied by number so that no two are alike.
inline ContactValues typicalContact(long n)
{
    static const char* const first[] = {"Anna", "Bernd", "Chloé", "David",
                                        "Eva",  "Farid", "Grete", "Hiroshi"};
    static const char* const last[] = {"Schmidt", "Müller",   "Dubois", "O'Brien",
                                       "Rossi",   "Nakamura", "Novák"};
    static const char* const cities[] = {"Berlin", "Lyon", "Dublin", "Milano", "Osaka", "Brno"};
    const std::string id = std::to_string(n);
    const std::string city = cities[n % 6];
    ContactValues v;
    v.puts = {{"FirstName", first[n % 8]},
              {"MiddleName", n % 3 == 0 ? "J." : ""},
              {"LastName", std::string(last[n % 7]) + " " + id},
              {"Email1Address", std::string(first[n % 8]) + "." + id + "@example.org"},
              {"Email2Address", n % 4 == 0 ? std::string("private.") + id + "@example.net" : ""},
              {"CompanyName", "Contoso " + city + " GmbH"},
              {"JobTitle", n % 2 ? "Sales Manager" : "Engineer"},
              {"BusinessTelephoneNumber", std::string("+49 30 ") + std::to_string(1000000 + n)},
              {"BusinessAddressStreet", std::to_string(n % 200 + 1) + " Main Street"},
              {"BusinessAddressCity", city},
              {"BusinessAddressPostalCode", std::to_string(10000 + n % 89999)},
              {"HomeAddressCity", n % 2 == 0 ? cities[(n + 1) % 6] : ""},
              {"WebPage", std::string("https://example.org/~") + id},
              {"IMAddress", "  "},
              {"Categories", n % 5 == 0 ? "Business, Customers" : ""},
              {"Body", "Met at the fair in " + city + ". Prefers e-mail; call after 10."}};
    v.birthday = {25000.0 + static_cast<double>(n % 9000)};
    return v;
}

} // namespace tressimo::mapi::test
