#include "pst/ltp/prop_value.h"

#include "pst/ltp/utf16.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tressimo::pst {
namespace {

// FILETIME ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;

std::string describeType(PropType type)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(type));
    return text;
}

// Multi-valued layout with variable-size items: ulCount, ulCount offsets from the start of
// the value, then the items back to back ([MS-PST] 2.3.3.4.2).
Bytes encodeMultipleItems(std::span<const Bytes> items)
{
    Bytes out;
    std::size_t total = 4 + 4 * items.size();
    for (const Bytes& item : items)
        total += item.size();
    out.reserve(total);
    ByteWriter w(out);
    w.u32(static_cast<std::uint32_t>(items.size()));
    std::size_t at = 4 + 4 * items.size();
    for (const Bytes& item : items) {
        w.u32(static_cast<std::uint32_t>(at));
        at += item.size();
    }
    for (const Bytes& item : items)
        w.bytes(item);
    return out;
}

} // namespace

std::array<std::uint8_t, 16> Guid::toBytes() const
{
    std::array<std::uint8_t, 16> out{};
    putU32(out.data(), data1);
    putU16(out.data() + 4, data2);
    putU16(out.data() + 6, data3);
    std::copy(data4.begin(), data4.end(), out.begin() + 8);
    return out;
}

Guid Guid::fromBytes(ByteView sixteen)
{
    if (sixteen.size() != 16)
        throw LtpError("a GUID is 16 bytes, not " + std::to_string(sixteen.size()));
    Guid g;
    g.data1 = getU32(sixteen.data());
    g.data2 = getU16(sixteen.data() + 4);
    g.data3 = getU16(sixteen.data() + 6);
    std::copy(sixteen.begin() + 8, sixteen.end(), g.data4.begin());
    return g;
}

std::uint64_t toFileTime(std::chrono::system_clock::time_point time)
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto ticks = std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count();
    return static_cast<std::uint64_t>(ticks + kUnixEpochTicks);
}

std::chrono::system_clock::time_point fromFileTime(std::uint64_t fileTime)
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const Ticks sinceUnix(static_cast<std::int64_t>(fileTime) - kUnixEpochTicks);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceUnix));
}

std::optional<std::string> checkValueData(PropType type, ByteView data)
{
    if (!isKnownType(type))
        return "unknown property type " + describeType(type);
    // Made only for a fault: most values are checked as they are made.
    const auto what = [type] { return "a value of type " + describeType(type); };
    if (const std::size_t size = fixedSize(type)) {
        if (data.size() != size)
            return what() + " is " + std::to_string(size) + " bytes, not " + std::to_string(data.size());
        if (type == PropType::Boolean && data[0] > 1)
            return what() + " is 0 or 1, not " + std::to_string(data[0]);
        return std::nullopt;
    }
    if (type == PropType::Unicode && data.size() % 2 != 0)
        return what() + " has an odd number of bytes (" + std::to_string(data.size()) + ")";
    if (const std::size_t element = multipleElementSize(type)) {
        if (data.size() % element != 0)
            return what() + " is not a whole number of " + std::to_string(element) + "-byte items";
    } else if (isMultiple(type)) {
        try {
            const auto items = splitMultipleItems(data);
            if (type == PropType::MultipleUnicode) {
                for (const ByteView item : items) {
                    if (item.size() % 2 != 0)
                        return what() + " holds a string with an odd number of bytes";
                }
            }
        } catch (const LtpError& e) {
            return what() + ": " + e.what();
        }
    }
    return std::nullopt;
}

std::vector<ByteView> splitMultipleItems(ByteView data)
{
    if (data.size() < 4)
        throw LtpError("the item count is missing");
    const std::uint32_t count = getU32(data.data());
    if (count > (data.size() - 4) / 4)
        throw LtpError("the count " + std::to_string(count) + " does not fit " + std::to_string(data.size()) +
                       " bytes");
    std::vector<ByteView> items;
    items.reserve(count);
    const std::size_t itemsStart = 4 + 4 * std::size_t{count};
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t begin = getU32(data.data() + 4 + 4 * i);
        const std::size_t end = i + 1 < count ? getU32(data.data() + 8 + 4 * i) : data.size();
        if (begin < itemsStart || begin > end || end > data.size())
            throw LtpError("item " + std::to_string(i) + " has a bad offset");
        items.push_back(data.subspan(begin, end - begin));
    }
    return items;
}

PropValue::PropValue(PropTag tag, Bytes data) : PropValue(tag, ByteView(data)) {}

namespace {

PropTag checkedData(PropTag tag, ByteView data)
{
    if (auto problem = checkValueData(tag.type(), data))
        throw LtpError("property " + tagName(tag) + ": " + *problem);
    return tag;
}

} // namespace

PropValue::PropValue(PropTag tag, ByteView data) : PropValue(copyOf(checkedData(tag, data), data)) {}

PropValue::PropValue(PropTag tag, std::size_t size, std::uint8_t*& out)
    : m_tag(tag), m_size(static_cast<std::uint32_t>(size))
{
    if (size > 0xFFFFFFFFu)
        throw LtpError("property " + tagName(tag) + ": a value holds at most 4 GB");
    if (size <= kInlineSize) {
        std::memset(m_inline, 0, kInlineSize);
        out = m_inline;
    } else {
        m_heap = new std::uint8_t[size];
        out = m_heap;
    }
}

namespace {

PropTag checkedTag(PropTag tag, PropType type)
{
    if (tag.type() != type)
        throw std::invalid_argument("property " + tagName(tag) + " is not of type " + describeType(type));
    return tag;
}

} // namespace

struct PropValue::Borrowed
{
    std::string_view utf8;
    Bytes utf16; // made when data() is asked for
};

PropValue::PropValue(const PropValue& other) : m_tag(other.m_tag), m_size(other.m_size)
{
    if (const Borrowed* text = other.borrowed()) {
        m_heap = nullptr;
        setBorrowed(new Borrowed{text->utf8, {}});
    } else if (m_size <= kInlineSize) {
        std::memcpy(m_inline, other.m_inline, kInlineSize);
    } else {
        m_heap = new std::uint8_t[m_size];
        std::memcpy(m_heap, other.m_heap, m_size);
    }
}

PropValue& PropValue::operator=(const PropValue& other)
{
    if (this != &other)
        *this = PropValue(other);
    return *this;
}

void PropValue::releaseStorage()
{
    if (Borrowed* text = borrowed())
        delete text;
    else
        delete[] m_heap;
}

std::optional<std::string_view> PropValue::borrowedUtf8() const
{
    if (const Borrowed* text = borrowed())
        return text->utf8;
    return std::nullopt;
}

const std::uint8_t* PropValue::borrowedBytes(Borrowed& text) const
{
    Bytes& utf16 = text.utf16;
    if (utf16.size() != m_size) {
        utf16.resize(m_size);
        if (m_size > 0)
            text::utf8ToUtf16Bytes(text.utf8, utf16.data());
    }
    return utf16.data();
}

void PropValue::setTag(PropTag tag)
{
    m_tag = checkedTag(tag, type());
}

bool operator==(const PropValue& a, const PropValue& b)
{
    const ByteView x = a.data(), y = b.data();
    return a.m_tag == b.m_tag && std::equal(x.begin(), x.end(), y.begin(), y.end());
}

void PropValue::expect(PropType type) const
{
    if (m_tag.type() != type)
        throw LtpError("property " + tagName(m_tag) + " is not of type " + describeType(type));
}

PropValue PropValue::number(PropTag tag, PropType type, std::uint64_t value, std::size_t size)
{
    std::uint8_t* out = nullptr;
    PropValue result(checkedTag(tag, type), size, out);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return result;
}

PropValue PropValue::copyOf(PropTag tag, ByteView data)
{
    std::uint8_t* out = nullptr;
    PropValue result(tag, data.size(), out);
    if (!data.empty())
        std::memcpy(out, data.data(), data.size());
    return result;
}

PropValue PropValue::fromInt16(PropTag tag, std::int16_t value)
{
    return number(tag, PropType::Int16, static_cast<std::uint16_t>(value), 2);
}

PropValue PropValue::fromInt32(PropTag tag, std::int32_t value)
{
    return number(tag, PropType::Int32, static_cast<std::uint32_t>(value), 4);
}

PropValue PropValue::fromUInt32(PropTag tag, std::uint32_t value)
{
    return number(tag, PropType::Int32, value, 4);
}

PropValue PropValue::fromBoolean(PropTag tag, bool value)
{
    return number(tag, PropType::Boolean, value ? 1 : 0, 1);
}

PropValue PropValue::fromInt64(PropTag tag, std::int64_t value)
{
    return number(tag, PropType::Int64, static_cast<std::uint64_t>(value), 8);
}

PropValue PropValue::fromFloat(PropTag tag, float value)
{
    return number(tag, PropType::Float, std::bit_cast<std::uint32_t>(value), 4);
}

PropValue PropValue::fromDouble(PropTag tag, double value)
{
    return number(tag, PropType::Double, std::bit_cast<std::uint64_t>(value), 8);
}

PropValue PropValue::fromError(PropTag tag, std::uint32_t code)
{
    return number(tag, PropType::Error, code, 4);
}

PropValue PropValue::fromSysTime(PropTag tag, std::uint64_t fileTime)
{
    return number(tag, PropType::SysTime, fileTime, 8);
}

PropValue PropValue::fromSysTime(PropTag tag, std::chrono::system_clock::time_point time)
{
    return fromSysTime(tag, pst::toFileTime(time));
}

PropValue PropValue::fromString(PropTag tag, std::string_view utf8)
{
    // Straight to UTF-16LE bytes: no intermediate string.
    std::uint8_t* out = nullptr;
    if (text::isAscii(utf8)) {
        PropValue result(checkedTag(tag, PropType::Unicode), 2 * utf8.size(), out);
        text::asciiToUtf16Bytes(utf8, out);
        return result;
    }
    constexpr std::size_t kShortText = 256;
    if (utf8.size() <= kShortText) {
        // One pass over a short text: into room for the most it can become (a UTF-16 unit
        // never takes fewer bytes than in UTF-8), then copied at its real size.
        std::array<std::uint8_t, 2 * kShortText> units;
        const auto size = static_cast<std::size_t>(text::utf8ToUtf16Bytes(utf8, units.data()) - units.data());
        PropValue result(checkedTag(tag, PropType::Unicode), size, out);
        std::memcpy(out, units.data(), size);
        return result;
    }
    PropValue result(checkedTag(tag, PropType::Unicode), 2 * text::utf16Length(utf8), out);
    text::utf8ToUtf16Bytes(utf8, out);
    return result;
}

PropValue PropValue::fromBorrowedString(PropTag tag, std::string_view utf8)
{
    const std::size_t size = text::isAscii(utf8) ? 2 * utf8.size() : 2 * text::utf16Length(utf8);
    if (size <= kInlineSize)
        return fromString(tag, utf8);
    if (size > 0xFFFFFFFFu)
        throw LtpError("property " + tagName(tag) + ": a value holds at most 4 GB");
    PropValue result;
    result.m_tag = checkedTag(tag, PropType::Unicode);
    result.m_heap = nullptr;
    result.setBorrowed(new Borrowed{utf8, {}});
    result.m_size = static_cast<std::uint32_t>(size);
    return result;
}

PropValue PropValue::fromString(PropTag tag, std::u16string_view utf16)
{
    std::uint8_t* out = nullptr;
    PropValue result(checkedTag(tag, PropType::Unicode), 2 * utf16.size(), out);
    for (const char16_t unit : utf16) {
        putU16(out, unit);
        out += 2;
    }
    return result;
}

PropValue PropValue::fromBinary(PropTag tag, ByteView bytes)
{
    return copyOf(checkedTag(tag, PropType::Binary), bytes);
}

PropValue PropValue::fromGuid(PropTag tag, const Guid& guid)
{
    const auto bytes = guid.toBytes();
    return copyOf(checkedTag(tag, PropType::Guid), bytes);
}

PropValue PropValue::fromMultipleInt32(PropTag tag, std::span<const std::int32_t> values)
{
    std::uint8_t* out = nullptr;
    PropValue result(checkedTag(tag, PropType::MultipleInt32), values.size() * 4, out);
    for (std::size_t i = 0; i < values.size(); ++i)
        putU32(out + 4 * i, static_cast<std::uint32_t>(values[i]));
    return result;
}

PropValue PropValue::fromMultipleString(PropTag tag, std::span<const std::string> utf8Values)
{
    checkedTag(tag, PropType::MultipleUnicode);
    // ulCount, the offsets, then the UTF-16LE items ([MS-PST] 2.3.3.4.2).
    std::size_t total = 4 + 4 * utf8Values.size();
    for (const std::string& value : utf8Values)
        total += 2 * text::utf16Length(value);
    std::uint8_t* out = nullptr;
    PropValue result(tag, total, out);
    putU32(out, static_cast<std::uint32_t>(utf8Values.size()));
    std::size_t at = 4 + 4 * utf8Values.size();
    for (std::size_t i = 0; i < utf8Values.size(); ++i) {
        putU32(out + 4 + 4 * i, static_cast<std::uint32_t>(at));
        text::utf8ToUtf16Bytes(utf8Values[i], out + at);
        at += 2 * text::utf16Length(utf8Values[i]);
    }
    return result;
}

PropValue PropValue::fromMultipleBinary(PropTag tag, std::span<const Bytes> values)
{
    const Bytes encoded = encodeMultipleItems(values);
    return copyOf(checkedTag(tag, PropType::MultipleBinary), encoded);
}

std::int16_t PropValue::toInt16() const
{
    expect(PropType::Int16);
    return static_cast<std::int16_t>(getU16(bytes()));
}

std::int32_t PropValue::toInt32() const
{
    expect(PropType::Int32);
    return static_cast<std::int32_t>(getU32(bytes()));
}

bool PropValue::toBoolean() const
{
    expect(PropType::Boolean);
    return bytes()[0] != 0;
}

std::int64_t PropValue::toInt64() const
{
    expect(PropType::Int64);
    return static_cast<std::int64_t>(getU64(bytes()));
}

double PropValue::toDouble() const
{
    if (m_tag.type() == PropType::Float)
        return std::bit_cast<float>(getU32(bytes()));
    expect(PropType::Double);
    return std::bit_cast<double>(getU64(bytes()));
}

std::uint32_t PropValue::toError() const
{
    expect(PropType::Error);
    return getU32(bytes());
}

std::uint64_t PropValue::toFileTime() const
{
    expect(PropType::SysTime);
    return getU64(bytes());
}

std::u16string PropValue::toUtf16() const
{
    expect(PropType::Unicode);
    return bytesToUtf16(data());
}

std::string PropValue::toUtf8() const
{
    return text::utf16ToUtf8(toUtf16());
}

Bytes PropValue::toBinary() const
{
    expect(PropType::Binary);
    return Bytes(bytes(), bytes() + m_size);
}

Guid PropValue::toGuid() const
{
    expect(PropType::Guid);
    return Guid::fromBytes(data());
}

std::vector<std::int32_t> PropValue::toMultipleInt32() const
{
    expect(PropType::MultipleInt32);
    std::vector<std::int32_t> out(m_size / 4);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int32_t>(getU32(bytes() + 4 * i));
    return out;
}

std::vector<std::string> PropValue::toMultipleString() const
{
    expect(PropType::MultipleUnicode);
    std::vector<std::string> out;
    for (const ByteView item : splitMultipleItems(data()))
        out.push_back(text::utf16ToUtf8(bytesToUtf16(item)));
    return out;
}

std::vector<Bytes> PropValue::toMultipleBinary() const
{
    expect(PropType::MultipleBinary);
    std::vector<Bytes> out;
    for (const ByteView item : splitMultipleItems(data()))
        out.emplace_back(item.begin(), item.end());
    return out;
}

} // namespace tressimo::pst
