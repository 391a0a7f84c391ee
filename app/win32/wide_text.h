#pragma once
// Text between the program (UTF-8) and the wide Windows calls (UTF-16), at the edge only.

#include <string>
#include <string_view>

namespace tressimo::win32 {

// Bytes that are not valid UTF-8 become U+FFFD.
std::wstring wideOf(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string utf8Of(std::wstring_view wide);

} // namespace tressimo::win32
