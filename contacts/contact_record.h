#pragma once
// The values of one contact on their way from a .contact file to an Outlook contact item.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::contacts {

// Field names are those of the contact writer's arguments, in its argument order, so every
// value reaches the argument of the same name. Texts are UTF-8, held exactly as read.
// Dates are OLE Automation dates (days since 1899-12-30 00:00); empty means the reader set
// none, and value_or(0) gives the legacy reset value.
struct ContactRecord
{
    std::string eContact_FirstName;
    std::string eContact_MiddleName;
    std::string eContact_LastName;
    std::string eContact_Suffix;
    std::string eContact_Title;
    std::string eContact_Email;
    std::string eContact_Email2;
    std::string eContact_Email3;
    std::string eContact_Company;
    std::string eContact_JobTitle;
    std::string eContact_BusinessStreet;
    std::string eContact_BusinessCity;
    std::string eContact_BusinessZip;
    std::string eContact_BusinessState;
    std::string eContact_BusinessCountry;
    std::string eContact_Location;
    std::string eContact_WebPage;
    std::string eContact_Department;
    std::string eContact_Manager;
    std::string eContact_Assistant;
    std::string eContact_OfficePhone;
    std::string eContact_OfficeFax;
    std::string eContact_CellPhone;
    std::string eContact_Pager;
    std::string eContact_OtherEmail1;
    std::string eContact_OtherEmail2;
    std::string eContact_OtherEmail3;
    std::string eContact_PersonalStreet;
    std::string eContact_PersonalCity;
    std::string eContact_PersonalZip;
    std::string eContact_PersonalState;
    std::string eContact_PersonalCountry;
    std::string eContact_Spouse;
    std::string eContact_Childern;
    std::string eContact_HomePhone;
    std::string eContact_HomeFax;
    std::optional<double> eContact_BirthDay;
    std::optional<double> eContact_Anniversary;
    std::string eContact_Comments;
    std::string eContact_ShortName;
    std::string eContact_PhoneticName;
    std::string eContact_MailDomain;
    std::string eContact_Categories;

    // Values the fields above have no place for, each with an Outlook place of its own (or the
    // notes). Filled only where the fields above leave the Outlook property empty.
    std::string FormattedName; // the whole name, used when the file gives no name parts
    std::string Prefix;
    std::string Generation;
    std::string NickName;
    std::string Profession; // the file's own, which wins over the job title
    std::string Organization;
    std::string Role;
    std::string Gender; // "Male", "Female", "Unspecified" as the file says
    std::string Spouse;
    std::string Manager;
    std::string Assistant;
    std::vector<std::string> Children;
    std::string MobilePhone; // Mobile or PCS, for when no Cellular number was read
    std::string Home2Phone;
    std::string Business2Phone;
    std::string CarPhone;
    std::string IsdnNumber;
    std::string TtyPhone;
    std::string OtherPhone;
    std::string PrimaryPhone;
    std::string OtherFax;
    std::string BusinessPOBox;
    std::string BusinessExtended;
    std::string BusinessLabel;
    std::string HomePOBox;
    std::string HomeExtended;
    std::string HomeLabel;
    std::string OtherStreet;
    std::string OtherCity;
    std::string OtherZip;
    std::string OtherState;
    std::string OtherCountry;
    std::string OtherPOBox;
    std::string OtherExtended;
    std::string OtherLabel;
    std::string MailingAddress; // "Business", "Personal", "Other" or empty
    std::string PersonalWebPage;
    std::string BusinessWebPage;
    std::string IMAddress;
    std::string PhotoType; // the UserTile photo's content type, e.g. "image/bmp"
    std::string Photo;     // its base64 text as read
    // Values with no Outlook place, one "Label: value" line each, for the end of the notes.
    std::vector<std::string> Unplaced;

    // Every text empty, both dates unset. Keeps the strings' storage for the next file.
    void reset();
};

enum class ContactFieldKind { Text, Date, TextList };

// One row of a field table: exactly one of the member pointers is set, by kind.
struct ContactField
{
    std::string_view name;
    ContactFieldKind kind;
    std::string ContactRecord::*text;
    std::optional<double> ContactRecord::*date;
    std::vector<std::string> ContactRecord::*list = nullptr;
};

// The name is spelled once, from the member itself, so a row cannot name one field and
// point at another.
// clang-format off
#define TRESSIMO_TEXT_FIELD(member) ContactField{#member, ContactFieldKind::Text, &ContactRecord::member, nullptr}
#define TRESSIMO_DATE_FIELD(member) ContactField{#member, ContactFieldKind::Date, nullptr, &ContactRecord::member}
#define TRESSIMO_LIST_FIELD(member) \
    ContactField{#member, ContactFieldKind::TextList, nullptr, nullptr, &ContactRecord::member}

// The fields in record order, for code that handles every field alike (dumps, the writer).
inline constexpr std::array kContactFields = {
    TRESSIMO_TEXT_FIELD(eContact_FirstName),
    TRESSIMO_TEXT_FIELD(eContact_MiddleName),
    TRESSIMO_TEXT_FIELD(eContact_LastName),
    TRESSIMO_TEXT_FIELD(eContact_Suffix),
    TRESSIMO_TEXT_FIELD(eContact_Title),
    TRESSIMO_TEXT_FIELD(eContact_Email),
    TRESSIMO_TEXT_FIELD(eContact_Email2),
    TRESSIMO_TEXT_FIELD(eContact_Email3),
    TRESSIMO_TEXT_FIELD(eContact_Company),
    TRESSIMO_TEXT_FIELD(eContact_JobTitle),
    TRESSIMO_TEXT_FIELD(eContact_BusinessStreet),
    TRESSIMO_TEXT_FIELD(eContact_BusinessCity),
    TRESSIMO_TEXT_FIELD(eContact_BusinessZip),
    TRESSIMO_TEXT_FIELD(eContact_BusinessState),
    TRESSIMO_TEXT_FIELD(eContact_BusinessCountry),
    TRESSIMO_TEXT_FIELD(eContact_Location),
    TRESSIMO_TEXT_FIELD(eContact_WebPage),
    TRESSIMO_TEXT_FIELD(eContact_Department),
    TRESSIMO_TEXT_FIELD(eContact_Manager),
    TRESSIMO_TEXT_FIELD(eContact_Assistant),
    TRESSIMO_TEXT_FIELD(eContact_OfficePhone),
    TRESSIMO_TEXT_FIELD(eContact_OfficeFax),
    TRESSIMO_TEXT_FIELD(eContact_CellPhone),
    TRESSIMO_TEXT_FIELD(eContact_Pager),
    TRESSIMO_TEXT_FIELD(eContact_OtherEmail1),
    TRESSIMO_TEXT_FIELD(eContact_OtherEmail2),
    TRESSIMO_TEXT_FIELD(eContact_OtherEmail3),
    TRESSIMO_TEXT_FIELD(eContact_PersonalStreet),
    TRESSIMO_TEXT_FIELD(eContact_PersonalCity),
    TRESSIMO_TEXT_FIELD(eContact_PersonalZip),
    TRESSIMO_TEXT_FIELD(eContact_PersonalState),
    TRESSIMO_TEXT_FIELD(eContact_PersonalCountry),
    TRESSIMO_TEXT_FIELD(eContact_Spouse),
    TRESSIMO_TEXT_FIELD(eContact_Childern),
    TRESSIMO_TEXT_FIELD(eContact_HomePhone),
    TRESSIMO_TEXT_FIELD(eContact_HomeFax),
    TRESSIMO_DATE_FIELD(eContact_BirthDay),
    TRESSIMO_DATE_FIELD(eContact_Anniversary),
    TRESSIMO_TEXT_FIELD(eContact_Comments),
    TRESSIMO_TEXT_FIELD(eContact_ShortName),
    TRESSIMO_TEXT_FIELD(eContact_PhoneticName),
    TRESSIMO_TEXT_FIELD(eContact_MailDomain),
    TRESSIMO_TEXT_FIELD(eContact_Categories),
};

// The values added after those, in record order.
inline constexpr std::array kMoreContactFields = {
    TRESSIMO_TEXT_FIELD(FormattedName),
    TRESSIMO_TEXT_FIELD(Prefix),
    TRESSIMO_TEXT_FIELD(Generation),
    TRESSIMO_TEXT_FIELD(NickName),
    TRESSIMO_TEXT_FIELD(Profession),
    TRESSIMO_TEXT_FIELD(Organization),
    TRESSIMO_TEXT_FIELD(Role),
    TRESSIMO_TEXT_FIELD(Gender),
    TRESSIMO_TEXT_FIELD(Spouse),
    TRESSIMO_TEXT_FIELD(Manager),
    TRESSIMO_TEXT_FIELD(Assistant),
    TRESSIMO_LIST_FIELD(Children),
    TRESSIMO_TEXT_FIELD(MobilePhone),
    TRESSIMO_TEXT_FIELD(Home2Phone),
    TRESSIMO_TEXT_FIELD(Business2Phone),
    TRESSIMO_TEXT_FIELD(CarPhone),
    TRESSIMO_TEXT_FIELD(IsdnNumber),
    TRESSIMO_TEXT_FIELD(TtyPhone),
    TRESSIMO_TEXT_FIELD(OtherPhone),
    TRESSIMO_TEXT_FIELD(PrimaryPhone),
    TRESSIMO_TEXT_FIELD(OtherFax),
    TRESSIMO_TEXT_FIELD(BusinessPOBox),
    TRESSIMO_TEXT_FIELD(BusinessExtended),
    TRESSIMO_TEXT_FIELD(BusinessLabel),
    TRESSIMO_TEXT_FIELD(HomePOBox),
    TRESSIMO_TEXT_FIELD(HomeExtended),
    TRESSIMO_TEXT_FIELD(HomeLabel),
    TRESSIMO_TEXT_FIELD(OtherStreet),
    TRESSIMO_TEXT_FIELD(OtherCity),
    TRESSIMO_TEXT_FIELD(OtherZip),
    TRESSIMO_TEXT_FIELD(OtherState),
    TRESSIMO_TEXT_FIELD(OtherCountry),
    TRESSIMO_TEXT_FIELD(OtherPOBox),
    TRESSIMO_TEXT_FIELD(OtherExtended),
    TRESSIMO_TEXT_FIELD(OtherLabel),
    TRESSIMO_TEXT_FIELD(MailingAddress),
    TRESSIMO_TEXT_FIELD(PersonalWebPage),
    TRESSIMO_TEXT_FIELD(BusinessWebPage),
    TRESSIMO_TEXT_FIELD(IMAddress),
    TRESSIMO_TEXT_FIELD(PhotoType),
    TRESSIMO_TEXT_FIELD(Photo),
    TRESSIMO_LIST_FIELD(Unplaced),
};

#undef TRESSIMO_LIST_FIELD
#undef TRESSIMO_TEXT_FIELD
#undef TRESSIMO_DATE_FIELD
// clang-format on

inline constexpr std::size_t kContactFieldCount = kContactFields.size();

// Visits the rows of both tables, in record order.
template <class Visit> void forEachContactField(Visit&& visit)
{
    for (const ContactField& field : kContactFields)
        visit(field);
    for (const ContactField& field : kMoreContactFields)
        visit(field);
}

// The copy the contact writer receives: every text trimmed of spaces (U+0020 only,
// text::trimSpaces), dates as they are.
ContactRecord handOver(const ContactRecord& record);
// The same, trimming the record's own texts in place (a huge note is not copied).
ContactRecord handOver(ContactRecord&& record);
// Makes the record itself the hand-over copy, trimming its texts where they are.
void handOverInPlace(ContactRecord& record);

} // namespace tressimo::contacts
