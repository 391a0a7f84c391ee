#pragma once
// Reads one parsed Windows Contacts document into a ContactRecord.

#include "contacts/contact_entries.h"
#include "contacts/contact_record.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace tressimo::contacts {

// The parts of a postal address, in record order: street, city, postal code, state, country,
// then PO box, second street line and full text.
inline constexpr auto kAddressPartNames =
    std::to_array<std::string_view>({"c:Street", "c:Locality", "c:PostalCode", "c:Region", "c:Country",
                                     "c:POBox", "c:ExtendedAddress", "c:AddressLabel"});
inline constexpr std::size_t kAddressPartCount = kAddressPartNames.size();

// A postal address whose parts have been read and whose labels, which follow the parts in
// the file, are still being read. It is routed when its c:PhysicalAddress element ends.
struct HeldAddress
{
    std::array<std::string, kAddressPartCount> Parts;
    bool HasParts = false;
    bool BusinessLabel = false;
    bool PersonalLabel = false;
    bool OtherLabel = false;
    bool MailingLabel = false; // "Preferred" or "Postal"

    void clear();
};

// The reader's working state for one document; DisplayNode sets it to its start values.
struct ContactReaderContext
{
    // An SMTP type has been read and its address is not stored yet.
    bool SmtpPending = false;
    // SMTP types read so far; the first three take the three e-mail slots.
    std::size_t EmailCount = 0;
    // A c:Label "Business" has been read, whatever it labelled.
    bool BusinessLabelSeen = false;
    // The text node read before the current one: its element's qualified name and its text,
    // in the document being read (a copy would hold a huge note twice).
    std::string_view PreviousName;
    std::string_view PreviousValue;
    // Numbers of the latest telephone entries whose kind label was "Fax" or "Voice".
    std::string HeldFax;
    std::string HeldVoice;

    // Open c:PhysicalAddress elements, and the innermost one's address.
    std::size_t AddressDepth = 0;
    HeldAddress Address;

    // Open c:Date and c:Url elements. For the innermost one: whether its c:Value has been
    // read, and the first c:Label read before that value, which labels the value as if it
    // followed it.
    std::size_t LabelledValueDepth = 0;
    bool LabelledValueSeen = false;
    bool HasLabelBeforeValue = false;
    std::string LabelBeforeValue;

    // A collection entry (see ContactEntries::kindOf) is open: the outermost one's texts are
    // held.
    bool OpenEntry = false;
    ContactEntries Held;

    // The elements open at the node being read, outermost first, and whether each opened the
    // entry.
    struct OpenElement
    {
        std::string_view name;
        bool opensEntry = false;
    };
    std::vector<OpenElement> OpenElements;

    // Start values of a document's reading (keeps the strings' storage).
    void reset();
};

// Reads the text nodes below `document` (normally a whole pugi::xml_document) in document
// order into `record`, starting with a fresh `context`. Only pugixml's node_pcdata nodes are
// read (CDATA never), each named by the qualified name of the element that directly holds
// it; white-space-only texts are skipped. Fields whose source the document lacks are left
// as they are, so reset the record first. The walk keeps the open elements in memory, not on
// the call stack, and so reads a document of any nesting depth. A value that is not a date
// skips only that date. A leading "tel:" scheme is not part of a number. When the walk ends,
// the held entries fill the record's later members (placeEntries).
void DisplayNode(const pugi::xml_node& document, ContactRecord& record, ContactReaderContext& context);

} // namespace tressimo::contacts
