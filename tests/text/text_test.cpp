#include "text/ascii.h"
#include "text/base64.h"
#include "text/single_byte.h"
#include "text/utf.h"

#include <gtest/gtest.h>

namespace tressimo::text {
namespace {

// Each maximal ill-formed subsequence becomes one U+FFFD; the bytes converted straight to
// UTF-16LE and in pieces agree with the string form.
TEST(Utf, OneReplacementPerMaximalIllFormedSubsequence)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"Müller 山田", u"Müller 山田"},
        {"\xF0\x9F\x98\x80\xF0\xA0\xAE\xB7", u"\U0001F600\U00020BB7"}, // surrogate pairs
        {"A\xFF"
         "B",
         u"A\uFFFDB"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xE5\xB1", u"\uFFFD"},                           // cut short at the end
        {"\xF0\x9F\x98"
         "A\x80",
         u"\uFFFDA\uFFFD"}, // cut short before a character, then a stray continuation
    };
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_EQ(utf8ToUtf16(utf8), utf16) << utf8;
        ASSERT_EQ(utf16Length(utf8), utf16.size()) << utf8;
        std::vector<std::uint8_t> bytes(2 * utf16.size()), pieces(bytes.size());
        utf8ToUtf16Bytes(utf8, bytes.data());
        Utf16Pieces(utf8).next(pieces.data(), pieces.size());
        for (std::size_t i = 0; i < utf16.size(); ++i)
            EXPECT_EQ(bytes[2 * i] | bytes[2 * i + 1] << 8, utf16[i]) << utf8;
        EXPECT_EQ(pieces, bytes) << utf8;
    }
    EXPECT_EQ(utf16ToUtf8(u"Jos\u00E9 \U0001F600"), "Jos\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
}

TEST(SingleByte, DecodesEachDeclaredEncodingAsWindowsDoes)
{
    const struct
    {
        std::string_view name;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"ISO-8859-2", "\xB3\xF3\xBF", "łóż"},
        {"latin2", "\xA3", "Ł"},
        {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
        {"windows-1251", "\xCF\xF0\xE8", "При"},
        {"ISO-8859-15", "\xA4", "€"},
        {"ibm437", "\x82", "é"},
        {"x-mac-roman", "\x8A", "ä"},
        // Unassigned bytes: C1 controls in 0x80..0x9F, U+FFFD elsewhere.
        {"Windows-1252", "\x80\x81\x9F", "€\xC2\x81Ÿ"},
        {"windows-1253", "\xAA", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        const ByteCodePoints* encoding = singleByteEncoding(c.name);
        ASSERT_NE(encoding, nullptr) << c.name;
        EXPECT_EQ(decodeSingleByte(*encoding, "a" + c.bytes), "a" + c.utf8) << c.name;
    }
    EXPECT_EQ(singleByteEncoding("shift_jis"), nullptr);
    EXPECT_EQ(singleByteEncoding("utf-8"), nullptr);
    EXPECT_EQ(singleByteEncoding("iso-8859"), nullptr);
}

TEST(Ascii, FoldsTrimsAndFormatsBytesOnly)
{
    EXPECT_TRUE(equalsIgnoringAsciiCase("Contacts.CONTACT", "contacts.contact"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9")); // É is not folded
    EXPECT_TRUE(equalsIgnoringAsciiCase(u"Kontakte", u"KONTAKTE"));
    EXPECT_TRUE(startsWithIgnoringAsciiCase("FILE:///a", "file:"));
    EXPECT_TRUE(endsWithIgnoringAsciiCase("a.Contact", ".contact"));
    EXPECT_TRUE(containsIgnoringAsciiCase("see HTTPS://x", "https:"));
    EXPECT_FALSE(containsIgnoringAsciiCase("http", "https:"));
    EXPECT_EQ(trimSpaces("  a\t b \n "), "a\t b \n");
    EXPECT_EQ(trimWhitespace(" \t\r\na b\n"), "a b");
    EXPECT_TRUE(isWhitespaceOnly(" \r\n\t"));
    EXPECT_EQ(endingWith("/out", '/'), "/out/");
    EXPECT_EQ(endingWith("/out/", '/'), "/out/");
    EXPECT_EQ(endingWith("", '/'), "/");
    EXPECT_EQ(hexNumber(0x1F), "0x1F");
    EXPECT_EQ(hexNumber(0x8005001F, 8), "0x8005001F");
    EXPECT_EQ(hexNumber(0x1F, 8), "0x0000001F");
    EXPECT_EQ(hexNumber(0), "0x0");
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(hexBytes(bytes), "00AB7F");
    std::string lower;
    appendHexByte(lower, 0x9B, false);
    EXPECT_EQ(lower, "9b");
    EXPECT_EQ(hexDigitValue('f') + hexDigitValue('F') + hexDigitValue('9'), 39);
    EXPECT_EQ(hexDigitValue('g'), -1);
}

// Line breaks and blanks anywhere, padding or none; a stray character, padding in the middle
// or a leftover that is not a whole byte refuses the whole text.
TEST(Base64, DecodesWrappedTextAndRefusesDamage)
{
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"", ""},
        {"TWFu", "Man"},
        {"TW\r\nFu\n  YQ==\n", "Mana"},
        {"TWFuYQ", "Mana"},
        {"TWFuYW4=", "Manan"},
        {"TWFuYW4", "Manan"},
        {"+/8=", "\xFB\xFF"},
        {"TWFuY", std::nullopt},
        {"TWFuYQ=", std::nullopt},
        {"TWFu====", std::nullopt},
        {"TQ==TQ==", std::nullopt},
        {"TW-u", std::nullopt},
        {std::string_view("TWFu\0", 5), std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto bytes = decodeBase64(text);
        EXPECT_EQ(bytes ? std::optional(std::string(bytes->begin(), bytes->end())) : std::nullopt, expected)
            << text;
    }
}

} // namespace
} // namespace tressimo::text
