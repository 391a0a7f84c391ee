#include "pst/messaging/attachments.h"

#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/message_properties.h"
#include "pst/messaging/store_nodes.h"

#include <algorithm>
#include <stdexcept>

namespace tressimo::pst {
namespace {

bool byId(const PropValue& a, const PropValue& b)
{
    return a.tag().id() < b.tag().id();
}

std::uint64_t storedSize(std::span<const PropValue> props)
{
    std::uint64_t total = 0;
    for (const PropValue& p : props)
        total += p.tag().id() == tags::AttachSize.id() ? 4 : p.size();
    return total;
}

} // namespace

std::vector<PropValue> prepareAttachment(std::vector<PropValue> given)
{
    std::erase_if(given, [](const PropValue& p) { return p.tag().id() == tags::AttachSize.id(); });
    for (const PropValue& p : given) {
        if (isCalculatedByStore(p.tag().id()))
            throw std::invalid_argument(tagName(p.tag()) +
                                        " is computed by the store and cannot be set on an attachment");
    }
    sortRefusingRepeats(given, "attachment");
    auto at = [&](PropTag tag) {
        return std::lower_bound(given.begin(), given.end(), PropValue::fromInt32(tag, 0), byId);
    };
    const auto method = at(tags::AttachMethod);
    if (method == given.end() || method->tag() != tags::AttachMethod)
        throw std::invalid_argument("An attachment needs PidTagAttachMethod as a 32-bit integer");
    if (const auto position = at(tags::RenderingPosition);
        position == given.end() || position->tag().id() != tags::RenderingPosition.id())
        given.insert(position, PropValue::fromInt32(tags::RenderingPosition, -1));
    const std::uint64_t size = storedSize(given) + 4;
    given.insert(at(tags::AttachSize),
                 PropValue::fromUInt32(tags::AttachSize, static_cast<std::uint32_t>(
                                                             std::min<std::uint64_t>(size, 0x7FFFFFFF))));
    return given;
}

std::uint32_t attachmentSize(std::span<const PropValue> prepared)
{
    const auto size =
        std::lower_bound(prepared.begin(), prepared.end(), PropValue::fromInt32(tags::AttachSize, 0), byId);
    return size != prepared.end() && size->tag() == tags::AttachSize
               ? static_cast<std::uint32_t>(size->toInt32())
               : 0;
}

void addAttachmentSubnodes(std::span<const std::vector<PropValue>> attachments, SubnodeNidAllocator& nids,
                           const RowVersionSource& rowVersions, std::vector<SubnodeContent>& out)
{
    if (attachments.empty())
        return;
    TableBuilder table(columns::messageAttachments(), rowVersions);
    for (const std::vector<PropValue>& props : attachments) {
        const Nid nid = nids.allocate(NidType::Attachment);
        // Its large values are subnodes of the attachment's own subnode tree.
        NodeContent content = buildPropertyContext(props);
        out.push_back(SubnodeContent{nid, std::move(content.data), std::move(content.subnodes)});
        table.putRow(nid.value, props);
    }
    out.push_back(SubnodeContent{nodes::AttachmentTemplate, {}, {}});
    NodeContent built = table.build(nids);
    out.back().data = std::move(built.data);
    out.back().subnodes = std::move(built.subnodes);
}

} // namespace tressimo::pst
