#pragma once
// Internal to mapi/: a contact item of a PST store. Once the item has been saved, values put
// or set go to its unsaved changes and a save applies them to the saved state (before that
// they go to the saved state at once: nothing saved needs protecting, and nothing is written
// until a save). The item's own Save writes it into the store at once, so that a failed write
// fails the Save that the caller checks. A save through MAPIOBJECT (HrSetOneProp with its save
// flag) only keeps the saved state, which the store writes at the next Save, when the item is
// released or at the next commit: the contact writer's four single-property saves cost nothing
// but bookkeeping. Changes after the last save are never written.

#include "mapi/contact_model.h"
#include "mapi/mapi.h"
#include "pst/ndb/node.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::mapi::detail {

class StoreCore;

class ContactItem final : public RDOContactItem, private MapiMessage
{
public:
    ContactItem(std::shared_ptr<StoreCore> core, pst::Nid folder);
    ~ContactItem() override;
    ContactItem(const ContactItem&) = delete;
    ContactItem& operator=(const ContactItem&) = delete;

    void put(std::string_view property, std::string_view value) override;
    std::string get(std::string_view property) const override;
    MapiMessage& MAPIOBJECT() override { return *this; }
    void Save() override;
    void AddPicture(std::span<const std::uint8_t> jpeg) override;

    // For the store: where the item goes, what was saved, and whether it is in the file.
    pst::Nid folder() const { return m_folder; }
    contact::ContactState& savedState() { return m_saved; }
    // The saved picture's JPEG bytes; empty when it has none.
    const std::vector<std::uint8_t>& savedPicture() const { return m_picture; }
    std::optional<pst::Nid> writtenAs() const { return m_written; }
    void markWritten(pst::Nid message)
    {
        m_written = message;
        m_pending = false;
    }
    bool isPending() const { return m_pending; }

private:
    void setProperty(std::uint32_t tag, const PropertyValue& value) override;
    void saveChanges() override;
    // Moves the unsaved changes into the saved state.
    void applyChanges();

    // One put (property set) or one single-property write (tag set).
    struct Change
    {
        const contact::ObjectModelProperty* property = nullptr;
        std::uint32_t tag = 0;
        PropertyValue value;
    };

    std::shared_ptr<StoreCore> m_core;
    pst::Nid m_folder;
    contact::ContactState m_saved;
    std::vector<Change> m_changes;
    std::vector<std::uint8_t> m_picture;
    std::optional<std::vector<std::uint8_t>> m_newPicture; // an unsaved AddPicture
    std::optional<pst::Nid> m_written;
    bool m_pending = false;
    bool m_everSaved = false;
};

} // namespace tressimo::mapi::detail
