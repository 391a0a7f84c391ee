#pragma once
// A session of the mapi.h model that records every call as text ("put(FirstName,Ann)",
// "setProperty(0x3A45001F,Dr.)") and refuses any call a test names. A refusal is a prefix of the call text
// ("put(FirstName,", "Save(", "setProperty(0x3A42"): the call is recorded, then throws a MapiError. A store
// failure is a prefix in storeFailures: that call and every later one throw a StoreFailure, and the file
// keeps what its last commit held (a commit every commitEvery saves, and at Logoff).

#include "mapi/mapi.h"

#include "platform/path_text.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tressimo::testing {

// What one saved item held: the object-model puts by name.
struct SavedItem
{
    std::map<std::string, std::string> puts;
};

inline std::string valueText(const mapi::PropertyValue& value)
{
    if (const auto* date = std::get_if<mapi::OleDate>(&value)) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "date %.6g", date->days);
        return buffer;
    }
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : "(not a text)";
}

struct FakeWorld
{
    std::vector<std::string> calls;
    std::vector<std::string> refusals;
    std::vector<std::string> storeFailures;
    std::string storeFailed; // the failure's text once one happened
    std::size_t commitEvery = 1;
    std::size_t committed = 0;
    std::vector<SavedItem> saved;
    // AddPSTStore creates the file, never replacing one, as the real session does.
    bool createFiles = false;
    // Runs in AddPSTStore just before the file is created: another program at work.
    std::function<void(const std::filesystem::path&)> beforeCreate;
    // Sessions made by the factory; a test may make the factory itself fail.
    int sessionsCreated = 0;
    bool refuseSession = false;
    bool sessionFactoryGivesNull = false;

    void call(std::string text)
    {
        calls.push_back(text);
        for (const std::string& failure : storeFailures)
            if (storeFailed.empty() && text.starts_with(failure))
                storeFailed = "No space left on device at " + text;
        if (!storeFailed.empty())
            throw mapi::StoreFailure(storeFailed);
        for (const std::string& refusal : refusals) {
            if (text.starts_with(refusal))
                throw mapi::MapiError("refused: " + text);
        }
    }
    // The calls that start with the prefix, in order.
    std::vector<std::string> callsStartingWith(std::string_view prefix) const
    {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.starts_with(prefix))
                out.push_back(c);
        return out;
    }
    int count(std::string_view prefix) const { return static_cast<int>(callsStartingWith(prefix).size()); }
};

// A getter's recording: the call is recorded (and may be refused), then the object is given out.
template <class T> T& recorded(FakeWorld& world, std::string text, T& object)
{
    world.call(std::move(text));
    return object;
}

// A contact item and its message object in one.
class FakeItem : public mapi::RDOContactItem, public mapi::MapiMessage
{
public:
    explicit FakeItem(FakeWorld& world) : m_world(world) {}
    void put(std::string_view property, std::string_view value) override
    {
        m_world.call("put(" + std::string(property) + "," + std::string(value) + ")");
        m_pending.puts[std::string(property)] = value;
    }
    std::string get(std::string_view property) const override
    {
        const auto it = m_pending.puts.find(std::string(property));
        return it == m_pending.puts.end() ? std::string() : it->second;
    }
    mapi::MapiMessage& MAPIOBJECT() override { return recorded(m_world, "MAPIOBJECT()", *this); }
    void setProperty(std::uint32_t tag, const mapi::PropertyValue& value) override
    {
        char tagText[16];
        std::snprintf(tagText, sizeof tagText, "0x%08X", tag);
        m_world.call("setProperty(" + std::string(tagText) + "," + valueText(value) + ")");
    }
    void saveChanges() override { m_world.call("saveChanges()"); }
    void AddPicture(std::span<const std::uint8_t> jpeg) override
    {
        m_world.call(std::string("AddPicture(") + (jpeg.size() > 2 && jpeg[0] == 0xFF && jpeg[1] == 0xD8 ? "JPEG" : "?") +
                     ")");
    }
    void Save() override
    {
        m_world.call("Save()");
        m_world.saved.push_back(m_pending);
        if (m_world.saved.size() % m_world.commitEvery == 0)
            m_world.committed = m_world.saved.size();
    }

private:
    FakeWorld& m_world;
    SavedItem m_pending;
};

// The session with its one store, its Contacts folder and that folder's items.
class FakeSession : public mapi::RDOSession,
                    public mapi::RDOStores,
                    public mapi::RDOStore,
                    public mapi::RDOFolder,
                    public mapi::RDOItems
{
public:
    explicit FakeSession(std::shared_ptr<FakeWorld> world) : m_world(std::move(world)) {}
    void Logon() override { m_world->call("Logon()"); }
    mapi::RDOStores& Stores() override { return recorded(*m_world, "Stores()", *this); }
    mapi::RDOStore& GetStoreFromID(const std::string& entryId) override
    {
        m_world->call("GetStoreFromID(" + entryId + ")");
        if (!m_added || entryId != "STORE-1")
            throw mapi::MapiError("no store with the entry ID " + entryId);
        return *this;
    }
    void Logoff() override
    {
        m_world->call("Logoff()");
        m_world->committed = m_world->saved.size();
    }
    mapi::RDOStore& AddPSTStore(const std::filesystem::path& path, int format,
                                const std::string& displayName) override
    {
        m_world->call("AddPSTStore(" + platform::textOfPath(path) + "," + std::to_string(format) + "," + displayName +
                      ")");
        if (m_world->beforeCreate)
            m_world->beforeCreate(path);
        if (m_world->createFiles) {
            // Made exclusively, as the real store is.
            std::error_code ignored;
            if (std::filesystem::exists(path, ignored) || !std::ofstream(path))
                throw mapi::MapiError("cannot create " + platform::textOfPath(path));
        }
        m_added = true;
        return *this;
    }
    std::string EntryID() const override
    {
        m_world->call("EntryID()");
        return "STORE-1";
    }
    void ValidateIPMTree() override { m_world->call("ValidateIPMTree()"); }
    std::uint64_t ItemsCommitted() const override { return m_world->committed; }
    mapi::RDOFolder& GetDefaultFolder(int folderType) override
    {
        return recorded(*m_world, "GetDefaultFolder(" + std::to_string(folderType) + ")", *this);
    }
    mapi::RDOItems& Items() override { return recorded(*m_world, "Items()", *this); }
    std::string Name() const override { return "Contacts"; }
    std::unique_ptr<mapi::RDOContactItem> Add(int itemType) override
    {
        m_world->call("Add(" + std::to_string(itemType) + ")");
        return std::make_unique<FakeItem>(*m_world);
    }

private:
    std::shared_ptr<FakeWorld> m_world;
    bool m_added = false;
};

// A session factory for the run: counts sessions, can fail or give none.
inline auto fakeSessionFactory(std::shared_ptr<FakeWorld> world)
{
    return [world]() -> std::unique_ptr<mapi::RDOSession> {
        ++world->sessionsCreated;
        if (world->refuseSession)
            throw mapi::MapiError("the session class is not registered");
        if (world->sessionFactoryGivesNull)
            return nullptr;
        return std::make_unique<FakeSession>(world);
    };
}

} // namespace tressimo::testing
