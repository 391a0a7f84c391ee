#include "contacts/contact_record.h"

#include "text/ascii.h"

namespace tressimo::contacts {

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
    handOverInPlace(record);
    return std::move(record);
}

void handOverInPlace(ContactRecord& record)
{
    forEachContactField([&](const ContactField& field) {
        if (field.kind == ContactFieldKind::Text)
            trimInPlace(record.*field.text);
        else if (field.kind == ContactFieldKind::TextList)
            for (std::string& item : record.*field.list)
                trimInPlace(item);
    });
}

} // namespace tressimo::contacts
