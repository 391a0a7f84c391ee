#pragma once
// What a message's property context holds beyond what its caller gives ([MS-PST] 2.4.5.1.1,
// 2.5.3): the properties the format requires, the subject in its stored form, and the
// message size as Outlook computes it.

#include "pst/ltp/prop_value.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tressimo::pst {

namespace tags {
inline constexpr PropTag MessageClass{0x001A001F};
inline constexpr PropTag Subject{0x0037001F};
inline constexpr PropTag SubjectPrefix{0x003D001F};
inline constexpr PropTag NormalizedSubject{0x0E1D001F};
inline constexpr PropTag MessageFlags{0x0E070003};
inline constexpr PropTag MessageSize{0x0E080003};
inline constexpr PropTag MessageStatus{0x0E170003};
inline constexpr PropTag CreationTime{0x30070040};
inline constexpr PropTag LastModificationTime{0x30080040};
inline constexpr PropTag SearchKey{0x300B0102};
inline constexpr PropTag DisplayName{0x3001001F};
inline constexpr PropTag Comment{0x3004001F};
inline constexpr PropTag ContentCount{0x36020003};
inline constexpr PropTag ContentUnreadCount{0x36030003};
inline constexpr PropTag Subfolders{0x360A000B};
inline constexpr PropTag ContainerClass{0x3613001F};
inline constexpr PropTag PstHiddenCount{0x66350003};
inline constexpr PropTag PstHiddenUnread{0x66360003};
} // namespace tags

// Properties a store computes from where an object sits ([MS-PST] 2.5.2.3): a stored copy
// would contradict what readers compute, so a message that gives one is refused.
bool isCalculatedByStore(std::uint16_t id);

// Sorts the properties by id; throws std::invalid_argument naming `owner` ("message",
// "attachment") when an id is given twice.
void sortRefusingRepeats(std::vector<PropValue>& props, std::string_view owner);

// PidTagMessageFlags' read bit ([MS-OXCMSG] 2.2.1.6).
inline constexpr std::int32_t kMessageFlagRead = 0x0001;

// The subject as a Unicode store keeps it: U+0001, the prefix length plus one, the prefix and
// the normalized subject ([MS-PST] 2.5.3.1.1). With the marker a reader never guesses a
// prefix ("Re: Smith" stays whole unless "Re: " is given as the prefix). An empty subject is
// stored as it is. Throws std::invalid_argument when the subject does not start with the
// prefix.
std::u16string storedSubject(std::u16string_view subject, std::u16string_view prefix = {});

// PidTagMessageSize as Outlook computes it: the stored sizes of all the message's property
// values, its own four bytes included (matches Outlook's own contact and free/busy items
// byte for byte; recipients, which this store does not write, would add theirs; the
// attachments' sizes are added by prepareMessage).
std::uint32_t messageSize(std::span<const PropValue> props);

struct MessageDefaults
{
    std::uint64_t now = 0;                    // FILETIME for missing creation/modification times
    std::array<std::uint8_t, 16> searchKey{}; // for a missing PidTagSearchKey
    // The message's attachments: whether it has any (PidTagMessageFlags' has-attachments bit
    // follows this whatever the flags given say) and what their sizes add to the message size.
    bool hasAttachments = false;
    std::uint64_t attachmentsSize = 0;
};

struct PreparedMessage
{
    // Sorted by property id; what the property context holds and the contents row copies.
    std::vector<PropValue> properties;
    bool read = true;
};

// The message's stored properties: the given ones (each id once) with the stored subject,
// the defaults for what the format requires and is missing (class "IPM.Note", flags read,
// status 0, both times, a search key) and the computed size. Calculated properties
// ([MS-PST] 2.5.2.3: entry ids, record keys, object type, ...) cannot be given; a subject
// prefix or normalized subject is folded into the stored subject. Throws
// std::invalid_argument for such input. The given values are taken over.
PreparedMessage prepareMessage(std::vector<PropValue> given, const MessageDefaults& defaults);

} // namespace tressimo::pst
