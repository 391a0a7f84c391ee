#include "pst/check/name_map.h"

#include "pst/check/pst_file.h"
#include "pst/io/crc.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace tressimo::pst::check {
namespace {

constexpr std::string_view kWhere = "name-to-ID map (node 0x61)";

Bytes stream(const PropertyMap& props, std::uint32_t tag, const char* what)
{
    auto it = props.find(tag);
    if (it == props.end())
        throw FormatError(std::string(kWhere) + " has no " + what + " stream (" + hex(tag) + ")");
    return it->second.data();
}

} // namespace

std::uint32_t nameMapBucket(std::uint32_t key, std::uint16_t guidIndex, bool isString, std::uint32_t buckets)
{
    const std::uint32_t kind = (std::uint32_t{guidIndex} << 1) | (isString ? 1u : 0u);
    return buckets == 0 ? 0 : (key ^ kind) % buckets;
}

std::uint32_t nameMapStringKey(std::string_view utf8Name)
{
    const std::u16string s = utf8ToUtf16(utf8Name);
    Bytes b(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        putU16(b.data() + 2 * i, s[i]);
    return computeCrc(b.data(), b.size());
}

const NamedProperty* NameMap::byId(std::uint16_t id) const
{
    for (const NamedProperty& e : entries)
        if (e.id == id)
            return &e;
    return nullptr;
}

std::optional<std::uint16_t> NameMap::find(const Guid& guid, std::uint32_t lid) const
{
    for (const NamedProperty& e : entries)
        if (!e.isString && e.lid == lid && e.guid == guid)
            return e.id;
    return std::nullopt;
}

std::optional<std::uint16_t> NameMap::find(const Guid& guid, std::string_view name) const
{
    for (const NamedProperty& e : entries)
        if (e.isString && e.name == name && e.guid == guid)
            return e.id;
    return std::nullopt;
}

std::string NameMap::describe(std::uint16_t id) const
{
    const NamedProperty* e = byId(id);
    if (!e)
        return "unmapped";
    return guidToString(e->guid) + ":" + (e->isString ? "\"" + e->name + "\"" : hex(e->lid));
}

NameMap readNameMap(const PropertyMap& props, Findings* findings)
{
    auto error = [&](const char* code, std::string where, std::string expected, std::string found) {
        if (findings)
            findings->error(code, std::string(kWhere) + where, std::move(expected), std::move(found));
    };
    NameMap map;
    auto countIt = props.find(kTagNameidBucketCount);
    if (countIt == props.end()) {
        error("NAMEMAP_BUCKET_COUNT", "", "PidTagNameidBucketCount (0x00010003) = 251", "no such property");
    } else {
        map.bucketCount = static_cast<std::uint32_t>(countIt->second.toInt32());
        if (map.bucketCount != kNameidBucketCount)
            error("NAMEMAP_BUCKET_COUNT", "", "PidTagNameidBucketCount 251", std::to_string(map.bucketCount));
    }

    const Bytes guids = stream(props, kTagNameidStreamGuid, "GUID");
    const Bytes entries = stream(props, kTagNameidStreamEntry, "entry");
    const Bytes strings = stream(props, kTagNameidStreamString, "string");
    if (guids.size() % 16 != 0)
        error("NAMEMAP_STREAM", " GUID stream", "a multiple of 16 bytes",
              std::to_string(guids.size()) + " bytes");
    if (entries.size() % 8 != 0)
        error("NAMEMAP_STREAM", " entry stream", "a multiple of 8 bytes",
              std::to_string(entries.size()) + " bytes");

    std::set<std::uint16_t> indices;
    for (std::size_t i = 0; i + 8 <= entries.size(); i += 8) {
        const std::string where = " entry " + std::to_string(i / 8);
        NamedProperty e;
        const std::uint32_t key = getU32(entries.data() + i);
        const std::uint16_t kind = getU16(entries.data() + i + 4);
        const std::uint16_t index = getU16(entries.data() + i + 6);
        e.isString = (kind & 1) != 0;
        e.guidIndex = kind >> 1;
        e.id = static_cast<std::uint16_t>(0x8000 + index);
        if (index != i / 8)
            error("NAMEMAP_STREAM", where, "wPropIdx " + std::to_string(i / 8) + " (its place in the stream)",
                  std::to_string(index));
        if (!indices.insert(index).second)
            error("NAMEMAP_STREAM", where, "a wPropIdx no other entry has", std::to_string(index));
        if (e.guidIndex == 1) {
            e.guid = kPsMapi;
        } else if (e.guidIndex == 2) {
            e.guid = kPsPublicStrings;
        } else if (e.guidIndex >= 3 && (e.guidIndex - 3) * 16u + 16 <= guids.size()) {
            std::copy_n(guids.begin() + (e.guidIndex - 3) * 16, 16, e.guid.begin());
        } else {
            error("NAMEMAP_STREAM", where,
                  "wGuid 1, 2 or 3.." + std::to_string(2 + guids.size() / 16) + " (the GUID stream)",
                  std::to_string(e.guidIndex));
        }
        if (e.isString) {
            e.stringOffset = key;
            if (key % 4 != 0 || std::size_t{key} + 4 > strings.size() ||
                getU32(strings.data() + key) > strings.size() - key - 4 ||
                getU32(strings.data() + key) % 2 != 0) {
                error("NAMEMAP_STREAM", where, "a string name inside the string stream",
                      "offset " + std::to_string(key) + " of " + std::to_string(strings.size()) + " bytes");
            } else {
                const std::uint32_t length = getU32(strings.data() + key);
                e.name = utf16ToUtf8(ByteView(strings.data() + key + 4, length));
            }
        } else {
            e.lid = key;
        }
        map.entries.push_back(std::move(e));
    }

    if (map.bucketCount != kNameidBucketCount)
        return map; // the buckets cannot be placed by a count that is itself wrong

    // Each entry must appear once, in the bucket its key hashes to, and nothing else may.
    using Record = std::tuple<std::uint32_t, std::uint16_t, std::uint16_t>;
    std::map<Record, std::uint32_t> expected;
    for (const NamedProperty& e : map.entries) {
        const std::uint32_t key = e.isString ? nameMapStringKey(e.name) : e.lid;
        const auto kind = static_cast<std::uint16_t>((e.guidIndex << 1) | (e.isString ? 1 : 0));
        expected[{key, kind, static_cast<std::uint16_t>(e.id - 0x8000)}] =
            nameMapBucket(key, e.guidIndex, e.isString, map.bucketCount);
    }
    std::map<Record, std::uint32_t> found;
    for (const auto& [tag, value] : props) {
        const std::uint16_t id = tagId(tag);
        if (id < kNameidBucketBase || id >= 0x8000)
            continue;
        const std::uint32_t bucket = id - kNameidBucketBase;
        const std::string where = " bucket " + std::to_string(bucket);
        if (bucket >= map.bucketCount || tagType(tag) != proptype::Binary) {
            error("NAMEMAP_BUCKET", where, "a binary bucket property below 0x1000 + 251", hex(tag));
            continue;
        }
        const Bytes& b = value.data();
        if (b.size() % 8 != 0)
            error("NAMEMAP_BUCKET", where, "a multiple of 8 bytes", std::to_string(b.size()) + " bytes");
        for (std::size_t i = 0; i + 8 <= b.size(); i += 8) {
            const Record r{getU32(b.data() + i), getU16(b.data() + i + 4), getU16(b.data() + i + 6)};
            auto it = expected.find(r);
            if (it == expected.end()) {
                error("NAMEMAP_BUCKET", where, "records of entries in the entry stream",
                      "a record for no entry (key " + hex(std::get<0>(r)) + ", index " +
                          std::to_string(std::get<2>(r)) + ")");
                continue;
            }
            if (it->second != bucket)
                error("NAMEMAP_BUCKET", where,
                      "entry " + std::to_string(std::get<2>(r)) + " in bucket " + std::to_string(it->second),
                      "in bucket " + std::to_string(bucket));
            if (!found.emplace(r, bucket).second)
                error("NAMEMAP_BUCKET", where, "each entry in one bucket once",
                      "entry " + std::to_string(std::get<2>(r)) + " again");
        }
    }
    for (const auto& [r, bucket] : expected)
        if (!found.count(r))
            error("NAMEMAP_BUCKET", " bucket " + std::to_string(bucket),
                  "a record for entry " + std::to_string(std::get<2>(r)), "none");
    return map;
}

} // namespace tressimo::pst::check
