#pragma once
// Cutting the file name off a path, at this platform's separator.

#include <string>
#include <string_view>

namespace tressimo::shell {

// The path up to and including its last separator (shell/path_rules.h): the path itself when
// it ends with one, empty when it has none. Throws std::invalid_argument for an empty path,
// which has no folder at all.
std::string FolderOfPath(std::string_view path);

} // namespace tressimo::shell
