#pragma once
// Base64 as contact files carry binary values (RFC 4648, standard alphabet).

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tressimo::text {

// The bytes the text stands for. White space (isWhitespace) is skipped wherever it stands, as
// files break the text into lines; the '=' padding may be left out, but nothing but white space
// may follow it. nullopt for any other character or for a length that is not a whole number of
// bytes.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

} // namespace tressimo::text
