#include "pst/check/ltp_node.h"

#include <algorithm>

namespace tressimo::pst::check {

const SubnodeEntry* LtpNode::findSubnode(std::uint32_t nid) const
{
    auto it = std::lower_bound(subnodes.begin(), subnodes.end(), nid,
                               [](const SubnodeEntry& s, std::uint32_t v) { return s.nid < v; });
    return it != subnodes.end() && it->nid == nid ? &*it : nullptr;
}

std::vector<Bytes> LtpNode::subnodeBlocks(std::uint32_t nid) const
{
    const SubnodeEntry* sub = findSubnode(nid);
    if (!sub)
        throw FormatError(where + ": subnode " + hex(nid) + " does not exist");
    return file->readDataTree(sub->bidData);
}

Bytes LtpNode::subnodeData(std::uint32_t nid) const
{
    Bytes all;
    for (const Bytes& b : subnodeBlocks(nid))
        all.insert(all.end(), b.begin(), b.end());
    return all;
}

LtpNode loadNode(const PstFile& file, const NodeEntry& node)
{
    LtpNode n;
    n.file = &file;
    n.where = describeNid(node.nid);
    n.bidData = node.bidData;
    if (node.bidData == 0)
        throw FormatError(n.where + " has no data block");
    n.blocks = file.readDataTree(node.bidData);
    n.subnodes = file.readSubnodes(node.bidSub);
    return n;
}

LtpNode loadSubnode(const PstFile& file, const SubnodeEntry& sub, const std::string& parentWhere)
{
    LtpNode n;
    n.file = &file;
    n.where = parentWhere + " subnode " + describeNid(sub.nid);
    n.bidData = sub.bidData;
    if (sub.bidData == 0)
        throw FormatError(n.where + " has no data block");
    n.blocks = file.readDataTree(sub.bidData);
    n.subnodes = file.readSubnodes(sub.bidSub);
    return n;
}

} // namespace tressimo::pst::check
