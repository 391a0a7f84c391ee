#include "shell/find_manual.h"

#include <system_error>

namespace tressimo::shell {

std::filesystem::path findManual(const std::filesystem::path& programFolder)
{
    namespace fs = std::filesystem;
    for (const fs::path& candidate :
         {programFolder / "manual.html", programFolder / ".." / "share" / "doc" / "tressimo" / "manual.html"}) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            const fs::path canonical = fs::weakly_canonical(candidate, error);
            return error ? candidate.lexically_normal() : canonical;
        }
    }
    return {};
}

} // namespace tressimo::shell
