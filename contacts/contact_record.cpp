#include "contacts/contact_record.h"

#include "text/ascii.h"

namespace tressimo::contacts {

// The name is spelled once, from the member itself, so a row cannot name one field and
// point at another.
#define TRESSIMO_TEXT_FIELD(member) ContactField{#member, ContactFieldKind::Text, &ContactRecord::member, nullptr}
#define TRESSIMO_DATE_FIELD(member) ContactField{#member, ContactFieldKind::Date, nullptr, &ContactRecord::member}

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

#undef TRESSIMO_TEXT_FIELD
#undef TRESSIMO_DATE_FIELD

void ContactRecord::reset()
{
    for (const ContactField& field : kContactFields) {
        if (field.kind == ContactFieldKind::Text)
            (this->*field.text).clear();
        else
            (this->*field.date).reset();
    }
}

ContactRecord handOver(const ContactRecord& record)
{
    ContactRecord copy;
    for (const ContactField& field : kContactFields) {
        if (field.kind == ContactFieldKind::Text)
            copy.*field.text = text::trimSpaces(record.*field.text);
        else
            copy.*field.date = record.*field.date;
    }
    return copy;
}

ContactRecord handOver(ContactRecord&& record)
{
    ContactRecord moved = std::move(record);
    for (const ContactField& field : kContactFields) {
        if (field.kind != ContactFieldKind::Text)
            continue;
        std::string& text = moved.*field.text;
        const std::string_view kept = text::trimSpaces(text);
        if (kept.size() != text.size()) {
            const auto first = static_cast<std::size_t>(kept.data() - text.data());
            text.erase(first + kept.size());
            text.erase(0, first);
        }
    }
    return moved;
}

} // namespace tressimo::contacts
