#pragma once
// Reading a .contact file whole, with a reason a user can act on when it fails.

#include <filesystem>
#include <string>
#include <vector>

namespace tressimo::contacts {

// Reads the file by its path's own bytes (never converted) into `bytes`. Returns empty, or
// why it could not, e.g. `Cannot open "a.contact": No such file or directory`. Only regular
// files are read.
std::string readContactFile(const std::filesystem::path& path, std::vector<char>& bytes);

} // namespace tressimo::contacts
