#pragma once
// Text helpers of the contact model. Texts travel as UTF-8; MAPI stores them as UTF-16, so
// lengths that MAPI limits are counted in UTF-16 units.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::mapi::contact {

// The text as well-formed UTF-8 without NUL characters: malformed sequences become U+FFFD as
// the codec does it (text/utf.h), NULs are dropped. Every text the model hands out has passed through here, because a NUL
// ends the text early in most readers and inside an entry ID it would shift the fields.
std::string sanitizeText(std::string_view text);
// True when sanitizeText would give the text back unchanged (nearly always), so that it can be
// used as it is.
bool isSanitized(std::string_view text);

// At most maxUnits UTF-16 units of a well-formed UTF-8 text, cut between code points.
std::string truncateUtf16(std::string_view text, std::size_t maxUnits);

// Outlook's Categories text as its list of category names: split at the list separator (","
// in most locales, ";" in many others, so both), blanks around each name removed, empty names
// and repeats (ignoring ASCII letter case, as Outlook's category list does) dropped, each name
// cut to the 255 UTF-16 units that a keyword may hold.
std::vector<std::string> splitCategories(std::string_view categories);

} // namespace tressimo::mapi::contact
