#pragma once
// Paths travel through the program as text: on Linux the path's bytes exactly as the system
// gives them, on Windows UTF-8. These two functions are the only place that turns one into the
// other; std::filesystem's own string conversions would use the ANSI code page on Windows.

#include <filesystem>
#include <string>
#include <string_view>

namespace tressimo::platform {

std::filesystem::path pathFromText(std::string_view text);
std::string textOfPath(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-8 and the UTF-16 of wide Windows calls, by the program's one codec (text/utf.h): bad
// bytes and lone surrogates become U+FFFD, never an exception.
std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);
#endif

} // namespace tressimo::platform
