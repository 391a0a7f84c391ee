#pragma once
// File URLs for local files, byte for byte: whatever bytes a file name holds survive the trip
// through a URL (a browser, the desktop's opener), because everything but the unreserved
// characters and the separators is percent-encoded.

#include <string>
#include <string_view>

namespace tressimo::shell {

// "file:///..." (and "#fragment" when given) for an absolute path in the platform's form.
std::string fileUrl(std::string_view absolutePath, std::string_view fragment = {});

} // namespace tressimo::shell
