#pragma once
// Finds an element name among a fixed set, for rules looked up at every node of a document:
// a small open-addressed table, so a name outside the set costs no string comparison at all
// most of the time, and one inside it usually one.

#include <array>
#include <cstddef>
#include <string_view>

namespace tressimo::contacts {

template <std::size_t N> class NameLookup
{
public:
    static constexpr int kNone = -1;

    constexpr explicit NameLookup(const std::array<std::string_view, N>& names)
    {
        for (std::size_t i = 0; i < N; ++i) {
            std::size_t slot = hash(names[i]);
            while (m_index[slot] != kNone)
                slot = (slot + 1) % kSlots;
            m_index[slot] = static_cast<int>(i);
            m_names[slot] = names[i];
        }
    }

    // The name's position in the set, or kNone.
    constexpr int find(std::string_view name) const
    {
        for (std::size_t slot = hash(name); m_index[slot] != kNone; slot = (slot + 1) % kSlots)
            if (m_names[slot] == name)
                return m_index[slot];
        return kNone;
    }

private:
    static constexpr std::size_t kSlots = 4 * N;

    static constexpr std::size_t hash(std::string_view name)
    {
        if (name.empty())
            return 0;
        return (name.size() * 31 + static_cast<unsigned char>(name[name.size() / 2]) * 7 +
                static_cast<unsigned char>(name.back())) %
               kSlots;
    }

    std::array<int, kSlots> m_index = [] {
        std::array<int, kSlots> none{};
        none.fill(kNone);
        return none;
    }();
    std::array<std::string_view, kSlots> m_names{};
};

} // namespace tressimo::contacts
