#include "outlook/contact_item_writer.h"

#include "image/contact_picture.h"

#include <array>
#include <exception>
#include <memory>

namespace tressimo::outlook {

namespace {

using contacts::ContactRecord;

// One assignment by object-model name; a null source stands for the composed IMAddress.
struct Assignment
{
    std::string_view property;
    std::string ContactRecord::*source;
};

// The assignments in the order Outlook receives them; the order is part of the contract (a
// session may derive values, such as the display name, from what was put before).
constexpr std::array<Assignment, 34> kAssignments = {{
    {"FirstName", &ContactRecord::eContact_FirstName},
    {"MiddleName", &ContactRecord::eContact_MiddleName},
    {"LastName", &ContactRecord::eContact_LastName},
    {"JobTitle", &ContactRecord::eContact_JobTitle},
    {"CompanyName", &ContactRecord::eContact_Company},
    {"BusinessTelephoneNumber", &ContactRecord::eContact_OfficePhone},
    {"BusinessFaxNumber", &ContactRecord::eContact_OfficeFax},
    {"HomeTelephoneNumber", &ContactRecord::eContact_HomePhone},
    {"HomeFaxNumber", &ContactRecord::eContact_HomeFax},
    {"MobileTelephoneNumber", &ContactRecord::eContact_CellPhone},
    {"PagerNumber", &ContactRecord::eContact_Pager},
    {"BusinessAddressStreet", &ContactRecord::eContact_BusinessStreet},
    {"BusinessAddressCity", &ContactRecord::eContact_BusinessCity},
    {"BusinessAddressState", &ContactRecord::eContact_BusinessState},
    {"BusinessAddressPostalCode", &ContactRecord::eContact_BusinessZip},
    {"BusinessAddressCountry", &ContactRecord::eContact_BusinessCountry},
    {"HomeAddressStreet", &ContactRecord::eContact_PersonalStreet},
    {"HomeAddressCity", &ContactRecord::eContact_PersonalCity},
    {"HomeAddressState", &ContactRecord::eContact_PersonalState},
    {"HomeAddressPostalCode", &ContactRecord::eContact_PersonalZip},
    {"HomeAddressCountry", &ContactRecord::eContact_PersonalCountry},
    {"Email1Address", &ContactRecord::eContact_Email},
    {"Email2Address", &ContactRecord::eContact_Email2},
    {"Email3Address", &ContactRecord::eContact_Email3},
    {"WebPage", &ContactRecord::eContact_WebPage},
    {"IMAddress", nullptr},
    {"Categories", &ContactRecord::eContact_Categories},
    {"Department", &ContactRecord::eContact_Department},
    {"OfficeLocation", &ContactRecord::eContact_Location},
    {"Profession", &ContactRecord::eContact_JobTitle},
    {"ManagerName", &ContactRecord::eContact_Manager},
    {"AssistantName", &ContactRecord::eContact_Assistant},
    {"Spouse", &ContactRecord::eContact_Spouse},
    {"Body", &ContactRecord::eContact_Comments},
}};

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
                                    std::int16_t FolderName, const contacts::ContactRecord& contact)
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

    const std::optional<std::string> imAddress = composeIMAddress(
        contact.eContact_OtherEmail1, contact.eContact_OtherEmail2, contact.eContact_OtherEmail3);
    for (const Assignment& assignment : kAssignments) {
        if (!assignment.source) {
            if (imAddress)
                steps.run(assignment.property, [&] { item->put(assignment.property, *imAddress); });
            continue;
        }
        steps.run(assignment.property, [&] { item->put(assignment.property, contact.*assignment.source); });
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
    setOne("PR_DISPLAY_NAME_PREFIX", PR_DISPLAY_NAME_PREFIX, contact.eContact_Title);
    setOne("PR_GENERATION", PR_GENERATION, contact.eContact_Suffix);

    // A photo that cannot be made into a picture leaves the contact without one; the contact
    // itself is written all the same, and the result says why.
    if (!contact.Photo.empty()) {
        const image::OutlookPicture picture =
            image::outlookPictureFromBase64(contact.Photo, contact.PhotoType);
        if (picture.jpeg.empty())
            result.pictureProblem = picture.problem;
        else
            steps.run("AddPicture", [&] { item->AddPicture(picture.jpeg); });
    }

    result.saved = steps.run("Save", [&] { item->Save(); });
    return result;
}

} // namespace tressimo::outlook
