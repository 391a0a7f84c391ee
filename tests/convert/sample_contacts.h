#pragma once
// Generated .contact files in the shape Windows writes them (tests/data/real-contacts): every
// field the converter maps, distinct per number, some names outside ASCII, and now and then
// a photo as base64, as contacts with a user tile carry. Shared by the end-to-end tests and
// the conversion benchmark.

#include "tests/contacts/contact_xml.h"

#include <string>

namespace tressimo::testing {

struct SampleValues
{
    std::string given, middle, family, title, suffix;
    std::string email1, email2, email3;
    std::string company, department, jobTitle, office, webPage;
    std::string workStreet, workCity, workState, workZip, workCountry;
    std::string homeStreet, homeCity, homeState, homeZip, homeCountry;
    std::string officePhone, officeFax, cellPhone, pager, homePhone, homeFax;
    int birthYear = 1970, birthMonth = 1, birthDay = 1;
    int weddingYear = 1998, weddingMonth = 1, weddingDay = 1;
    std::string notes;
};

inline SampleValues sampleValues(int n)
{
    const std::string k = std::to_string(n);
    SampleValues v;
    // Every third family name outside ASCII, every seventh given name outside the BMP's Latin.
    v.given = n % 7 == 3 ? "Zoë" + k : "Given" + k;
    v.middle = "M.";
    v.family = n % 3 == 0 ? "Müller-Łukasz" + k : (n % 3 == 1 ? "Smith" + k : "田中" + k);
    v.title = n % 2 ? "Dr." : "Ms.";
    v.suffix = n % 5 ? "Jr." : "III";
    v.email1 = "person" + k + "@example.com";
    v.email2 = "p" + k + "@work.example";
    v.email3 = "p" + k + "@home.example";
    v.company = "Company " + std::to_string(n % 100);
    v.department = "R&D " + std::to_string(n % 10);
    v.jobTitle = "Engineer " + std::to_string(n % 4);
    v.office = "B-" + k;
    v.webPage = "http://example.com/people/" + k;
    v.workStreet = k + " Main St";
    v.workCity = "Springfield";
    v.workState = "IL";
    v.workZip = std::to_string(62700 + n % 100);
    v.workCountry = "USA";
    v.homeStreet = k + " Elm Rd";
    v.homeCity = "Shelbyville";
    v.homeState = "KY";
    v.homeZip = std::to_string(40000 + n % 100);
    v.homeCountry = "United States";
    v.officePhone = "+1-555-01" + std::to_string(n % 100);
    v.officeFax = "+1-555-02" + std::to_string(n % 100);
    v.cellPhone = "+1-555-03" + k;
    v.pager = "+1-555-04" + std::to_string(n % 100);
    v.homePhone = "+1-555-05" + k;
    v.homeFax = "+1-555-06" + std::to_string(n % 100);
    v.birthYear = 1950 + n % 50;
    v.birthMonth = 1 + n % 12;
    v.birthDay = 1 + n % 28;
    v.weddingYear = 1980 + n % 40;
    v.weddingMonth = 1 + (n / 12) % 12;
    v.weddingDay = 1 + (n / 7) % 28;
    v.notes = "Met at the fair in " + std::to_string(2000 + n % 20) + ".\r\nLikes tea & cake.";
    return v;
}

inline std::string isoDay(int year, int month, int day)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

inline std::string escapeXml(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A photo's worth of base64 (about `bytes` long), in 76-character lines as Windows writes it.
inline std::string base64Photo(std::size_t bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(bytes + bytes / 76 + 1);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < bytes; ++i) {
        state = state * 1103515245u + 12345u;
        out += alphabet[(state >> 16) % 64];
        if (i % 76 == 75)
            out += "\r\n";
    }
    return out;
}

inline std::string sampleContactXml(int n, std::size_t photoBytes = 0)
{
    const SampleValues v = sampleValues(n);
    const auto e = [](std::string_view name, std::string_view text) {
        return element(name, escapeXml(text));
    };
    std::string body;
    body += collection("c:ContactIDCollection",
                       {entry("c:ContactID", element("c:Value", "3491442b-e305-442c-b015-" +
                                                                    std::to_string(100000000000 + n)))});
    body += collection("c:EmailAddressCollection",
                       {emailEntry("SMTP", v.email1), emailEntry("SMTP", v.email2, {}),
                        emailEntry("SMTP", v.email3, {"Personal"})});
    body += name(e("c:FormattedName", v.title + " " + v.given + " " + v.family) + e("c:Title", v.title) +
                 e("c:GivenName", v.given) + e("c:MiddleName", v.middle) + e("c:FamilyName", v.family) +
                 e("c:Suffix", v.suffix));
    body += collection("c:PhoneNumberCollection",
                       {phoneEntry(v.officePhone, {"Voice", "Business"}),
                        phoneEntry(v.officeFax, {"Fax", "Business"}), phoneEntry(v.cellPhone, {"Cellular"}),
                        phoneEntry(v.pager, {"Pager"}), phoneEntry(v.homePhone, {"Voice", "Personal"}),
                        phoneEntry(v.homeFax, {"Fax", "Personal"})});
    body += collection(
        "c:PhysicalAddressCollection",
        {addressEntry({v.workStreet, v.workCity, v.workState, v.workZip, v.workCountry}, {"Business"}),
         addressEntry({v.homeStreet, v.homeCity, v.homeState, v.homeZip, v.homeCountry}, {"Personal"})});
    body += collection("c:PositionCollection",
                       {entry("c:Position", e("c:Company", v.company) + e("c:Department", v.department) +
                                                e("c:JobTitle", v.jobTitle) + e("c:Office", v.office) +
                                                labels({"Business"}))});
    body += collection("c:UrlCollection", {valueEntry("c:Url", v.webPage, {"Business"})});
    body += collection(
        "c:DateCollection",
        {valueEntry("c:Date", isoDay(v.birthYear, v.birthMonth, v.birthDay) + "T00:00:00Z", {"wab:Birthday"}),
         valueEntry("c:Date", isoDay(v.weddingYear, v.weddingMonth, v.weddingDay) + "T00:00:00Z",
                    {"wab:Anniversary"})});
    if (photoBytes > 0)
        body += collection("c:PhotoCollection", {entry("c:Photo", "<c:Value c:ContentType=\"binary/bmp\">" +
                                                                      base64Photo(photoBytes) + "</c:Value>" +
                                                                      labels({"UserTile"}))});
    body += e("c:Notes", v.notes);
    return contactDocument(body);
}

// A contact as most real files hold one: an identifier, a name, one e-mail address and two
// telephone numbers, about 1.7 KB like the files in tests/data/real-contacts.
inline std::string typicalContactXml(int n)
{
    const SampleValues v = sampleValues(n);
    std::string body;
    body += collection("c:ContactIDCollection",
                       {entry("c:ContactID", element("c:Value", "00000179-6949-4c8c-965f-" +
                                                                    std::to_string(100000000000 + n)) +
                                                 labels({"Preferred"}))});
    body += collection("c:EmailAddressCollection", {emailEntry("SMTP", v.email1)});
    body += name(element("c:FormattedName", v.given + " " + v.family) + element("c:FamilyName", v.family) +
                 element("c:GivenName", v.given));
    body += collection("c:PhoneNumberCollection", {phoneEntry(v.officePhone, {"Voice", "Business"}),
                                                   phoneEntry(v.homePhone, {"Voice", "Personal"})});
    return contactDocument(body);
}

} // namespace tressimo::testing
