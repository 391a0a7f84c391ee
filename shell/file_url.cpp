#include "shell/file_url.h"

#include "shell/path_rules.h"
#include "text/ascii.h"

namespace tressimo::shell {

std::string fileUrl(std::string_view absolutePath, std::string_view fragment)
{
    std::string url = "file://";
    if (kPathsHaveDrives)
        url += '/'; // "C:/..." becomes "file:///C:/..."
    for (const char ch : absolutePath) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == ':';
        if (ch == kPathSeparator) {
            url += '/';
        } else if (plain) {
            url += ch;
        } else {
            url += '%';
            text::appendHexByte(url, c);
        }
    }
    if (!fragment.empty()) {
        url += '#';
        url += fragment;
    }
    return url;
}

} // namespace tressimo::shell
