#include "pst/messaging/message_properties.h"

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

const PropValue* findId(const std::vector<PropValue>& props, std::uint16_t id)
{
    auto it = std::lower_bound(props.begin(), props.end(), id,
                               [](const PropValue& p, std::uint16_t i) { return p.tag().id() < i; });
    return it != props.end() && it->tag().id() == id ? &*it : nullptr;
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

std::uint32_t messageSize(std::span<const PropValue> props)
{
    std::uint64_t total = 0;
    bool hasSize = false;
    for (const PropValue& p : props) {
        if (p.tag().id() == tags::MessageSize.id()) {
            hasSize = true;
            total += 4;
        } else {
            total += p.size();
        }
    }
    if (!hasSize)
        total += 4;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0x7FFFFFFF));
}

PreparedMessage prepareMessage(std::vector<PropValue> given, const MessageDefaults& defaults)
{
    std::optional<PropValue> subjectGiven;
    std::optional<PropValue> prefixGiven;
    std::optional<PropValue> normalizedGiven;
    auto once = [](std::optional<PropValue>& slot, PropValue& p) {
        if (slot)
            throw std::invalid_argument("Property id " + tagName(p.tag()).substr(0, 6) +
                                        " is given twice for one message");
        slot = std::move(p);
    };
    // The values stay where they are given; the subject's parts and the size step out.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        PropValue& p = given[i];
        const std::uint16_t id = p.tag().id();
        if (isCalculatedByStore(id))
            throw std::invalid_argument(
                tagName(p.tag()) + " is computed by the store from where the message is and cannot be set");
        if (id == tags::Subject.id())
            once(subjectGiven, p);
        else if (id == tags::SubjectPrefix.id())
            once(prefixGiven, p);
        else if (id == tags::NormalizedSubject.id())
            once(normalizedGiven, p);
        else if (id != tags::MessageSize.id()) { // the store's own
            if (kept != i)
                given[kept] = std::move(p);
            ++kept;
        }
    }
    given.resize(kept);
    PreparedMessage out;
    std::vector<PropValue>& props = out.properties;
    props = std::move(given);
    auto byId = [](const PropValue& a, const PropValue& b) { return a.tag().id() < b.tag().id(); };
    if (!std::is_sorted(props.begin(), props.end(), byId))
        std::sort(props.begin(), props.end(), byId);
    const auto twice =
        std::adjacent_find(props.begin(), props.end(), [](const PropValue& a, const PropValue& b) {
            return a.tag().id() == b.tag().id();
        });
    if (twice != props.end())
        throw std::invalid_argument("Property id " + tagName(twice->tag()).substr(0, 6) +
                                    " is given twice for one message");

    // What the store adds: ids the values do not have, merged in once at the end.
    std::array<PropValue, 8> added;
    std::size_t addedCount = 0;
    auto add = [&](PropValue value) {
        assert(addedCount < added.size() && !findId(props, value.tag().id()));
        added[addedCount++] = std::move(value);
    };
    auto find = [&](std::uint16_t id) -> const PropValue* {
        if (const PropValue* p = findId(props, id))
            return p;
        for (std::size_t i = 0; i < addedCount; ++i) {
            if (added[i].tag().id() == id)
                return &added[i];
        }
        return nullptr;
    };

    if (subjectGiven && !prefixGiven && !normalizedGiven && subjectGiven->type() == PropType::Unicode &&
        !(subjectGiven->data().size() >= 2 && getU16(subjectGiven->data().data()) == 1)) {
        // The usual case, a plain subject and nothing else: the marker goes in front of its
        // bytes as they are (the general path below does the same through UTF-16 text).
        const ByteView text = subjectGiven->data();
        if (text.size() < 2) {
            add(PropValue::fromString(tags::Subject, std::u16string_view()));
        } else {
            Bytes stored(4 + (text.size() & ~std::size_t{1}));
            putU16(stored.data(), 0x0001);
            putU16(stored.data() + 2, 0x0001);
            std::memcpy(stored.data() + 4, text.data(), stored.size() - 4);
            add(PropValue(tags::Subject, ByteView(stored)));
        }
        subjectGiven.reset();
    }

    // The subject: its prefix and normalized parts are not stored on their own.
    auto text = [](const std::optional<PropValue>& p, const char* name) -> std::optional<std::u16string> {
        if (!p)
            return std::nullopt;
        return unicodeText(*p, name);
    };
    const auto subject = text(subjectGiven, "PidTagSubject");
    const auto prefix = text(prefixGiven, "PidTagSubjectPrefix");
    const auto normalized = text(normalizedGiven, "PidTagNormalizedSubject");
    std::optional<std::u16string> whole = subject;
    if (!whole && (prefix || normalized))
        whole = prefix.value_or(u"") + normalized.value_or(u"");
    if (whole) {
        if (!whole->empty() && (*whole)[0] == u'\x0001') {
            // Already in stored form; kept when well formed.
            if (whole->size() < 2 || (*whole)[1] == 0 || (*whole)[1] - 1u > whole->size() - 2)
                throw std::invalid_argument(
                    "PidTagSubject starts with U+0001 but its prefix length is wrong");
            add(PropValue::fromString(tags::Subject, std::u16string_view(*whole)));
        } else {
            add(PropValue::fromString(tags::Subject, storedSubject(*whole, prefix.value_or(u""))));
        }
    }

    if (!find(tags::MessageClass.id()))
        add(PropValue::fromString(tags::MessageClass, std::string_view("IPM.Note")));
    if (!find(tags::MessageFlags.id()))
        add(PropValue::fromInt32(tags::MessageFlags, kMessageFlagRead));
    if (!find(tags::MessageStatus.id()))
        add(PropValue::fromInt32(tags::MessageStatus, 0));
    const PropValue* created = find(tags::CreationTime.id());
    const PropValue* modified = find(tags::LastModificationTime.id());
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
        add(PropValue::fromSysTime(tags::CreationTime, createdAt));
    if (!modified)
        add(PropValue::fromSysTime(tags::LastModificationTime, modifiedAt));
    if (!find(tags::SearchKey.id()))
        add(PropValue::fromBinary(tags::SearchKey, defaults.searchKey));

    const PropValue* flags = find(tags::MessageFlags.id());
    if (flags->type() != PropType::Int32)
        throw std::invalid_argument("PidTagMessageFlags must be a 32-bit integer, not " +
                                    tagName(flags->tag()));
    out.read = (flags->toInt32() & kMessageFlagRead) != 0;

    // As messageSize() counts it, over both lists.
    std::uint64_t total = 4; // the size property itself
    for (const PropValue& p : props)
        total += p.size();
    for (std::size_t i = 0; i < addedCount; ++i)
        total += added[i].size();
    add(PropValue::fromUInt32(tags::MessageSize,
                              static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0x7FFFFFFF))));

    // Merged from the back, so that each value moves at most once.
    std::sort(added.begin(), added.begin() + static_cast<std::ptrdiff_t>(addedCount), byId);
    std::size_t from = props.size();
    props.resize(props.size() + addedCount);
    for (std::size_t to = props.size(), extra = addedCount; extra > 0;) {
        if (from > 0 && props[from - 1].tag().id() > added[extra - 1].tag().id())
            props[--to] = std::move(props[--from]);
        else
            props[--to] = std::move(added[--extra]);
    }
    return out;
}

} // namespace tressimo::pst
