#pragma once
// A property value as the file stores it: its tag and its encoded bytes ([MS-OXCDATA] 2.11,
// [MS-PST] 2.3.3.4 for multi-valued layouts). Integers are little-endian, Boolean is one
// byte 0/1, SysTime is a FILETIME, strings are UTF-16LE without a terminating NUL.

#include "pst/io/bytes.h"
#include "pst/ltp/prop_tag.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::pst {

// A GUID in its usual text order; toBytes() gives the little-endian form files store.
struct Guid
{
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    std::array<std::uint8_t, 16> toBytes() const;
    static Guid fromBytes(ByteView sixteen);
    constexpr bool operator==(const Guid&) const = default;
};

// FILETIME: 100 ns ticks since 1601-01-01 UTC.
std::uint64_t toFileTime(std::chrono::system_clock::time_point time);
std::chrono::system_clock::time_point fromFileTime(std::uint64_t fileTime);

// Checks that data is a well-formed value of the type; returns what is wrong, or nothing.
std::optional<std::string> checkValueData(PropType type, ByteView data);

class PropValue
{
public:
    PropValue() = default;
    // A value already encoded; throws LtpError for an unknown type or malformed data.
    PropValue(PropTag tag, Bytes data);
    PropValue(PropTag tag, ByteView data);
    PropValue(const PropValue& other);
    // Inline: a message's values are made, sorted and merged by the dozen, and a moved-from
    // value then needs no release.
    PropValue(PropValue&& other) noexcept : m_tag(other.m_tag), m_size(other.m_size)
    {
        std::memcpy(m_inline, other.m_inline, kInlineSize); // the inline bytes, or the pointers
        other.m_size = 0;
    }
    PropValue& operator=(const PropValue& other);
    PropValue& operator=(PropValue&& other) noexcept
    {
        if (this != &other) {
            release();
            m_tag = other.m_tag;
            m_size = other.m_size;
            std::memcpy(m_inline, other.m_inline, kInlineSize);
            other.m_size = 0;
        }
        return *this;
    }
    ~PropValue() { release(); }

    // Each factory throws std::invalid_argument when the tag's type does not match.
    static PropValue fromInt16(PropTag tag, std::int16_t value);
    static PropValue fromInt32(PropTag tag, std::int32_t value);
    static PropValue fromUInt32(PropTag tag, std::uint32_t value);
    static PropValue fromBoolean(PropTag tag, bool value);
    static PropValue fromInt64(PropTag tag, std::int64_t value);
    static PropValue fromFloat(PropTag tag, float value);
    static PropValue fromDouble(PropTag tag, double value);
    static PropValue fromError(PropTag tag, std::uint32_t code);
    static PropValue fromSysTime(PropTag tag, std::uint64_t fileTime);
    static PropValue fromSysTime(PropTag tag, std::chrono::system_clock::time_point time);
    // UTF-8 text (invalid sequences become U+FFFD) or UTF-16 text, for a Unicode tag.
    static PropValue fromString(PropTag tag, std::string_view utf8);
    static PropValue fromString(PropTag tag, std::u16string_view utf16);
    // UTF-8 text that stays where it is: the value refers to it (it must outlive the value and
    // every copy) and its UTF-16 form is made only as it is stored, a block at a time, so a
    // huge text never exists a second time in full. data() makes and keeps the UTF-16 form.
    static PropValue fromBorrowedString(PropTag tag, std::string_view utf8);
    static PropValue fromBinary(PropTag tag, ByteView bytes);
    static PropValue fromGuid(PropTag tag, const Guid& guid);
    static PropValue fromMultipleInt32(PropTag tag, std::span<const std::int32_t> values);
    static PropValue fromMultipleString(PropTag tag, std::span<const std::string> utf8Values);
    static PropValue fromMultipleBinary(PropTag tag, std::span<const Bytes> values);

    PropTag tag() const { return m_tag; }
    PropType type() const { return m_tag.type(); }
    ByteView data() const { return ByteView(bytes(), m_size); }
    // The size of data(), without making a borrowed text's UTF-16 form.
    std::size_t size() const { return m_size; }
    // The UTF-8 text a value from fromBorrowedString refers to.
    std::optional<std::string_view> borrowedUtf8() const;
    // The same value under another tag of the same type (a named property's id, known late).
    void setTag(PropTag tag);

    // Decoders; each throws LtpError when the value is not of the type asked for.
    std::int16_t toInt16() const;
    std::int32_t toInt32() const;
    bool toBoolean() const;
    std::int64_t toInt64() const;
    double toDouble() const;
    std::uint32_t toError() const;
    std::uint64_t toFileTime() const;
    std::u16string toUtf16() const;
    std::string toUtf8() const;
    Bytes toBinary() const;
    Guid toGuid() const;
    std::vector<std::int32_t> toMultipleInt32() const;
    std::vector<std::string> toMultipleString() const;
    std::vector<Bytes> toMultipleBinary() const;

    friend bool operator==(const PropValue& a, const PropValue& b);

private:
    // Values of up to 56 bytes (numbers, times, flags, GUIDs, search keys, texts of up to 28
    // characters: most of a contact's names, numbers and addresses) live in the object itself,
    // which then fills one cache line; a message carries dozens of them, and each would
    // otherwise cost an allocation.
    static constexpr std::size_t kInlineSize = 56;

    // An unchecked value of `size` bytes whose storage the caller fills through `out`.
    PropValue(PropTag tag, std::size_t size, std::uint8_t*& out);
    static PropValue number(PropTag tag, PropType type, std::uint64_t value, std::size_t size);
    static PropValue copyOf(PropTag tag, ByteView data);
    struct Borrowed;
    // A borrowed text (always past kInlineSize) keeps its Borrowed in the bytes after m_heap,
    // which are zero otherwise: a value stays as small as it was.
    Borrowed* borrowed() const
    {
        if (m_size <= kInlineSize)
            return nullptr;
        Borrowed* text = nullptr;
        std::memcpy(&text, m_inline + sizeof(std::uint8_t*), sizeof text);
        return text;
    }
    void setBorrowed(Borrowed* text) { std::memcpy(m_inline + sizeof(std::uint8_t*), &text, sizeof text); }
    const std::uint8_t* bytes() const
    {
        if (m_size <= kInlineSize)
            return m_inline;
        if (Borrowed* text = borrowed())
            return borrowedBytes(*text);
        return m_heap;
    }
    const std::uint8_t* borrowedBytes(Borrowed& text) const;
    void release()
    {
        if (m_size > kInlineSize)
            releaseStorage();
        m_size = 0;
    }
    // The heap bytes or the borrowed text of a value past kInlineSize.
    void releaseStorage();
    void expect(PropType type) const;

    PropTag m_tag;
    std::uint32_t m_size = 0;
    union {
        std::uint8_t m_inline[kInlineSize] = {};
        std::uint8_t* m_heap;
    };
};

// The items of a multi-valued property with variable-size items (count, offsets, items);
// throws LtpError when malformed.
std::vector<ByteView> splitMultipleItems(ByteView data);

} // namespace tressimo::pst
