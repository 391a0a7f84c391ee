#include "platform/path_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tressimo::platform {

#ifdef _WIN32
// The system's converters, not std::filesystem's: those throw on a name that is not valid
// UTF-16 (a lone surrogate, which Windows allows); these put U+FFFD in its place.
std::filesystem::path pathFromText(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return std::filesystem::path(std::move(wide));
}

std::string textOfPath(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    std::string text(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
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
