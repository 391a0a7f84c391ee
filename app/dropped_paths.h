#pragma once
// The files and folders named by a drop.

#include <string>
#include <string_view>
#include <vector>

namespace tressimo::app {

// The local paths of a text/uri-list (RFC 2483: one URI a line, '#' lines are comments), in
// their order, as the system's bytes: each file URL's percent-escapes are decoded byte by
// byte, so a name that is not valid UTF-8 arrives as it is on disk (Qt's own URL decoding
// would replace such bytes). URLs of other schemes or of other hosts are left out.
std::vector<std::string> localPathsOfUriList(std::string_view uriList);

} // namespace tressimo::app
