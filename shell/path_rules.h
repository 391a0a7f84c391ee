#pragma once
// The one place that knows how this platform writes paths. Everything that cuts or builds
// paths by hand (the folder of a path, a trailing separator on a folder) asks here, so a
// Windows build behaves as Windows paths demand.

namespace tressimo::shell {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// Windows paths may begin with a drive ("C:"); the status texts start after it.
inline constexpr bool kPathsHaveDrives = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kPathsHaveDrives = false;
#endif

} // namespace tressimo::shell
