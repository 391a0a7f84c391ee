#pragma once
// Where the user manual is, for Help and for the troubleshooting link of a failed set-up.

#include <filesystem>

namespace tressimo::shell {

// manual.html next to the program (where the build puts it), or
// ../share/doc/tressimo/manual.html from it (where it is installed); empty when neither exists.
std::filesystem::path findManual(const std::filesystem::path& programFolder);

} // namespace tressimo::shell
