#pragma once
// The nodes of Outlook's empty store ([MS-PST] 2.7): table templates, queues, search
// management and the fixed folders' identifiers. Written once, when a store is created; what
// the store keeps in memory and writes at commit (folders, store object, receive folders)
// comes back as values.

#include "pst/ltp/prop_value.h"
#include "pst/ndb/ndb_writer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace tressimo::pst {

inline constexpr PropTag kReceiveFolderNidTag{0x66050003};

// The entry ID of an object of the store with this record key ([MS-PST] 2.4.3.2).
Bytes storeEntryId(const std::array<std::uint8_t, 16>& recordKey, Nid nid);
inline constexpr std::size_t kEntryIdSize = 24;

struct NewStore
{
    struct Folder
    {
        Nid nid;
        Nid parent;
        std::u16string_view name;
        bool search = false;
        std::vector<PropValue> extra; // besides the display name
    };

    std::array<std::uint8_t, 16> recordKey{};
    // Blocks of the empty tables that new tables share.
    Bid hierarchyTemplate = 0;
    Bid contentsTemplate = 0;
    Bid assocContentsTemplate = 0;
    Bid recipientTemplate = 0;
    // An empty recipient table's own blocks, for when the template's reference count is full.
    std::vector<Bytes> emptyRecipientBlocks;
    std::vector<PropValue> storeProperties; // sorted by id
    std::vector<Folder> folders;            // parents first, children in Outlook's order
};

// Writes the fixed nodes and reserves the identifiers of the rest.
NewStore writeNewStore(NdbWriter& ndb, std::string_view displayName,
                       const std::function<void(std::span<std::uint8_t>)>& random);

} // namespace tressimo::pst
