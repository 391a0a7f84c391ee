#include "pst/ltp/prop_tag.h"

#include <cstdio>

namespace tressimo::pst {

bool isKnownType(PropType type)
{
    switch (type) {
    case PropType::Int16:
    case PropType::Int32:
    case PropType::Float:
    case PropType::Double:
    case PropType::Currency:
    case PropType::AppTime:
    case PropType::Error:
    case PropType::Boolean:
    case PropType::Int64:
    case PropType::String8:
    case PropType::Unicode:
    case PropType::SysTime:
    case PropType::Guid:
    case PropType::Binary:
    case PropType::MultipleInt16:
    case PropType::MultipleInt32:
    case PropType::MultipleFloat:
    case PropType::MultipleDouble:
    case PropType::MultipleCurrency:
    case PropType::MultipleAppTime:
    case PropType::MultipleInt64:
    case PropType::MultipleString8:
    case PropType::MultipleUnicode:
    case PropType::MultipleSysTime:
    case PropType::MultipleGuid:
    case PropType::MultipleBinary:
        return true;
    }
    return false;
}

std::size_t fixedSize(PropType type)
{
    switch (type) {
    case PropType::Boolean:
        return 1;
    case PropType::Int16:
        return 2;
    case PropType::Int32:
    case PropType::Float:
    case PropType::Error:
        return 4;
    case PropType::Double:
    case PropType::Currency:
    case PropType::AppTime:
    case PropType::Int64:
    case PropType::SysTime:
        return 8;
    case PropType::Guid:
        return 16;
    default:
        return 0;
    }
}

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
