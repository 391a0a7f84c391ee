#include "app/dropped_paths.h"

#include "text/ascii.h"

namespace tressimo::app {

namespace {

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = text::hexDigitValue(text[i + 1]);
            const int low = text::hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i]; // a '%' without two hex digits stands for itself
    }
    return out;
}

// The path of one file URL, or empty when it names no local file.
std::string localPathOf(std::string_view uri)
{
    if (!text::startsWithIgnoringAsciiCase(uri, "file:"))
        return {};
    std::string_view rest = uri.substr(5);
    // A fragment or query is not part of the name: a '#' or '?' in a name arrives escaped.
    rest = rest.substr(0, rest.find_first_of("#?"));
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !text::equalsIgnoringAsciiCase(host, "localhost"))
            return {};
        if (slash == std::string_view::npos)
            return {};
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/'))
        return {};
    std::string path = percentDecoded(rest);
    // No file name holds a NUL byte; "%00" would otherwise cut the path short where the system
    // reads it, and name a folder the user never dropped.
    if (path.find('\0') != std::string::npos)
        return {};
#ifdef _WIN32
    // file:///C:/Users/ann/a.contact names C:\Users\ann\a.contact.
    if (path.size() > 2 && path[2] == ':')
        path.erase(0, 1);
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

} // namespace

std::vector<std::string> localPathsOfUriList(std::string_view uriList)
{
    std::vector<std::string> paths;
    while (!uriList.empty()) {
        const auto end = uriList.find('\n');
        std::string_view line = uriList.substr(0, end);
        uriList = end == std::string_view::npos ? std::string_view() : uriList.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\0'))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::string path = localPathOf(line);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

} // namespace tressimo::app
