#include "pst/ltp/prop_value.h"
#include "pst/ltp/utf16.h"

#include <gtest/gtest.h>

namespace tressimo::pst {
namespace {

// Text goes straight to stored bytes (a plain-ASCII shortcut, the codec otherwise): the same
// units the codec gives.
TEST(LtpText, StringValuesHoldTheCodecsUnits)
{
    const std::string cases[] = {
        "Jos\xC3\xA9 \xE5\xB1\xB1\xE7\x94\xB0", "\xF0\x9F\x98\x80x\xF4\x8F\xBF\xBF", "a\x80\xFE\xE5\xB1!",
        std::string("a\0b", 3),   std::string(100, 'a') + "\xC3\xA9",
        // The most units a short text can become (each stray byte one), and a longer text.
        std::string(256, '\x80'), std::string(300, 'a') + "\xE5\xB1\xB1",
    };
    for (const std::string& utf8 : cases) {
        const PropValue value = PropValue::fromString(PropTag(0x3001001F), utf8);
        EXPECT_EQ(Bytes(value.data().begin(), value.data().end()), utf16ToBytes(text::utf8ToUtf16(utf8))) << utf8;
    }
}

// Each factory's bytes are what the file stores, and the decoder gives the value back.
TEST(LtpPropValue, EncodingsRoundTrip)
{
    const auto filetime = PropValue::fromSysTime(PropTag(0x30070040), 0x01D4EC549D04F1D0ull);
    const std::vector<std::pair<PropValue, Bytes>> cases = {
        {PropValue::fromInt16(PropTag(0x00010002), -2), {0xFE, 0xFF}},
        {PropValue::fromInt32(PropTag(0x0E070003), 0x12345678), {0x78, 0x56, 0x34, 0x12}},
        {PropValue::fromBoolean(PropTag(0x360A000B), true), {0x01}},
        {PropValue::fromInt64(PropTag(0x0E080014), -1), Bytes(8, 0xFF)},
        {PropValue::fromDouble(PropTag(0x00010005), 1.0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {PropValue::fromError(PropTag(0x0001000A), 0x8004010F), {0x0F, 0x01, 0x04, 0x80}},
        {filetime, {0xD0, 0xF1, 0x04, 0x9D, 0x54, 0xEC, 0xD4, 0x01}},
        {PropValue::fromString(PropTag(0x3001001F), "A\xE5\xB1\xB1"), {0x41, 0x00, 0x71, 0x5C}},
        {PropValue::fromString(PropTag(0x3001001F), ""), {}},
        {PropValue::fromGuid(PropTag(0x00010048), Guid{0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}),
         {0x04, 0x20, 0x06, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
        {PropValue::fromMultipleInt32(PropTag(0x80281003), std::vector<std::int32_t>{0, 2}),
         {0, 0, 0, 0, 2, 0, 0, 0}},
        {PropValue::fromMultipleString(PropTag(0x8000101F), std::vector<std::string>{"ab", "", "c"}),
         {3, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0, 20, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0}},
        {PropValue::fromMultipleBinary(PropTag(0x80011102), std::vector<Bytes>{{1}, {2, 3}}),
         {2, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0, 1, 2, 3}},
    };
    for (const auto& [value, bytes] : cases) {
        SCOPED_TRACE(tagName(value.tag()));
        EXPECT_EQ(Bytes(value.data().begin(), value.data().end()), bytes);
        EXPECT_EQ(PropValue(value.tag(), bytes), value); // the raw constructor accepts it
    }
    EXPECT_EQ(cases[0].first.toInt16(), -2);
    EXPECT_EQ(cases[1].first.toInt32(), 0x12345678);
    EXPECT_TRUE(cases[2].first.toBoolean());
    EXPECT_EQ(cases[3].first.toInt64(), -1);
    EXPECT_EQ(cases[4].first.toDouble(), 1.0);
    EXPECT_EQ(cases[5].first.toError(), 0x8004010Fu);
    EXPECT_EQ(filetime.toFileTime(), 0x01D4EC549D04F1D0ull);
    EXPECT_EQ(cases[7].first.toUtf8(), "A\xE5\xB1\xB1");
    EXPECT_EQ(cases[9].first.toGuid().data1, 0x00062004u);
    EXPECT_EQ(cases[10].first.toMultipleInt32(), (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(cases[11].first.toMultipleString(), (std::vector<std::string>{"ab", "", "c"}));
    EXPECT_EQ(cases[12].first.toMultipleBinary(), (std::vector<Bytes>{{1}, {2, 3}}));

    const auto epoch = std::chrono::system_clock::from_time_t(0);
    EXPECT_EQ(toFileTime(epoch), 116444736000000000ull);
    EXPECT_EQ(fromFileTime(toFileTime(epoch + std::chrono::seconds(1234567))),
              epoch + std::chrono::seconds(1234567));
}

// Values up to 16 bytes are kept inside the object, longer ones outside it: copies, moves and
// assignments (onto a value of the other kind, and onto itself) keep the bytes either side.
TEST(LtpPropValue, CopiesAndMovesKeepTheirBytesWhateverTheSize)
{
    for (std::size_t size : {0, 16, 17, 300}) {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const PropValue original = PropValue::fromBinary(PropTag(0x300B0102), bytes);
        PropValue copy = original;
        PropValue moved = std::move(copy);
        PropValue assigned = PropValue::fromString(PropTag(0x3001001F), "a text longer than sixteen bytes");
        assigned = original;
        PropValue moveAssigned = PropValue::fromInt32(PropTag(0x0E070003), 1);
        moveAssigned = std::move(assigned);
        const PropValue& self = moveAssigned;
        moveAssigned = self;
        for (const PropValue* v : std::initializer_list<const PropValue*>{&original, &moved, &moveAssigned})
            EXPECT_EQ(Bytes(v->data().begin(), v->data().end()), bytes) << size;
    }
}

TEST(LtpPropValue, MalformedDataIsRefused)
{
    const std::vector<std::pair<std::uint32_t, Bytes>> bad = {
        {0x0E070003, {1, 2, 3}},                                 // Int32 of 3 bytes
        {0x360A000B, {2}},                                       // Boolean other than 0/1
        {0x3001001F, {0x41}},                                    // odd UTF-16
        {0x80281003, {1, 2, 3, 4, 5}},                           // MV Int32 not whole items
        {0x8000101F, {2, 0, 0, 0, 12, 0, 0, 0}},                 // count past the offsets
        {0x8000101F, {1, 0, 0, 0, 10, 0, 0, 0, 0}},              // offset past the end
        {0x80011102, {2, 0, 0, 0, 13, 0, 0, 0, 12, 0, 0, 0, 1}}, // offsets going back
        {0x0001000D, {1, 2, 3, 4}},                              // an object: not storable here
    };
    for (const auto& [tag, bytes] : bad) {
        SCOPED_TRACE(tagName(PropTag(tag)));
        EXPECT_THROW(PropValue(PropTag(tag), bytes), LtpError);
    }
    EXPECT_THROW(PropValue::fromInt32(PropTag(0x3001001F), 1), std::invalid_argument);
    EXPECT_THROW(PropValue::fromString(PropTag(0x3001001F), "x").toInt32(), LtpError);
}

} // namespace
} // namespace tressimo::pst
