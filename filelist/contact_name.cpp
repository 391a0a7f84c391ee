#include "filelist/contact_name.h"

#include "text/ascii.h"

namespace tressimo::filelist {

bool isContactFileName(std::string_view entry)
{
    constexpr std::string_view kSuffix = ".contact";
    while (!entry.empty() && entry.back() == ' ')
        entry.remove_suffix(1);
    return text::endsWithIgnoringAsciiCase(entry, kSuffix);
}

} // namespace tressimo::filelist
