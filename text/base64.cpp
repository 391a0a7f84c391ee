#include "text/base64.h"

#include "text/ascii.h"

#include <array>

namespace tressimo::text {

namespace {

constexpr std::uint8_t kSkip = 0xFE;
constexpr std::uint8_t kInvalid = 0xFF;

// The 6-bit value of each byte, kSkip for white space, kInvalid for the rest ('=' included).
constexpr std::array<std::uint8_t, 256> kValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(kInvalid);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    for (char c : {' ', '\t', '\r', '\n'})
        values[static_cast<unsigned char>(c)] = kSkip;
    return values;
}();

} // namespace

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int count = 0; // characters of the current group of four
    std::size_t at = 0;
    for (; at < text.size(); ++at) {
        const std::uint8_t value = kValues[static_cast<unsigned char>(text[at])];
        if (value == kSkip)
            continue;
        if (value == kInvalid)
            break;
        bits = bits << 6 | value;
        if (++count == 4) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
            bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
            bytes.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    // One character left over holds 6 bits, less than a byte.
    if (count == 1)
        return std::nullopt;
    // What padding there is must complete the last group and be all that follows.
    int padding = 0;
    for (; at < text.size(); ++at) {
        if (text[at] == '=' && count > 0 && count + padding < 4)
            ++padding;
        else if (!isWhitespace(text[at]))
            return std::nullopt;
    }
    if (padding > 0 && count + padding != 4)
        return std::nullopt;
    if (count == 2) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
    } else if (count == 3) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
        bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
    }
    return bytes;
}

} // namespace tressimo::text
