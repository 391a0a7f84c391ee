#pragma once
// The name-to-ID map ([MS-PST] 2.4.7): the store-wide table that gives each named property
// (property set GUID + numeric LID or string name) its property id 0x8000 + index.

#include "pst/check/property.h"
#include "pst/check/violation.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::pst::check {

inline constexpr std::uint32_t kNidNameToIdMap = 0x61;
inline constexpr std::uint32_t kTagNameidBucketCount = 0x00010003;
inline constexpr std::uint32_t kTagNameidStreamGuid = 0x00020102;
inline constexpr std::uint32_t kTagNameidStreamEntry = 0x00030102;
inline constexpr std::uint32_t kTagNameidStreamString = 0x00040102;
inline constexpr std::uint16_t kNameidBucketBase = 0x1000;
inline constexpr std::uint32_t kNameidBucketCount = 251;

using Guid = std::array<std::uint8_t, 16>;
// Property sets as stored (Data1..3 little-endian).
inline constexpr Guid kPsMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsetidAddress = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsetidCommon = {0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

struct NamedProperty
{
    std::uint16_t id = 0;        // 0x8000 + wPropIdx
    std::uint16_t guidIndex = 0; // wGuid: 1 PS_MAPI, 2 PS_PUBLIC_STRINGS, 3+ the GUID stream
    Guid guid{};
    bool isString = false;
    std::uint32_t lid = 0; // numeric names
    std::string name;      // string names, UTF-8
    std::uint32_t stringOffset = 0;
};

class NameMap
{
public:
    std::uint32_t bucketCount = 0;
    std::vector<NamedProperty> entries;

    const NamedProperty* byId(std::uint16_t id) const;
    std::optional<std::uint16_t> find(const Guid& guid, std::uint32_t lid) const;
    std::optional<std::uint16_t> find(const Guid& guid, std::string_view name) const;
    // "{GUID}:0x8083" or "{GUID}:name", for dumps.
    std::string describe(std::uint16_t id) const;
};

// Decodes the map from the properties of node 0x61. Throws FormatError when the streams are
// missing or cannot be decoded; the bucket cross-checks go to findings.
NameMap readNameMap(const PropertyMap& props, Findings* findings = nullptr);

// The bucket a named property hashes to ([MS-PST] 2.4.7.5).
std::uint32_t nameMapBucket(std::uint32_t key, std::uint16_t guidIndex, bool isString, std::uint32_t buckets);
// The key a string name hashes with: the format's CRC of its UTF-16LE bytes.
std::uint32_t nameMapStringKey(std::string_view utf8Name);

} // namespace tressimo::pst::check
