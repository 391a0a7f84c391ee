#pragma once
// The node and block B-trees ([MS-PST] 2.2.2.7.7), held in memory as a sorted sequence of
// leaves, each the image of one leaf page. A change marks its leaf dirty; flush() writes only
// the dirty leaves, to new pages (pages are never rewritten in place), and rebuilds the levels
// above, keeping every intermediate page whose children did not change. Intermediate keys are
// the first key of their child.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "pst/io/bytes.h"
#include "pst/ndb/header.h"
#include "pst/ndb/page.h"

namespace tressimo::pst::ndb {

// NBTENTRY: a node, its data and subnode trees and its parent folder.
struct NodeEntry
{
    std::uint32_t nid = 0;
    std::uint32_t parent = 0;
    Bid data = 0;
    Bid sub = 0;
    std::uint64_t key() const { return nid; }
};

// BBTENTRY: a block, where it is, its size and how many references it has (the BBT's own
// included). `children` is the writer's handle on what an internal block points to.
struct BlockEntry
{
    Bid bid = 0;
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
    std::uint16_t cRef = 0;
    std::uint32_t children = 0;
    std::uint64_t key() const { return bid; }
};

struct NodeTreeTraits
{
    using Entry = NodeEntry;
    static constexpr PageType type = PageType::NodeBTree;
    static constexpr std::size_t leafMax = kNbtLeafMax;
    static constexpr std::size_t entrySize = kNbtLeafEntrySize;
    static void encode(const NodeEntry& e, std::uint8_t* out);
};

struct BlockTreeTraits
{
    using Entry = BlockEntry;
    static constexpr PageType type = PageType::BlockBTree;
    static constexpr std::size_t leafMax = kBbtLeafMax;
    static constexpr std::size_t entrySize = kBbtLeafEntrySize;
    static void encode(const BlockEntry& e, std::uint8_t* out);
};

// Where B-tree pages go: the writer hands out space and page BIDs and writes the bytes.
class PageOutput
{
public:
    virtual BlockRef newPage() = 0;
    // A page the tree no longer uses (free once the next commit is on disk).
    virtual void dropPage(const BlockRef& page) = 0;
    virtual void writePage(const BlockRef& page, const Page& bytes) = 0;

protected:
    ~PageOutput() = default;
};

// Writes a B-tree page's entry count, maximum, entry size and level, then seals it.
void finishBtPage(Page& page, PageType type, std::size_t count, std::size_t max, std::size_t entrySize,
                  std::uint8_t level, const BlockRef& ref);

template <typename Traits> class BTreeIndex
{
public:
    using Entry = typename Traits::Entry;
    using Key = std::uint64_t;

    BTreeIndex() { m_leaves.push_back(LeafSlot{0, std::make_unique<Leaf>()}); }

    std::size_t size() const { return m_size; }

    const Entry* find(Key key) const
    {
        const Leaf& leaf = *m_leaves[leafIndex(key)].leaf;
        auto it = lowerBound(leaf, key);
        return it != leaf.entries.end() && it->key() == key ? &*it : nullptr;
    }

    // The entry, to be changed in place: its leaf is rewritten at the next flush.
    Entry* findForUpdate(Key key)
    {
        Leaf& leaf = *m_leaves[leafIndex(key)].leaf;
        auto it = lowerBound(leaf, key);
        if (it == leaf.entries.end() || it->key() != key)
            return nullptr;
        leaf.dirty = true;
        return &*it;
    }

    // Inserts an entry, or replaces the one with the same key.
    void upsert(const Entry& entry)
    {
        Key key = entry.key();
        std::size_t i = leafIndex(key);
        Leaf& leaf = *m_leaves[i].leaf;
        auto it = lowerBound(leaf, key);
        if (it != leaf.entries.end() && it->key() == key) {
            *it = entry;
            leaf.dirty = true;
            return;
        }
        ++m_size;
        if (leaf.entries.size() < Traits::leafMax) {
            leaf.dirty = true;
            leaf.entries.insert(it, entry);
            m_leaves[i].first = leaf.entries.front().key();
            return;
        }
        // A full leaf: keys arriving in order start a new leaf, so that sequential inserts
        // fill pages; anything else splits the leaf in halves.
        auto right = std::make_unique<Leaf>();
        right->entries.reserve(Traits::leafMax);
        if (i + 1 == m_leaves.size() && it == leaf.entries.end()) {
            right->entries.push_back(entry);
        } else {
            leaf.dirty = true;
            std::size_t half = leaf.entries.size() / 2;
            right->entries.assign(leaf.entries.begin() + static_cast<std::ptrdiff_t>(half),
                                  leaf.entries.end());
            leaf.entries.resize(half);
            Leaf& target = key < right->entries.front().key() ? leaf : *right;
            target.entries.insert(lowerBound(target, key), entry);
            m_leaves[i].first = leaf.entries.front().key();
        }
        Key first = right->entries.front().key();
        m_leaves.insert(m_leaves.begin() + static_cast<std::ptrdiff_t>(i + 1),
                        LeafSlot{first, std::move(right)});
    }

    bool erase(Key key)
    {
        std::size_t i = leafIndex(key);
        Leaf& leaf = *m_leaves[i].leaf;
        auto it = lowerBound(leaf, key);
        if (it == leaf.entries.end() || it->key() != key)
            return false;
        leaf.entries.erase(it);
        leaf.dirty = true;
        --m_size;
        if (!leaf.entries.empty()) {
            m_leaves[i].first = leaf.entries.front().key();
        } else if (m_leaves.size() > 1) {
            if (leaf.page.bid != 0)
                m_dropped.push_back(leaf.page);
            m_leaves.erase(m_leaves.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return true;
    }

    // Writes what changed since the last flush; returns the root page.
    BlockRef flush(PageOutput& out)
    {
        mergeSmallLeaves();
        for (const BlockRef& page : m_dropped)
            out.dropPage(page);
        m_dropped.clear();

        std::vector<Child> level;
        level.reserve(m_leaves.size());
        for (LeafSlot& slot : m_leaves) {
            Leaf& leaf = *slot.leaf;
            if (leaf.dirty || leaf.page.bid == 0) {
                if (leaf.page.bid != 0)
                    out.dropPage(leaf.page);
                leaf.page = out.newPage();
                Page page{};
                for (std::size_t e = 0; e < leaf.entries.size(); ++e)
                    Traits::encode(leaf.entries[e], page.data() + e * Traits::entrySize);
                finishBtPage(page, Traits::type, leaf.entries.size(), Traits::leafMax, Traits::entrySize, 0,
                             leaf.page);
                out.writePage(leaf.page, page);
                leaf.dirty = false;
            }
            level.push_back(Child{slot.first, leaf.page});
        }

        std::size_t depth = 0;
        while (level.size() > 1) {
            if (depth + 1 >= kMaxBtLevels)
                throw std::length_error("B-tree deeper than the file format allows");
            if (m_inner.size() <= depth)
                m_inner.emplace_back();
            std::vector<InnerPage>& old = m_inner[depth];
            std::vector<InnerPage> pages;
            std::size_t groups = (level.size() + kBtIntermediateMax - 1) / kBtIntermediateMax;
            pages.reserve(groups);
            for (std::size_t g = 0; g < groups; ++g) {
                auto begin = level.begin() + static_cast<std::ptrdiff_t>(g * kBtIntermediateMax);
                auto end = level.begin() +
                           static_cast<std::ptrdiff_t>(std::min(level.size(), (g + 1) * kBtIntermediateMax));
                if (g < old.size() &&
                    std::equal(begin, end, old[g].children.begin(), old[g].children.end())) {
                    pages.push_back(std::move(old[g]));
                    old[g].page = {};
                    continue;
                }
                if (g < old.size() && old[g].page.bid != 0) {
                    out.dropPage(old[g].page);
                    old[g].page = {};
                }
                InnerPage& inner = pages.emplace_back();
                inner.children.assign(begin, end);
                inner.page = out.newPage();
                Page page{};
                for (std::size_t c = 0; c < inner.children.size(); ++c) {
                    std::uint8_t* p = page.data() + c * kBtIntermediateEntrySize;
                    putU64(p, inner.children[c].key);
                    putU64(p + 8, inner.children[c].ref.bid);
                    putU64(p + 16, inner.children[c].ref.ib);
                }
                finishBtPage(page, Traits::type, inner.children.size(), kBtIntermediateMax,
                             kBtIntermediateEntrySize, static_cast<std::uint8_t>(depth + 1), inner.page);
                out.writePage(inner.page, page);
            }
            for (InnerPage& stale : old)
                if (stale.page.bid != 0)
                    out.dropPage(stale.page);
            old = std::move(pages);
            level.clear();
            for (const InnerPage& inner : old)
                level.push_back(Child{inner.children.front().key, inner.page});
            ++depth;
        }
        for (std::size_t d = depth; d < m_inner.size(); ++d)
            for (const InnerPage& stale : m_inner[d])
                if (stale.page.bid != 0)
                    out.dropPage(stale.page);
        m_inner.resize(depth);
        return level.front().ref;
    }

private:
    struct Leaf
    {
        std::vector<Entry> entries;
        BlockRef page;
        bool dirty = true;
    };
    struct LeafSlot
    {
        Key first = 0;
        std::unique_ptr<Leaf> leaf;
    };
    struct Child
    {
        Key key = 0;
        BlockRef ref;
        bool operator==(const Child&) const = default;
    };
    struct InnerPage
    {
        std::vector<Child> children;
        BlockRef page;
    };

    static auto lowerBound(const Leaf& leaf, Key key)
    {
        return std::lower_bound(leaf.entries.begin(), leaf.entries.end(), key,
                                [](const Entry& e, Key k) { return e.key() < k; });
    }
    static auto lowerBound(Leaf& leaf, Key key)
    {
        return std::lower_bound(leaf.entries.begin(), leaf.entries.end(), key,
                                [](const Entry& e, Key k) { return e.key() < k; });
    }

    // The leaf that holds `key`, or would.
    std::size_t leafIndex(Key key) const
    {
        auto it = std::upper_bound(m_leaves.begin(), m_leaves.end(), key,
                                   [](Key k, const LeafSlot& slot) { return k < slot.first; });
        return it == m_leaves.begin() ? 0 : static_cast<std::size_t>(it - m_leaves.begin()) - 1;
    }

    // Joins neighbouring leaves that have shrunk enough to share one page.
    void mergeSmallLeaves()
    {
        for (std::size_t i = 0; i + 1 < m_leaves.size();) {
            Leaf& left = *m_leaves[i].leaf;
            Leaf& right = *m_leaves[i + 1].leaf;
            if ((left.dirty || right.dirty) &&
                left.entries.size() + right.entries.size() <= Traits::leafMax) {
                left.entries.insert(left.entries.end(), right.entries.begin(), right.entries.end());
                left.dirty = true;
                if (right.page.bid != 0)
                    m_dropped.push_back(right.page);
                m_leaves.erase(m_leaves.begin() + static_cast<std::ptrdiff_t>(i + 1));
                continue;
            }
            ++i;
        }
    }

    std::vector<LeafSlot> m_leaves;              // never empty: an empty tree is one empty leaf
    std::vector<std::vector<InnerPage>> m_inner; // the levels above the leaves, lowest first
    std::vector<BlockRef> m_dropped;             // pages of leaves merged or emptied away
    std::size_t m_size = 0;
};

} // namespace tressimo::pst::ndb
