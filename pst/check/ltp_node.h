#pragma once
// A node as the lists-tables-properties layer sees it: its data (the heap's blocks) and its
// subnodes, which hold values too large for the heap ([MS-PST] 2.3.3.2, 2.3.4.4).

#include "pst/check/pst_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tressimo::pst::check {

struct LtpNode
{
    const PstFile* file = nullptr;
    std::string where;
    std::uint64_t bidData = 0;
    std::vector<Bytes> blocks;
    std::vector<SubnodeEntry> subnodes;

    const SubnodeEntry* findSubnode(std::uint32_t nid) const;
    // All data of a subnode. Throws FormatError when it is missing or unreadable.
    Bytes subnodeData(std::uint32_t nid) const;
    std::vector<Bytes> subnodeBlocks(std::uint32_t nid) const;
};

// Both throw FormatError when the node's data or subnode tree cannot be read.
LtpNode loadNode(const PstFile& file, const NodeEntry& node);
LtpNode loadSubnode(const PstFile& file, const SubnodeEntry& sub, const std::string& parentWhere);

} // namespace tressimo::pst::check
