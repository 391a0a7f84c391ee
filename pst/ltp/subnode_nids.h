#pragma once
// Identifiers of subnodes. A subnode's NID is local to the node that holds it, so it only has
// to differ from the other subnodes of that node. The builders take one from a
// SubnodeNidAllocator for every value they move out of the heap (a property value or table
// cell over 3580 bytes, a table's row matrix).
//
// A caller that adds subnodes of its own to the same node either takes their NIDs from the
// same allocator or reserves them before building. Indices are handed out from 0x401 upward,
// as Outlook does, and every index is used once whatever the NID type; subnodes with fixed
// small NIDs (a message's recipient table 0x692, attachment table 0x671) therefore never
// collide with them.

#include "pst/ndb/node.h"

#include <cstdint>

namespace tressimo::pst {

class SubnodeNidAllocator
{
public:
    static constexpr std::uint32_t kFirstIndex = 0x401;

    // A NID of the given type whose index no earlier allocate() or reserve() has used.
    Nid allocate(NidType type = NidType::Ltp);
    // Keeps allocate() from handing out this NID's index.
    void reserve(Nid nid);

private:
    std::uint32_t m_next = kFirstIndex;
};

} // namespace tressimo::pst
