#pragma once
// Node ids ([MS-PST] 2.2.2.1, 2.4.1): five type bits under the index, and the fixed ids of the
// nodes every store has.

#include <cstdint>

namespace tressimo::pst::check {

namespace nidtype {
inline constexpr std::uint8_t Hid = 0x00;
inline constexpr std::uint8_t Internal = 0x01;
inline constexpr std::uint8_t NormalFolder = 0x02;
inline constexpr std::uint8_t SearchFolder = 0x03;
inline constexpr std::uint8_t NormalMessage = 0x04;
inline constexpr std::uint8_t Attachment = 0x05;
inline constexpr std::uint8_t SearchUpdateQueue = 0x06;
inline constexpr std::uint8_t SearchCriteria = 0x07;
inline constexpr std::uint8_t AssocMessage = 0x08;
inline constexpr std::uint8_t ContentsTableIndex = 0x0A;
inline constexpr std::uint8_t ReceiveFolderTable = 0x0B;
inline constexpr std::uint8_t OutgoingQueueTable = 0x0C;
inline constexpr std::uint8_t HierarchyTable = 0x0D;
inline constexpr std::uint8_t ContentsTable = 0x0E;
inline constexpr std::uint8_t AssocContentsTable = 0x0F;
inline constexpr std::uint8_t SearchContentsTable = 0x10;
inline constexpr std::uint8_t AttachmentTable = 0x11;
inline constexpr std::uint8_t RecipientTable = 0x12;
inline constexpr std::uint8_t SearchTableIndex = 0x13;
inline constexpr std::uint8_t Ltp = 0x1F;
} // namespace nidtype

inline constexpr std::uint8_t nidType(std::uint32_t nid)
{
    return nid & 0x1F;
}
inline constexpr std::uint32_t nidIndex(std::uint32_t nid)
{
    return nid >> 5;
}
inline constexpr std::uint32_t makeNid(std::uint8_t type, std::uint32_t index)
{
    return (index << 5) | type;
}
// The other nodes of a folder share its index ([MS-PST] 2.4.4).
inline constexpr std::uint32_t withType(std::uint32_t nid, std::uint8_t type)
{
    return makeNid(type, nidIndex(nid));
}
const char* nidTypeName(std::uint8_t type);

namespace nids {
inline constexpr std::uint32_t MessageStore = 0x21;
inline constexpr std::uint32_t NameToIdMap = 0x61;
inline constexpr std::uint32_t NormalFolderTemplate = 0xA1;
inline constexpr std::uint32_t SearchFolderTemplate = 0xC1;
inline constexpr std::uint32_t RootFolder = 0x122;
inline constexpr std::uint32_t SearchManagementQueue = 0x1E1;
inline constexpr std::uint32_t SearchActivityList = 0x201;
inline constexpr std::uint32_t SearchDomainObject = 0x261;
inline constexpr std::uint32_t HierarchyTableTemplate = 0x60D;
inline constexpr std::uint32_t ContentsTableTemplate = 0x60E;
inline constexpr std::uint32_t AssocContentsTableTemplate = 0x60F;
inline constexpr std::uint32_t SearchContentsTableTemplate = 0x610;
inline constexpr std::uint32_t AttachmentTableTemplate = 0x671;
inline constexpr std::uint32_t RecipientTableTemplate = 0x692;
inline constexpr std::uint32_t SpamSearchFolder = 0x2223;
inline constexpr std::uint32_t IpmSubtree = 0x8022;
inline constexpr std::uint32_t SearchRoot = 0x8042;
inline constexpr std::uint32_t DeletedItems = 0x8062;
// In a message's subnode tree: its recipient and attachment tables.
inline constexpr std::uint32_t MessageRecipientTable = 0x692;
inline constexpr std::uint32_t MessageAttachmentTable = 0x671;
} // namespace nids

} // namespace tressimo::pst::check
