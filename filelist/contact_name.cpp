#include "filelist/contact_name.h"

namespace tressimo::filelist {

bool isContactFileName(std::string_view entry)
{
    constexpr std::string_view kSuffix = ".contact";
    while (!entry.empty() && entry.back() == ' ')
        entry.remove_suffix(1);
    // Leading blanks cannot change the last eight characters unless the whole entry is
    // shorter than the suffix, and then it cannot match anyway.
    if (entry.size() < kSuffix.size())
        return false;
    const std::string_view tail = entry.substr(entry.size() - kSuffix.size());
    for (std::size_t i = 0; i < kSuffix.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kSuffix[i])
            return false;
    }
    return true;
}

} // namespace tressimo::filelist
