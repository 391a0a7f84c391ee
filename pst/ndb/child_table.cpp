#include "pst/ndb/child_table.h"

#include <cassert>

namespace tressimo::pst::ndb {

std::uint32_t ChildTable::add(std::span<const Bid> children)
{
    if (children.empty())
        return 0;
    Span span{static_cast<std::uint32_t>(m_pool.size()), static_cast<std::uint32_t>(children.size())};
    m_pool.insert(m_pool.end(), children.begin(), children.end());
    if (!m_freeHandles.empty()) {
        std::uint32_t handle = m_freeHandles.back();
        m_freeHandles.pop_back();
        m_spans[handle - 1] = span;
        return handle;
    }
    m_spans.push_back(span);
    return static_cast<std::uint32_t>(m_spans.size());
}

std::span<const Bid> ChildTable::get(std::uint32_t handle) const
{
    if (handle == 0)
        return {};
    const Span& span = m_spans[handle - 1];
    return std::span<const Bid>(m_pool.data() + span.offset, span.count);
}

std::vector<Bid> ChildTable::take(std::uint32_t handle)
{
    if (handle == 0)
        return {};
    Span& span = m_spans[handle - 1];
    assert(span.count > 0);
    auto begin = m_pool.begin() + span.offset;
    std::vector<Bid> children(begin, begin + span.count);
    m_garbage += span.count;
    span = Span{};
    m_freeHandles.push_back(handle);
    // Replacing nodes leaves holes in the pool; squeeze them out once they dominate.
    if (m_garbage > 4096 && m_garbage * 2 > m_pool.size())
        compact();
    return children;
}

void ChildTable::compact()
{
    std::vector<Bid> pool;
    pool.reserve(m_pool.size() - m_garbage);
    for (Span& span : m_spans) {
        if (span.count == 0)
            continue;
        std::uint32_t offset = static_cast<std::uint32_t>(pool.size());
        pool.insert(pool.end(), m_pool.begin() + span.offset, m_pool.begin() + span.offset + span.count);
        span.offset = offset;
    }
    m_pool = std::move(pool);
    m_garbage = 0;
}

} // namespace tressimo::pst::ndb
