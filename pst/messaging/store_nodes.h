#pragma once
// The fixed nodes of a message store and the column sets of its tables.
//
// Column lists are in Outlook's cell-existence-bit order (PidTagLtpRowId and PidTagLtpRowVer
// first, implied by TableLayout), so TableBuilder lays every table out byte for byte as
// Outlook's own empty store does ([MS-PST] 2.4.4.4.1, 2.4.4.5.1, 2.4.4.6.1, 2.4.8.6.2.1,
// 2.4.5.3.1, 2.4.6.1.1). Where Outlook stores a column with another type than the format
// text lists (PidTagReplItemid as binary, PidTagContainerClass as a string), Outlook's type
// is used.

#include "pst/ltp/prop_tag.h"
#include "pst/ndb/node.h"

#include <span>

namespace tressimo::pst::nodes {

// Internal nodes ([MS-PST] 2.4.1).
inline constexpr Nid MessageStore{0x21};
inline constexpr Nid NameToIdMap{0x61};
inline constexpr Nid SearchManagementQueue{0x1E1};
inline constexpr Nid SearchActivityList{0x201};
inline constexpr Nid SearchDomainObject{0x261};

// Table templates.
inline constexpr Nid HierarchyTemplate{0x60D};
inline constexpr Nid ContentsTemplate{0x60E};
inline constexpr Nid AssocContentsTemplate{0x60F};
inline constexpr Nid SearchContentsTemplate{0x610};
inline constexpr Nid AttachmentTemplate{0x671};
inline constexpr Nid RecipientTemplate{0x692};

inline constexpr Nid ReceiveFolderTable{0x62B};
inline constexpr Nid OutgoingQueue{0x64C};

// Empty tables of node types the format does not document (0x16, 0x17, 0x18) that every
// Outlook store has; folders and messages Outlook edits later carry private copies of the
// first one. Their columns are Outlook's.
inline constexpr Nid ChangeTrackingTable{0x6B6};
inline constexpr Nid ChangeTrackingTable2{0x6D7};
inline constexpr Nid ChangeTrackingTable3{0x6F8};
// An empty BTH (16-byte keys, 4-byte data) on a heap of client signature 0x9C, and empty
// nodes, as Outlook's empty store has them.
inline constexpr Nid GuidIndex{0xC01};
inline constexpr Nid EmptyInternal1{0xE41};
inline constexpr Nid EmptyInternal2{0xEC1};
inline constexpr Nid EmptyInternal3{0xF21};

// The folders of a new store, at Outlook's NIDs.
inline constexpr Nid RootFolder{0x122};
inline constexpr Nid IpmSubtree{0x8022};
inline constexpr Nid SearchRoot{0x8042};
inline constexpr Nid DeletedItems{0x8062};
inline constexpr Nid CommonViews{0x8082};
inline constexpr Nid SpamSearchFolder{0x2223};

// The hierarchy, contents and associated-contents tables of a folder share its index.
constexpr Nid withType(Nid nid, NidType type)
{
    return Nid::make(type, nid.index());
}

} // namespace tressimo::pst::nodes

namespace tressimo::pst::columns {

std::span<const PropTag> hierarchy();
std::span<const PropTag> contents();
std::span<const PropTag> assocContents();
std::span<const PropTag> searchContents();
std::span<const PropTag> recipients();
std::span<const PropTag> attachments();
// A message's attachment table, with Outlook's columns for attachments it writes itself.
std::span<const PropTag> messageAttachments();
std::span<const PropTag> receiveFolders();
std::span<const PropTag> outgoingQueue();
std::span<const PropTag> changeTracking();
std::span<const PropTag> changeTracking2();
std::span<const PropTag> changeTracking3();

} // namespace tressimo::pst::columns
