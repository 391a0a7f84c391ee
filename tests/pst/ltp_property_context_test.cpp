// The property context builder, read back from a file by the checker's reader.

#include "pst/ltp/property_context.h"
#include "tests/pst/ltp_test_util.h"

#include <gtest/gtest.h>

namespace tressimo::pst {
namespace {

using namespace tressimo::pst::testing;

enum class Where { Inline, Empty, Heap, Subnode };

struct PlacementCase
{
    PropValue value;
    Where where;
};

Where whereOf(std::uint16_t type, std::uint32_t hnid)
{
    if (type == 0x02 || type == 0x03 || type == 0x04 || type == 0x0A || type == 0x0B)
        return Where::Inline;
    if (hnid == 0)
        return Where::Empty;
    return (hnid & 0x1F) == 0 ? Where::Heap : Where::Subnode;
}

// Small fixed values sit in the record, empty values are HNID 0, the rest go to the heap up
// to 3580 bytes and to a subnode past that; every value reads back as given.
TEST(LtpPropertyContext, ValuesLandWhereTheFormatSays)
{
    const std::vector<PlacementCase> cases = {
        {PropValue::fromInt16(PropTag(0x00010002), -5), Where::Inline},
        {PropValue::fromInt32(PropTag(0x0E070003), 1), Where::Inline},
        {PropValue::fromFloat(PropTag(0x00030004), 2.5f), Where::Inline},
        {PropValue::fromError(PropTag(0x0004000A), 0x8004010F), Where::Inline},
        {PropValue::fromBoolean(PropTag(0x360A000B), true), Where::Inline},
        {PropValue::fromInt64(PropTag(0x00060014), 1), Where::Heap},
        {PropValue::fromSysTime(PropTag(0x30070040), 0x01D4EC549D04F1D0ull), Where::Heap},
        {PropValue::fromGuid(PropTag(0x00080048), Guid{1, 2, 3, {4}}), Where::Heap},
        {PropValue::fromString(PropTag(0x3001001F), ""), Where::Empty},
        {PropValue::fromBinary(PropTag(0x300B0102), Bytes{}), Where::Empty},
        {PropValue::fromMultipleInt32(PropTag(0x80281003), {}), Where::Empty},
        {PropValue::fromString(PropTag(0x1000001F), std::string(1790, 'x')), Where::Heap}, // 3580 bytes
        {PropValue::fromString(PropTag(0x1001001F), std::string(1791, 'x')), Where::Subnode},
        {PropValue::fromBinary(PropTag(0x10020102), Bytes(3580, 7)), Where::Heap},
        {PropValue::fromBinary(PropTag(0x10030102), Bytes(3581, 7)), Where::Subnode},
        {PropValue::fromMultipleString(PropTag(0x8000101F), std::vector<std::string>{}), Where::Heap},
    };
    std::vector<PropValue> values;
    for (const PlacementCase& c : cases)
        values.push_back(c.value);
    const NodeContent node = buildPropertyContext(values);

    const ReadBack read = readBackPc(node);
    EXPECT_EQ(read.errors, "");
    EXPECT_EQ(read.values(), storedValues(values));
    const check::Bth bth = read.bth();
    ASSERT_EQ(bth.records.size(), cases.size());
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(tagName(c.value.tag()));
        const auto record =
            std::find_if(bth.records.begin(), bth.records.end(), [&](const check::BthRecord& r) {
                return getU16(r.key.data()) == c.value.tag().id();
            });
        ASSERT_NE(record, bth.records.end());
        EXPECT_EQ(whereOf(getU16(record->data.data()), getU32(record->data.data() + 2)), c.where);
    }
    for (const SubnodeContent& sub : node.subnodes)
        EXPECT_EQ(sub.nid.type(), NidType::Ltp);
}

TEST(LtpPropertyContext, RefusesWhatItCannotStore)
{
    const std::vector<std::vector<PropValue>> bad = {
        {PropValue::fromInt32(PropTag(0x0E070003), 1), PropValue::fromInt32(PropTag(0x0E070003), 2)},
        {PropValue::fromInt32(PropTag(0x30010003), 1), PropValue::fromString(PropTag(0x3001001F), "x")},
        {PropValue()},
    };
    for (const auto& values : bad)
        EXPECT_THROW(buildPropertyContext(values), LtpError);
}

} // namespace
} // namespace tressimo::pst
