#pragma once
// An in-memory message store for the session tests: it keeps what the session asks of it in
// a state the test holds on to (the store itself goes away at Logoff), counts the calls, and
// fails on request the way a full disk fails the real writer.

#include "pst/messaging/message_store.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressimo::mapi::test {

struct FakeFolder
{
    pst::Nid parent;
    std::string name;
    std::string containerClass;
    std::map<std::uint32_t, pst::PropValue> props;
};

struct FakeMessage
{
    pst::Nid folder;
    std::map<std::uint32_t, pst::PropValue> props;
};

struct FakeStoreState
{
    std::string displayName;
    std::array<std::uint8_t, 16> recordKey{};
    std::map<pst::Nid, FakeFolder> folders;
    std::map<std::uint32_t, pst::PropValue> storeProps;
    std::map<std::string, pst::Nid> receiveFolders;
    std::vector<pst::PropertyName> names; // id = 0x8000 + index
    std::map<pst::Nid, FakeMessage> messages;

    // What the last commit made durable.
    std::map<pst::Nid, FakeMessage> committedMessages;
    std::map<pst::Nid, FakeFolder> committedFolders;

    int commits = 0;
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
    std::optional<pst::Nid> folderNamed(const std::string& name) const;
    // A named property's tag in this store, when the store has handed out an id for it.
    std::optional<std::uint32_t> namedTag(const pst::PropertyName& name, pst::PropType type) const;
};

class FakeMessageStore : public pst::MessageStore
{
public:
    FakeMessageStore(std::shared_ptr<FakeStoreState> state, std::string_view displayName);
    ~FakeMessageStore() override { m_state->destroyed = true; }

    std::array<std::uint8_t, 16> recordKey() const override { return m_state->recordKey; }
    pst::Bytes entryId(pst::Nid nid) const override;
    std::optional<pst::Nid> nidFromEntryId(pst::ByteView entryId) const override;
    pst::Nid rootFolder() const override { return root; }
    pst::Nid ipmSubtree() const override { return ipm; }
    pst::Nid deletedItems() const override { return deleted; }
    pst::Nid createFolder(pst::Nid parent, std::string_view displayName,
                          std::string_view containerClass) override;
    std::optional<pst::Nid> findFolder(pst::Nid parent, std::string_view displayName) const override;
    std::vector<pst::Nid> subfolders(pst::Nid folder) const override;
    void setFolderProperties(pst::Nid folder, std::span<const pst::PropValue> props) override;
    std::optional<pst::PropValue> folderProperty(pst::Nid folder, pst::PropTag tag) const override;
    void setStoreProperties(std::span<const pst::PropValue> props) override;
    void setReceiveFolder(std::string_view messageClass, pst::Nid folder) override;
    std::uint16_t propertyId(const pst::PropertyName& name) override;
    pst::Nid createMessage(pst::Nid folder, std::vector<pst::PropValue> props) override;
    void replaceMessage(pst::Nid message, std::span<const pst::PropValue> props) override;
    std::uint32_t messageCount(pst::Nid folder) const override;
    void commit() override;
    std::uint64_t fileSize() const override { return 0; }

    static constexpr pst::Nid root{0x122};
    static constexpr pst::Nid ipm{0x8022};
    static constexpr pst::Nid searchRoot{0x8042};
    static constexpr pst::Nid deleted{0x8062};
    static constexpr pst::Nid commonViews{0x8082};

private:
    void change();
    std::shared_ptr<FakeStoreState> m_state;
    std::uint32_t m_nextFolder = 0x405;
    std::uint32_t m_nextMessage = 0x10001;
};

} // namespace tressimo::mapi::test
