#include "text/ascii.h"

namespace tressimo::text {

bool containsIgnoringAsciiCase(std::string_view text, std::string_view needle)
{
    if (needle.size() > text.size())
        return false;
    for (std::size_t at = 0; at + needle.size() <= text.size(); ++at)
        if (equalsIgnoringAsciiCase(text.substr(at, needle.size()), needle))
            return true;
    return false;
}

std::string_view trimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return text.substr(text.size()); // empty, but still inside the text
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string_view trimWhitespace(std::string_view text)
{
    while (!text.empty() && isWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isWhitespaceOnly(std::string_view text)
{
    return trimWhitespace(text).empty();
}

std::string endingWith(std::string text, char last)
{
    if (text.empty() || text.back() != last)
        text += last;
    return text;
}

namespace {
constexpr char kUpper[] = "0123456789ABCDEF";
constexpr char kLower[] = "0123456789abcdef";

std::string hexDigits(std::uint64_t value, int minDigits)
{
    char buffer[16];
    int n = 0;
    do {
        buffer[15 - n++] = kUpper[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string out(minDigits > n ? static_cast<std::size_t>(minDigits - n) : 0, '0');
    out.append(buffer + 16 - n, static_cast<std::size_t>(n));
    return out;
}

} // namespace

std::string hexNumber(std::uint64_t value, int minDigits)
{
    return "0x" + hexDigits(value, minDigits);
}

void appendHexByte(std::string& out, std::uint8_t byte, bool upperCase)
{
    const char* digits = upperCase ? kUpper : kLower;
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve(2 * bytes.size());
    for (const std::uint8_t b : bytes)
        appendHexByte(out, b);
    return out;
}

std::optional<std::vector<std::uint8_t>> bytesFromHex(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigitValue(text[i]);
        const int low = hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

} // namespace tressimo::text
