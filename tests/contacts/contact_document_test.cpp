// Loading .contact files: encodings, the reasons given for files that do not load, and the
// real files Windows wrote.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "tests/contacts/contact_xml.h"
#include "tests/contacts/record_check.h"
#include "text/utf.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tressimo::testing {
namespace {

using contacts::ContactDocument;
using contacts::ContactReaderContext;
using contacts::ContactRecord;

using text::utf8ToUtf16;

std::string utf16Bytes(const std::u16string& text, bool bigEndian, bool bom)
{
    std::string out;
    for (const char16_t unit : bom ? u"\uFEFF" + text : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

ContactRecord readFile(const std::filesystem::path& path)
{
    const ContactDocument document = contacts::loadContactDocument(path);
    EXPECT_TRUE(document.loaded()) << document.error();
    ContactRecord record;
    ContactReaderContext context;
    contacts::DisplayNode(document.document(), record, context);
    return record;
}

std::string replaced(const std::string& text, std::string_view from, std::string_view to)
{
    const auto at = text.find(from);
    return text.substr(0, at) + std::string(to) + text.substr(at + from.size());
}

const std::string kGiven = "Zo\xC3\xAB \xF0\x9F\x98\x80"; // "Zoë 😀": two- and four-byte characters
const std::string kXml = contactDocument(name(element("c:GivenName", kGiven)) + element("c:Notes", "n"));
const std::string kXml16 = replaced(kXml, "encoding=\"UTF-8\"", "encoding=\"UTF-16\"");

// Each encoding pugixml detects, and 8-bit ones a file may declare (the decoding tables have
// their own tests): Windows' code page with its typographic characters and an unassigned
// 0x81, a Central European one. The file names are bytes that are not UTF-8, opened as they are.
TEST(LoadContactDocument, ReadsEveryEncoding)
{
    const std::string cp1252 = "Zo\xEB \x80 \x93q\x94 \x9F\x81";
    const std::string cp1252Read = "Zo\xC3\xAB \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8\xC2\x81";
    const std::pair<std::string, std::string> cases[] = {
        {kXml, kGiven},
        {"\xEF\xBB\xBF" + kXml, kGiven},
        {kXml.substr(kXml.find("<c:contact")), kGiven},
        {utf16Bytes(utf8ToUtf16(kXml16), false, true), kGiven},
        {utf16Bytes(utf8ToUtf16(kXml16), true, true), kGiven},
        {utf16Bytes(utf8ToUtf16(kXml16), false, false), kGiven},
        {utf16Bytes(utf8ToUtf16(kXml16), true, false), kGiven},
        {replaced(replaced(kXml, "UTF-8", "ISO-8859-1"), kGiven, "Zo\xEB"), "Zo\xC3\xAB"},
        {replaced(replaced(kXml, "UTF-8", "windows-1252"), kGiven, cp1252), cp1252Read},
        {replaced(replaced(kXml, "UTF-8", "ISO-8859-2"), kGiven,
                  "\xA3\xF3"
                  "d\xBC"),
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA"}, // Łódź
    };
    const TempDir dir;
    int n = 0;
    for (const auto& [bytes, given] : cases) {
        SCOPED_TRACE(++n);
        expectRecord(readFile(dir.write("Zo\xEB \xFF" + std::to_string(n) + ".contact", bytes)),
                     {{"FirstName", given}, {"Comments", "n"}});
    }
}

// Byte offsets count in the file as it is on disk, whatever pugixml converted it to.
TEST(LoadContactDocument, NamesTheReasonAndTheByte)
{
    const std::string broken = replaced(kXml, "</c:GivenName>", "</c:GivenNam>");
    const std::u16string broken16 = utf8ToUtf16(replaced(broken, "UTF-8", "UTF-16"));
    const auto at16 = broken16.find(u"</c:GivenNam>") + 2; // pugixml points at the end tag's name
    // pugixml drops a lone surrogate; the offset must still count its two bytes.
    std::u16string lone16 = broken16;
    lone16.insert(lone16.find(u"Zo"), 1, char16_t(0xD800));
    const std::string root = kXml.substr(kXml.find("<c:contact"));
    const std::string cp1252 = replaced(replaced(broken, "UTF-8", "windows-1252"), kGiven, "\x93Zo\xEB\x94");

    const std::string mismatch = "Start-end tags mismatch", none = "No document element found",
                      outside = "Text outside the document element";
    const std::tuple<std::string, std::string, std::size_t> cases[] = {
        {utf16Bytes(broken16, false, true), mismatch, 2 + 2 * at16},
        {utf16Bytes(lone16, false, true), mismatch, 4 + 2 * at16},
        {cp1252, mismatch, cp1252.find("</c:GivenNam>") + 2},
        {replaced(kXml, "UTF-8", "Shift_JIS"), "Unsupported encoding \"Shift_JIS\"", kXml.find("UTF-8")},
        {kXml.substr(0, kXml.size() - 4), mismatch, kXml.rfind("</") + 2},
        {"", none, 0},
        // A file saved empty as Unicode holds only its byte order mark.
        {"\xEF\xBB\xBF", none, 3},
        {"\xFF\xFE", none, 2},
        {" \r\n\t", none, 4},
        {"Contact: " + root, outside, 0},
        {kXml + "\r\nsent from my phone", outside, kXml.size()},
        {utf16Bytes(utf8ToUtf16(kXml16 + "x"), false, true), outside, 2 + 2 * utf8ToUtf16(kXml16).size()},
        {kXml + "<c:contact/>", "More than one document element", kXml.size() + 1},
        {"<![CDATA[x]]>" + root, outside, 9},
    };
    const TempDir dir;
    int n = 0;
    for (const auto& [bytes, reason, byte] : cases) {
        const auto path = dir.write("case" + std::to_string(++n) + ".contact", bytes);
        const ContactDocument document = contacts::loadContactDocument(path);
        EXPECT_FALSE(document.loaded());
        EXPECT_EQ(document.error(),
                  "Error parsing \"" + path.string() + "\": " + reason + " at byte " + std::to_string(byte));
    }
}

TEST(LoadContactDocument, FileSystemFailuresGiveTheSystemsReason)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs nor /dev/zero, and names no reason for a folder opened as a file";
#else
    const TempDir dir;
    // Neither a FIFO (waits for a writer) nor a device (never ends) may hang the run.
    const std::tuple<std::filesystem::path, std::string, std::string> cases[] = {
        {dir.path() / "Zo\xEB \xFE.contact", "open", "No such file or directory"},
        {dir.path() / "fifo.contact", "read", "not a regular file"},
        {"/dev/zero", "read", "not a regular file"},
    };
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.contact").c_str(), 0600), 0);
    for (const auto& [path, verb, reason] : cases) {
        const ContactDocument document = contacts::loadContactDocument(path);
        EXPECT_FALSE(document.loaded());
        EXPECT_EQ(document.error(), "Cannot " + verb + " \"" + path.string() + "\": " + reason);
    }
#endif
}

TEST(LoadContactDocument, RealFilesWrittenByWindows)
{
    const std::pair<const char*, const char*> files[] = {
        {"chums_forrest_gump_crlf.contact",
         "FirstName=Forrest|LastName=Gump|Email=forrestgump@example.com|Company=Bubba Gump Shrimp Co.|"
         "JobTitle=Shrimp Man|OfficePhone=+1-111-555-1212|HomePhone=+1-404-555-1212|FormattedName=Forrest "
         "Gump"},
        {"kdepim_sample1_wabmigrated_two_contactids.contact",
         "Email=redacted-email@gmail.com|FormattedName=Redacted Name"},
        {"kdepim_sample2_wabmigrated_given_family.contact",
         "FirstName=John|LastName=Anon|Email=sampleaddress@yahoo.com|FormattedName=John Anon"},
        {"kdepim_sample3_wabmigrated_email_as_name.contact",
         "Email=dialup.email@juno.com|FormattedName=dialup.email@juno.com"},
        // The photo's base64 text, line breaks and all: its length and ends.
        {"kdepim_sample4_photo_bmp_base64.contact",
         "FormattedName=RandomPhoto|PhotoType=image/bmp|Photo=43002 Qk1YfAAA GWgZyik="},
        {"kdepim_test1_john_doe.contact", "Email=sample-email@kde.org|FormattedName=John Doe"},
    };
    for (const auto& [file, expected] : files) {
        SCOPED_TRACE(file);
        ContactRecord record =
            readFile(std::filesystem::path(TRESSIMO_SOURCE_DIR) / "tests/data/real-contacts" / file);
        if (const std::string photo = record.Photo; !photo.empty())
            record.Photo = std::to_string(photo.size()) + " " + photo.substr(0, 8) + " " +
                           photo.substr(photo.size() - 8);
        expectRecord(record, fields(expected));
    }
}

} // namespace
} // namespace tressimo::testing
