#pragma once
// An ordered list whose entries are addressed by position (counted from 1) or by a text key
// that is unique within the list. The folder scanner hands its results out in this shape.

#include <cassert>
#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tressimo::filelist {

template <typename T> class KeyedList
{
public:
    struct Entry
    {
        std::string key;
        T value;
    };

    // Appends an entry. The key must not be in the list yet: the writer (the scanner) makes
    // its keys unique by construction, so adding does not pay for a lookup.
    void add(std::string key, T value)
    {
        m_entries.push_back(Entry{std::move(key), std::move(value)});
        if (m_indexed)
            indexLast();
    }

    std::size_t size() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.empty(); }

    // position runs from 1 to size().
    const T& item(std::size_t position) const { return entry(position).value; }
    const std::string& key(std::size_t position) const { return entry(position).key; }

    // The value stored under key, or nullptr. The first lookup builds the index, so lookups
    // from several threads at once need a lock (the scanner and its readers share one thread).
    const T* find(std::string_view key) const
    {
        buildIndex();
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[it->second - 1].value;
    }
    // The 1-based position of key, or 0 when absent.
    std::size_t positionOf(std::string_view key) const
    {
        buildIndex();
        const auto it = m_index.find(key);
        return it == m_index.end() ? 0 : it->second;
    }

    std::vector<T> values() const
    {
        std::vector<T> out;
        out.reserve(m_entries.size());
        for (const Entry& e : m_entries)
            out.push_back(e.value);
        return out;
    }
    std::vector<std::string> keys() const
    {
        std::vector<std::string> out;
        out.reserve(m_entries.size());
        for (const Entry& e : m_entries)
            out.push_back(e.key);
        return out;
    }

    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    struct KeyHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    const Entry& entry(std::size_t position) const
    {
        if (position < 1 || position > m_entries.size())
            throw std::out_of_range("keyed list: position " + std::to_string(position) + " is outside 1.." +
                                    std::to_string(m_entries.size()));
        return m_entries[position - 1];
    }

    // The key index is built on the first lookup by key: most readers only walk the list in
    // order, and hashing every key of a large scan up front doubled its time.
    void buildIndex() const
    {
        if (m_indexed)
            return;
        m_index.reserve(m_entries.size());
        for (std::size_t n = m_index.size(); n < m_entries.size(); ++n) {
            [[maybe_unused]] const bool added = m_index.emplace(m_entries[n].key, n + 1).second;
            assert(added && "keyed list: duplicate key");
        }
        m_indexed = true;
    }
    void indexLast()
    {
        // A deque never moves its elements on push_back, so the views stay valid.
        [[maybe_unused]] const bool added = m_index.emplace(m_entries.back().key, m_entries.size()).second;
        assert(added && "keyed list: duplicate key");
    }

    std::deque<Entry> m_entries;
    mutable std::unordered_map<std::string_view, std::size_t, KeyHash, std::equal_to<>> m_index;
    mutable bool m_indexed = false;
};

} // namespace tressimo::filelist
