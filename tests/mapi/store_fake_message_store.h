#pragma once
// An in-memory message store for the session tests: it keeps what the session asks of it in
// a state the test holds on to (the store itself goes away at Logoff), counts the calls, and
// fails on request the way a full disk fails the real writer.

#include "pst/messaging/message_store.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::mapi::test {

using FakeProps = std::map<std::uint32_t, pst::PropValue>;

struct FakeFolder
{
    pst::Nid parent;
    std::string name;
    std::string containerClass;
    FakeProps props;
};

struct FakeMessage
{
    pst::Nid folder;
    FakeProps props;
};

struct FakeStoreState
{
    std::string displayName;
    std::array<std::uint8_t, 16> recordKey{};
    std::map<pst::Nid, FakeFolder> folders;
    FakeProps storeProps;
    std::map<std::string, pst::Nid> receiveFolders;
    std::vector<pst::PropertyName> names; // id = 0x8000 + index
    std::map<pst::Nid, FakeMessage> messages;
    // What the last commit made durable.
    std::map<pst::Nid, FakeMessage> committedMessages;
    std::map<pst::Nid, FakeFolder> committedFolders;
    int creates = 0;
    int replaces = 0;
    int propertyIdCalls = 0;
    // Calls that change the store (folders, properties, messages, commits).
    int changes = 0;
    bool destroyed = false;
    // Fail the change with this number (counted from 1 over `changes`), and every call after.
    std::optional<int> failAtChange;
    bool failed = false;

    const FakeMessage* onlyMessage() const
    {
        return messages.size() == 1 ? &messages.begin()->second : nullptr;
    }
    std::optional<pst::Nid> folderNamed(const std::string& name) const
    {
        for (const auto& [nid, folder] : folders)
            if (folder.name == name)
                return nid;
        return std::nullopt;
    }
};

class FakeMessageStore : public pst::MessageStore
{
public:
    static constexpr pst::Nid root{0x122};
    static constexpr pst::Nid ipm{0x8022};
    static constexpr pst::Nid searchRoot{0x8042};
    static constexpr pst::Nid deleted{0x8062};
    static constexpr pst::Nid commonViews{0x8082};

    FakeMessageStore(std::shared_ptr<FakeStoreState> state, std::string_view displayName)
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
    ~FakeMessageStore() override { m_state->destroyed = true; }

    std::array<std::uint8_t, 16> recordKey() const override { return m_state->recordKey; }
    pst::Bytes entryId(pst::Nid nid) const override
    {
        pst::Bytes id(24, 0);
        std::copy(m_state->recordKey.begin(), m_state->recordKey.end(), id.begin() + 4);
        pst::putU32(id.data() + 20, nid.value);
        return id;
    }
    std::optional<pst::Nid> nidFromEntryId(pst::ByteView id) const override
    {
        if (id.size() != 24 ||
            !std::equal(m_state->recordKey.begin(), m_state->recordKey.end(), id.begin() + 4))
            return std::nullopt;
        return pst::Nid{pst::getU32(id.data() + 20)};
    }
    pst::Nid rootFolder() const override { return root; }
    pst::Nid ipmSubtree() const override { return ipm; }
    pst::Nid deletedItems() const override { return deleted; }

    pst::Nid createFolder(pst::Nid parent, std::string_view name, std::string_view containerClass) override
    {
        change();
        const pst::Nid nid = pst::Nid::make(pst::NidType::NormalFolder, m_nextFolder++);
        m_state->folders[nid] = {parent, std::string(name), std::string(containerClass), {}};
        return nid;
    }
    std::optional<pst::Nid> findFolder(pst::Nid parent, std::string_view name) const override
    {
        for (pst::Nid nid : subfolders(parent))
            if (m_state->folders.at(nid).name == name)
                return nid;
        return std::nullopt;
    }
    std::vector<pst::Nid> subfolders(pst::Nid parent) const override
    {
        std::vector<pst::Nid> out;
        for (const auto& [nid, folder] : m_state->folders)
            if (folder.parent == parent && nid != parent)
                out.push_back(nid);
        return out;
    }
    void setFolderProperties(pst::Nid folder, std::span<const pst::PropValue> props) override
    {
        change();
        for (const auto& p : props)
            m_state->folders.at(folder).props.insert_or_assign(p.tag().value, p);
    }
    std::optional<pst::PropValue> folderProperty(pst::Nid folder, pst::PropTag tag) const override
    {
        const auto& props = m_state->folders.at(folder).props;
        const auto it = props.find(tag.value);
        return it == props.end() ? std::nullopt : std::optional(it->second);
    }
    void setStoreProperties(std::span<const pst::PropValue> props) override
    {
        change();
        for (const auto& p : props)
            m_state->storeProps.insert_or_assign(p.tag().value, p);
    }
    void setReceiveFolder(std::string_view messageClass, pst::Nid folder) override
    {
        change();
        m_state->receiveFolders[std::string(messageClass)] = folder;
    }
    std::uint16_t propertyId(const pst::PropertyName& name) override
    {
        ++m_state->propertyIdCalls;
        auto& names = m_state->names;
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end())
            names.push_back(name);
        return static_cast<std::uint16_t>(0x8000 +
                                          (it == names.end() ? names.size() - 1 : it - names.begin()));
    }
    pst::Nid createMessage(pst::Nid folder, std::vector<pst::PropValue> props) override
    {
        change();
        ++m_state->creates;
        const pst::Nid nid = pst::Nid::make(pst::NidType::NormalMessage, m_nextMessage++);
        m_state->messages[nid] = {folder, toMap(props)};
        return nid;
    }
    void replaceMessage(pst::Nid nid, std::span<const pst::PropValue> props) override
    {
        change();
        ++m_state->replaces;
        m_state->messages.at(nid).props = toMap(props);
    }
    std::uint32_t messageCount(pst::Nid folder) const override
    {
        return static_cast<std::uint32_t>(
            std::count_if(m_state->messages.begin(), m_state->messages.end(),
                          [&](const auto& m) { return m.second.folder == folder; }));
    }
    void commit() override
    {
        change();
        m_state->committedMessages = m_state->messages;
        m_state->committedFolders = m_state->folders;
    }
    std::uint64_t fileSize() const override { return 0; }

private:
    static FakeProps toMap(std::span<const pst::PropValue> props)
    {
        FakeProps out;
        for (const auto& p : props)
            out.emplace(p.tag().value, p);
        return out;
    }
    void change()
    {
        ++m_state->changes;
        if (m_state->failed || (m_state->failAtChange && m_state->changes >= *m_state->failAtChange)) {
            m_state->failed = true;
            throw pst::IoError("Cannot write to \"fake.pst\": No space left on device");
        }
    }

    std::shared_ptr<FakeStoreState> m_state;
    std::uint32_t m_nextFolder = 0x405;
    std::uint32_t m_nextMessage = 0x10001;
};

} // namespace tressimo::mapi::test
