#pragma once
// Generated .contact files in the shape Windows writes them (tests/data/real-contacts): every
// field the converter maps, distinct per number, some names outside ASCII, and now and then
// a photo as base64, as contacts with a user tile carry. Shared by the end-to-end tests and
// the conversion benchmark.

#include "tests/contacts/contact_xml.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tressimo::testing {

// Every third family name outside ASCII, every seventh given name outside Latin-1.
inline std::string sampleGiven(int n)
{
    return (n % 7 == 3 ? "Zoë" : "Given") + std::to_string(n);
}
inline std::string sampleFamily(int n)
{
    return (n % 3 == 0 ? "Müller-Łukasz" : n % 3 == 1 ? "Smith" : "田中") + std::to_string(n);
}

inline std::string isoDay(int year, int month, int day)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT00:00:00Z", year, month, day);
    return buffer;
}

inline std::string escapeXml(std::string_view text)
{
    std::string out;
    for (char c : text)
        out += c == '&'    ? "&amp;"
               : c == '<'  ? "&lt;"
               : c == '>'  ? "&gt;"
               : c == '\r' ? "&#13;"
                           : std::string(1, c);
    return out;
}

// A photo of about `bytes` of base64, in 76-character lines as Windows writes it: a 24-bit BMP
// 100 pixels wide, as tall as the size allows.
inline std::string base64Photo(std::size_t bytes)
{
    const std::uint32_t height = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(bytes * 3 / 4 / 300));
    const std::uint32_t fileSize = 54 + 300 * height;
    std::string bmp = "BM";
    for (std::uint32_t field : {fileSize, 0u, 54u, 40u, 100u, height, 1u | 24u << 16, 0u, 300 * height, 0u, 0u,
                                0u, 0u})
        for (int i = 0; i < 4; ++i)
            bmp += static_cast<char>(field >> 8 * i);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; bmp.size() < fileSize; ++i) // shades with some grain, as in a photo
        bmp += static_cast<char>(i % 300 / 3 + i / 300 + ((state = state * 1103515245u + 12345u) >> 28));
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bmp.size(); i += 3) { // 300 bytes a row: no padding needed
        const std::uint32_t group = static_cast<std::uint8_t>(bmp[i]) << 16 |
                                    static_cast<std::uint8_t>(bmp[i + 1]) << 8 | static_cast<std::uint8_t>(bmp[i + 2]);
        for (int k = 18; k >= 0; k -= 6)
            out += alphabet[group >> k & 63];
        if (out.size() % 78 == 76)
            out += "\r\n";
    }
    return out;
}

inline std::string sampleContactXml(int n, std::size_t photoBytes = 0)
{
    const std::string k = std::to_string(n), k100 = std::to_string(n % 100);
    const std::string given = sampleGiven(n), family = sampleFamily(n);
    const std::string title = n % 2 ? "Dr." : "Ms.";
    const auto e = [](std::string_view name, std::string_view text) {
        return element(name, escapeXml(text));
    };
    std::string body;
    body += collection("c:ContactIDCollection",
                       {entry("c:ContactID", element("c:Value", "3491442b-e305-442c-b015-" +
                                                                    std::to_string(100000000000 + n)))});
    body +=
        collection("c:EmailAddressCollection", {emailEntry("SMTP", "person" + k + "@example.com"),
                                                emailEntry("SMTP", "p" + k + "@work.example", {}),
                                                emailEntry("SMTP", "p" + k + "@home.example", {"Personal"})});
    body += name(e("c:FormattedName", title + " " + given + " " + family) + e("c:Title", title) +
                 e("c:GivenName", given) + e("c:MiddleName", "M.") + e("c:FamilyName", family) +
                 e("c:Suffix", n % 5 ? "Jr." : "III"));
    body += collection("c:PhoneNumberCollection",
                       {phoneEntry("+1-555-01" + k100, {"Voice", "Business"}),
                        phoneEntry("+1-555-02" + k100, {"Fax", "Business"}),
                        phoneEntry("+1-555-03" + k, {"Cellular"}), phoneEntry("+1-555-04" + k100, {"Pager"}),
                        phoneEntry("+1-555-05" + k, {"Voice", "Personal"}),
                        phoneEntry("+1-555-06" + k100, {"Fax", "Personal"}),
                        phoneEntry("tel:+1-555-07" + k100, {"Car"}), phoneEntry("+1-555-08" + k100, {"Video"})});
    body += collection("c:PersonCollection", {entry("c:Person", e("c:FormattedName", "Sam " + family) +
                                                                    labels({"wab:Spouse"})),
                                              entry("c:Person", e("c:FormattedName", "Kim") + labels({"wab:Child"}))});
    body += collection("c:IMAddressCollection",
                       {entry("c:IMAddress", e("c:Value", "im" + k + "@example.com") + e("c:Protocol", "MSN"))});
    body += collection(
        "c:PhysicalAddressCollection",
        {addressEntry({k + " Main St", "Springfield", "IL", std::to_string(62700 + n % 100), "USA"},
                      {"Business"}),
         addressEntry({k + " Elm Rd", "Shelbyville", "KY", std::to_string(40000 + n % 100), "United States"},
                      {"Personal"}),
         addressEntry({k + " Lake Dr", "Capital City", "", "", ""}, {"Other"})});
    body += collection("c:PositionCollection",
                       {entry("c:Position", e("c:Company", "Company " + k100) +
                                                e("c:Department", "R&D " + std::to_string(n % 10)) +
                                                e("c:JobTitle", "Engineer " + std::to_string(n % 4)) +
                                                e("c:Office", "B-" + k) + labels({"Business"}))});
    body +=
        collection("c:UrlCollection", {valueEntry("c:Url", "http://example.com/people/" + k, {"Business"})});
    body += collection("c:DateCollection",
                       {valueEntry("c:Date", isoDay(1950 + n % 50, 1 + n % 12, 1 + n % 28), {"wab:Birthday"}),
                        valueEntry("c:Date", isoDay(1980 + n % 40, 1 + (n / 12) % 12, 1 + (n / 7) % 28),
                                   {"wab:Anniversary"})});
    if (photoBytes > 0)
        body += collection("c:PhotoCollection", {entry("c:Photo", "<c:Value c:ContentType=\"binary/bmp\">" +
                                                                      base64Photo(photoBytes) + "</c:Value>" +
                                                                      labels({"UserTile"}))});
    body += e("c:Notes", "Met at the fair in " + std::to_string(2000 + n % 20) + ".\r\nLikes tea & cake.");
    return contactDocument(body);
}

// A contact as most real files hold one: an identifier, a name, one e-mail address and two
// telephone numbers, about 1.7 KB like the files in tests/data/real-contacts.
inline std::string typicalContactXml(int n)
{
    const std::string k = std::to_string(n), given = sampleGiven(n), family = sampleFamily(n);
    std::string body;
    body += collection("c:ContactIDCollection",
                       {entry("c:ContactID", element("c:Value", "00000179-6949-4c8c-965f-" +
                                                                    std::to_string(100000000000 + n)) +
                                                 labels({"Preferred"}))});
    body += collection("c:EmailAddressCollection", {emailEntry("SMTP", "person" + k + "@example.com")});
    body += name(element("c:FormattedName", given + " " + family) + element("c:FamilyName", family) +
                 element("c:GivenName", given));
    body += collection("c:PhoneNumberCollection",
                       {phoneEntry("+1-555-01" + std::to_string(n % 100), {"Voice", "Business"}),
                        phoneEntry("+1-555-05" + k, {"Voice", "Personal"})});
    return contactDocument(body);
}

} // namespace tressimo::testing
