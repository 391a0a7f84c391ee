#pragma once
// A message's attachments as the file keeps them ([MS-PST] 2.4.6): each attachment is a
// subnode of the message (NID type Attachment) holding its property context, with large
// values (the attachment's data) in subnodes of its own, possibly as data trees; the message's
// attachment table (subnode 0x671) has one row per attachment, its row id being the
// attachment's subnode NID.

#include "pst/ltp/prop_value.h"
#include "pst/ltp/subnode_nids.h"
#include "pst/ltp/table_context.h"
#include "pst/ndb/node.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tressimo::pst {

namespace tags {
inline constexpr PropTag AttachSize{0x0E200003};
inline constexpr PropTag AttachMethod{0x37050003};
inline constexpr PropTag RenderingPosition{0x370B0003};
} // namespace tags

// PidTagMessageFlags' has-attachments bit ([MS-OXCMSG] 2.2.1.6).
inline constexpr std::int32_t kMessageFlagHasAttach = 0x0010;

// One attachment's stored properties, sorted by id: the given ones, a rendering position of
// -1 ("not rendered") unless given, and PidTagAttachSize computed as for a message (the
// stored sizes of all its values, its own four bytes included; a given size is replaced).
// Throws std::invalid_argument for a property given twice, one the store computes (row ids,
// entry ids, ...) or a missing or non-integer PidTagAttachMethod. The values are taken over.
std::vector<PropValue> prepareAttachment(std::vector<PropValue> given);

// PidTagAttachSize of a prepared attachment.
std::uint32_t attachmentSize(std::span<const PropValue> prepared);

// Appends the subnodes of the prepared attachments to `out`: one per attachment, NIDs from
// `nids` in the order given, and the attachment table listing them in that order. Appends
// nothing when there are none. The values must outlive `out`'s write only as far as
// buildPropertyContext requires (large values are copied into their blocks). The table's
// rows take their versions from the store-wide source.
void addAttachmentSubnodes(std::span<const std::vector<PropValue>> attachments, SubnodeNidAllocator& nids,
                           const RowVersionSource& rowVersions, std::vector<SubnodeContent>& out);

} // namespace tressimo::pst
