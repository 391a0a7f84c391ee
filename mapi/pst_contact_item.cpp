#include "mapi/pst_contact_item.h"

#include "mapi/contact_picture.h"
#include "mapi/pst_store_core.h"

namespace tressimo::mapi::detail {

ContactItem::ContactItem(std::shared_ptr<StoreCore> core, pst::Nid folder)
    : m_core(std::move(core)), m_folder(folder)
{
}

ContactItem::~ContactItem()
{
    m_core->release(*this);
}

void ContactItem::put(std::string_view property, std::string_view value)
{
    if (!m_everSaved) {
        // Nothing saved yet to protect: the values go straight to what the first save keeps.
        m_saved.put(property, value);
        return;
    }
    const contact::ObjectModelProperty* known = contact::findObjectModelProperty(property);
    if (!known) {
        // The model's own refusal, with its message.
        contact::ContactState().put(property, value);
        throw contact::ContactModelError("A contact item has no property \"" + std::string(property) + "\".");
    }
    // A number that does not fit is refused now, as before the first save, not when saving.
    contact::ContactState().put(*known, value);
    m_changes.push_back({known, 0, PropertyValue{std::string(value)}});
}

std::string ContactItem::get(std::string_view property) const
{
    const contact::ObjectModelProperty* known = contact::findObjectModelProperty(property);
    if (!known)
        return m_saved.get(property); // throws the model's refusal
    // The latest unsaved change of the same property wins over the saved value.
    // Reverse iterators rather than a reversed view, which clang 14 cannot compile over
    // libstdc++ 12 (the fuzz build).
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it) {
        const Change& change = *it;
        // Keys compare without their type; a tag names a fixed property.
        const bool same = change.property
                              ? change.property->key == known->key
                              : contact::PropertyKey::fixed(static_cast<std::uint16_t>(change.tag >> 16),
                                                            contact::PropertyType::Unicode) == known->key;
        if (same) {
            const auto* text = std::get_if<std::string>(&change.value);
            return text ? *text : std::string();
        }
    }
    return m_saved.get(known->name);
}

void ContactItem::setProperty(std::uint32_t tag, const PropertyValue& value)
{
    if (!m_everSaved) {
        m_saved.setProperty(tag, value);
        return;
    }
    // Refused exactly as the model refuses it, before anything is kept.
    contact::ContactState().setProperty(tag, value);
    m_changes.push_back({nullptr, tag, value});
}

void ContactItem::applyChanges()
{
    m_core->checkUsable();
    for (Change& change : m_changes) {
        if (change.property)
            m_saved.put(change.property->name, std::get<std::string>(change.value));
        else
            m_saved.setProperty(change.tag, change.value);
    }
    m_changes.clear();
    if (m_newPicture) {
        m_picture = std::move(*m_newPicture);
        m_newPicture.reset();
    }
    m_everSaved = true;
    m_pending = true;
}

void ContactItem::saveChanges()
{
    const bool wasPending = m_pending;
    applyChanges();
    if (!wasPending)
        m_core->addPending(*this);
}

void ContactItem::AddPicture(std::span<const std::uint8_t> jpeg)
{
    if (!looksLikeJpeg(jpeg))
        throw MapiError("A contact picture must be a JPEG image.");
    if (m_everSaved)
        m_newPicture.emplace(jpeg.begin(), jpeg.end());
    else
        m_picture.assign(jpeg.begin(), jpeg.end());
}

void ContactItem::Save()
{
    applyChanges();
    m_core->writeNow(*this);
}

} // namespace tressimo::mapi::detail
