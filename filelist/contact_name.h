#pragma once

#include <string_view>

namespace tressimo::filelist {

// Whether a scanned entry names a Windows Contacts file: with blanks (U+0020) removed at both
// ends, it ends in ".contact" in any letter case. x.CONTACT and a file named just ".contact"
// match; x.contacts and x.contact.bak do not. Works on the bytes: the suffix is ASCII, and
// no byte of a multi-byte UTF-8 sequence is ASCII, so names that are not valid UTF-8 are
// judged by their last eight bytes like any other.
bool isContactFileName(std::string_view entry);

} // namespace tressimo::filelist
