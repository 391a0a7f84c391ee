#include "outlook/contact_item_writer.h"

#include "image/contact_picture.h"
#include "outlook/full_name.h"
#include "text/ascii.h"

#include <array>
#include <exception>
#include <memory>

namespace tressimo::outlook {

namespace {

using contacts::ContactRecord;
using C = ContactRecord;
using V = ComposedValues;

constexpr Assignment kAssignmentRows[] = {
    {"FirstName", &C::eContact_FirstName, &V::firstName},
    {"MiddleName", &C::eContact_MiddleName, &V::middleName},
    {"LastName", &C::eContact_LastName, &V::lastName},
    {"JobTitle", &C::eContact_JobTitle},
    {"CompanyName", &C::eContact_Company, nullptr, &C::Organization},
    {"BusinessTelephoneNumber", &C::eContact_OfficePhone},
    {"BusinessFaxNumber", &C::eContact_OfficeFax},
    {"HomeTelephoneNumber", &C::eContact_HomePhone},
    {"HomeFaxNumber", &C::eContact_HomeFax},
    {"MobileTelephoneNumber", &C::eContact_CellPhone, nullptr, &C::MobilePhone},
    {"PagerNumber", &C::eContact_Pager},
    {"BusinessAddressStreet", nullptr, &V::businessStreet, &C::eContact_BusinessStreet},
    {"BusinessAddressCity", &C::eContact_BusinessCity},
    {"BusinessAddressState", &C::eContact_BusinessState},
    {"BusinessAddressPostalCode", &C::eContact_BusinessZip},
    {"BusinessAddressCountry", &C::eContact_BusinessCountry},
    {"HomeAddressStreet", nullptr, &V::homeStreet, &C::eContact_PersonalStreet},
    {"HomeAddressCity", &C::eContact_PersonalCity},
    {"HomeAddressState", &C::eContact_PersonalState},
    {"HomeAddressPostalCode", &C::eContact_PersonalZip},
    {"HomeAddressCountry", &C::eContact_PersonalCountry},
    {"Email1Address", &C::eContact_Email},
    {"Email2Address", &C::eContact_Email2},
    {"Email3Address", &C::eContact_Email3},
    {"WebPage", &C::eContact_WebPage, nullptr, &C::BusinessWebPage},
    {"IMAddress", nullptr, &V::imAddress, &C::IMAddress, false},
    {"Categories", &C::eContact_Categories},
    {"Department", &C::eContact_Department},
    {"OfficeLocation", &C::eContact_Location},
    // The file's own profession wins over the job title.
    {"Profession", &C::Profession, nullptr, &C::eContact_JobTitle},
    {"ManagerName", &C::eContact_Manager, nullptr, &C::Manager},
    {"AssistantName", &C::eContact_Assistant, nullptr, &C::Assistant},
    {"Spouse", &C::eContact_Spouse, nullptr, &C::Spouse},
    {"Body", nullptr, &V::body, &C::eContact_Comments},
    {"NickName", &C::NickName, nullptr, nullptr, false},
    {"Gender", nullptr, &V::gender, nullptr, false},
    {"Children", nullptr, &V::children, nullptr, false},
    {"Home2TelephoneNumber", &C::Home2Phone, nullptr, nullptr, false},
    {"Business2TelephoneNumber", &C::Business2Phone, nullptr, nullptr, false},
    {"CarTelephoneNumber", &C::CarPhone, nullptr, nullptr, false},
    {"ISDNNumber", &C::IsdnNumber, nullptr, nullptr, false},
    {"TTYTDDTelephoneNumber", &C::TtyPhone, nullptr, nullptr, false},
    {"OtherTelephoneNumber", &C::OtherPhone, nullptr, nullptr, false},
    {"PrimaryTelephoneNumber", &C::PrimaryPhone, nullptr, nullptr, false},
    {"OtherFaxNumber", &C::OtherFax, nullptr, nullptr, false},
    {"HomeAddressPostOfficeBox", &C::HomePOBox, nullptr, nullptr, false},
    {"BusinessAddressPostOfficeBox", &C::BusinessPOBox, nullptr, nullptr, false},
    {"OtherAddressStreet", nullptr, &V::otherStreet, &C::OtherStreet, false},
    {"OtherAddressCity", &C::OtherCity, nullptr, nullptr, false},
    {"OtherAddressState", &C::OtherState, nullptr, nullptr, false},
    {"OtherAddressPostalCode", &C::OtherZip, nullptr, nullptr, false},
    {"OtherAddressCountry", &C::OtherCountry, nullptr, nullptr, false},
    {"OtherAddressPostOfficeBox", &C::OtherPOBox, nullptr, nullptr, false},
    // An address label is the group's full text, as the file shows it.
    {"HomeAddress", &C::HomeLabel, nullptr, nullptr, false},
    {"BusinessAddress", &C::BusinessLabel, nullptr, nullptr, false},
    {"OtherAddress", &C::OtherLabel, nullptr, nullptr, false},
    {"SelectedMailingAddress", nullptr, &V::mailingAddress, nullptr, false},
    {"PersonalHomePage", &C::PersonalWebPage, nullptr, nullptr, false},
};

constexpr TagAssignment kTagAssignmentRows[] = {
    {{"PR_DISPLAY_NAME_PREFIX", &C::eContact_Title, &V::title}, PR_DISPLAY_NAME_PREFIX},
    {{"PR_GENERATION", &C::eContact_Suffix, &V::suffix}, PR_GENERATION},
};

// The street with the extended address as a second line; empty without an extended address,
// as the row then takes the street itself (no copy of it for nearly every contact).
std::string streetLines(const std::string& street, const std::string& extended)
{
    if (extended.empty())
        return {};
    return street.empty() ? extended : street + "\r\n" + extended;
}

// A word of the file as the number Outlook keeps for it, or empty.
std::string numberOf(std::string_view word, std::initializer_list<std::pair<std::string_view, std::string_view>> numbers)
{
    for (const auto& [name, number] : numbers)
        if (text::equalsIgnoringAsciiCase(word, name))
            return std::string(number);
    return {};
}

// Runs one step; a refusal is noted and swallowed so the next step runs.
class Steps
{
public:
    explicit Steps(ContactItemResult& result) : m_result(result) {}

    template <class Step> bool run(std::string_view name, Step&& step)
    {
        try {
            step();
            return true;
        } catch (const mapi::StoreFailure&) {
            // The store itself failed: no later step can reach the file, and the caller must
            // stop writing, so this one is not the contact's to swallow.
            throw;
        } catch (const std::exception& e) {
            refused(name, e.what());
        } catch (...) {
            refused(name, "unknown error");
        }
        return false;
    }

    void refused(std::string_view name, std::string_view reason)
    {
        if (m_result.refusedSteps++ == 0) {
            m_result.firstFailedStep = name;
            m_result.firstError = reason;
        }
    }

private:
    ContactItemResult& m_result;
};

} // namespace

const std::span<const Assignment> kAssignments = kAssignmentRows;
const std::span<const TagAssignment> kTagAssignments = kTagAssignmentRows;

std::string_view assignedValue(const Assignment& row, const ContactRecord& contact, const ComposedValues& composed)
{
    if (row.field && !(contact.*row.field).empty())
        return contact.*row.field;
    if (row.composed && !(composed.*row.composed).empty())
        return composed.*row.composed;
    return row.fallback ? std::string_view(contact.*row.fallback) : std::string_view();
}

ComposedValues composeValues(const ContactRecord& contact)
{
    ComposedValues v;
    FullNameParts name;
    if (contact.eContact_FirstName.empty() && contact.eContact_MiddleName.empty() &&
        contact.eContact_LastName.empty())
        name = splitFullName(contact.FormattedName);
    v.firstName = std::move(name.first);
    v.middleName = std::move(name.middle);
    v.lastName = std::move(name.last);
    // Needed only where the record's own title and suffix are empty, as those win.
    if (contact.eContact_Title.empty())
        v.title = contact.Prefix.empty() ? std::move(name.title) : contact.Prefix;
    if (contact.eContact_Suffix.empty())
        v.suffix = contact.Generation.empty() ? std::move(name.suffix) : contact.Generation;
    v.imAddress = composeIMAddress(contact.eContact_OtherEmail1, contact.eContact_OtherEmail2,
                                   contact.eContact_OtherEmail3)
                      .value_or(std::string());
    if (!contact.Unplaced.empty()) {
        // The person's own notes first and unchanged, then a blank line and the heading.
        const std::string& notes = contact.eContact_Comments;
        v.body = notes;
        if (!notes.empty())
            v.body += notes.ends_with('\n') ? "\r\n" : "\r\n\r\n";
        v.body += kUnplacedHeading;
        for (const std::string& line : contact.Unplaced)
            v.body.append("\r\n").append(line);
    }
    for (const std::string& child : contact.Children)
        if (!child.empty())
            v.children.append(v.children.empty() ? "" : ", ").append(child);
    v.gender = numberOf(contact.Gender, {{"Male", "2"}, {"Female", "1"}, {"Unspecified", "0"}});
    v.mailingAddress = numberOf(contact.MailingAddress, {{"Personal", "1"}, {"Business", "2"}, {"Other", "3"}});
    v.businessStreet = streetLines(contact.eContact_BusinessStreet, contact.BusinessExtended);
    v.homeStreet = streetLines(contact.eContact_PersonalStreet, contact.HomeExtended);
    v.otherStreet = streetLines(contact.OtherStreet, contact.OtherExtended);
    return v;
}

std::optional<std::string> composeIMAddress(std::string_view otherEmail1, std::string_view otherEmail2,
                                            std::string_view otherEmail3)
{
    std::string joined;
    for (std::string_view part : {otherEmail1, otherEmail2, otherEmail3}) {
        if (part.empty())
            continue;
        if (!joined.empty())
            joined += ' ';
        joined += part;
    }
    if (joined.empty())
        return std::nullopt;
    return joined;
}

ContactItemResult CreateContactItem(mapi::RDOSession& objSession, const std::string& storeID,
                                    std::int16_t FolderName, const contacts::ContactRecord& contact,
                                    const image::OutlookPicture* picture, const ComposedValues* given)
{
    ContactItemResult result;
    Steps steps(result);

    // Without the store, the folder or the item every later step would fail in turn; the
    // first refusal says why, and nothing is written.
    mapi::RDOStore* store = nullptr;
    if (!steps.run("GetStoreFromID", [&] { store = &objSession.GetStoreFromID(storeID); }))
        return result;
    mapi::RDOFolder* folder = nullptr;
    if (!steps.run("GetDefaultFolder", [&] { folder = &store->GetDefaultFolder(FolderName); }))
        return result;
    mapi::RDOItems* items = nullptr;
    if (!steps.run("Items", [&] { items = &folder->Items(); }))
        return result;
    std::unique_ptr<mapi::RDOContactItem> item;
    if (!steps.run("Add", [&] { item = items->Add(mapi::olContactItem); }))
        return result;
    if (!item) {
        steps.refused("Add", "The folder gave no new item.");
        return result;
    }

    ComposedValues made;
    if (!given)
        made = composeValues(contact);
    const ComposedValues& composed = given ? *given : made;
    for (const Assignment& row : kAssignments) {
        const std::string_view value = assignedValue(row, contact, composed);
        if (row.always || !value.empty())
            steps.run(row.property, [&] { item->put(row.property, value); });
    }

    mapi::MAPIUtils utils;
    // The message object is fetched anew for each write, as the item may hand out a
    // different one after a save.
    auto setOne = [&](std::string_view name, std::uint32_t tag, const mapi::PropertyValue& value) {
        steps.run(name, [&] { utils.HrSetOneProp(item->MAPIOBJECT(), tag, value, true); });
    };
    // A date the file did not give stays unset: writing the reset value would give every
    // such contact 30 December 1899.
    if (contact.eContact_BirthDay)
        setOne("PR_BIRTHDAY", PR_BIRTHDAY, mapi::OleDate{*contact.eContact_BirthDay});
    if (contact.eContact_Anniversary)
        setOne("PR_WEDDING_ANNIVERSARY", PR_WEDDING_ANNIVERSARY,
               mapi::OleDate{*contact.eContact_Anniversary});
    for (const TagAssignment& row : kTagAssignments)
        setOne(row.value.property, row.tag, std::string(assignedValue(row.value, contact, composed)));

    // A photo that cannot be made into a picture leaves the contact without one; the contact
    // itself is written all the same, and the result says why.
    if (!contact.Photo.empty()) {
        const image::OutlookPicture made =
            picture ? image::OutlookPicture{}
                    : image::outlookPictureFromBase64(contact.Photo, contact.PhotoType);
        const image::OutlookPicture& given = picture ? *picture : made;
        if (given.jpeg.empty())
            result.pictureProblem = given.problem;
        else
            steps.run("AddPicture", [&] { item->AddPicture(given.jpeg); });
    }

    result.saved = steps.run("Save", [&] { item->Save(); });
    return result;
}

} // namespace tressimo::outlook
