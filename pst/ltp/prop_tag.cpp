#include "pst/ltp/prop_tag.h"

#include <cstdio>

namespace tressimo::pst {

std::size_t multipleElementSize(PropType type)
{
    if (!isMultiple(type))
        return 0;
    return fixedSize(static_cast<PropType>(static_cast<std::uint16_t>(type) & ~kMultipleFlag));
}

std::string tagName(PropTag tag)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(tag.value));
    return text;
}

} // namespace tressimo::pst
