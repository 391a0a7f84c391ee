#pragma once
// Property values as stored in property and table contexts ([MS-PST] 2.3.3, [MS-OXCDATA] 2.11):
// the type, the value bytes in their natural size, and readers for each kind of value.

#include "pst/io/bytes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::pst::check {

namespace proptype {
inline constexpr std::uint16_t Int16 = 0x0002;
inline constexpr std::uint16_t Int32 = 0x0003;
inline constexpr std::uint16_t Float = 0x0004;
inline constexpr std::uint16_t Double = 0x0005;
inline constexpr std::uint16_t Currency = 0x0006;
inline constexpr std::uint16_t AppTime = 0x0007;
inline constexpr std::uint16_t Error = 0x000A;
inline constexpr std::uint16_t Boolean = 0x000B;
inline constexpr std::uint16_t Object = 0x000D;
inline constexpr std::uint16_t Int64 = 0x0014;
inline constexpr std::uint16_t String8 = 0x001E;
inline constexpr std::uint16_t Unicode = 0x001F;
inline constexpr std::uint16_t SysTime = 0x0040;
inline constexpr std::uint16_t Guid = 0x0048;
inline constexpr std::uint16_t ServerId = 0x00FB;
inline constexpr std::uint16_t Restriction = 0x00FD;
inline constexpr std::uint16_t RuleAction = 0x00FE;
inline constexpr std::uint16_t Binary = 0x0102;
inline constexpr std::uint16_t MultiValued = 0x1000;
} // namespace proptype

inline constexpr std::uint32_t makeTag(std::uint16_t id, std::uint16_t type)
{
    return (std::uint32_t{id} << 16) | type;
}
inline constexpr std::uint16_t tagId(std::uint32_t tag)
{
    return static_cast<std::uint16_t>(tag >> 16);
}
inline constexpr std::uint16_t tagType(std::uint32_t tag)
{
    return static_cast<std::uint16_t>(tag);
}

bool isKnownType(std::uint16_t type);
inline constexpr bool isMultiValued(std::uint16_t type)
{
    return (type & proptype::MultiValued) != 0;
}
// Bytes of one value of a fixed-size type (of one element, for a multi-valued one); 0 when
// the type's values vary in size.
std::size_t fixedSize(std::uint16_t type);
const char* typeName(std::uint16_t type);

class PropertyValue
{
public:
    PropertyValue() = default;
    PropertyValue(std::uint16_t type, Bytes data) : m_type(type), m_data(std::move(data)) {}

    std::uint16_t type() const { return m_type; }
    const Bytes& data() const { return m_data; }

    // Each throws FormatError when the bytes do not fit the reading asked for.
    std::int16_t toInt16() const;
    std::int32_t toInt32() const;
    std::int64_t toInt64() const;
    bool toBool() const;
    double toDouble() const;
    std::uint64_t toFileTime() const;
    std::u16string toU16String() const;
    std::string toUtf8() const; // Unicode strings as UTF-8; 8-bit strings byte for byte
    // The elements of a multi-valued property, raw.
    std::vector<Bytes> elements() const;
    std::vector<std::string> toUtf8List() const;
    std::vector<std::int32_t> toInt32List() const;

    // Readable rendering for dumps: numbers, quoted strings, hex bytes.
    std::string toDisplayString() const;

    bool operator==(const PropertyValue& other) const = default;

private:
    std::uint16_t m_type = 0;
    Bytes m_data;
};

// Properties of one object or one table row, keyed by full tag (id << 16 | type).
using PropertyMap = std::map<std::uint32_t, PropertyValue>;

// Finds a property by id whatever its stored type.
const PropertyValue* findById(const PropertyMap& props, std::uint16_t id);

std::string utf16ToUtf8(ByteView utf16le);
std::string utf16ToUtf8(const std::u16string& s);
std::u16string utf8ToUtf16(std::string_view utf8);

// The 16-byte GUID as text, in the usual {xxxxxxxx-xxxx-...} form (fields little-endian).
std::string guidToString(ByteView guid16);

} // namespace tressimo::pst::check
