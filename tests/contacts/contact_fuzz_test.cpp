// Robustness: random damage to a valid document must never crash the loader or the reader,
// and whatever they make of it keeps the record's own rules.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "tests/contacts/contact_xml.h"

#include <random>

#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

std::string sampleDocument()
{
    return contactDocument(
        name(element("c:GivenName", "Ann") + element("c:FamilyName", "Smith")) +
        collection("c:EmailAddressCollection", {emailEntry("SMTP", "a@x"), emailEntry("SMTP", "b@x")}) +
        collection("c:PhysicalAddressCollection",
                   {addressEntry({"1 Main St", "Springfield", "IL", "62701", "USA"}, {"Business"}),
                    addressEntry({"2 Elm Rd", "", "", "", ""}, {})}) +
        collection("c:PhoneNumberCollection",
                   {phoneEntry("1", {"Voice", "Business"}), phoneEntry("2", {"Cellular"})}) +
        collection("c:UrlCollection", {valueEntry("c:Url", "https://a.example/", {"Business"}, true)}) +
        collection("c:DateCollection", {valueEntry("c:Date", "1970-05-12T00:00:00Z", {"wab:Birthday"})}) +
        "<c:Notes><![CDATA[x]]>a &amp; b</c:Notes>");
}

TEST(ContactFuzz, DamagedDocumentsNeverCrash)
{
    const std::string original = sampleDocument();
    const std::string xmlBytes = "<>/&;:=\"'![]-?\xEF\xBB\xBF\xFF\xFE\x00 c";
    std::mt19937 random(20261206);
    const auto below = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };

    const std::string_view neverFilled[] = {"eContact_Manager",     "eContact_Assistant",    "eContact_OtherEmail1",
                                            "eContact_OtherEmail2", "eContact_OtherEmail3",  "eContact_Spouse",
                                            "eContact_Childern",    "eContact_ShortName",    "eContact_PhoneticName",
                                            "eContact_MailDomain",  "eContact_Categories"};
    contacts::ContactRecord record;
    contacts::ContactReaderContext context;
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = original;
        const std::size_t mutations = 1 + below(6);
        for (std::size_t m = 0; m < mutations && !bytes.empty(); ++m) {
            // Built by concatenation: GCC 12 warns falsely (-Wrestrict) on string::insert here.
            const std::size_t at = below(bytes.size());
            const std::string head = bytes.substr(0, at);
            switch (below(5)) {
            case 0: bytes[at] = static_cast<char>(below(256)); break;
            case 1: bytes = head + xmlBytes[below(xmlBytes.size())] + bytes.substr(at); break;
            case 2: bytes = head + bytes.substr(std::min(bytes.size(), at + 1 + below(16))); break;
            case 3: bytes = head + bytes.substr(below(bytes.size()), below(64)) + bytes.substr(at); break;
            default: bytes = head; break;
            }
        }
        const auto document = contacts::ContactDocument::parse({bytes.begin(), bytes.end()}, "fuzz");
        EXPECT_NE(document.loaded(), !document.error().empty());
        if (!document.loaded())
            continue;
        ++loaded;
        record.reset();
        contacts::DisplayNode(document.document(), record, context);
        const contacts::ContactRecord copy = contacts::handOver(record);
        for (const contacts::ContactField& field : contacts::kContactFields) {
            for (std::string_view never : neverFilled) {
                if (field.name == never) {
                    ASSERT_EQ(copy.*field.text, "") << field.name;
                }
            }
        }
        ASSERT_EQ(context.AddressDepth, 0u);
        ASSERT_EQ(context.LabelledValueDepth, 0u);
    }
    // The damage must leave enough documents whole to exercise the reader.
    EXPECT_GT(loaded, 200);
}

} // namespace
} // namespace tressimo::testing
