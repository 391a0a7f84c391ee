#include "shell/folder_of_path.h"

#include "shell/path_rules.h"

#include <stdexcept>

namespace tressimo::shell {

std::string FolderOfPath(std::string_view path)
{
    if (path.empty())
        throw std::invalid_argument("Cannot take the folder of an empty path");
    const auto separator = path.rfind(kPathSeparator);
    if (separator == std::string_view::npos)
        return {};
    return std::string(path.substr(0, separator + 1));
}

} // namespace tressimo::shell
