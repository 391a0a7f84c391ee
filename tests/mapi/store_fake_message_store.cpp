#include "store_fake_message_store.h"

#include <algorithm>

namespace tressimo::mapi::test {

std::optional<pst::Nid> FakeStoreState::folderNamed(const std::string& name) const
{
    for (const auto& [nid, folder] : folders) {
        if (folder.name == name)
            return nid;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> FakeStoreState::namedTag(const pst::PropertyName& name, pst::PropType type) const
{
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end())
        return std::nullopt;
    return pst::PropTag(static_cast<std::uint16_t>(0x8000 + (it - names.begin())), type).value;
}

FakeMessageStore::FakeMessageStore(std::shared_ptr<FakeStoreState> state, std::string_view displayName)
    : m_state(std::move(state))
{
    m_state->displayName = std::string(displayName);
    for (std::size_t i = 0; i < m_state->recordKey.size(); ++i)
        m_state->recordKey[i] = static_cast<std::uint8_t>(0x51 + i);
    m_state->folders[root] = {root, "", "", {}};
    m_state->folders[ipm] = {root, "Top of Outlook data file", "", {}};
    m_state->folders[searchRoot] = {root, "Search Root", "", {}};
    m_state->folders[deleted] = {ipm, "Deleted Items", "", {}};
    m_state->folders[commonViews] = {root, "IPM_COMMON_VIEWS", "", {}};
    m_state->committedFolders = m_state->folders;
}

void FakeMessageStore::change()
{
    ++m_state->changes;
    if (m_state->failed || (m_state->failAtChange && m_state->changes >= *m_state->failAtChange)) {
        m_state->failed = true;
        throw pst::IoError("Cannot write to \"fake.pst\": No space left on device");
    }
}

pst::Bytes FakeMessageStore::entryId(pst::Nid nid) const
{
    pst::Bytes id(24, 0);
    std::copy(m_state->recordKey.begin(), m_state->recordKey.end(), id.begin() + 4);
    pst::putU32(id.data() + 20, nid.value);
    return id;
}

std::optional<pst::Nid> FakeMessageStore::nidFromEntryId(pst::ByteView id) const
{
    if (id.size() != 24 || !std::equal(m_state->recordKey.begin(), m_state->recordKey.end(), id.begin() + 4))
        return std::nullopt;
    return pst::Nid{pst::getU32(id.data() + 20)};
}

pst::Nid FakeMessageStore::createFolder(pst::Nid parent, std::string_view displayName,
                                        std::string_view containerClass)
{
    change();
    const pst::Nid nid = pst::Nid::make(pst::NidType::NormalFolder, m_nextFolder++);
    m_state->folders[nid] = {parent, std::string(displayName), std::string(containerClass), {}};
    return nid;
}

std::optional<pst::Nid> FakeMessageStore::findFolder(pst::Nid parent, std::string_view displayName) const
{
    for (const auto& [nid, folder] : m_state->folders) {
        if (folder.parent == parent && nid != parent && folder.name == displayName)
            return nid;
    }
    return std::nullopt;
}

std::vector<pst::Nid> FakeMessageStore::subfolders(pst::Nid parent) const
{
    std::vector<pst::Nid> out;
    for (const auto& [nid, folder] : m_state->folders) {
        if (folder.parent == parent && nid != parent)
            out.push_back(nid);
    }
    return out;
}

void FakeMessageStore::setFolderProperties(pst::Nid folder, std::span<const pst::PropValue> props)
{
    change();
    for (const auto& p : props)
        m_state->folders.at(folder).props.insert_or_assign(p.tag().value, p);
}

std::optional<pst::PropValue> FakeMessageStore::folderProperty(pst::Nid folder, pst::PropTag tag) const
{
    const auto& props = m_state->folders.at(folder).props;
    const auto it = props.find(tag.value);
    if (it == props.end())
        return std::nullopt;
    return it->second;
}

void FakeMessageStore::setStoreProperties(std::span<const pst::PropValue> props)
{
    change();
    for (const auto& p : props)
        m_state->storeProps.insert_or_assign(p.tag().value, p);
}

void FakeMessageStore::setReceiveFolder(std::string_view messageClass, pst::Nid folder)
{
    change();
    m_state->receiveFolders[std::string(messageClass)] = folder;
}

std::uint16_t FakeMessageStore::propertyId(const pst::PropertyName& name)
{
    ++m_state->propertyIdCalls;
    const auto it = std::find(m_state->names.begin(), m_state->names.end(), name);
    if (it != m_state->names.end())
        return static_cast<std::uint16_t>(0x8000 + (it - m_state->names.begin()));
    m_state->names.push_back(name);
    return static_cast<std::uint16_t>(0x8000 + m_state->names.size() - 1);
}

pst::Nid FakeMessageStore::createMessage(pst::Nid folder, std::vector<pst::PropValue> props)
{
    change();
    ++m_state->creates;
    const pst::Nid nid = pst::Nid::make(pst::NidType::NormalMessage, m_nextMessage++);
    FakeMessage& message = m_state->messages[nid];
    message.folder = folder;
    for (const auto& p : props)
        message.props.emplace(p.tag().value, p);
    return nid;
}

void FakeMessageStore::replaceMessage(pst::Nid nid, std::span<const pst::PropValue> props)
{
    change();
    ++m_state->replaces;
    FakeMessage& message = m_state->messages.at(nid);
    message.props.clear();
    for (const auto& p : props)
        message.props.emplace(p.tag().value, p);
}

std::uint32_t FakeMessageStore::messageCount(pst::Nid folder) const
{
    return static_cast<std::uint32_t>(
        std::count_if(m_state->messages.begin(), m_state->messages.end(),
                      [&](const auto& m) { return m.second.folder == folder; }));
}

void FakeMessageStore::commit()
{
    change();
    ++m_state->commits;
    m_state->committedMessages = m_state->messages;
    m_state->committedFolders = m_state->folders;
}

} // namespace tressimo::mapi::test
