#include "contacts/contact_record.h"

#include "text/ascii.h"

namespace tressimo::contacts {

// The name is spelled once, from the member itself, so a row cannot name one field and
// point at another.
#define TRESSIMO_TEXT_FIELD(member) ContactField{#member, ContactFieldKind::Text, &ContactRecord::member, nullptr}
#define TRESSIMO_DATE_FIELD(member) ContactField{#member, ContactFieldKind::Date, nullptr, &ContactRecord::member}
#define TRESSIMO_LIST_FIELD(member) \
    ContactField{#member, ContactFieldKind::TextList, nullptr, nullptr, &ContactRecord::member}

const std::array<ContactField, kContactFieldCount> kContactFields = {
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

constexpr ContactField kMoreFieldRows[] = {
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
const std::span<const ContactField> kMoreContactFields = kMoreFieldRows;

#undef TRESSIMO_LIST_FIELD
#undef TRESSIMO_TEXT_FIELD
#undef TRESSIMO_DATE_FIELD

namespace {

void trimInPlace(std::string& text)
{
    const std::string_view kept = text::trimSpaces(text);
    if (kept.size() != text.size()) {
        const auto first = static_cast<std::size_t>(kept.data() - text.data());
        text.erase(first + kept.size());
        text.erase(0, first);
    }
}

} // namespace

void ContactRecord::reset()
{
    forEachContactField([this](const ContactField& field) {
        switch (field.kind) {
        case ContactFieldKind::Text: (this->*field.text).clear(); break;
        case ContactFieldKind::Date: (this->*field.date).reset(); break;
        case ContactFieldKind::TextList: (this->*field.list).clear(); break;
        }
    });
}

ContactRecord handOver(const ContactRecord& record)
{
    ContactRecord copy;
    forEachContactField([&](const ContactField& field) {
        switch (field.kind) {
        case ContactFieldKind::Text: copy.*field.text = text::trimSpaces(record.*field.text); break;
        case ContactFieldKind::Date: copy.*field.date = record.*field.date; break;
        case ContactFieldKind::TextList:
            for (const std::string& item : record.*field.list)
                (copy.*field.list).emplace_back(text::trimSpaces(item));
            break;
        }
    });
    return copy;
}

ContactRecord handOver(ContactRecord&& record)
{
    ContactRecord moved = std::move(record);
    forEachContactField([&](const ContactField& field) {
        if (field.kind == ContactFieldKind::Text)
            trimInPlace(moved.*field.text);
        else if (field.kind == ContactFieldKind::TextList)
            for (std::string& item : moved.*field.list)
                trimInPlace(item);
    });
    return moved;
}

} // namespace tressimo::contacts
