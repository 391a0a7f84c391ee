#pragma once
// The name-to-ID map ([MS-PST] 2.4.7): gives each named property (property set GUID plus a
// numeric LID or a string name) its property id 0x8000 + index, and keeps the four parts of
// the map in step: the GUID stream (property sets other than PS_MAPI and PS_PUBLIC_STRINGS),
// the entry stream (one NAMEID per name, in id order), the string stream (length-prefixed
// UTF-16 names, each padded to 4 bytes) and the 251 hash buckets (only those in use).

#include "pst/io/bytes.h"
#include "pst/ltp/prop_value.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tressimo::pst {

struct PropertyName;

inline constexpr std::uint32_t kNameidBucketCount = 251;
inline constexpr std::uint16_t kFirstNamedPropertyId = 0x8000;

class NameToIdMap
{
public:
    // A map holding the names Outlook registers in every new store, in Outlook's order, so
    // that the ids of the names a caller adds follow Outlook's.
    NameToIdMap();

    // The id of the name, registering it when new. Throws std::length_error when the map is
    // full and std::invalid_argument for a name that cannot be stored.
    std::uint16_t propertyId(const PropertyName& name);
    std::optional<std::uint16_t> find(const PropertyName& name) const;
    std::size_t size() const { return m_count; }
    bool contains(std::uint16_t id) const
    {
        return id >= kFirstNamedPropertyId && std::size_t{id} - kFirstNamedPropertyId < m_count;
    }

    // The properties of the map's node: bucket count, the three streams, the used buckets.
    std::vector<PropValue> properties() const;

    // Whether names came in since the last markStored().
    bool changed() const { return m_changed; }
    void markStored() { m_changed = false; }

private:
    // Property set, then 0 and the LID or 1 and the UTF-16 name.
    using Key = std::tuple<std::array<std::uint8_t, 16>, bool, std::uint32_t, std::u16string>;

    std::uint16_t guidIndex(const Guid& set);
    std::uint16_t addName(const PropertyName& name, Key key, const Bytes& textBytes, Bytes*& bucketStream,
                          std::size_t& bucketSize);
    static Key keyOf(const PropertyName& name);

    std::map<Key, std::uint16_t> m_ids;
    std::vector<std::array<std::uint8_t, 16>> m_guids;
    Bytes m_entryStream;
    Bytes m_stringStream;
    std::array<Bytes, kNameidBucketCount> m_buckets;
    std::size_t m_count = 0;
    bool m_changed = true;
};

} // namespace tressimo::pst
