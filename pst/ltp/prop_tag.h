#pragma once
// Property tags and property types: a tag is the property id in its high 16 bits and the
// type in its low 16 bits ([MS-OXCDATA] 2.9, 2.11.1).

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tressimo::pst {

// Input the lists, tables and properties layer cannot store: an unknown property type, a
// malformed value, a property given twice, a table past the format's limits.
class LtpError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class PropType : std::uint16_t {
    Int16 = 0x0002,
    Int32 = 0x0003,
    Float = 0x0004,
    Double = 0x0005,
    Currency = 0x0006,
    AppTime = 0x0007,
    Error = 0x000A,
    Boolean = 0x000B,
    Int64 = 0x0014,
    String8 = 0x001E,
    Unicode = 0x001F,
    SysTime = 0x0040,
    Guid = 0x0048,
    Binary = 0x0102,
    MultipleInt16 = 0x1002,
    MultipleInt32 = 0x1003,
    MultipleFloat = 0x1004,
    MultipleDouble = 0x1005,
    MultipleCurrency = 0x1006,
    MultipleAppTime = 0x1007,
    MultipleInt64 = 0x1014,
    MultipleString8 = 0x101E,
    MultipleUnicode = 0x101F,
    MultipleSysTime = 0x1040,
    MultipleGuid = 0x1048,
    MultipleBinary = 0x1102,
};

inline constexpr std::uint16_t kMultipleFlag = 0x1000;

struct PropTag
{
    std::uint32_t value = 0;

    constexpr PropTag() = default;
    constexpr explicit PropTag(std::uint32_t tag) : value(tag) {}
    constexpr PropTag(std::uint16_t id, PropType type)
        : value((static_cast<std::uint32_t>(id) << 16) | static_cast<std::uint16_t>(type))
    {
    }

    constexpr std::uint16_t id() const { return static_cast<std::uint16_t>(value >> 16); }
    constexpr PropType type() const { return static_cast<PropType>(value & 0xFFFF); }
    constexpr auto operator<=>(const PropTag&) const = default;
};

// The two columns every table has, at fixed places ([MS-PST] 2.3.4.4.1).
inline constexpr PropTag kPidTagLtpRowId{0x67F20003};
inline constexpr PropTag kPidTagLtpRowVer{0x67F30003};

// Whether this layer knows how to store values of the type. (Inline: every value stored asks.)
constexpr bool isKnownType(PropType type)
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

// Size of a value of a fixed-size type (1 for Boolean, 16 for Guid, ...); 0 for strings,
// binaries and every multi-valued type.
constexpr std::size_t fixedSize(PropType type)
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
// Element size of a multi-valued type with fixed-size elements; 0 for variable-size elements
// (MultipleUnicode, MultipleString8, MultipleBinary) and single-valued types.
std::size_t multipleElementSize(PropType type);
constexpr bool isMultiple(PropType type)
{
    return (static_cast<std::uint16_t>(type) & kMultipleFlag) != 0;
}

// "0x3001001F", for messages a user or developer reads.
std::string tagName(PropTag tag);

} // namespace tressimo::pst
