#include "mapi/contact_properties.h"

#include "text/ascii.h"

#include <algorithm>

namespace tressimo::mapi::contact {

namespace {

// The names by length, so that a lookup compares a name or two instead of every one.
constexpr std::size_t maxNameLength = 32;
struct NamesByLength
{
    std::array<std::array<std::int8_t, 8>, maxNameLength + 1> indices{};
    std::array<std::uint8_t, maxNameLength + 1> counts{};
};

constexpr NamesByLength namesByLength = [] {
    NamesByLength table;
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        const std::size_t length = objectModelTable[i].name.size();
        if (length > maxNameLength || table.counts[length] == table.indices[0].size())
            throw "too many names of one length"; // fails the build
        table.indices[length][table.counts[length]++] = static_cast<std::int8_t>(i);
    }
    return table;
}();

// Where each object-model property's key leads (index + 1, 0 for none): fixed ids by a small
// open-addressing table on the id, named properties of PSETID_Address by the low byte of their
// LID (0x80xx), and the one string name on its own. A lookup of any other key ends at an empty
// slot or a key that differs.
constexpr std::size_t idSlotCount = 128;
constexpr std::size_t idSlot(std::uint16_t id)
{
    return (id * 0x9E37u >> 5) % idSlotCount;
}

struct KeyTables
{
    std::array<std::int8_t, idSlotCount> byId{};
    std::array<std::int8_t, 256> byAddressLid{};
    std::int8_t byName = 0;
};

constexpr KeyTables keyTables = [] {
    KeyTables tables;
    for (std::size_t i = 0; i < std::size(objectModelTable); ++i) {
        const PropertyKey& key = objectModelTable[i].key;
        const auto entry = static_cast<std::int8_t>(i + 1);
        if (!key.isNamed()) {
            std::size_t slot = idSlot(key.id);
            while (tables.byId[slot] != 0)
                slot = (slot + 1) % idSlotCount;
            tables.byId[slot] = entry;
        } else if (key.isNamedByString()) {
            if (tables.byName != 0)
                throw "one string name only"; // fails the build
            tables.byName = entry;
        } else {
            if (!(key.set == PSETID_Address && key.lid >> 8 == 0x80) ||
                tables.byAddressLid[key.lid & 0xFF] != 0)
                throw "named properties are PSETID_Address LIDs 0x80xx, one per low byte"; // fails the build
            tables.byAddressLid[key.lid & 0xFF] = entry;
        }
    }
    return tables;
}();

} // namespace

int objectModelIndex(const PropertyKey& key)
{
    int entry = 0;
    if (!key.isNamed()) {
        for (std::size_t slot = idSlot(key.id);; slot = (slot + 1) % idSlotCount) {
            entry = keyTables.byId[slot];
            if (entry == 0 || objectModelTable[entry - 1].key.id == key.id)
                break;
        }
    } else if (key.isNamedByString()) {
        entry = keyTables.byName;
    } else if (key.lid >> 8 == 0x80) {
        entry = keyTables.byAddressLid[key.lid & 0xFF];
    }
    return entry != 0 && objectModelTable[entry - 1].key == key ? entry - 1 : -1;
}

std::span<const ObjectModelProperty> objectModelProperties()
{
    return objectModelTable;
}

const ObjectModelProperty* findObjectModelProperty(std::string_view name)
{
    if (name.size() <= maxNameLength) {
        for (std::size_t k = 0; k < namesByLength.counts[name.size()]; ++k) {
            const ObjectModelProperty& property = objectModelTable[namesByLength.indices[name.size()][k]];
            if (property.name == name)
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
