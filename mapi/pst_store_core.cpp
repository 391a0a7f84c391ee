#include "mapi/pst_store_core.h"

#include "mapi/pst_contact_item.h"

#include <algorithm>
#include <cassert>

namespace tressimo::mapi::detail {

namespace {

pst::PropType propType(contact::PropertyType type)
{
    return static_cast<pst::PropType>(static_cast<std::uint16_t>(type));
}

pst::PropValue toPropValue(pst::PropTag tag, const contact::StoredValue& value)
{
    using namespace contact;
    return std::visit(
        [&](const auto& v) -> pst::PropValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int32_t>)
                return pst::PropValue::fromInt32(tag, v);
            else if constexpr (std::is_same_v<T, bool>)
                return pst::PropValue::fromBoolean(tag, v);
            else if constexpr (std::is_same_v<T, FileTime>)
                return pst::PropValue::fromSysTime(tag, v.ticks);
            else if constexpr (std::is_same_v<T, std::string>)
                return pst::PropValue::fromString(tag, std::string_view(v));
            else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>)
                return pst::PropValue::fromBinary(tag, v);
            else if constexpr (std::is_same_v<T, std::vector<std::int32_t>>)
                return pst::PropValue::fromMultipleInt32(tag, v);
            else
                return pst::PropValue::fromMultipleString(tag, v);
        },
        value);
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
        throw MapiError(*m_failure);
    if (!m_store)
        throw MapiError("The store \"" + m_path.string() + "\" is closed (the session logged off).");
}

void StoreCore::fail(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const pst::IoError& e) {
        // Already names the file and the cause.
        m_failure = e.what();
    } catch (const std::exception& e) {
        m_failure = "Cannot write \"" + m_path.string() + "\": " + e.what();
    } catch (...) {
        m_failure = "Cannot write \"" + m_path.string() + "\": unknown error";
    }
    throw MapiError(*m_failure);
}

void StoreCore::addPending(ContactItem& item)
{
    m_pending.push_back(&item);
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
            commit();
    } catch (...) {
        // Kept in m_failure by run(); the next call reports it.
    }
}

void StoreCore::writeItem(ContactItem& item)
{
    run([&](pst::MessageStore& store) {
        const auto props = toPropValues(item.savedState().saveProperties(m_settings.environment));
        if (const auto message = item.writtenAs()) {
            store.replaceMessage(*message, props);
            item.markWritten(*message);
        } else {
            item.markWritten(store.createMessage(item.folder(), props));
            ++m_itemsWritten;
        }
    });
}

void StoreCore::commit()
{
    checkUsable();
    // Items still alive but saved go in as they were saved; they leave the pending list here
    // and come back with their next save.
    std::vector<ContactItem*> pending;
    pending.swap(m_pending);
    for (ContactItem* item : pending) {
        if (item->isPending())
            writeItem(*item);
    }
    run([](pst::MessageStore& store) { store.commit(); });
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
        error = std::make_exception_ptr(MapiError(*m_failure));
    if (error)
        std::rethrow_exception(error);
}

std::uint16_t StoreCore::namedId(const contact::PropertyKey& key)
{
    const auto it = m_namedIds.find(key);
    if (it != m_namedIds.end())
        return it->second;
    pst::PropertyName name{pst::Guid::fromBytes(key.set.bytes), key.lid, std::string(key.name)};
    const std::uint16_t id = m_store->propertyId(name);
    m_namedIds.emplace(key, id);
    return id;
}

std::vector<pst::PropValue> StoreCore::toPropValues(const std::vector<contact::StoredProperty>& properties)
{
    std::vector<pst::PropValue> values;
    values.reserve(properties.size());
    for (const auto& property : properties) {
        const std::uint16_t id = property.key.isNamed() ? namedId(property.key) : property.key.id;
        values.push_back(toPropValue(pst::PropTag(id, propType(property.key.type)), property.value));
    }
    std::sort(values.begin(), values.end(),
              [](const pst::PropValue& a, const pst::PropValue& b) { return a.tag() < b.tag(); });
    return values;
}

} // namespace tressimo::mapi::detail
