// The format rules the checker computes rather than reads, where Outlook's two small files
// cannot show them: heap fill-level bands, malformed internal blocks and property values.
// (Signatures, block sizes and name-map hashing are held to Outlook's files by the corruption
// baseline; map pages of large files to the writer's by the node database's limits test.)

#include "pst/check/block.h"
#include "pst/check/heap.h"
#include "pst/check/property.h"
#include "pst/check/property_context.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

using namespace tressimo::pst;
using namespace tressimo::pst::check;

namespace {

// [MS-PST] 2.3.1.2: each level stands for a band of free bytes.
TEST(FillLevel, BandsOfFreeSpace)
{
    const std::vector<std::pair<std::size_t, int>> cases = {
        {8176, 0}, {3584, 0}, {3583, 1}, {2560, 1}, {2559, 2}, {2048, 2}, {1792, 3},
        {1536, 4}, {1280, 5}, {1024, 6}, {768, 7},  {512, 8},  {256, 9},  {255, 10},
        {128, 10}, {64, 11},  {32, 12},  {16, 13},  {8, 14},   {7, 15},   {0, 15}};
    for (auto [free, level] : cases)
        EXPECT_EQ(fillLevelFor(free), level) << free << " bytes free";
}

Bytes bytes(std::initializer_list<int> v)
{
    Bytes b;
    for (int x : v)
        b.push_back(static_cast<std::uint8_t>(x));
    return b;
}

Bytes withU64s(Bytes head, const std::vector<std::uint64_t>& values)
{
    for (std::uint64_t v : values)
        for (int i = 0; i < 8; ++i)
            head.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return head;
}

TEST(InternalBlocks, ParseOrSayWhyNot)
{
    // (header, child references, entries when it parses, else -1, kind)
    const std::tuple<Bytes, std::vector<std::uint64_t>, int, InternalKind> cases[] = {
        {bytes({1, 1, 2, 0, 0x20, 0x40, 0, 0}), {0x104, 0x108}, 2, InternalKind::XBlock},
        {bytes({1, 2, 1, 0, 0, 0, 0x10, 0}), {0x106}, 1, InternalKind::XXBlock},
        {bytes({2, 0, 1, 0, 0, 0, 0, 0}), {0x692, 0x24, 0}, 1, InternalKind::SLBlock},
        {bytes({2, 1, 2, 0, 0, 0, 0, 0}), {0x3F, 0x12, 0x692, 0x16}, 2, InternalKind::SIBlock},
        {bytes({1, 1, 0}), {}, -1, InternalKind::XBlock},                     // shorter than the header
        {bytes({1, 3, 1, 0, 0, 0, 0, 0}), {0x104}, -1, InternalKind::XBlock}, // data tree level 3
        {bytes({2, 2, 1, 0, 0, 0, 0, 0}), {1, 2}, -1, InternalKind::SLBlock}, // subnode level 2
        {bytes({3, 0, 1, 0, 0, 0, 0, 0}), {1}, -1, InternalKind::XBlock},     // unknown type
        {bytes({1, 1, 9, 0, 0, 0, 0, 0}), {0x104}, -1, InternalKind::XBlock}, // more entries than bytes
        {bytes({2, 0, 2, 0, 0, 0, 0, 0}), {0x692, 0x24, 0}, -1, InternalKind::SLBlock}}; // cut short
    for (const auto& [head, refs, entries, kind] : cases) {
        const InternalBlock b = parseInternalBlock(withU64s(head, refs));
        EXPECT_EQ(b.problem.empty(), entries >= 0) << b.problem << " " << refs.size();
        if (b.problem.empty()) {
            EXPECT_EQ(b.kind, kind);
            EXPECT_EQ(b.childBids.size() + b.leaves.size() + b.intermediates.size(),
                      static_cast<std::size_t>(entries));
        }
    }
}

TEST(ValueShapes, FitTheirType)
{
    const std::tuple<std::uint16_t, Bytes, bool> cases[] = {
        {0x0003, bytes({1, 0, 0, 0}), true},
        {0x0003, bytes({1, 0, 0}), false},
        {0x0040, bytes({1, 2, 3, 4}), false},
        {0x0048, Bytes(16, 7), true},
        {0x001F, bytes({'a', 0, 'b'}), false},
        {0x001F, {}, true},
        {0x0099, {}, false},
        {0x1003, bytes({1, 0, 0, 0, 2, 0, 0, 0}), true},
        {0x1003, bytes({1, 0, 0, 0, 2}), false},
        // count 2, offsets 12 and 14, then "a" "b" in UTF-16; then an offset past the end
        {0x101F, bytes({2, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 'a', 0, 'b', 0}), true},
        {0x101F, bytes({2, 0, 0, 0, 12, 0, 0, 0, 40, 0, 0, 0, 'a', 0, 'b', 0}), false},
        {0x101F, bytes({9, 0, 0, 0, 12, 0, 0, 0}), false},
        {0x1102, bytes({0, 0, 0, 0}), true}};
    for (const auto& [type, data, ok] : cases)
        EXPECT_EQ(!valueShapeProblem(type, data).has_value(), ok) << hex(type) << " of " << data.size();
}

TEST(PropertyValue, ReadsMultiValuedStringsAndUtf16OutsideTheBmp)
{
    const PropertyValue keywords(
        0x101F, bytes({2, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(keywords.toUtf8List(), (std::vector<std::string>{"a", "\xF0\x9F\x98\x80"}));
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80\xE4\xB8\xAD"), std::u16string(u"\U0001F600\u4E2D"));
    EXPECT_EQ(utf16ToUtf8(std::u16string(u"\xD800x")), "\xEF\xBF\xBDx"); // a lone surrogate
}

} // namespace
