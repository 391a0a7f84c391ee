#include "pst/messaging/message_properties.h"

#include "pst/messaging/attachments.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace tressimo::pst {
namespace {

std::u16string unicodeText(const PropValue& value, const char* name)
{
    if (value.type() != PropType::Unicode)
        throw std::invalid_argument(std::string(name) + " must be a Unicode string in a Unicode store, not " +
                                    tagName(value.tag()));
    return value.toUtf16();
}

bool byId(const PropValue& a, const PropValue& b)
{
    return a.tag().id() < b.tag().id();
}

} // namespace

bool isCalculatedByStore(std::uint16_t id)
{
    switch (id) {
    case 0x0E09: // PidTagParentEntryId
    case 0x0E12: // PidTagMessageRecipients
    case 0x0E13: // PidTagMessageAttachments
    case 0x0E1B: // PidTagHasAttachments
    case 0x0FF8: // PidTagMappingSignature
    case 0x0FF9: // PidTagRecordKey
    case 0x0FFA: // PidTagStoreRecordKey
    case 0x0FFB: // PidTagStoreEntryId
    case 0x0FFE: // PidTagObjectType
    case 0x0FFF: // PidTagEntryId
    case 0x3414: // PidTagStoreProvider
    case 0x67F2: // PidTagLtpRowId
    case 0x67F3: // PidTagLtpRowVer
        return true;
    default:
        return false;
    }
}

std::u16string storedSubject(std::u16string_view subject, std::u16string_view prefix)
{
    if (subject.empty())
        return {};
    if (subject.substr(0, prefix.size()) != prefix)
        throw std::invalid_argument("The subject does not start with the subject prefix given");
    if (prefix.size() >= 0xFFFF)
        throw std::invalid_argument("The subject prefix is too long");
    std::u16string out;
    out.reserve(subject.size() + 2);
    out.push_back(u'\x0001');
    out.push_back(static_cast<char16_t>(prefix.size() + 1));
    out.append(subject);
    return out;
}

namespace {

// The stored size of values, a size property among them counted as its own four bytes.
std::uint64_t storedSize(std::span<const PropValue> props)
{
    std::uint64_t total = 0;
    for (const PropValue& p : props)
        total += p.tag().id() == tags::MessageSize.id() ? 4 : p.size();
    return total;
}

std::uint32_t clampedSize(std::uint64_t total)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0x7FFFFFFF));
}

// The given values, left where they are given, seen in id order: the subject's parts and the
// size step out (the subject's parts are stored as one value, the size is the store's own).
// Values move once, when the message's list is made.
class GivenValues
{
public:
    explicit GivenValues(std::vector<PropValue>& given) : m_all(given), m_order(keptOrder())
    {
        auto once = [](PropValue*& slot, PropValue& p) {
            if (slot)
                throw std::invalid_argument("Property id " + tagName(p.tag()).substr(0, 6) +
                                            " is given twice for one message");
            slot = &p;
        };
        m_order.clear();
        for (std::size_t i = 0; i < given.size(); ++i) {
            PropValue& p = given[i];
            const std::uint16_t id = p.tag().id();
            if (isCalculatedByStore(id))
                throw std::invalid_argument(
                    tagName(p.tag()) + " is computed by the store from where the message is and cannot be set");
            if (id == tags::Subject.id())
                once(subject, p);
            else if (id == tags::SubjectPrefix.id())
                once(prefix, p);
            else if (id == tags::NormalizedSubject.id())
                once(normalized, p);
            else if (id != tags::MessageSize.id())
                m_order.push_back(std::uint64_t{id} << 32 | i);
        }
        // The id in the high half: sorting the keys sorts the positions by id, and equal ids
        // stay in the order given.
        if (!std::is_sorted(m_order.begin(), m_order.end()))
            std::sort(m_order.begin(), m_order.end());
        const auto twice = std::adjacent_find(m_order.begin(), m_order.end(), [](std::uint64_t a, std::uint64_t b) {
            return a >> 32 == b >> 32;
        });
        if (twice != m_order.end())
            throw std::invalid_argument("Property id " + tagName(at(*twice).tag()).substr(0, 6) +
                                        " is given twice for one message");
    }

    PropValue* find(std::uint16_t id) const
    {
        const auto it = std::lower_bound(m_order.begin(), m_order.end(), std::uint64_t{id} << 32);
        return it != m_order.end() && *it >> 32 == id ? &at(*it) : nullptr;
    }

    std::uint64_t storedSize() const
    {
        std::uint64_t total = 0;
        for (const std::uint64_t key : m_order)
            total += at(key).size();
        return total;
    }

    // The stored values and `added` (sorted by id, no id of the given ones) as one list in id
    // order, each value moved into it.
    std::vector<PropValue> mergedWith(std::span<PropValue> added) const
    {
        std::vector<PropValue> out;
        out.reserve(m_order.size() + added.size());
        auto next = added.begin();
        for (const std::uint64_t key : m_order) {
            for (; next != added.end() && next->tag().id() < key >> 32; ++next)
                out.push_back(std::move(*next));
            out.push_back(std::move(at(key)));
        }
        for (; next != added.end(); ++next)
            out.push_back(std::move(*next));
        return out;
    }

    PropValue* subject = nullptr;
    PropValue* prefix = nullptr;
    PropValue* normalized = nullptr;

private:
    PropValue& at(std::uint64_t key) const { return m_all[key & 0xFFFFFFFF]; }

    // Room for the order, kept between messages.
    static std::vector<std::uint64_t>& keptOrder()
    {
        thread_local std::vector<std::uint64_t> order;
        return order;
    }

    std::vector<PropValue>& m_all;
    // Positions of the stored values with their ids, in id order.
    std::vector<std::uint64_t>& m_order;
};

// What the store adds: ids the given values do not have, merged in once at the end.
class AddedValues
{
public:
    explicit AddedValues(const GivenValues& given) : m_given(given) {}

    void add(PropValue value)
    {
        assert(m_count < m_values.size() && !m_given.find(value.tag().id()));
        m_values[m_count++] = std::move(value);
    }

    const PropValue* find(std::uint16_t id) const
    {
        if (const PropValue* p = m_given.find(id))
            return p;
        for (const PropValue& p : values()) {
            if (p.tag().id() == id)
                return &p;
        }
        return nullptr;
    }

    std::span<const PropValue> values() const { return std::span(m_values.data(), m_count); }

    // Sorted by id (at most eight values: by insertion).
    std::span<PropValue> sorted()
    {
        PropValue* const added = m_values.data();
        for (std::size_t i = 1; i < m_count; ++i) {
            for (std::size_t j = i; j > 0 && byId(added[j], added[j - 1]); --j)
                std::swap(added[j], added[j - 1]);
        }
        return std::span(added, m_count);
    }

private:
    const GivenValues& m_given;
    std::array<PropValue, 8> m_values; // subject, six defaults, size
    std::size_t m_count = 0;
};

// The subject: its prefix and normalized parts are not stored on their own.
void addStoredSubject(GivenValues& given, AddedValues& added)
{
    const PropValue* subjectGiven = given.subject;
    if (subjectGiven && !given.prefix && !given.normalized && subjectGiven->type() == PropType::Unicode &&
        !(subjectGiven->data().size() >= 2 && getU16(subjectGiven->data().data()) == 1)) {
        // The usual case, a plain subject and nothing else: the marker goes in front of its
        // bytes as they are (the general path below does the same through UTF-16 text).
        const ByteView text = subjectGiven->data();
        if (text.size() < 2) {
            added.add(PropValue::fromString(tags::Subject, std::u16string_view()));
        } else {
            Bytes stored(4 + (text.size() & ~std::size_t{1}));
            putU16(stored.data(), 0x0001);
            putU16(stored.data() + 2, 0x0001);
            std::memcpy(stored.data() + 4, text.data(), stored.size() - 4);
            added.add(PropValue(tags::Subject, ByteView(stored)));
        }
        return;
    }

    auto text = [](const PropValue* p, const char* name) -> std::optional<std::u16string> {
        if (!p)
            return std::nullopt;
        return unicodeText(*p, name);
    };
    const auto subject = text(subjectGiven, "PidTagSubject");
    const auto prefix = text(given.prefix, "PidTagSubjectPrefix");
    const auto normalized = text(given.normalized, "PidTagNormalizedSubject");
    std::optional<std::u16string> whole = subject;
    if (!whole && (prefix || normalized))
        whole = prefix.value_or(u"") + normalized.value_or(u"");
    if (!whole)
        return;
    if (!whole->empty() && (*whole)[0] == u'\x0001') {
        // Already in stored form; kept when well formed.
        if (whole->size() < 2 || (*whole)[1] == 0 || (*whole)[1] - 1u > whole->size() - 2)
            throw std::invalid_argument("PidTagSubject starts with U+0001 but its prefix length is wrong");
        added.add(PropValue::fromString(tags::Subject, std::u16string_view(*whole)));
    } else {
        added.add(PropValue::fromString(tags::Subject, storedSubject(*whole, prefix.value_or(u""))));
    }
}

// What the format requires and the caller left out: class, flags, status, both times, a
// search key.
void addRequiredDefaults(AddedValues& added, const MessageDefaults& defaults)
{
    if (!added.find(tags::MessageClass.id()))
        added.add(PropValue::fromString(tags::MessageClass, std::string_view("IPM.Note")));
    if (!added.find(tags::MessageFlags.id()))
        added.add(PropValue::fromInt32(tags::MessageFlags,
                                       kMessageFlagRead | (defaults.hasAttachments ? kMessageFlagHasAttach : 0)));
    if (!added.find(tags::MessageStatus.id()))
        added.add(PropValue::fromInt32(tags::MessageStatus, 0));
    const PropValue* created = added.find(tags::CreationTime.id());
    const PropValue* modified = added.find(tags::LastModificationTime.id());
    if (created && created->type() != PropType::SysTime)
        throw std::invalid_argument("PidTagCreationTime must be a time, not " + tagName(created->tag()));
    if (modified && modified->type() != PropType::SysTime)
        throw std::invalid_argument("PidTagLastModificationTime must be a time, not " +
                                    tagName(modified->tag()));
    const std::uint64_t createdAt = created    ? created->toFileTime()
                                    : modified ? modified->toFileTime()
                                               : defaults.now;
    const std::uint64_t modifiedAt = modified ? modified->toFileTime() : createdAt;
    if (!created)
        added.add(PropValue::fromSysTime(tags::CreationTime, createdAt));
    if (!modified)
        added.add(PropValue::fromSysTime(tags::LastModificationTime, modifiedAt));
    if (!added.find(tags::SearchKey.id()))
        added.add(PropValue::fromBinary(tags::SearchKey, defaults.searchKey));
}

bool readFlag(const AddedValues& added)
{
    const PropValue* flags = added.find(tags::MessageFlags.id());
    if (flags->type() != PropType::Int32)
        throw std::invalid_argument("PidTagMessageFlags must be a 32-bit integer, not " +
                                    tagName(flags->tag()));
    return (flags->toInt32() & kMessageFlagRead) != 0;
}

} // namespace

std::uint32_t messageSize(std::span<const PropValue> props)
{
    const bool hasSize = std::any_of(props.begin(), props.end(),
                                     [](const PropValue& p) { return p.tag().id() == tags::MessageSize.id(); });
    return clampedSize(storedSize(props) + (hasSize ? 0 : 4));
}

void sortRefusingRepeats(std::vector<PropValue>& props, std::string_view owner)
{
    if (!std::is_sorted(props.begin(), props.end(), byId))
        std::sort(props.begin(), props.end(), byId);
    const auto twice =
        std::adjacent_find(props.begin(), props.end(), [](const PropValue& a, const PropValue& b) {
            return a.tag().id() == b.tag().id();
        });
    if (twice != props.end())
        throw std::invalid_argument("Property id " + tagName(twice->tag()).substr(0, 6) + " is given twice for one " +
                                    std::string(owner));
}

PreparedMessage prepareMessage(std::vector<PropValue> given, const MessageDefaults& defaults)
{
    GivenValues values(given);
    // The has-attachments bit says what the message holds, not what the caller thought.
    if (PropValue* flags = values.find(tags::MessageFlags.id()); flags && flags->tag() == tags::MessageFlags) {
        const std::int32_t bit = defaults.hasAttachments ? kMessageFlagHasAttach : 0;
        *flags = PropValue::fromInt32(tags::MessageFlags, (flags->toInt32() & ~kMessageFlagHasAttach) | bit);
    }
    AddedValues added(values);
    addStoredSubject(values, added);
    addRequiredDefaults(added, defaults);
    PreparedMessage out;
    out.read = readFlag(added);
    // The size property's own four bytes count; neither list holds one yet.
    added.add(PropValue::fromUInt32(tags::MessageSize,
                                    clampedSize(values.storedSize() + storedSize(added.values()) + 4 +
                                                defaults.attachmentsSize)));
    out.properties = values.mergedWith(added.sorted());
    return out;
}

} // namespace tressimo::pst
