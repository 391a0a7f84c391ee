#include "pst/messaging/name_to_id_map.h"

#include "pst/io/crc.h"
#include "pst/ltp/utf16.h"
#include "pst/messaging/message_store.h"

#include <algorithm>
#include <stdexcept>

namespace tressimo::pst {
namespace {

constexpr std::uint16_t kGuidPsMapi = 1;
constexpr std::uint16_t kGuidPublicStrings = 2;
constexpr std::uint16_t kFirstStreamGuid = 3;
// wGuid has 15 bits; ids run from 0x8000 to 0xFFFE.
constexpr std::uint32_t kMaxGuidIndex = 0x7FFF;
constexpr std::size_t kMaxNames = 0xFFFF - kFirstNamedPropertyId;

constexpr PropTag kTagBucketCount{0x00010003};
constexpr PropTag kTagGuidStream{0x00020102};
constexpr PropTag kTagEntryStream{0x00030102};
constexpr PropTag kTagStringStream{0x00040102};
constexpr std::uint16_t kBucketBase = 0x1000;

constexpr Guid kPsMapi{0x00020328, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kPsPublicStrings{0x00020329, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr Guid outlookSet(std::uint32_t data1)
{
    return Guid{data1, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
}
constexpr Guid kPsetidAppointment = outlookSet(0x00062002);
constexpr Guid kPsetidTask = outlookSet(0x00062003);
constexpr Guid kPsetidCommon = outlookSet(0x00062008);
constexpr Guid kPsetid62014 = outlookSet(0x00062014);
constexpr Guid kPsInternetHeaders = outlookSet(0x00020386);
constexpr Guid kIsMentionedSet{0x41F28F13, 0x83F4, 0x4114, {0xA5, 0x84, 0xEE, 0xDB, 0x5A, 0x6B, 0x0B, 0xFF}};

struct Preregistered
{
    Guid set;
    std::uint32_t lid;
    const char* name;
};

// The names in Outlook's brand-new empty store, in id order from 0x8000.
const Preregistered kOutlookNames[] = {
    {kPsetidAppointment, 0x8205, nullptr},
    {kPsetidAppointment, 0x8223, nullptr},
    {kPsetidAppointment, 0x8231, nullptr},
    {kPsetidAppointment, 0x8216, nullptr},
    {kPsetidAppointment, 0x820D, nullptr},
    {kPsetidAppointment, 0x820E, nullptr},
    {kPsetidAppointment, 0x8235, nullptr},
    {kPsetidAppointment, 0x8236, nullptr},
    {kPsetidAppointment, 0x8233, nullptr},
    {kPsInternetHeaders, 0, "content-class"},
    {kPsPublicStrings, 0, "DRMLicense"},
    {kPsInternetHeaders, 0, "x-cr-hashedpuzzle"},
    {kPsInternetHeaders, 0, "x-cr-puzzleid"},
    {kPsetidCommon, 0x8580, nullptr},
    {kPsetidCommon, 0x8581, nullptr},
    {kPsPublicStrings, 0, "urn:schemas-microsoft-com:office:outlook#storetypeprivate"},
    {kPsetidCommon, 0x8510, nullptr},
    {kPsetidCommon, 0x8578, nullptr},
    {kIsMentionedSet, 0, "IsMentioned"},
    {kPsPublicStrings, 0, "Keywords"},
    {kPsetid62014, 0x8F05, nullptr},
    {kPsetidCommon, 0x8514, nullptr},
    {kPsetid62014, 0x8F07, nullptr},
    {kPsetidCommon, 0x8503, nullptr},
    {kPsetidCommon, 0x85A8, nullptr},
    {kPsetidCommon, 0x8502, nullptr},
    {kPsetidTask, 0x8104, nullptr},
    {kPsetidTask, 0x8105, nullptr},
    {kPsetidTask, 0x811C, nullptr},
    {kPsInternetHeaders, 0, "x-ms-exchange-organization-authdomain"},
    {kPsPublicStrings, 0, "DoNotForward"},
    {kPsetidCommon, 0x8570, nullptr},
    {kPsetidTask, 0x8101, nullptr},
    {kPsetidCommon, 0x85E0, nullptr},
    {kPsetidCommon, 0x8552, nullptr},
};

void appendNameId(Bytes& out, std::uint32_t propertyId, std::uint16_t guidIndex, bool isString,
                  std::uint16_t index)
{
    ByteWriter w(out);
    w.u32(propertyId);
    w.u16(static_cast<std::uint16_t>(guidIndex << 1 | (isString ? 1 : 0)));
    w.u16(index);
}

} // namespace

NameToIdMap::NameToIdMap()
{
    for (const Preregistered& p : kOutlookNames)
        propertyId(PropertyName{p.set, p.lid, p.name ? p.name : ""});
}

NameToIdMap::Key NameToIdMap::keyOf(const PropertyName& name)
{
    if (name.name.empty())
        return Key{name.set.toBytes(), false, name.lid, {}};
    return Key{name.set.toBytes(), true, 0, text::utf8ToUtf16(name.name)};
}

std::optional<std::uint16_t> NameToIdMap::find(const PropertyName& name) const
{
    auto it = m_ids.find(keyOf(name));
    if (it == m_ids.end())
        return std::nullopt;
    return it->second;
}

std::uint16_t NameToIdMap::guidIndex(const Guid& set)
{
    if (set == kPsMapi)
        return kGuidPsMapi;
    if (set == kPsPublicStrings)
        return kGuidPublicStrings;
    const auto bytes = set.toBytes();
    auto it = std::find(m_guids.begin(), m_guids.end(), bytes);
    if (it != m_guids.end())
        return static_cast<std::uint16_t>(kFirstStreamGuid + (it - m_guids.begin()));
    if (m_guids.size() + kFirstStreamGuid > kMaxGuidIndex)
        throw std::length_error("The name-to-ID map holds no more property sets");
    m_guids.push_back(bytes);
    return static_cast<std::uint16_t>(kFirstStreamGuid + m_guids.size() - 1);
}

std::uint16_t NameToIdMap::propertyId(const PropertyName& name)
{
    Key key = keyOf(name);
    if (auto it = m_ids.find(key); it != m_ids.end())
        return it->second;
    if (m_count >= kMaxNames)
        throw std::length_error("The name-to-ID map is full: a store holds at most " +
                                std::to_string(kMaxNames) + " named properties");
    const Bytes textBytes = utf16ToBytes(std::get<3>(key));
    if (textBytes.size() > 0xFFFF)
        throw std::invalid_argument("A named property's name is too long to store (" +
                                    std::to_string(textBytes.size()) + " bytes)");

    // A failure part-way (memory) takes back what was appended, so the map stays as it was.
    const std::size_t guids = m_guids.size(), strings = m_stringStream.size(), entries = m_entryStream.size();
    Bytes* bucketStream = nullptr;
    std::size_t bucketSize = 0;
    try {
        return addName(name, std::move(key), textBytes, bucketStream, bucketSize);
    } catch (...) {
        m_guids.resize(guids);
        m_stringStream.resize(strings);
        m_entryStream.resize(entries);
        if (bucketStream)
            bucketStream->resize(bucketSize);
        throw;
    }
}

std::uint16_t NameToIdMap::addName(const PropertyName& name, Key key, const Bytes& textBytes,
                                   Bytes*& bucketStream, std::size_t& bucketSize)
{
    const bool isString = std::get<1>(key);
    const std::uint16_t wGuid = guidIndex(name.set);
    const auto index = static_cast<std::uint16_t>(m_count);

    // Entry stream: numeric names carry their LID, string names the offset of their length
    // word in the string stream. Buckets carry the LID or the CRC of the UTF-16LE name.
    std::uint32_t entryKey = name.lid;
    std::uint32_t bucketKey = name.lid;
    if (isString) {
        entryKey = static_cast<std::uint32_t>(m_stringStream.size());
        bucketKey = computeCrc(textBytes.data(), textBytes.size());
        ByteWriter w(m_stringStream);
        w.u32(static_cast<std::uint32_t>(textBytes.size()));
        w.bytes(textBytes);
        w.zeros((4 - textBytes.size() % 4) % 4);
    }
    appendNameId(m_entryStream, entryKey, wGuid, isString, index);
    const std::uint32_t bucket =
        (bucketKey ^ static_cast<std::uint32_t>(wGuid << 1 | (isString ? 1 : 0))) % kNameidBucketCount;
    bucketStream = &m_buckets[bucket];
    bucketSize = bucketStream->size();
    appendNameId(*bucketStream, bucketKey, wGuid, isString, index);

    m_ids.emplace(std::move(key), static_cast<std::uint16_t>(kFirstNamedPropertyId + index));
    ++m_count;
    m_changed = true;
    return static_cast<std::uint16_t>(kFirstNamedPropertyId + index);
}

std::vector<PropValue> NameToIdMap::properties() const
{
    std::vector<PropValue> props;
    props.reserve(4 + kNameidBucketCount);
    props.push_back(PropValue::fromUInt32(kTagBucketCount, kNameidBucketCount));
    Bytes guids;
    for (const auto& g : m_guids)
        guids.insert(guids.end(), g.begin(), g.end());
    props.push_back(PropValue::fromBinary(kTagGuidStream, guids));
    props.push_back(PropValue::fromBinary(kTagEntryStream, m_entryStream));
    props.push_back(PropValue::fromBinary(kTagStringStream, m_stringStream));
    // Outlook leaves empty buckets out.
    for (std::uint32_t b = 0; b < kNameidBucketCount; ++b) {
        if (!m_buckets[b].empty())
            props.push_back(PropValue::fromBinary(
                PropTag(static_cast<std::uint16_t>(kBucketBase + b), PropType::Binary), m_buckets[b]));
    }
    return props;
}

} // namespace tressimo::pst
