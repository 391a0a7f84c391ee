#include "mapi/contact_properties.h"

#include "text/ascii.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tressimo::mapi::contact {

namespace {

// The names by a hash of their length and three of their letters, in an open-addressing
// table: a lookup compares one name, nearly always the one it looks for.
constexpr std::size_t nameSlotCount = 256;
constexpr std::size_t nameSlot(std::string_view name)
{
    const auto letter = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(name[i])); };
    return (name.size() * 131 + letter(0) * 31 + letter(name.size() / 2) * 7 + letter(name.size() - 1)) %
           nameSlotCount;
}

static_assert(std::size(objectModelTable) < nameSlotCount / 2, "the table stays half empty, its entries int8");
constexpr std::array<std::int8_t, nameSlotCount> namesBySlot = [] {
    std::array<std::int8_t, nameSlotCount> slots{};
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        std::size_t slot = nameSlot(objectModelTable[i].name);
        while (slots[slot] != 0)
            slot = (slot + 1) % nameSlotCount;
        slots[slot] = static_cast<std::int8_t>(i + 1);
    }
    return slots;
}();

// Equal names, compared a word at a time: the table's names are short, and a call to memcmp
// for each of a contact's few dozen lookups cost more than the lookup itself.
bool sameName(std::string_view a, std::string_view b)
{
    const std::size_t size = a.size();
    if (size != b.size())
        return false;
    if (size < 8)
        return a == b;
    const auto word = [](const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    };
    std::uint64_t differ = 0;
    for (std::size_t i = 0; i + 8 < size; i += 8)
        differ |= word(a.data() + i) ^ word(b.data() + i);
    // The last word ends at the end, overlapping the one before where the size is not a
    // multiple of eight.
    differ |= word(a.data() + size - 8) ^ word(b.data() + size - 8);
    return differ == 0;
}

} // namespace

std::span<const ObjectModelProperty> objectModelProperties()
{
    return objectModelTable;
}

const ObjectModelProperty* findObjectModelProperty(std::string_view name)
{
    if (!name.empty()) {
        for (std::size_t slot = nameSlot(name); namesBySlot[slot] != 0; slot = (slot + 1) % nameSlotCount) {
            const ObjectModelProperty& property = objectModelTable[namesBySlot[slot] - 1];
            if (sameName(property.name, name))
                return &property;
        }
    }
    for (const auto& property : objectModelTable) {
        if (text::equalsIgnoringAsciiCase(property.name, name))
            return &property;
    }
    return nullptr;
}

} // namespace tressimo::mapi::contact
