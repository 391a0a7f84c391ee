#pragma once
// What each internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK) points to, kept so that
// releasing a node can release its whole data and subnode trees without reading the file
// back. The BIDs of all lists live in one pool; a handle names a list.

#include <cstdint>
#include <span>
#include <vector>

#include "pst/ndb/node.h"

namespace tressimo::pst::ndb {

class ChildTable
{
public:
    // Stores a list and returns its handle; 0 stands for an empty list.
    std::uint32_t add(std::span<const Bid> children);
    std::span<const Bid> get(std::uint32_t handle) const;
    // Hands the list back and forgets it.
    std::vector<Bid> take(std::uint32_t handle);

private:
    struct Span
    {
        std::uint32_t offset = 0;
        std::uint32_t count = 0;
    };
    void compact();

    std::vector<Span> m_spans; // handle - 1 -> span; a free handle has count 0
    std::vector<std::uint32_t> m_freeHandles;
    std::vector<Bid> m_pool;
    std::size_t m_garbage = 0;
};

} // namespace tressimo::pst::ndb
