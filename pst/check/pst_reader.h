#pragma once
// Reading a PST back at the level of a store: nodes, property and table contexts, folders,
// messages and named properties. Tests use it to see what the writer wrote; it shares no
// code with the writer.
//
//   auto pst = PstReader::open(path);
//   auto contacts = pst.findFolder("Contacts");
//   for (std::uint32_t nid : pst.messages(*contacts)) {
//       PropertyMap props = pst.properties(nid);
//       auto email = pst.namedTag(kPsetidAddress, 0x8083, proptype::Unicode);
//       ... props.at(*email).toUtf8() ...
//   }
//
// Every reading function throws FormatError when the file does not hold what it asks for.

#include "pst/check/name_map.h"
#include "pst/check/nid.h"
#include "pst/check/property.h"
#include "pst/check/pst_file.h"
#include "pst/check/table_context.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::pst::check {

struct FolderInfo
{
    std::uint32_t nid = 0;
    std::uint32_t parent = 0; // NBT parent; the root folder is its own parent
    std::string name;         // PidTagDisplayName
    std::string containerClass;
    bool isSearchFolder = false;
};

class PstReader
{
public:
    // Throws ReadError when the file cannot be read.
    static PstReader open(const std::filesystem::path& path);
    static PstReader fromBytes(Bytes bytes, std::string name = "memory");
    explicit PstReader(std::shared_ptr<const PstFile> file);

    const PstFile& file() const { return *m_file; }
    const Header& header() const { return m_file->header(); }
    const std::vector<NodeEntry>& nodes() const { return m_file->nodes(); }

    // A top-level node's property or table context.
    PropertyMap properties(std::uint32_t nid) const;
    Table table(std::uint32_t nid) const;
    // A node's subnodes, and the table context of one of them.
    std::vector<SubnodeEntry> subnodes(std::uint32_t nid) const;
    Table subnodeTable(std::uint32_t nid, std::uint32_t subnodeNid) const;
    // The property context of a subnode (a message's attachment).
    PropertyMap subnodeProperties(std::uint32_t nid, std::uint32_t subnodeNid) const;

    PropertyMap storeProperties() const { return properties(nids::MessageStore); }
    const NameMap& nameMap() const;

    // Every folder (normal and search), in NID order.
    std::vector<FolderInfo> folders() const;
    // The first folder with this display name, if any.
    std::optional<std::uint32_t> findFolder(std::string_view displayName) const;
    // The child folders of a folder (by NBT parent), in NID order.
    std::vector<std::uint32_t> subfolders(std::uint32_t folderNid) const;
    // The normal messages whose NBT parent is the folder, in NID order.
    std::vector<std::uint32_t> messages(std::uint32_t folderNid) const;

    // The full tag of a named property, when the map knows the name.
    std::optional<std::uint32_t> namedTag(const Guid& set, std::uint32_t lid, std::uint16_t type) const;
    std::optional<std::uint32_t> namedTag(const Guid& set, std::string_view name, std::uint16_t type) const;
    // The value of a named property in an object's properties, when both exist.
    const PropertyValue* namedValue(const PropertyMap& props, const Guid& set, std::uint32_t lid) const;
    const PropertyValue* namedValue(const PropertyMap& props, const Guid& set, std::string_view name) const;

private:
    std::shared_ptr<const PstFile> m_file;
    mutable std::shared_ptr<const NameMap> m_nameMap;
};

} // namespace tressimo::pst::check
