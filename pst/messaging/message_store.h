#pragma once
// The messaging layer of a Unicode PST file: the message store, its name-to-ID map, folders
// with their hierarchy, contents and associated-contents tables, and messages with their
// recipient tables ([MS-PST] 2.4). It keeps every table in step with the objects it lists and
// writes through the node database, so a commit() leaves a store Outlook opens as it is.
//
// Folder and message identifiers are node identifiers (Nid); entry IDs are the 24-byte form
// other MAPI objects refer to them by ([MS-PST] 2.4.3.2).

#include "pst/io/sink.h"
#include "pst/ltp/prop_value.h"
#include "pst/ndb/ndb_writer.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::pst {

// A named property's name ([MS-OXCDATA] 2.6.1): a property set and either a numeric id
// (lid) or, when name is not empty, a string name.
struct PropertyName
{
    Guid set;
    std::uint32_t lid = 0;
    std::string name;

    bool operator==(const PropertyName&) const = default;
};

struct StoreOptions
{
    NdbOptions ndb;
    // The caller's clock and random bytes (the program's environment), for the times and keys
    // the store makes itself; both are required.
    std::function<std::chrono::system_clock::time_point()> clock;
    std::function<void(std::span<std::uint8_t>)> random;
};

class MessageStore
{
public:
    // Writes the minimum store an Outlook data file needs (message store, name-to-ID map, root
    // folder, search management nodes, table templates, IPM subtree, Search Root, Deleted
    // Items, the spam search folder, ...) into the sink and commits it.
    static std::unique_ptr<MessageStore> create(std::unique_ptr<Sink> sink, std::string_view displayName,
                                                const StoreOptions& options);
    virtual ~MessageStore() = default;

    // The store's record key (its provider UID), part of every entry ID of the store.
    virtual std::array<std::uint8_t, 16> recordKey() const = 0;
    virtual Bytes entryId(Nid nid) const = 0;

    virtual Nid rootFolder() const = 0;
    virtual Nid ipmSubtree() const = 0;
    virtual Nid deletedItems() const = 0;

    // A new, empty folder under the parent; containerClass may be empty (no class).
    virtual Nid createFolder(Nid parent, std::string_view displayName, std::string_view containerClass) = 0;
    virtual std::optional<Nid> findFolder(Nid parent, std::string_view displayName) const = 0;
    virtual std::vector<Nid> subfolders(Nid folder) const = 0;
    // Adds or replaces properties of a folder (default-folder entry IDs, comments, ...). The
    // counts, the subfolders flag and the tables are the store's own and are refused here.
    virtual void setFolderProperties(Nid folder, std::span<const PropValue> props) = 0;
    virtual std::optional<PropValue> folderProperty(Nid folder, PropTag tag) const = 0;
    // Adds or replaces properties of the message store object (valid-folder mask, default
    // folder entry IDs, ...).
    virtual void setStoreProperties(std::span<const PropValue> props) = 0;
    // Records the folder that receives messages of a class ("" = every class) in the receive
    // folder table, as Outlook does for the Inbox.
    virtual void setReceiveFolder(std::string_view messageClass, Nid folder) = 0;

    // The property id (0x8000 and up) of a named property, registering the name in the map
    // the first time.
    virtual std::uint16_t propertyId(const PropertyName& name) = 0;

    // Writes a new message into the folder at once: its property context (with the message
    // size and the stored subject form the store derives), an empty recipient table, its row
    // in the folder's contents table and the folder's counts. Named properties carry ids from
    // propertyId. The message is durable at the next commit. The values are taken over
    // (a caller that moves them in spares a copy of each).
    // Each inner vector of `attachments` is one attachment's properties (PidTagAttachMethod
    // required; PidTagAttachDataBinary holds the data); the store adds its size, its rendering
    // position when missing, its row in the message's attachment table, the message's
    // has-attachments flag and their sizes in the message size.
    virtual Nid createMessage(Nid folder, std::vector<PropValue> props,
                              std::vector<std::vector<PropValue>> attachments = {}) = 0;
    // Replaces every property and attachment of a message written before (an item saved
    // again), keeping its identity and its place in the folder's contents table.
    virtual void replaceMessage(Nid message, std::span<const PropValue> props,
                                std::vector<std::vector<PropValue>> attachments = {}) = 0;
    virtual std::uint32_t messageCount(Nid folder) const = 0;

    // Makes everything written so far durable (tables and counts first, then the node
    // database's commit). A failed write throws IoError and the file stays at its last commit.
    virtual void commit() = 0;
    virtual std::uint64_t fileSize() const = 0;
};

} // namespace tressimo::pst
