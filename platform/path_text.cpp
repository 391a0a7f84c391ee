#include "platform/path_text.h"

#include "text/utf.h"

namespace tressimo::platform {

#ifdef _WIN32
std::wstring wideOf(std::string_view utf8)
{
    const std::u16string units = text::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string utf8Of(std::wstring_view wide)
{
    return text::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// Not std::filesystem's conversions: those use the ANSI code page, or throw on a name that is
// not valid UTF-16 (a lone surrogate, which Windows allows).
std::filesystem::path pathFromText(std::string_view text)
{
    return std::filesystem::path(wideOf(text));
}

std::string textOfPath(const std::filesystem::path& path)
{
    return utf8Of(path.native());
}
#else
std::filesystem::path pathFromText(std::string_view text)
{
    return std::filesystem::path(std::string(text));
}

std::string textOfPath(const std::filesystem::path& path)
{
    return path.native();
}
#endif

} // namespace tressimo::platform
