#include "contacts/contact_entries.h"

#include "text/ascii.h"

#include <algorithm>
#include <span>
#include <utility>

namespace tressimo::contacts {

namespace {

using namespace std::string_view_literals;
using Member = std::string ContactRecord::*;
using R = ContactRecord;

constexpr std::pair<std::string_view, EntryKind> kEntryNames[] = {
    {"c:Name"sv, EntryKind::Name},
    {"c:Position"sv, EntryKind::Position},
    {"c:Person"sv, EntryKind::Person},
    {"c:EmailAddress"sv, EntryKind::EmailAddress},
    {"c:PhoneNumber"sv, EntryKind::PhoneNumber},
    {"c:IMAddress"sv, EntryKind::IMAddress},
    {"c:Url"sv, EntryKind::Url},
    {"c:Photo"sv, EntryKind::Photo},
};

// How a label reads in an Unplaced line; an empty word adds nothing to the line. A label
// not listed reads as written, without a "wab:" prefix.
constexpr std::pair<std::string_view, std::string_view> kLabelWords[] = {
    {"Business"sv, "work"sv},     {"Personal"sv, "home"sv},
    {"Other"sv, "other"sv},       {"Voice"sv, ""sv},
    {"Preferred"sv, ""sv},        {"wab:SocialNetwork"sv, "social network"sv},
    {"wab:School"sv, "school"sv}, {"wab:WishList"sv, "wish list"sv},
};

// A number's kind label and where it goes by its place label; an empty slot sends it to the
// Unplaced lines. A number with no kind label counts as a voice number.
struct PhoneKind
{
    std::string_view label;
    Member home, work, other; // "Personal", "Business", "Other" or no place label
};

constexpr PhoneKind kVoice = {"Voice"sv, &R::Home2Phone, &R::Business2Phone, &R::OtherPhone};
constexpr PhoneKind kPhoneKinds[] = {
    kVoice,
    {"Fax"sv, nullptr, nullptr, &R::OtherFax},
    {"Cellular"sv, &R::MobilePhone, &R::MobilePhone, &R::MobilePhone},
    {"Mobile"sv, &R::MobilePhone, &R::MobilePhone, &R::MobilePhone},
    {"PCS"sv, &R::MobilePhone, &R::MobilePhone, &R::MobilePhone},
    {"Pager"sv, nullptr, nullptr, nullptr},
    {"Car"sv, &R::CarPhone, &R::CarPhone, &R::CarPhone},
    {"ISDN"sv, &R::IsdnNumber, &R::IsdnNumber, &R::IsdnNumber},
    {"TTY"sv, &R::TtyPhone, &R::TtyPhone, &R::TtyPhone},
    {"Video"sv, nullptr, nullptr, &R::OtherPhone},
    {"Modem"sv, nullptr, nullptr, &R::OtherPhone},
    {"BBS"sv, nullptr, nullptr, &R::OtherPhone},
};

// The numbers the established rules store.
constexpr Member kLegacyNumbers[] = {&R::eContact_OfficePhone, &R::eContact_OfficeFax, &R::eContact_CellPhone,
                                     &R::eContact_Pager,       &R::eContact_HomePhone, &R::eContact_HomeFax};

// People by label; wab:Child fills the list of children instead.
struct PersonLabel
{
    std::string_view label;
    Member member;
};
constexpr PersonLabel kPeople[] = {
    {"wab:Spouse"sv, &R::Spouse}, {"wab:Manager"sv, &R::Manager}, {"wab:Assistant"sv, &R::Assistant}};

constexpr std::string_view kLabel = "c:Label"sv;

class Entry
{
public:
    Entry(const ContactEntries& all, const HeldEntry& held)
        : texts(std::span(all.Texts).subspan(held.FirstText, held.EndText - held.FirstText)),
          contentType(held.ContentType)
    {
    }

    // The first text of that element, or empty.
    std::string_view text(std::string_view name) const
    {
        for (const EntryText& t : texts)
            if (t.Name == name)
                return t.Value;
        return {};
    }
    bool has(std::string_view label) const
    {
        for (const EntryText& t : texts)
            if (t.Name == kLabel && t.Value == label)
                return true;
        return false;
    }
    // The row of its first label among `choices`, or null.
    template <class Row, std::size_t N> const Row* firstOf(const Row (&choices)[N]) const
    {
        for (const EntryText& t : texts)
            if (t.Name == kLabel)
                for (const Row& row : choices)
                    if (row.label == t.Value)
                        return &row;
        return nullptr;
    }

    std::span<const EntryText> texts;
    std::string_view contentType;
};

std::string_view labelWord(std::string_view label)
{
    for (const auto& [written, word] : kLabelWords)
        if (label == written)
            return word;
    return label.starts_with("wab:"sv) ? label.substr(4) : label;
}

// "Base (first, label words): value".
std::string unplacedLine(std::string_view base, std::string_view first, const Entry* entry,
                         std::string_view value)
{
    std::string words(first);
    if (entry)
        for (const EntryText& t : entry->texts)
            if (t.Name == kLabel)
                if (const std::string_view word = labelWord(t.Value); !word.empty())
                    words.append(words.empty() ? ""sv : ", "sv).append(word);
    std::string line(base);
    if (!words.empty())
        line.append(" (").append(words).append(")");
    return line.append(": ").append(value);
}

class Placer
{
public:
    explicit Placer(ContactRecord& record) : m_record(record) {}

    void place(EntryKind kind, const Entry& entry);

private:
    // Into `target` when it is still empty, else onto the Unplaced lines.
    void put(Member target, std::string_view value, std::string_view base, std::string_view first,
             const Entry* entry)
    {
        if (target && (m_record.*target).empty())
            m_record.*target = value;
        else
            m_record.Unplaced.push_back(unplacedLine(base, first, entry, value));
    }
    void phone(const Entry& entry);
    void url(const Entry& entry);
    void person(const Entry& entry);

    ContactRecord& m_record;
};

void Placer::place(EntryKind kind, const Entry& entry)
{
    switch (kind) {
    case EntryKind::Name:
        if (m_record.FormattedName.empty())
            m_record.FormattedName = entry.text("c:FormattedName"sv);
        break;
    case EntryKind::Position:
        // The established company and job title win; the file's own word, when it differs,
        // goes to the notes.
        if (const std::string_view v = entry.text("c:Organization"sv);
            !v.empty() && v != m_record.eContact_Company)
            put(m_record.eContact_Company.empty() ? &R::Organization : nullptr, v, "Organization"sv, {},
                nullptr);
        if (const std::string_view v = entry.text("c:Role"sv); !v.empty() && v != m_record.eContact_JobTitle)
            put(m_record.eContact_JobTitle.empty() ? &R::Role : nullptr, v, "Role"sv, {}, nullptr);
        break;
    case EntryKind::Person:
        person(entry);
        break;
    case EntryKind::EmailAddress: {
        const std::string_view address = entry.text("c:Address"sv);
        if (address.empty() ||
            std::ranges::any_of(kEmailSlots, [&](Member slot) { return m_record.*slot == address; }))
            break;
        const std::string_view type = entry.text("c:Type"sv);
        put(nullptr, address, "E-mail"sv, type == "SMTP"sv ? ""sv : type, &entry);
        break;
    }
    case EntryKind::PhoneNumber:
        phone(entry);
        break;
    case EntryKind::IMAddress: {
        const std::string_view address = entry.text("c:Value"sv);
        const std::string_view protocol = entry.text("c:Protocol"sv);
        if (address.empty())
            break;
        if (m_record.IMAddress.empty()) {
            m_record.IMAddress = address;
            if (!protocol.empty())
                put(nullptr, protocol, "IM protocol"sv, {}, nullptr);
        } else {
            put(nullptr, address, "IM"sv, protocol, &entry);
        }
        break;
    }
    case EntryKind::Url:
        url(entry);
        break;
    case EntryKind::Photo:
        // The contact's own picture; a logo or a picture given only by a link is not it.
        if (m_record.Photo.empty() && entry.has("UserTile"sv)) {
            m_record.Photo = entry.text("c:Value"sv);
            m_record.PhotoType = m_record.Photo.empty() ? ""sv : entry.contentType;
        }
        break;
    }
}

void Placer::phone(const Entry& entry)
{
    const std::string_view number = entry.text("c:Number"sv);
    if (number.empty())
        return;
    if (entry.has("Preferred"sv) && m_record.PrimaryPhone.empty())
        m_record.PrimaryPhone = number;
    for (const Member legacy : kLegacyNumbers)
        if (m_record.*legacy == number)
            return;
    const PhoneKind* kind = entry.firstOf(kPhoneKinds);
    if (!kind)
        kind = &kVoice;
    Member target = entry.has("Personal"sv) ? kind->home : entry.has("Business"sv) ? kind->work : kind->other;
    // A mobile number of another kind only where no cellular one was read.
    if (target == &R::MobilePhone && !m_record.eContact_CellPhone.empty())
        target = nullptr;
    put(target, number, "Phone"sv, {}, &entry);
}

void Placer::url(const Entry& entry)
{
    const std::string_view address = entry.text("c:Value"sv);
    if (address.empty() || address == m_record.eContact_WebPage)
        return;
    bool personal = entry.has("Personal"sv), business = false, other = false;
    for (const EntryText& t : entry.texts)
        if (t.Name == kLabel) {
            business = business || t.Value == "Business"sv;
            other = other || (t.Value != "Personal"sv && t.Value != "Business"sv && t.Value != "Preferred"sv);
        }
    // The first personal or unlabelled address is the home page; a business one is the work
    // page only where the established rule stored none.
    Member target = other                               ? nullptr
                    : personal || !business             ? &R::PersonalWebPage
                    : m_record.eContact_WebPage.empty() ? &R::BusinessWebPage
                                                        : nullptr;
    put(target, address, "Web page"sv, {}, &entry);
}

void Placer::person(const Entry& entry)
{
    const std::string_view name = entry.text("c:FormattedName"sv);
    if (name.empty())
        return;
    if (entry.has("wab:Child"sv)) {
        m_record.Children.emplace_back(name);
        return;
    }
    const auto* known = entry.firstOf(kPeople);
    put(known ? known->member : nullptr, name, "Person"sv, {}, &entry);
}

} // namespace

// Called for every element of a document: the names differ in length, so one comparison at most.
std::optional<EntryKind> ContactEntries::kindOf(std::string_view name)
{
    static constexpr auto byLength = [] {
        std::array<const std::pair<std::string_view, EntryKind>*, 16> rows{};
        for (const auto& row : kEntryNames)
            rows.at(row.first.size()) = rows.at(row.first.size()) ? throw "two names of one length" : &row;
        return rows;
    }();
    const auto* row = name.size() < byLength.size() ? byLength[name.size()] : nullptr;
    if (row && row->first == name)
        return row->second;
    return std::nullopt;
}

void ContactEntries::clear()
{
    Entries.clear();
    Texts.clear();
}

void placeEntries(const ContactEntries& entries, ContactRecord& record)
{
    Placer placer(record);
    for (const HeldEntry& held : entries.Entries)
        placer.place(held.Kind, Entry(entries, held));
}

std::string_view withoutTelScheme(std::string_view number)
{
    const std::size_t start = number.find_first_not_of(' ');
    if (start != std::string_view::npos && text::startsWithIgnoringAsciiCase(number.substr(start), "tel:"sv))
        return number.substr(start + 4);
    return number;
}

} // namespace tressimo::contacts
