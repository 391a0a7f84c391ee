// Robustness: random damage to a valid document must never crash the loader, the reader or
// the hand-over, and the reader's depth counters must end balanced.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "tests/contacts/contact_xml.h"

#include <gtest/gtest.h>
#include <random>

namespace tressimo::testing {
namespace {

TEST(ContactFuzz, DamagedDocumentsNeverCrash)
{
    const std::string original = contactDocument(
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
    const std::string xmlBytes("<>/&;:=\"'![]-?\xEF\xBB\xBF\xFF\xFE\x00 c", 22);
    std::mt19937 random(20261206);
    const auto below = [&](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };

    contacts::ContactRecord record;
    contacts::ContactReaderContext context;
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string bytes = original;
        const std::size_t mutations = 1 + below(6);
        for (std::size_t m = 0; m < mutations && !bytes.empty(); ++m) {
            // Overwrite a byte, insert one, cut some, copy some in, or truncate. Built by
            // concatenation: GCC 12 warns falsely (-Wrestrict) on string::insert here.
            const std::size_t kind = below(5), at = below(bytes.size());
            const std::string insert = kind == 1   ? std::string(1, xmlBytes[below(xmlBytes.size())])
                                       : kind == 3 ? bytes.substr(below(bytes.size()), below(64))
                                                   : "";
            const std::size_t resume = kind == 2   ? std::min(bytes.size(), at + 1 + below(16))
                                       : kind == 4 ? bytes.size()
                                                   : at;
            bytes = bytes.substr(0, at) + insert + bytes.substr(resume);
            if (kind == 0)
                bytes[at] = static_cast<char>(below(256));
        }
        const auto document = contacts::ContactDocument::parse({bytes.begin(), bytes.end()}, "fuzz");
        EXPECT_NE(document.loaded(), !document.error().empty());
        if (!document.loaded())
            continue;
        ++loaded;
        record.reset();
        contacts::DisplayNode(document.document(), record, context);
        contacts::handOver(record);
        ASSERT_EQ(context.AddressDepth, 0u);
        ASSERT_EQ(context.LabelledValueDepth, 0u);
    }
    // The damage must leave enough documents whole to exercise the reader.
    EXPECT_GT(loaded, 200);
}

} // namespace
} // namespace tressimo::testing
