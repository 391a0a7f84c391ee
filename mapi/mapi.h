#pragma once
// The session, store, folder and item model the conversion talks to. It mirrors the few
// members of the Redemption MAPI library that the conversion calls, under the same names,
// so the conversion code reads as the Outlook automation it stands for. Our implementation
// (createSession) writes real Unicode PST files; tests of the callers substitute fakes.
//
// Text is UTF-8. Every failure is a MapiError whose message a user can act on (which file,
// what went wrong).

#include "env/environment.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace tressimo::mapi {

class MapiError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The store itself failed (a write, sync or commit of its file): nothing more can reach the
// file, which stays as its last commit left it, and every later use of the store throws this
// again. A plain MapiError from an item concerns that item only; the store goes on.
class StoreFailure : public MapiError
{
public:
    using MapiError::MapiError;
};

// An OLE Automation date: days since 1899-12-30 00:00, the fraction being the time of day.
// Dates handed to the model are local time, as Outlook's object model takes them.
struct OleDate
{
    double days = 0;
};

// A value for a single MAPI property: text for string tags, a date for time tags,
// a number or flag for integer and boolean tags.
using PropertyValue = std::variant<std::string, OleDate, std::int32_t, bool>;

// Outlook's numbers for the default folders of a store (OlDefaultFolders).
enum OlDefaultFolders : int {
    olFolderDeletedItems = 3,
    olFolderOutbox = 4,
    olFolderSentMail = 5,
    olFolderInbox = 6,
    olFolderCalendar = 9,
    olFolderContacts = 10,
    olFolderJournal = 11,
    olFolderNotes = 12,
    olFolderTasks = 13,
    olFolderDrafts = 16,
};

// Outlook's item types (OlItemType); only contacts are created here.
enum OlItemType : int {
    olMailItem = 0,
    olAppointmentItem = 1,
    olContactItem = 2,
    olTaskItem = 3,
    olJournalItem = 4,
    olNoteItem = 5,
};

// Store formats of AddPSTStore (OlStoreType): the default and Unicode formats are the Unicode
// PST we write; the old ANSI format is refused.
enum OlStoreType : int {
    olStoreDefault = 1,
    olStoreUnicode = 2,
    olStoreANSI = 3,
};

// The MAPI message under an item (its MAPIOBJECT), for single-property writes.
class MapiMessage
{
public:
    virtual ~MapiMessage() = default;
    virtual void setProperty(std::uint32_t tag, const PropertyValue& value) = 0;
    virtual void saveChanges() = 0;
};

// A contact item, unsaved until Save. Destroying the object releases the item; changes made
// after the last save are dropped, as MAPI drops them.
class RDOContactItem
{
public:
    virtual ~RDOContactItem() = default;
    // Sets a contact property by its Outlook object-model name ("FirstName", "Email1Address",
    // "BusinessAddressStreet", "IMAddress", "Body", ...). An unknown name is a MapiError,
    // so each assignment succeeds or fails on its own.
    virtual void put(std::string_view property, std::string_view value) = 0;
    virtual std::string get(std::string_view property) const = 0;
    virtual MapiMessage& MAPIOBJECT() = 0;
    virtual void Save() = 0;
    // Makes the JPEG image the contact's picture, as Outlook's ContactItem.AddPicture does with
    // a file; a second call replaces the first picture. Kept like any change until the next
    // save. Anything but JPEG data is a MapiError. An item that cannot hold pictures refuses.
    virtual void AddPicture(std::span<const std::uint8_t> jpeg)
    {
        (void)jpeg;
        throw MapiError("This contact item cannot hold a picture.");
    }
};

class RDOItems
{
public:
    virtual ~RDOItems() = default;
    // Creates a new, unsaved item of the type; only olContactItem is supported.
    virtual std::unique_ptr<RDOContactItem> Add(int itemType) = 0;
};

class RDOFolder
{
public:
    virtual ~RDOFolder() = default;
    virtual RDOItems& Items() = 0;
    virtual std::string Name() const = 0;
};

class RDOStore
{
public:
    virtual ~RDOStore() = default;
    // The store's entry identifier as hexadecimal text.
    virtual std::string EntryID() const = 0;
    // Builds the standard folder tree of an Outlook data file (Inbox, Contacts, ...).
    virtual void ValidateIPMTree() = 0;
    virtual RDOFolder& GetDefaultFolder(int folderType) = 0;
    // Items the store's file holds as of its last commit that reached the disk: what a reader
    // finds in it should the program stop now. Still answers after Logoff.
    virtual std::uint64_t ItemsCommitted() const = 0;
};

class RDOStores
{
public:
    virtual ~RDOStores() = default;
    // Creates a new personal-folders file at the path (never replacing an existing file) and
    // opens it in the session under the display name.
    virtual RDOStore& AddPSTStore(const std::filesystem::path& path, int format = olStoreDefault,
                                  const std::string& displayName = {}) = 0;
};

class RDOSession
{
public:
    virtual ~RDOSession() = default;
    virtual void Logon() = 0;
    virtual RDOStores& Stores() = 0;
    virtual RDOStore& GetStoreFromID(const std::string& entryId) = 0;
    // Commits and closes every store of the session.
    virtual void Logoff() = 0;
};

// Single-property writes on an item's MAPI message, as Redemption's MAPIUtils offers them.
class MAPIUtils
{
public:
    // Sets one property; with save true, also commits the message's changes.
    void HrSetOneProp(MapiMessage& object, std::uint32_t tag, const PropertyValue& value, bool save)
    {
        object.setProperty(tag, value);
        if (save)
            object.saveChanges();
    }
};

struct SessionOptions
{
    // The clock (creation and modification times, commit timing), random bytes (record and
    // search keys) and the time zone of the dates handed in; clock, random and localToUtc are
    // required. The program's own, or a repeatable one in tests.
    env::Environment environment;
    // Saved items become durable at least this often during a long run.
    std::chrono::milliseconds commitInterval{2000};
};

// A session over our own PST writer, standing in for "Redemption.RDOSession".
std::unique_ptr<RDOSession> createSession(const SessionOptions& options);

} // namespace tressimo::mapi
