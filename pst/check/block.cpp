#include "pst/check/block.h"

namespace tressimo::pst::check {

BlockTrailer parseBlockTrailer(const std::uint8_t* t)
{
    return BlockTrailer{getU16(t), getU16(t + 2), getU32(t + 4), getU64(t + 8)};
}

const char* internalKindName(InternalKind kind)
{
    switch (kind) {
    case InternalKind::XBlock:
        return "XBLOCK";
    case InternalKind::XXBlock:
        return "XXBLOCK";
    case InternalKind::SLBlock:
        return "SLBLOCK";
    case InternalKind::SIBlock:
        return "SIBLOCK";
    }
    return "?";
}

InternalBlock parseInternalBlock(ByteView data)
{
    InternalBlock b;
    if (data.size() < 8) {
        b.problem = "shorter than the 8-byte internal block header";
        return b;
    }
    const std::uint8_t* p = data.data();
    b.btype = p[0];
    b.level = p[1];
    b.entryCount = getU16(p + 2);
    if (b.btype == 0x01) {
        // XBLOCK / XXBLOCK ([MS-PST] 2.2.2.8.3.2.1/2): btype, cLevel, cEnt, lcbTotal, BIDs.
        if (b.level != 1 && b.level != 2) {
            b.problem = "data tree block with cLevel " + std::to_string(b.level) + " (1 or 2 expected)";
            return b;
        }
        b.kind = b.level == 1 ? InternalKind::XBlock : InternalKind::XXBlock;
        b.totalSize = getU32(p + 4);
        if (8 + std::size_t{b.entryCount} * 8 > data.size()) {
            b.problem = std::to_string(b.entryCount) + " entries do not fit in " +
                        std::to_string(data.size()) + " bytes";
            return b;
        }
        for (std::size_t i = 0; i < b.entryCount; ++i)
            b.childBids.push_back(getU64(p + 8 + 8 * i));
    } else if (b.btype == 0x02) {
        // SLBLOCK / SIBLOCK ([MS-PST] 2.2.2.8.3.3.1/2): btype, cLevel, cEnt, padding, entries.
        if (b.level != 0 && b.level != 1) {
            b.problem = "subnode block with cLevel " + std::to_string(b.level) + " (0 or 1 expected)";
            return b;
        }
        b.kind = b.level == 0 ? InternalKind::SLBlock : InternalKind::SIBlock;
        const std::size_t entrySize = b.level == 0 ? 24 : 16;
        if (8 + std::size_t{b.entryCount} * entrySize > data.size()) {
            b.problem = std::to_string(b.entryCount) + " entries do not fit in " +
                        std::to_string(data.size()) + " bytes";
            return b;
        }
        for (std::size_t i = 0; i < b.entryCount; ++i) {
            const std::uint8_t* e = p + 8 + entrySize * i;
            const std::uint64_t nid = getU64(e);
            b.highNidBits |= nid >> 32;
            if (b.level == 0)
                b.leaves.push_back({static_cast<std::uint32_t>(nid), getU64(e + 8), getU64(e + 16)});
            else
                b.intermediates.push_back({static_cast<std::uint32_t>(nid), getU64(e + 8)});
        }
    } else {
        b.problem = "btype " + std::to_string(b.btype) + " is neither 1 (data tree) nor 2 (subnode tree)";
    }
    return b;
}

} // namespace tressimo::pst::check
