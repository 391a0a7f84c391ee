#pragma once
// Text from outside (file names, reasons a system gave) made safe to show: a name may hold
// control characters that would clear a terminal or retitle it, or line breaks that would
// break the layout of a message.

#include <string>
#include <string_view>

namespace tressimo::shell {

// The text with every control character (C0, DEL and the C1 range U+0080..U+009F) written as
// a visible escape ("\n", "\r", "\t", "\x1b", "\u009b") and every byte that is not part of
// valid UTF-8 as "\xNN"; everything else, other scripts included, stays as it is. The result
// is valid UTF-8.
std::string visibleText(std::string_view text);

} // namespace tressimo::shell
