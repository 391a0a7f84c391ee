#include "pst/check/pst_reader.h"

#include "pst/check/ltp_node.h"
#include "pst/check/property_context.h"

namespace tressimo::pst::check {
namespace {

constexpr std::uint32_t kTagDisplayName = 0x3001001F;
constexpr std::uint32_t kTagContainerClass = 0x3613001F;

const NodeEntry& requireNode(const PstFile& file, std::uint32_t nid)
{
    const NodeEntry* n = file.findNode(nid);
    if (!n)
        throw FormatError(file.name() + ": node " + hex(nid) + " does not exist");
    return *n;
}

const SubnodeEntry& requireSubnode(const std::vector<SubnodeEntry>& subs, std::uint32_t nid,
                                   std::uint32_t parent)
{
    for (const SubnodeEntry& s : subs)
        if (s.nid == nid)
            return s;
    throw FormatError("node " + hex(parent) + " has no subnode " + hex(nid));
}

std::string textOf(const PropertyMap& props, std::uint32_t tag)
{
    auto it = props.find(tag);
    return it == props.end() ? std::string() : it->second.toUtf8();
}

} // namespace

PstReader PstReader::open(const std::filesystem::path& path)
{
    return PstReader(PstFile::open(path));
}

PstReader PstReader::fromBytes(Bytes bytes, std::string name)
{
    return PstReader(PstFile::fromBytes(std::move(bytes), std::move(name)));
}

PstReader::PstReader(std::shared_ptr<const PstFile> file) : m_file(std::move(file)) {}

PropertyMap PstReader::properties(std::uint32_t nid) const
{
    return readPropertyContext(loadNode(*m_file, requireNode(*m_file, nid)));
}

Table PstReader::table(std::uint32_t nid) const
{
    return readTableContext(loadNode(*m_file, requireNode(*m_file, nid)));
}

std::vector<SubnodeEntry> PstReader::subnodes(std::uint32_t nid) const
{
    return m_file->readSubnodes(requireNode(*m_file, nid).bidSub);
}

Table PstReader::subnodeTable(std::uint32_t nid, std::uint32_t subnodeNid) const
{
    const auto subs = subnodes(nid);
    return readTableContext(loadSubnode(*m_file, requireSubnode(subs, subnodeNid, nid), describeNid(nid)));
}

PropertyMap PstReader::subnodeProperties(std::uint32_t nid, std::uint32_t subnodeNid) const
{
    const auto subs = subnodes(nid);
    return readPropertyContext(loadSubnode(*m_file, requireSubnode(subs, subnodeNid, nid), describeNid(nid)));
}

const NameMap& PstReader::nameMap() const
{
    if (!m_nameMap)
        m_nameMap = std::make_shared<const NameMap>(readNameMap(properties(nids::NameToIdMap)));
    return *m_nameMap;
}

std::vector<FolderInfo> PstReader::folders() const
{
    std::vector<FolderInfo> out;
    for (const NodeEntry& n : m_file->nodes()) {
        const std::uint8_t type = nidType(n.nid);
        if (type != nidtype::NormalFolder && type != nidtype::SearchFolder)
            continue;
        const PropertyMap props = properties(n.nid);
        out.push_back({n.nid, n.nidParent, textOf(props, kTagDisplayName), textOf(props, kTagContainerClass),
                       type == nidtype::SearchFolder});
    }
    return out;
}

std::optional<std::uint32_t> PstReader::findFolder(std::string_view displayName) const
{
    for (const FolderInfo& f : folders())
        if (f.name == displayName)
            return f.nid;
    return std::nullopt;
}

std::vector<std::uint32_t> PstReader::subfolders(std::uint32_t folderNid) const
{
    std::vector<std::uint32_t> out;
    for (const NodeEntry& n : m_file->children(folderNid))
        if (nidType(n.nid) == nidtype::NormalFolder || nidType(n.nid) == nidtype::SearchFolder)
            out.push_back(n.nid);
    return out;
}

std::vector<std::uint32_t> PstReader::messages(std::uint32_t folderNid) const
{
    std::vector<std::uint32_t> out;
    for (const NodeEntry& n : m_file->children(folderNid))
        if (nidType(n.nid) == nidtype::NormalMessage)
            out.push_back(n.nid);
    return out;
}

std::optional<std::uint32_t> PstReader::namedTag(const Guid& set, std::uint32_t lid, std::uint16_t type) const
{
    if (auto id = nameMap().find(set, lid))
        return makeTag(*id, type);
    return std::nullopt;
}

std::optional<std::uint32_t> PstReader::namedTag(const Guid& set, std::string_view name,
                                                 std::uint16_t type) const
{
    if (auto id = nameMap().find(set, name))
        return makeTag(*id, type);
    return std::nullopt;
}

const PropertyValue* PstReader::namedValue(const PropertyMap& props, const Guid& set, std::uint32_t lid) const
{
    auto id = nameMap().find(set, lid);
    return id ? findById(props, *id) : nullptr;
}

const PropertyValue* PstReader::namedValue(const PropertyMap& props, const Guid& set,
                                           std::string_view name) const
{
    auto id = nameMap().find(set, name);
    return id ? findById(props, *id) : nullptr;
}

} // namespace tressimo::pst::check
