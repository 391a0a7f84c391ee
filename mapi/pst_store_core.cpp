#include "mapi/pst_store_core.h"
#include "platform/path_text.h"

#include "mapi/contact_picture.h"
#include "mapi/pst_contact_item.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace tressimo::mapi::detail {

namespace {

pst::PropType propType(contact::PropertyType type)
{
    return static_cast<pst::PropType>(static_cast<std::uint16_t>(type));
}

} // namespace

StoreCore::StoreCore(std::unique_ptr<pst::MessageStore> store, std::filesystem::path path,
                     StoreSettings settings)
    : m_store(std::move(store)), m_path(std::move(path)), m_settings(std::move(settings))
{
    // The store's creation was its first commit.
    m_lastCommit = m_settings.environment.clock();
}

void StoreCore::checkUsable() const
{
    if (m_failure)
        throw StoreFailure(*m_failure);
    if (!m_store)
        throw MapiError("The store \"" + platform::textOfPath(m_path) + "\" is closed (the session logged off).");
}

void StoreCore::fail(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const pst::IoError& e) {
        // Already names the file and the cause.
        m_failure = e.what();
    } catch (const std::exception& e) {
        m_failure = "Cannot write \"" + platform::textOfPath(m_path) + "\": " + e.what();
    } catch (...) {
        m_failure = "Cannot write \"" + platform::textOfPath(m_path) + "\": unknown error";
    }
    throw StoreFailure(*m_failure);
}

std::string StoreCore::itemRefusal(const std::exception& e) const
{
    const bool memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
    return "The item could not be written into \"" + platform::textOfPath(m_path) + "\" and was left out: " +
           (memory ? std::string("not enough memory for it") : std::string(e.what()));
}

void StoreCore::addPending(ContactItem& item)
{
    m_pending.push_back(&item);
}

void StoreCore::writeNow(ContactItem& item)
{
    checkUsable();
    std::erase(m_pending, &item);
    writeItem(item);
    if (m_settings.environment.clock() - m_lastCommit >= m_settings.commitInterval)
        commitStore();
}

void StoreCore::release(ContactItem& item) noexcept
{
    const auto it = std::find(m_pending.begin(), m_pending.end(), &item);
    if (it == m_pending.end())
        return;
    m_pending.erase(it);
    if (!item.isPending() || m_failure || !m_store)
        return;
    try {
        writeItem(item);
        if (m_settings.environment.clock() - m_lastCommit >= m_settings.commitInterval)
            commitStore();
    } catch (const StoreFailure&) {
        // Kept in m_failure by run(); the next call reports it.
    } catch (const std::exception& e) {
        m_lostItem = e.what();
    }
}

// Turns what a save hands out into the message's property values, tagged for this store.
class StoreCore::PropValueMaker final : public contact::SavedPropertyReceiver
{
public:
    PropValueMaker(StoreCore& core, std::vector<pst::PropValue>& out) : m_core(core), m_out(out) {}

    void text(const contact::PropertyKey& key, std::string_view value) override
    {
        if (key == contact::PidTagSubject && value.starts_with('\x01')) {
            // The store takes a subject that starts with U+0001 as already in its stored form
            // (marker, prefix length plus one, text) and refuses it when the
            // length is off. A name that merely starts with that character is given in stored
            // form, with an empty prefix, so that readers get it back unchanged.
            std::string stored = "\x01\x01";
            stored += value;
            m_out.push_back(pst::PropValue::fromString(tag(key), stored));
            return;
        }
        // A large text is encoded as it is stored, straight from the item's saved state, which
        // outlives the write.
        m_out.push_back(value.size() >= kBorrowedText ? pst::PropValue::fromBorrowedString(tag(key), value)
                                                      : pst::PropValue::fromString(tag(key), value));
    }
    void int16(const contact::PropertyKey& key, std::int16_t value) override
    {
        m_out.push_back(pst::PropValue::fromInt16(tag(key), value));
    }
    void int32(const contact::PropertyKey& key, std::int32_t value) override
    {
        m_out.push_back(pst::PropValue::fromInt32(tag(key), value));
    }
    void boolean(const contact::PropertyKey& key, bool value) override
    {
        m_out.push_back(pst::PropValue::fromBoolean(tag(key), value));
    }
    void time(const contact::PropertyKey& key, contact::FileTime value) override
    {
        m_out.push_back(pst::PropValue::fromSysTime(tag(key), value.ticks));
    }
    void binary(const contact::PropertyKey& key, std::span<const std::uint8_t> value) override
    {
        m_out.push_back(pst::PropValue::fromBinary(tag(key), value));
    }
    void multipleInt32(const contact::PropertyKey& key, std::span<const std::int32_t> values) override
    {
        m_out.push_back(pst::PropValue::fromMultipleInt32(tag(key), values));
    }
    void multipleText(const contact::PropertyKey& key, std::span<const std::string> values) override
    {
        m_out.push_back(pst::PropValue::fromMultipleString(tag(key), values));
    }

    // Names the store has not met yet get their ids now, in key order, so that they are
    // registered in the order the store's name map has always been given them.
    void resolveNewNames()
    {
        std::sort(m_unresolved.begin(), m_unresolved.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [key, at] : m_unresolved) {
            const pst::PropTag tag(m_core.namedId(key), propType(key.type));
            m_out[at].setTag(tag);
        }
        m_unresolved.clear();
    }

private:
    static constexpr std::size_t kBorrowedText = 64 * 1024;

    pst::PropTag tag(const contact::PropertyKey& key)
    {
        if (!key.isNamed())
            return pst::PropTag(key.id, propType(key.type));
        if (const std::uint16_t id = m_core.knownNamedId(key))
            return pst::PropTag(id, propType(key.type));
        m_unresolved.emplace_back(key, m_out.size());
        return pst::PropTag(0, propType(key.type)); // replaced in resolveNewNames
    }

    StoreCore& m_core;
    std::vector<pst::PropValue>& m_out;
    std::vector<std::pair<contact::PropertyKey, std::size_t>> m_unresolved;
};

void StoreCore::writeItem(ContactItem& item)
{
    // The store refers to the save's texts until the message is written.
    struct ReleaseBuffers
    {
        ~ReleaseBuffers() { contact::releaseLargeSaveBuffers(); }
    } release;
    runForItem([&](pst::MessageStore& store) {
        // Room as the last item needed (the store took that list): made here, before anything
        // is written, so that running out of memory leaves the store as it was.
        std::vector<pst::PropValue>& made = m_madeValues;
        made.clear();
        made.reserve(m_madeCount + 16);
        PropValueMaker maker(*this, made);
        item.savedState().saveProperties(m_settings.environment, maker);
        std::vector<std::vector<pst::PropValue>> attachments;
        if (!item.savedPicture().empty()) {
            maker.boolean(PidLidHasPicture, true);
            attachments.push_back(contactPictureAttachment(item.savedPicture()));
        }
        maker.resolveNewNames();
        if (const auto message = item.writtenAs()) {
            store.replaceMessage(*message, made, std::move(attachments));
            item.markWritten(*message);
        } else {
            // The values go to the store as they are: it puts them in order, moving each once.
            m_madeCount = made.size();
            item.markWritten(store.createMessage(item.folder(), std::move(made), std::move(attachments)));
            ++m_itemsWritten;
        }
    });
}

void StoreCore::commit()
{
    commitStore();
    if (m_lostItem) {
        // Everything else is durable; the refused item is told now.
        const std::string reason = std::move(*m_lostItem);
        m_lostItem.reset();
        throw MapiError(reason);
    }
}

void StoreCore::commitStore()
{
    checkUsable();
    // Items still alive but saved go in as they were saved; they leave the pending list here
    // and come back with their next save. One the store refuses is left out (and told by
    // commit()); the others still go in.
    std::vector<ContactItem*> pending;
    pending.swap(m_pending);
    for (ContactItem* item : pending) {
        if (!item->isPending())
            continue;
        try {
            writeItem(*item);
        } catch (const StoreFailure&) {
            throw;
        } catch (const MapiError& e) {
            m_lostItem = e.what();
        }
    }
    run([](pst::MessageStore& store) { store.commit(); });
    m_itemsCommitted = m_itemsWritten;
    m_lastCommit = m_settings.environment.clock();
    if (m_settings.onCommit)
        m_settings.onCommit({m_path, m_itemsWritten});
}

void StoreCore::close()
{
    if (!m_store)
        return;
    std::exception_ptr error;
    if (!m_failure) {
        try {
            commit();
        } catch (...) {
            error = std::current_exception();
        }
    }
    m_pending.clear();
    m_store.reset();
    if (m_failure && !error)
        error = std::make_exception_ptr(StoreFailure(*m_failure));
    if (error)
        std::rethrow_exception(error);
}

namespace {

// Nearly every named property of a contact is a numeric one of PSETID_Address with a LID in
// 0x8000-0x80FF: those are looked up by LID.
bool isAddressLid(const contact::PropertyKey& key)
{
    return key.set == contact::PSETID_Address && key.name.empty() && (key.lid >> 8) == 0x80;
}

} // namespace

std::uint16_t StoreCore::knownNamedId(const contact::PropertyKey& key) const
{
    if (isAddressLid(key))
        return m_addressIds[key.lid & 0xFF];
    const auto it = m_namedIds.find(key);
    return it != m_namedIds.end() ? it->second : 0;
}

std::uint16_t StoreCore::namedId(const contact::PropertyKey& key)
{
    if (const std::uint16_t id = knownNamedId(key))
        return id;
    pst::PropertyName name{pst::Guid::fromBytes(key.set.bytes), key.lid, std::string(key.name)};
    const std::uint16_t id = m_store->propertyId(name);
    if (isAddressLid(key))
        m_addressIds[key.lid & 0xFF] = id;
    else
        m_namedIds.emplace(key, id);
    return id;
}

} // namespace tressimo::mapi::detail
