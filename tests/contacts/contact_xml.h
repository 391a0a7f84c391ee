#pragma once
// Builders for .contact documents in the shape Windows writes them (see the files in
// tests/data/real-contacts): the declaration, the c:contact root with its namespaces and
// c:Version, a tab-indented line with c:CreationDate and c:Extended, then the collections
// on one long line, each entry with its c:ElementID.

#include "tests/support/support.h"

#include <initializer_list>
#include <string>
#include <string_view>


namespace tressimo::testing {

inline std::string contactDocument(std::string_view body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:MSP2P=\"http://schemas.microsoft.com/Contact/Extended/MSP2P\">\r\n"
           "\t<c:CreationDate>2026-12-06T09:14:02Z</c:CreationDate><c:Extended xsi:nil=\"true\"/>\r\n\t" +
           std::string(body) + "</c:contact>";
}

// Joined by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
inline std::string concat(std::initializer_list<std::string_view> pieces)
{
    std::string out;
    for (std::string_view piece : pieces)
        out.append(piece);
    return out;
}

inline std::string element(std::string_view name, std::string_view content)
{
    return concat({"<", name, ">", content, "</", name, ">"});
}

// An entry of a collection, with the identifier and version attributes real entries carry.
inline std::string entry(std::string_view name, std::string_view content)
{
    return concat({"<", name,
                   " c:ElementID=\"5a64536e-3d0b-4db9-96f8-0463ecd868fe\" c:Version=\"1\" "
                   "c:ModificationDate=\"2026-12-06T09:14:02Z\">",
                   content, "</", name, ">"});
}

inline std::string labels(std::initializer_list<std::string_view> texts)
{
    if (texts.size() == 0)
        return {};
    std::string out;
    for (std::string_view text : texts)
        out += element("c:Label", text);
    return element("c:LabelCollection", out);
}

inline std::string name(std::string_view content)
{
    return element("c:NameCollection", entry("c:Name", content));
}

inline std::string emailEntry(std::string_view type, std::string_view address,
                              std::initializer_list<std::string_view> labelTexts = {"Preferred"})
{
    return entry("c:EmailAddress", element("c:Type", type) + element("c:Address", address) + labels(labelTexts));
}

inline std::string phoneEntry(std::string_view number, std::initializer_list<std::string_view> labelTexts)
{
    return entry("c:PhoneNumber", element("c:Number", number) + labels(labelTexts));
}

// Parts in the file's order: street, locality, region, postal code, country; empty ones are
// left out, as Windows leaves them out.
struct Address
{
    std::string_view street, locality, region, postalCode, country;
};

inline std::string addressEntry(const Address& a, std::initializer_list<std::string_view> labelTexts)
{
    std::string parts;
    const std::pair<std::string_view, std::string_view> named[] = {{"c:Street", a.street},
                                                                   {"c:Locality", a.locality},
                                                                   {"c:Region", a.region},
                                                                   {"c:PostalCode", a.postalCode},
                                                                   {"c:Country", a.country}};
    for (const auto& [tag, text] : named)
        if (!text.empty())
            parts += element(tag, text);
    return entry("c:PhysicalAddress", parts + labels(labelTexts));
}

// A c:Url or c:Date entry; `labelFirst` puts the c:LabelCollection before the c:Value.
inline std::string valueEntry(std::string_view tag, std::string_view value,
                              std::initializer_list<std::string_view> labelTexts, bool labelFirst = false)
{
    const std::string v = element("c:Value", value);
    return entry(tag, labelFirst ? labels(labelTexts) + v : v + labels(labelTexts));
}

inline std::string collection(std::string_view name, std::initializer_list<std::string> entries)
{
    std::string out;
    for (const std::string& e : entries)
        out += e;
    return element(name, out);
}

} // namespace tressimo::testing
