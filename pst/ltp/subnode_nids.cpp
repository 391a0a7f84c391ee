#include "pst/ltp/subnode_nids.h"

#include "pst/ltp/prop_tag.h"

namespace tressimo::pst {

namespace {
// A NID keeps 27 bits for its index.
constexpr std::uint32_t kMaxIndex = (1u << 27) - 1;
} // namespace

Nid SubnodeNidAllocator::allocate(NidType type)
{
    if (m_next > kMaxIndex)
        throw LtpError("no subnode identifiers left in this node");
    return Nid::make(type, m_next++);
}

void SubnodeNidAllocator::reserve(Nid nid)
{
    if (nid.index() >= m_next)
        m_next = nid.index() + 1;
}

} // namespace tressimo::pst
