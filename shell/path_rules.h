#pragma once
// The one place that knows how this platform writes paths. Everything that cuts or builds
// paths by hand (the folder of a path, a trailing separator on a folder) asks here, so a
// Windows build behaves as Windows paths demand.

#include "text/ascii.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tressimo::shell {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// Windows paths may begin with a drive ("C:"); the status texts start after it.
inline constexpr bool kPathsHaveDrives = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kPathsHaveDrives = false;
#endif

// The folder with the separator at its end, added only when it is missing. An empty folder
// stays empty: it names no folder at all.
inline std::string withTrailingSeparator(std::string folder)
{
    return folder.empty() ? folder : text::endingWith(std::move(folder), kPathSeparator);
}

// The part of a path that the conversion's status texts are made of. Where paths have drives
// it is the text after the first ":" up to the next ":" (C:\Data\a.contact gives
// \Data\a.contact), and nothing when the path holds no ":" (a network path). Elsewhere a path
// has no drive, so the whole path stands in that place; a ":" is an ordinary character of a
// file name there.
inline std::optional<std::string_view> textAfterDrive(std::string_view path,
                                                      bool pathsHaveDrives = kPathsHaveDrives)
{
    if (!pathsHaveDrives)
        return path;
    const auto colon = path.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = path.substr(colon + 1);
    return rest.substr(0, rest.find(':'));
}

} // namespace tressimo::shell
