// What DisplayNode makes of documents: one table of (document body -> expected fields), each
// row checked against the whole record.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "tests/contacts/contact_xml.h"
#include "tests/contacts/record_check.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tressimo::testing {
namespace {

using contacts::ContactDocument;
using contacts::ContactReaderContext;
using contacts::ContactRecord;

ContactRecord readBody(const std::string& body, ContactReaderContext& context)
{
    const std::string xml = contactDocument(body);
    const ContactDocument document = ContactDocument::parse({xml.begin(), xml.end()}, "test");
    EXPECT_TRUE(document.loaded()) << document.error();
    ContactRecord record;
    contacts::DisplayNode(document.document(), record, context);
    return record;
}

const auto emails = [](auto... e) { return collection("c:EmailAddressCollection", {std::string(e)...}); };
const auto phones = [](auto... e) { return collection("c:PhoneNumberCollection", {std::string(e)...}); };
const auto addresses = [](auto... e) {
    return collection("c:PhysicalAddressCollection", {std::string(e)...});
};
const auto urls = [](auto... e) { return collection("c:UrlCollection", {std::string(e)...}); };
const auto dates = [](auto... e) { return collection("c:DateCollection", {std::string(e)...}); };

const Address kWork{"1 Main St", "Springfield", "IL", "62701", "USA"};
const Address kHome{"2 Elm Rd", "Shelbyville", "KY", "40065", "United States"};

// The five fields of the Business or Personal address group.
std::string postal(std::string_view g, const Address& a)
{
    return concat({g, "Street=", a.street, "|", g, "City=", a.locality, "|", g, "State=", a.region, "|", g,
                   "Zip=", a.postalCode, "|", g, "Country=", a.country});
}

// Name, document body, the fields it fills (as fields() reads them).
std::vector<std::tuple<std::string, std::string, std::string>> readerCases()
{
    const auto birthday = [](std::string_view v, bool first = false) {
        return valueEntry("c:Date", v, {"wab:Birthday"}, first);
    };
    const auto anniversary = [](std::string_view v, bool first = false) {
        return valueEntry("c:Date", v, {"wab:Anniversary"}, first);
    };
    const auto businessUrl = [](std::string_view v, bool first = false) {
        return valueEntry("c:Url", v, {"Business"}, first);
    };
    const auto person = [](std::string_view name, std::initializer_list<std::string_view> l) {
        return entry("c:Person", element("c:FormattedName", name) + labels(l));
    };
    const auto photo = [](std::string_view type, std::string_view base64) {
        return concat({"<c:Value c:ContentType=\"", type, "\">", base64, "</c:Value>"});
    };
    const std::string businessPhone = phones(phoneEntry("555-0100", {"Voice", "Business"}));
    return {
        {"EveryFieldTheReaderFills",
         name(element("c:FormattedName", "Dr. Ann B. Smith Jr.") + element("c:Title", "Dr.") +
              element("c:GivenName", "Ann") + element("c:MiddleName", "B.") +
              element("c:FamilyName", "Smith") + element("c:Suffix", "Jr.")) +
             emails(emailEntry("SMTP", "ann@example.com"), emailEntry("SMTP", "a.smith@example.org", {}),
                    emailEntry("SMTP", "ann@example.net", {"Personal"})) +
             addresses(addressEntry(kWork, {"Business"}), addressEntry(kHome, {"Personal"})) +
             phones(phoneEntry("555-0100", {"Voice", "Business"}),
                    phoneEntry("555-0101", {"Fax", "Business"}), phoneEntry("555-0102", {"Cellular"}),
                    phoneEntry("555-0103", {"Pager"}), phoneEntry("555-0104", {"Voice", "Personal"}),
                    phoneEntry("555-0105", {"Fax", "Personal"})) +
             collection(
                 "c:PositionCollection",
                 {entry("c:Position", element("c:Company", "Acme") + element("c:Department", "R&amp;D") +
                                          element("c:JobTitle", "Engineer") + element("c:Office", "B-12") +
                                          labels({"Business"}))}) +
             urls(businessUrl("http://acme.example/ann")) +
             dates(birthday("1970-05-12T00:00:00Z"), anniversary("1998-09-26T00:00:00Z")) +
             element("c:Notes", "Met at the fair.\nLikes tea."),
         "FirstName=Ann|MiddleName=B.|LastName=Smith|Suffix=Jr.|Title=Dr.|Email=ann@example.com|"
         "Email2=a.smith@example.org|Email3=ann@example.net|Company=Acme|JobTitle=Engineer|Location=B-12|"
         "WebPage=http://acme.example/ann|Department=R&D|OfficePhone=555-0100|OfficeFax=555-0101|"
         "CellPhone=555-0102|Pager=555-0103|HomePhone=555-0104|HomeFax=555-0105|BirthDay=1970-05-12|"
         "Anniversary=1998-09-26|Comments=Met at the fair.\nLikes tea.|FormattedName=Dr. Ann B. Smith Jr.|" +
             postal("Business", kWork) + "|" + postal("Personal", kHome)},
        {"SpacesAndLineBreaksKeptAsRead",
         name(element("c:GivenName", "  Ann  ")) + element("c:Notes", " a\r\nb&#13;\tc "),
         "FirstName=  Ann  |Comments= a\nb\r\tc "},
        {"CdataNeverRead",
         name(element("c:GivenName", "<![CDATA[Ann]]>") + element("c:FamilyName", "Sm<![CDATA[i]]>th")),
         "LastName=th"},
        {"OtherPrefixOrCaseMatchesNothing",
         "<x:NameCollection "
         "xmlns:x=\"http://schemas.microsoft.com/Contact\"><x:Name><x:GivenName>Ann</x:GivenName>"
         "</x:Name></x:NameCollection>" +
             name(element("c:givenName", "Ann") + element("C:FamilyName", "Smith")),
         ""},
        {"OnlyTheDirectElementCounts", name(element("c:GivenName", element("c:Nick", "Ann"))), ""},
        // An SMTP type without an address takes a slot, an address without one or of another type
        // does not; three slots in all.
        {"SmtpAddressesTakeTheThreeSlots",
         emails(entry("c:EmailAddress", element("c:Type", "SMTP")), emailEntry("SMTP", "b@x"),
                entry("c:EmailAddress", element("c:Address", "a@x")), emailEntry("X400", "c=us;a=x"),
                emailEntry("smtp", "lower@x"), emailEntry("SMTP ", "blank@x"), emailEntry("SMTP", "c@x"),
                emailEntry("SMTP", "d@x")),
         "Email2=b@x|Email3=c@x|Unplaced=E-mail: a@x;E-mail (X400): c=us;a=x;E-mail (smtp): lower@x;"
         "E-mail (SMTP ): blank@x;E-mail: d@x"},
        {"UnlabelledAfterPersonalAddressIsStillBusiness",
         addresses(addressEntry(kHome, {"Personal"}), addressEntry(kWork, {"Preferred"})),
         postal("Business", kWork) + "|" + postal("Personal", kHome) + "|MailingAddress=Business"},
        {"AfterABusinessPhoneOnlyTheOwnLabelMakesBusiness",
         businessPhone + addresses(addressEntry(kWork, {"Business"}), addressEntry(kHome, {})),
         postal("Business", kWork) + "|" + postal("Personal", kHome) + "|OfficePhone=555-0100"},
        {"LaterAddressReplacesTheWholeGroup",
         addresses(addressEntry(kWork, {"Business"}),
                   addressEntry({"9 Dock Ln", "", "", "", "Canada"}, {"Business", "Preferred"})),
         "BusinessStreet=9 Dock Ln|BusinessCountry=Canada|MailingAddress=Business"},
        {"EmptyPlaceholderChangesNothing",
         addresses(
             addressEntry(kWork, {"Business"}),
             "<c:PhysicalAddress c:ElementID=\"dea442c6-c4a8-4f5d-a2fb-cc3d4f25cd17\" xsi:nil=\"true\"/>",
             entry("c:PhysicalAddress", labels({"Business"}))),
         postal("Business", kWork)},
        {"AddressLabelledBothFillsBoth", addresses(addressEntry(kWork, {"Business", "Personal"})),
         postal("Business", kWork) + "|" + postal("Personal", kWork)},
        {"PartsOutsideAnAddressFollowTheOldRule",
         element("c:Street", "1 Loose St") + businessPhone + element("c:Locality", "Loosetown"),
         "BusinessStreet=1 Loose St|PersonalCity=Loosetown|OfficePhone=555-0100"},

        {"FirstOfficeAndHomeNumbersWin",
         phones(phoneEntry("1", {"Voice", "Business"}), phoneEntry("2", {"Voice", "Business"}),
                phoneEntry("3", {"Fax", "Personal"}), phoneEntry("4", {"Fax", "Personal"}),
                phoneEntry("5", {"Voice", "Personal"}), phoneEntry("6", {"Fax", "Business"})),
         "OfficePhone=1|HomeFax=3|HomePhone=5|OfficeFax=6|Business2Phone=2|Unplaced=Phone (Fax, home): 4"},
        {"LastMobileAndPagerWin",
         phones(phoneEntry("1", {"Cellular"}), phoneEntry("2", {"Pager"}), phoneEntry("3", {"Cellular"}),
                phoneEntry("4", {"Pager", "Business"})),
         "CellPhone=3|Pager=4|Unplaced=Phone (Cellular): 1;Phone (Pager): 2"},
        {"PlaceBeforeKindOrKindWithoutPlaceTakesNoOldField",
         phones(phoneEntry("1", {"Business", "Voice"}), phoneEntry("2", {"Voice"}), phoneEntry("3", {"Fax"}),
                phoneEntry("4", {})),
         "Business2Phone=1|OtherPhone=2|OtherFax=3|Unplaced=Phone: 4"},
        {"PlaceAfterMobileAddsNothing", phones(phoneEntry("1", {"Cellular", "Business"})), "CellPhone=1"},
        {"OtherTextBetweenNumberAndLabelBreaksTheLink",
         phones(entry("c:PhoneNumber",
                      element("c:Number", "1") + element("c:Alternate", "x") + labels({"Cellular"}))),
         "MobilePhone=1"},
        {"EmptyElementsAndCommentsBetweenDoNotMatter",
         phones(entry("c:PhoneNumber", element("c:Number", "1") + "<c:Alternate/><!-- kind -->" +
                                           labels({"Voice", "Business"}))),
         "OfficePhone=1"},
        {"LastBusinessWebAddressWinsSchemeInAnyCase",
         urls(businessUrl("HTTPS://a.example/"), businessUrl("HTTP://B.example/")),
         "WebPage=HTTP://B.example/|Unplaced=Web page (work): HTTPS://a.example/"},
        // Only business web addresses with a scheme; a leading label is no label of the value before.
        {"OnlyLabelledBusinessWebAddressesWithAScheme",
         urls(valueEntry("c:Url", "http://home.example/", {"Personal"}), businessUrl("www.acme.example"),
              valueEntry("c:Url", "http://both.example/", {"Personal", "Business"}),
              valueEntry("c:Url", "http://unlabelled.example/", {}), businessUrl("www.acme.example", true)),
         "PersonalWebPage=http://home.example/|BusinessWebPage=www.acme.example|Unplaced=Web page (home, "
         "work): "
         "http://both.example/;Web page: http://unlabelled.example/;Web page (work): www.acme.example"},
        {"WebLabelBeforeValue", urls(businessUrl("Https://acme.example/", true)),
         "WebPage=Https://acme.example/"},
        {"LeadingLabelIsNoPlaceOfTheNumberBefore",
         phones(phoneEntry("555-0100", {"Voice"}), phoneEntry("555-0101", {"Fax"})) +
             urls(businessUrl("http://acme.example/", true)) + phones(phoneEntry("555-0102", {"Fax"})) +
             urls(valueEntry("c:Url", "http://home.example/", {"Personal"}, true)),
         "WebPage=http://acme.example/|OtherPhone=555-0100|OtherFax=555-0101|PersonalWebPage=http://"
         "home.example/|"
         "Unplaced=Phone (Fax): 555-0102"},

        {"NamesWorkGenderAndPeople",
         name(element("c:FormattedName", "Ann Smith") + element("c:Prefix", "Dr.") +
              element("c:Generation", "III") + element("c:NickName", "Annie")) +
             name(element("c:FormattedName", "A. Smith")) + element("c:Gender", "Female") +
             collection(
                 "c:PositionCollection",
                 {entry("c:Position", element("c:Company", "Acme") + element("c:Organization", "Acme Ltd") +
                                          element("c:Role", "Lead") + element("c:Profession", "Chemist")),
                  entry("c:Position", element("c:Organization", "Acme"))}) +
             collection("c:PersonCollection",
                        {person("Bob", {"wab:Spouse"}), person("Cy", {"wab:Child"}),
                         person("Di", {"wab:Child"}), person("Ed", {"wab:Manager"}),
                         person("Flo", {"wab:Assistant"}), person("Gus", {"Agent"}),
                         person("Hal", {"wab:Spouse"}), entry("c:Person", labels({"wab:Friend"}))}),
         "Company=Acme|FormattedName=Ann Smith|Prefix=Dr.|Generation=III|NickName=Annie|Gender=Female|"
         "Role=Lead|"
         "Profession=Chemist|Spouse=Bob|Children=Cy;Di|Manager=Ed|Assistant=Flo|"
         "Unplaced=Organization: Acme Ltd;Person (Agent): Gus;Person (Spouse): Hal"},
        {"NumbersByKindAndPlace",
         phones(phoneEntry("tel:1", {"Voice", "Business"}),
                phoneEntry("TEL:2", {"Voice", "Business", "Preferred"}),
                phoneEntry("3", {"Voice", "Business"}), phoneEntry("4", {"Voice", "Personal"}),
                phoneEntry("5", {"Personal", "Voice"}), phoneEntry("6", {"Cellular"}),
                phoneEntry("7", {"Mobile"}), phoneEntry("8", {"Car"}), phoneEntry("Tel:9", {"ISDN"}),
                phoneEntry("10", {"TTY"}), phoneEntry("11", {"Video"}), phoneEntry("12", {"Modem"}),
                phoneEntry("13", {"Fax", "Other"}), phoneEntry(" tel:+1 (14)", {"Video", "Business"}),
                phoneEntry("tel:1", {"Voice", "Business"})),
         "OfficePhone=1|Business2Phone=2|PrimaryPhone=2|HomePhone=4|Home2Phone=5|CellPhone=6|CarPhone=8|"
         "IsdnNumber=9|TtyPhone=10|OtherPhone=11|OtherFax=13|"
         "Unplaced=Phone (work): 3;Phone (Mobile): 7;Phone (Modem): 12;Phone (Video, work): +1 (14)"},
        {"PcsOrMobileWhenNoCellular",
         phones(phoneEntry("1", {"PCS"}), phoneEntry("2", {"Mobile", "Preferred"})),
         "MobilePhone=1|PrimaryPhone=2|Unplaced=Phone (Mobile): 2"},
        {"OtherAddressLeavesHomeAlone",
         addresses(entry("c:PhysicalAddress", element("c:Street", "3 Oak Ct") + element("c:POBox", "PO 7") +
                                                  element("c:ExtendedAddress", "Unit 2") +
                                                  element("c:AddressLabel", "3 Oak Ct\nUnit 2") +
                                                  labels({"Other", "Postal"})),
                   addressEntry(kWork, {"Business"}),
                   entry("c:PhysicalAddress", element("c:Street", "2 Elm Rd") + element("c:POBox", "PO 9") +
                                                  labels({"Personal", "Preferred"})),
                   addressEntry({"4 Fir Way", "", "", "", ""}, {"Other"})),
         postal("Business", kWork) +
             "|PersonalStreet=2 Elm Rd|HomePOBox=PO 9|OtherStreet=4 Fir Way|MailingAddress=Other"},
        {"WebImAndEmailWithoutASlot",
         urls(valueEntry("c:Url", "http://a.example/", {"wab:School"}), businessUrl("www.b.example"),
              valueEntry("c:Url", "http://c.example/", {}),
              valueEntry("c:Url", "http://d.example/", {"Personal"}),
              valueEntry("c:Url", "http://e.example/", {"wab:SocialNetwork", "Personal"})) +
             collection(
                 "c:IMAddressCollection",
                 {entry("c:IMAddress",
                        element("c:Value", "ann@msn") + element("c:Protocol", "MSN") + labels({"Personal"})),
                  entry("c:IMAddress", element("c:Value", "ann@jabber") + element("c:Protocol", "XMPP"))}) +
             emails(emailEntry("SMTP", "a@x"), emailEntry("X400", "c=us", {"Business"})),
         "BusinessWebPage=www.b.example|PersonalWebPage=http://c.example/|IMAddress=ann@msn|Email=a@x|"
         "Unplaced=Web page (school): http://a.example/;Web page (home): http://d.example/;Web page (social "
         "network, home): http://e.example/;IM protocol: MSN;IM (XMPP): ann@jabber;E-mail (X400, work): "
         "c=us"},
        // Only the user tile's own picture, the first one with a value.
        {"UserTilePhotoWithAValue",
         collection("c:PhotoCollection",
                    {entry("c:Photo", photo("image/png", "iVBO") + labels({"Logo"})),
                     entry("c:Photo", labels({"UserTile"})),
                     entry("c:Photo", element("c:Url", "http://p.example/t.jpg") + labels({"UserTile"})),
                     entry("c:Photo", photo("image/bmp", "Qk1Y\nfAAA") + labels({"UserTile"})),
                     entry("c:Photo", labels({"UserTile"}) + photo("image/jpeg", "/9j/"))}),
         "PhotoType=image/bmp|Photo=Qk1Y\nfAAA"},

        {"UnreadableDatesSkippedOnly",
         dates(anniversary("1998-09-26"), birthday("1970-02-30T00:00:00Z"), anniversary("next spring"),
               anniversary("1900-02-29")) +
             name(element("c:FamilyName", "Smith")),
         "Anniversary=1998-09-26|LastName=Smith"},
        {"LastBirthdayWins", dates(birthday("1970-05-12"), birthday("19710613")), "BirthDay=1971-06-13"},
        {"LeadingDateLabelTakesOnlyItsOwnDate",
         dates(anniversary("1998-09-26", true), birthday("1970-05-12T00:00:00Z", true),
               anniversary("soon", true)),
         "BirthDay=1970-05-12|Anniversary=1998-09-26"},
        {"DateWithAnotherLabelIgnored", dates(valueEntry("c:Date", "1970-05-12", {"Other"})), ""},
    };
}

TEST(Reader, FillsExactlyTheExpectedFields)
{
    for (const auto& [name, body, expected] : readerCases()) {
        SCOPED_TRACE(name);
        ContactReaderContext context;
        expectRecord(readBody(body, context), fields(expected));
        EXPECT_EQ(context.AddressDepth + context.LabelledValueDepth + !!context.OpenEntry, 0u)
            << "an element left open";
    }
}

// The context is the reader's own: a second document starts with fresh slots and a fresh
// address rule, whatever the first one left in it.
TEST(Reader, EachDocumentStartsAFreshContext)
{
    ContactReaderContext context;
    readBody(emails(emailEntry("SMTP", "a@x"), emailEntry("SMTP", "b@x")) +
                 phones(phoneEntry("555-0100", {"Voice", "Business"})),
             context);
    ASSERT_TRUE(context.BusinessLabelSeen);
    const ContactRecord second =
        readBody(emails(emailEntry("SMTP", "c@x")) + addresses(addressEntry(kWork, {})), context);
    expectRecord(second, fields(postal("Business", kWork) + "|Email=c@x"));
    EXPECT_EQ(context.EmailCount, 1u);
}

// A million levels of nesting are read, by a walk that needs no stack for them.
TEST(Reader, MillionLevelsDeep)
{
    const auto nested = [](std::string_view tag, std::string_view inner) {
        std::string body;
        for (int i = 0; i < 1'000'000; ++i)
            body += concat({"<", tag, ">"});
        body += inner;
        for (int i = 0; i < 1'000'000; ++i)
            body += concat({"</", tag, ">"});
        return body + "<c:Notes>after</c:Notes>";
    };
    ContactReaderContext context;
    expectRecord(
        readBody(nested("c:PhysicalAddress", "<c:Street>1 Deep St</c:Street><c:Label>Personal</c:Label>"),
                 context),
        {{"PersonalStreet", "1 Deep St"}, {"Comments", "after"}});
    EXPECT_EQ(context.AddressDepth, 0u);
}

} // namespace
} // namespace tressimo::testing
