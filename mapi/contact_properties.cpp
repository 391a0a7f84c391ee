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

} // namespace

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
