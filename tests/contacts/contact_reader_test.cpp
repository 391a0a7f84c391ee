// What DisplayNode makes of documents: one table of (document body -> expected fields), each
// row checked against the whole record.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "tests/contacts/contact_xml.h"
#include "tests/contacts/record_check.h"

#include <cstring>

#include <gtest/gtest.h>

namespace tressimo::testing {
namespace {

using contacts::ContactDocument;
using contacts::ContactReaderContext;
using contacts::ContactRecord;

struct ReaderCase
{
    std::string name;
    std::string body;
    ExpectedFields expected;
};

std::ostream& operator<<(std::ostream& out, const ReaderCase& c)
{
    return out << c.name;
}

ContactRecord readBody(const std::string& body, ContactReaderContext& context)
{
    const std::string xml = contactDocument(body);
    const ContactDocument document = ContactDocument::parse({xml.begin(), xml.end()}, "test");
    EXPECT_TRUE(document.loaded()) << document.error();
    ContactRecord record;
    contacts::DisplayNode(document.document(), record, context);
    return record;
}

std::string emails(std::initializer_list<std::string> entries)
{
    return collection("c:EmailAddressCollection", entries);
}
std::string phones(std::initializer_list<std::string> entries)
{
    return collection("c:PhoneNumberCollection", entries);
}
std::string addresses(std::initializer_list<std::string> entries)
{
    return collection("c:PhysicalAddressCollection", entries);
}
std::string urls(std::initializer_list<std::string> entries)
{
    return collection("c:UrlCollection", entries);
}
std::string dates(std::initializer_list<std::string> entries)
{
    return collection("c:DateCollection", entries);
}
std::string birthday(std::string_view value, bool labelFirst = false)
{
    return valueEntry("c:Date", value, {"wab:Birthday"}, labelFirst);
}
std::string anniversary(std::string_view value, bool labelFirst = false)
{
    return valueEntry("c:Date", value, {"wab:Anniversary"}, labelFirst);
}
std::string businessUrl(std::string_view value, bool labelFirst = false)
{
    return valueEntry("c:Url", value, {"Business"}, labelFirst);
}

const Address kWork{"1 Main St", "Springfield", "IL", "62701", "USA"};
const Address kHome{"2 Elm Rd", "Shelbyville", "KY", "40065", "United States"};

ExpectedFields business(const Address& a)
{
    return {{"eContact_BusinessStreet", std::string(a.street)}, {"eContact_BusinessCity", std::string(a.locality)},
            {"eContact_BusinessState", std::string(a.region)},  {"eContact_BusinessZip", std::string(a.postalCode)},
            {"eContact_BusinessCountry", std::string(a.country)}};
}
ExpectedFields home(const Address& a)
{
    return {{"eContact_PersonalStreet", std::string(a.street)}, {"eContact_PersonalCity", std::string(a.locality)},
            {"eContact_PersonalState", std::string(a.region)},  {"eContact_PersonalZip", std::string(a.postalCode)},
            {"eContact_PersonalCountry", std::string(a.country)}};
}
ExpectedFields operator+(ExpectedFields a, const ExpectedFields& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

std::vector<ReaderCase> readerCases()
{
    const std::string businessPhone = phones({phoneEntry("555-0100", {"Voice", "Business"})});
    return {
        // --- Plain fields -----------------------------------------------------------------
        {"EveryFieldTheReaderFills",
         name(element("c:FormattedName", "Dr. Ann B. Smith Jr.") + element("c:Title", "Dr.") +
              element("c:GivenName", "Ann") + element("c:MiddleName", "B.") + element("c:FamilyName", "Smith") +
              element("c:Suffix", "Jr.")) +
             emails({emailEntry("SMTP", "ann@example.com"), emailEntry("SMTP", "a.smith@example.org", {}),
                     emailEntry("SMTP", "ann@example.net", {"Personal"})}) +
             addresses({addressEntry(kWork, {"Business"}), addressEntry(kHome, {"Personal"})}) +
             phones({phoneEntry("555-0100", {"Voice", "Business"}), phoneEntry("555-0101", {"Fax", "Business"}),
                     phoneEntry("555-0102", {"Cellular"}), phoneEntry("555-0103", {"Pager"}),
                     phoneEntry("555-0104", {"Voice", "Personal"}), phoneEntry("555-0105", {"Fax", "Personal"})}) +
             collection("c:PositionCollection",
                        {entry("c:Position", element("c:Company", "Acme") + element("c:Department", "R&amp;D") +
                                                 element("c:JobTitle", "Engineer") + element("c:Office", "B-12") +
                                                 labels({"Business"}))}) +
             urls({businessUrl("http://acme.example/ann")}) +
             dates({birthday("1970-05-12T00:00:00Z"), anniversary("1998-09-26T00:00:00Z")}) +
             element("c:Notes", "Met at the fair.\nLikes tea."),
         ExpectedFields{{"eContact_FirstName", "Ann"},
                        {"eContact_MiddleName", "B."},
                        {"eContact_LastName", "Smith"},
                        {"eContact_Suffix", "Jr."},
                        {"eContact_Title", "Dr."},
                        {"eContact_Email", "ann@example.com"},
                        {"eContact_Email2", "a.smith@example.org"},
                        {"eContact_Email3", "ann@example.net"},
                        {"eContact_Company", "Acme"},
                        {"eContact_JobTitle", "Engineer"},
                        {"eContact_Location", "B-12"},
                        {"eContact_WebPage", "http://acme.example/ann"},
                        {"eContact_Department", "R&D"},
                        {"eContact_OfficePhone", "555-0100"},
                        {"eContact_OfficeFax", "555-0101"},
                        {"eContact_CellPhone", "555-0102"},
                        {"eContact_Pager", "555-0103"},
                        {"eContact_HomePhone", "555-0104"},
                        {"eContact_HomeFax", "555-0105"},
                        {"eContact_BirthDay", "1970-05-12"},
                        {"eContact_Anniversary", "1998-09-26"},
                        {"eContact_Comments", "Met at the fair.\nLikes tea."}} +
             business(kWork) + home(kHome)},
        {"SpacesAndLineBreaksKeptAsRead",
         name(element("c:GivenName", "  Ann  ")) + element("c:Notes", " a\r\nb&#13;\tc "),
         {{"eContact_FirstName", "  Ann  "}, {"eContact_Comments", " a\nb\r\tc "}}},
        {"CdataNeverRead",
         name(element("c:GivenName", "<![CDATA[Ann]]>") + element("c:FamilyName", "Sm<![CDATA[i]]>th")),
         {{"eContact_LastName", "th"}}},
        {"OtherPrefixOrCaseMatchesNothing",
         "<x:NameCollection xmlns:x=\"http://schemas.microsoft.com/Contact\"><x:Name><x:GivenName>Ann</x:GivenName>"
         "</x:Name></x:NameCollection>" +
             name(element("c:givenName", "Ann") + element("C:FamilyName", "Smith")),
         {}},
        {"OnlyTheDirectElementCounts", name(element("c:GivenName", element("c:Nick", "Ann"))), {}},
        {"FourthSmtpAddressDropped",
         emails({emailEntry("SMTP", "a@x"), emailEntry("SMTP", "b@x"), emailEntry("SMTP", "c@x"),
                 emailEntry("SMTP", "d@x")}),
         {{"eContact_Email", "a@x"}, {"eContact_Email2", "b@x"}, {"eContact_Email3", "c@x"}}},
        {"NonSmtpTypesTakeNoSlot",
         emails({emailEntry("X400", "c=us;a=x"), emailEntry("smtp", "lower@x"), emailEntry("SMTP ", "blank@x"),
                 emailEntry("SMTP", "a@x")}),
         {{"eContact_Email", "a@x"}}},
        {"TypeWithoutAddressSkipsASlot",
         emails({entry("c:EmailAddress", element("c:Type", "SMTP")), emailEntry("SMTP", "b@x")}),
         {{"eContact_Email2", "b@x"}}},
        {"AddressWithoutTypeIgnored",
         emails({entry("c:EmailAddress", element("c:Address", "a@x")), emailEntry("SMTP", "b@x")}),
         {{"eContact_Email", "b@x"}}},

        // --- Postal addresses -------------------------------------------------------------
        {"BusinessThenPersonal", addresses({addressEntry(kWork, {"Business"}), addressEntry(kHome, {"Personal"})}),
         business(kWork) + home(kHome)},
        {"PersonalThenBusinessEachToItsOwnGroup",
         addresses({addressEntry(kHome, {"Personal"}), addressEntry(kWork, {"Business"})}),
         business(kWork) + home(kHome)},
        {"UnlabelledBeforeAnyBusinessLabelIsBusiness", addresses({addressEntry(kHome, {})}), business(kHome)},
        {"UnlabelledAfterPersonalAddressIsStillBusiness",
         addresses({addressEntry(kHome, {"Personal"}), addressEntry(kWork, {"Preferred"})}),
         business(kWork) + home(kHome)},
        {"UnlabelledAfterBusinessPhoneIsHome", businessPhone + addresses({addressEntry(kHome, {})}),
         home(kHome) + ExpectedFields{{"eContact_OfficePhone", "555-0100"}}},
        {"OwnBusinessLabelBeatsEarlierBusinessPhone", businessPhone + addresses({addressEntry(kWork, {"Business"})}),
         business(kWork) + ExpectedFields{{"eContact_OfficePhone", "555-0100"}}},
        {"LaterAddressReplacesTheWholeGroup",
         addresses({addressEntry(kWork, {"Business"}),
                    addressEntry({"9 Dock Ln", "", "", "", "Canada"}, {"Business", "Preferred"})}),
         {{"eContact_BusinessStreet", "9 Dock Ln"}, {"eContact_BusinessCountry", "Canada"}}},
        {"EmptyPlaceholderChangesNothing",
         addresses({addressEntry(kWork, {"Business"}),
                    "<c:PhysicalAddress c:ElementID=\"dea442c6-c4a8-4f5d-a2fb-cc3d4f25cd17\" xsi:nil=\"true\"/>",
                    entry("c:PhysicalAddress", labels({"Business"}))}),
         business(kWork)},
        {"AddressLabelledBothFillsBoth", addresses({addressEntry(kWork, {"Business", "Personal"})}),
         business(kWork) + home(kWork)},
        {"PartsOutsideAnAddressFollowTheOldRule",
         element("c:Street", "1 Loose St") + businessPhone + element("c:Locality", "Loosetown"),
         {{"eContact_BusinessStreet", "1 Loose St"},
          {"eContact_PersonalCity", "Loosetown"},
          {"eContact_OfficePhone", "555-0100"}}},

        // --- Telephone numbers ------------------------------------------------------------
        {"FirstOfficeAndHomeNumbersWin",
         phones({phoneEntry("1", {"Voice", "Business"}), phoneEntry("2", {"Voice", "Business"}),
                 phoneEntry("3", {"Fax", "Personal"}), phoneEntry("4", {"Fax", "Personal"}),
                 phoneEntry("5", {"Voice", "Personal"}), phoneEntry("6", {"Fax", "Business"})}),
         {{"eContact_OfficePhone", "1"}, {"eContact_HomeFax", "3"}, {"eContact_HomePhone", "5"},
          {"eContact_OfficeFax", "6"}}},
        {"LastMobileAndPagerWin",
         phones({phoneEntry("1", {"Cellular"}), phoneEntry("2", {"Pager"}), phoneEntry("3", {"Cellular"}),
                 phoneEntry("4", {"Pager", "Business"})}),
         {{"eContact_CellPhone", "3"}, {"eContact_Pager", "4"}}},
        {"PlaceBeforeKindStoresNothing", phones({phoneEntry("1", {"Business", "Voice"})}), {}},
        {"KindWithoutPlaceStoresNothing",
         phones({phoneEntry("1", {"Voice"}), phoneEntry("2", {"Fax"}), phoneEntry("3", {})}), {}},
        {"PlaceAfterMobileAddsNothing", phones({phoneEntry("1", {"Cellular", "Business"})}),
         {{"eContact_CellPhone", "1"}}},
        {"OtherTextBetweenNumberAndLabelBreaksTheLink",
         phones({entry("c:PhoneNumber",
                       element("c:Number", "1") + element("c:Alternate", "x") + labels({"Cellular"}))}),
         {}},
        {"EmptyElementsAndCommentsBetweenDoNotMatter",
         phones({entry("c:PhoneNumber", element("c:Number", "1") + "<c:Alternate/><!-- kind -->" +
                                            labels({"Voice", "Business"}))}),
         {{"eContact_OfficePhone", "1"}}},
        {"SchemeInCapitalsStoredAsWritten", urls({businessUrl("HTTP://Acme.Example/Ann")}),
         {{"eContact_WebPage", "HTTP://Acme.Example/Ann"}}},
        {"SecureSchemeStored", urls({businessUrl("HTTPS://acme.example/")}),
         {{"eContact_WebPage", "HTTPS://acme.example/"}}},
        {"LastBusinessWebAddressWins", urls({businessUrl("http://a.example/"), businessUrl("https://b.example/")}),
         {{"eContact_WebPage", "https://b.example/"}}},
        {"OnlyBusinessWebAddressesAndOnlyWithAScheme",
         urls({valueEntry("c:Url", "http://home.example/", {"Personal"}), businessUrl("www.acme.example"),
               valueEntry("c:Url", "http://both.example/", {"Personal", "Business"})}),
         {}},
        {"WebLabelBeforeValue", urls({businessUrl("https://acme.example/", true)}),
         {{"eContact_WebPage", "https://acme.example/"}}},
        {"LeadingLabelDoesNotLabelThePreviousValue",
         urls({valueEntry("c:Url", "http://unlabelled.example/", {}), businessUrl("www.acme.example", true)}), {}},
        // A web address's own leading label is no place label of the number before it.
        {"LeadingLabelIsNoPlaceOfTheNumberBefore",
         phones({phoneEntry("555-0100", {"Voice"}), phoneEntry("555-0101", {"Fax"})}) +
             urls({businessUrl("http://acme.example/", true)}) +
             collection("c:PhoneNumberCollection", {phoneEntry("555-0102", {"Fax"})}) +
             urls({valueEntry("c:Url", "http://home.example/", {"Personal"}, true)}),
         {{"eContact_WebPage", "http://acme.example/"}}},

        // --- Dates ------------------------------------------------------------------------
        {"TimeAndZoneIgnored",
         dates({birthday("1970-05-12T23:30:00-08:00"), anniversary("1998-09-26T00:00:00.000+14:00")}),
         {{"eContact_BirthDay", "1970-05-12"}, {"eContact_Anniversary", "1998-09-26"}}},
        {"InvalidBirthdaySkipsOnlyThatDate",
         dates({birthday("1970-02-30T00:00:00Z"), anniversary("1998-09-26T00:00:00Z")}) +
             name(element("c:GivenName", "Ann")),
         {{"eContact_Anniversary", "1998-09-26"}, {"eContact_FirstName", "Ann"}}},
        {"UnreadableAnniversaryKeepsEarlierOne",
         dates({anniversary("1998-09-26"), anniversary("next spring"), anniversary("1900-02-29")}) +
             name(element("c:FamilyName", "Smith")),
         {{"eContact_Anniversary", "1998-09-26"}, {"eContact_LastName", "Smith"}}},
        {"LastBirthdayWins", dates({birthday("1970-05-12"), birthday("19710613")}),
         {{"eContact_BirthDay", "1971-06-13"}}},
        {"DateLabelBeforeValue", dates({birthday("1970-05-12T00:00:00Z", true), anniversary("1998-09-26", true)}),
         {{"eContact_BirthDay", "1970-05-12"}, {"eContact_Anniversary", "1998-09-26"}}},
        {"LeadingDateLabelDoesNotTakeThePreviousDate",
         dates({birthday("1970-05-12", true), anniversary("soon", true)}), {{"eContact_BirthDay", "1970-05-12"}}},
        {"DateWithAnotherLabelIgnored", dates({valueEntry("c:Date", "1970-05-12", {"Other"})}), {}},
    };
}

class ReaderTable : public ::testing::TestWithParam<ReaderCase>
{
};

TEST_P(ReaderTable, FillsExactlyTheExpectedFields)
{
    ContactReaderContext context;
    expectRecord(readBody(GetParam().body, context), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, ReaderTable, ::testing::ValuesIn(readerCases()),
                         [](const auto& info) { return info.param.name; });

// The context is the reader's own: a second document starts with fresh slots and a fresh
// address rule, whatever the first one left in it.
TEST(Reader, EachDocumentStartsAFreshContext)
{
    ContactReaderContext context;
    readBody(emails({emailEntry("SMTP", "a@x"), emailEntry("SMTP", "b@x")}) +
                 phones({phoneEntry("555-0100", {"Voice", "Business"})}),
             context);
    ASSERT_TRUE(context.BusinessLabelSeen);
    const ContactRecord second =
        readBody(emails({emailEntry("SMTP", "c@x")}) + addresses({addressEntry(kWork, {})}), context);
    expectRecord(second, business(kWork) + ExpectedFields{{"eContact_Email", "c@x"}});
    EXPECT_EQ(context.EmailCount, 1u);
}

// White-space-only texts never become the previous text node, also when the document was
// parsed with options that keep them.
TEST(Reader, WhiteSpaceOnlyTextsSkippedWhateverTheParseOptions)
{
    const std::string xml = contactDocument(
        "<c:PhoneNumberCollection>\n <c:PhoneNumber>\n  <c:Number>1</c:Number>\n  <c:LabelCollection>\n"
        "   <c:Label>Voice</c:Label>\r\n\t<c:Label>Business</c:Label>\n  </c:LabelCollection>\n"
        " </c:PhoneNumber>\n</c:PhoneNumberCollection>\n");
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
    ContactRecord record;
    ContactReaderContext context;
    contacts::DisplayNode(document, record, context);
    expectRecord(record, {{"eContact_OfficePhone", "1"}});
}

// A million levels of nesting are read, by a walk that needs no stack for them.
TEST(Reader, MillionLevelsDeep)
{
    constexpr int kDepth = 1'000'000;
    struct Wrapper
    {
        const char* open;
        const char* close;
        const char* inner;
        ExpectedFields expected;
    };
    const Wrapper wrappers[] = {
        {"<c:Group>", "</c:Group>", "<c:GivenName>Ann</c:GivenName>", {{"eContact_FirstName", "Ann"}}},
        {"<c:PhysicalAddress>", "</c:PhysicalAddress>",
         "<c:Street>1 Deep St</c:Street><c:Label>Personal</c:Label>", {{"eContact_PersonalStreet", "1 Deep St"}}},
    };
    for (const Wrapper& wrapper : wrappers) {
        std::string body;
        body.reserve(kDepth * (std::strlen(wrapper.open) + std::strlen(wrapper.close)) + 200);
        for (int i = 0; i < kDepth; ++i)
            body += wrapper.open;
        body += wrapper.inner;
        for (int i = 0; i < kDepth; ++i)
            body += wrapper.close;
        body += "<c:Notes>after</c:Notes>";

        ContactReaderContext context;
        ExpectedFields expected = wrapper.expected;
        expected["eContact_Comments"] = "after";
        expectRecord(readBody(body, context), expected);
        EXPECT_EQ(context.AddressDepth, 0u);
    }
}

} // namespace
} // namespace tressimo::testing
