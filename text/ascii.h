#pragma once
// Byte-level text rules of the program: ASCII case folding, trimming, hex digits, separators.
// They look at ASCII only, never at the locale: a Turkish or other locale must not change which
// names are equal or what "file:" matches, and multi-byte UTF-8 passes through untouched.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::text {

// 'A'..'Z' to 'a'..'z'; everything else as it is. Works on bytes and UTF-16 units alike.
template <typename Char> constexpr Char asciiLower(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr bool equalsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return equalsIgnoringAsciiCase<char>(a, b);
}
constexpr bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b)
{
    return equalsIgnoringAsciiCase<char16_t>(a, b);
}
constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}
constexpr bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() &&
           equalsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}
bool containsIgnoringAsciiCase(std::string_view text, std::string_view needle);

// Space, tab, carriage return and line feed: white space as XML counts it.
constexpr bool isWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
// The text without leading and trailing U+0020 only; tabs, line breaks and other spaces stay.
// The result is always a view into `text` (at its end when nothing is left).
std::string_view trimSpaces(std::string_view text);
// The text without leading and trailing white space (isWhitespace).
std::string_view trimWhitespace(std::string_view text);
// True when the text is empty or white space only.
bool isWhitespaceOnly(std::string_view text);

// The text ending with `last`, added only when it is not already there (an empty text gets it).
std::string endingWith(std::string text, char last);

// "0x" and the value's upper-case hex digits, zero-padded to at least minDigits ("0x1F";
// hexNumber(0x1F, 8) = "0x0000001F").
std::string hexNumber(std::uint64_t value, int minDigits = 1);
// Two upper-case digits a byte, no separators.
std::string hexBytes(std::span<const std::uint8_t> bytes);
// Appends one byte as two hex digits, upper or lower case.
void appendHexByte(std::string& out, std::uint8_t byte, bool upperCase = true);
// The value of a hex digit of either case, or -1.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
// The bytes written as hex digits (either case), two a byte; nullopt for an empty text, an odd
// count or a character that is not a hex digit.
std::optional<std::vector<std::uint8_t>> bytesFromHex(std::string_view text);

} // namespace tressimo::text
