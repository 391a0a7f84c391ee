#include "contacts/contact_reader.h"

#include "contacts/contact_date.h"
#include "contacts/name_lookup.h"
#include "text/ascii.h"

#include <string_view>

namespace tressimo::contacts {

namespace {

using namespace std::string_view_literals;

struct PlainField
{
    std::string_view name;
    std::string ContactRecord::*field;
};

// Each occurrence overwrites, so the last one in the document wins.
constexpr PlainField kPlainFields[] = {
    {"c:GivenName"sv, &ContactRecord::eContact_FirstName},
    {"c:MiddleName"sv, &ContactRecord::eContact_MiddleName},
    {"c:FamilyName"sv, &ContactRecord::eContact_LastName},
    {"c:Title"sv, &ContactRecord::eContact_Title},
    {"c:Suffix"sv, &ContactRecord::eContact_Suffix},
    {"c:Company"sv, &ContactRecord::eContact_Company},
    {"c:JobTitle"sv, &ContactRecord::eContact_JobTitle},
    {"c:Office"sv, &ContactRecord::eContact_Location},
    {"c:Department"sv, &ContactRecord::eContact_Department},
    {"c:Notes"sv, &ContactRecord::eContact_Comments},
    {"c:Prefix"sv, &ContactRecord::Prefix},
    {"c:Generation"sv, &ContactRecord::Generation},
    {"c:NickName"sv, &ContactRecord::NickName},
    {"c:Profession"sv, &ContactRecord::Profession},
    {"c:Gender"sv, &ContactRecord::Gender},
};

constexpr std::size_t kPlainCount = std::size(kPlainFields);

// The plain fields' names, then the address parts'.
constexpr NameLookup kTextRules{[] {
    std::array<std::string_view, kPlainCount + kAddressPartCount> names{};
    for (std::size_t i = 0; i < kPlainCount; ++i)
        names[i] = kPlainFields[i].name;
    for (std::size_t i = 0; i < kAddressPartCount; ++i)
        names[kPlainCount + i] = kAddressPartNames[i];
    return names;
}()};

using R = ContactRecord;

struct AddressGroup
{
    std::string_view name; // as the mailing address names it
    std::array<std::string R::*, kAddressPartCount> parts;
};

constexpr AddressGroup kBusinessAddress = {"Business"sv,
                                           {&R::eContact_BusinessStreet, &R::eContact_BusinessCity,
                                            &R::eContact_BusinessZip, &R::eContact_BusinessState,
                                            &R::eContact_BusinessCountry, &R::BusinessPOBox,
                                            &R::BusinessExtended, &R::BusinessLabel}};

constexpr AddressGroup kHomeAddress = {"Personal"sv,
                                       {&R::eContact_PersonalStreet, &R::eContact_PersonalCity,
                                        &R::eContact_PersonalZip, &R::eContact_PersonalState,
                                        &R::eContact_PersonalCountry, &R::HomePOBox, &R::HomeExtended,
                                        &R::HomeLabel}};

constexpr AddressGroup kOtherAddress = {"Other"sv,
                                        {&R::OtherStreet, &R::OtherCity, &R::OtherZip, &R::OtherState,
                                         &R::OtherCountry, &R::OtherPOBox, &R::OtherExtended,
                                         &R::OtherLabel}};

constexpr std::string_view kPhysicalAddress = "c:PhysicalAddress"sv;
constexpr std::string_view kDate = "c:Date"sv;
constexpr std::string_view kUrl = "c:Url"sv;
constexpr std::string_view kLabel = "c:Label"sv;
constexpr std::string_view kValue = "c:Value"sv;
constexpr std::string_view kNumber = "c:Number"sv;

// Only ASCII letters can lower-case to the letters of a scheme, so an ASCII-only test finds
// exactly what a full lower-casing would. The secure scheme counts like the plain one.
bool isWebAddress(std::string_view text)
{
    return text::containsIgnoringAsciiCase(text, "http:"sv) || text::containsIgnoringAsciiCase(text, "https:"sv);
}

class Reader
{
public:
    Reader(ContactRecord& record, ContactReaderContext& context) : m_record(record), m_context(context) {}

    void enterElement(std::string_view name);
    void leaveElement(std::string_view name);
    void text(std::string_view name, std::string_view value);

private:
    void labelRules(std::string_view label);
    void valueLabelRules(std::string_view label, std::string_view value);
    void storeAddressPart(std::size_t part, std::string_view value);
    void routeHeldAddress();
    void storeAddress(const AddressGroup& group);
    void startLabelledValue();

    ContactRecord& m_record;
    ContactReaderContext& m_context;
};

void Reader::enterElement(std::string_view name)
{
    if (name == kPhysicalAddress) {
        // An address nested in another ends the outer one's parts read so far.
        if (m_context.AddressDepth > 0)
            routeHeldAddress();
        ++m_context.AddressDepth;
    } else if (name == kDate || name == kUrl) {
        ++m_context.LabelledValueDepth;
        startLabelledValue();
    }
}

void Reader::leaveElement(std::string_view name)
{
    if (name == kPhysicalAddress) {
        routeHeldAddress();
        --m_context.AddressDepth;
    } else if (name == kDate || name == kUrl) {
        --m_context.LabelledValueDepth;
        // Whatever follows inside an outer c:Date or c:Url is read as a fresh element.
        startLabelledValue();
    }
}

void Reader::startLabelledValue()
{
    m_context.LabelledValueSeen = false;
    m_context.HasLabelBeforeValue = false;
    m_context.LabelBeforeValue.clear();
}

void Reader::text(std::string_view name, std::string_view value)
{
    ContactReaderContext& ctx = m_context;
    if (name == kNumber)
        value = withoutTelScheme(value);
    if (ctx.OpenEntry) {
        ctx.Held.Texts.push_back({name, value});
        ctx.Held.Entries.back().EndText = ctx.Held.Texts.size();
    }

    if (const int rule = kTextRules.find(name); rule != kTextRules.kNone) {
        const auto at = static_cast<std::size_t>(rule);
        if (at < kPlainCount)
            m_record.*kPlainFields[at].field = value;
        else
            storeAddressPart(at - kPlainCount, value);
    }

    if (name == "c:Type"sv && value == "SMTP"sv) {
        ctx.SmtpPending = true;
        ++ctx.EmailCount;
    } else if (name == "c:Address"sv && ctx.SmtpPending) {
        // A fourth and later address is dropped and leaves the type pending.
        if (ctx.EmailCount >= 1 && ctx.EmailCount <= kEmailSlots.size()) {
            m_record.*kEmailSlots[ctx.EmailCount - 1] = value;
            ctx.SmtpPending = false;
        }
    }

    if (name == kLabel) {
        if (value == "Business"sv)
            ctx.BusinessLabelSeen = true;
        if (ctx.AddressDepth > 0) {
            if (value == "Business"sv)
                ctx.Address.BusinessLabel = true;
            else if (value == "Personal"sv)
                ctx.Address.PersonalLabel = true;
            else if (value == "Other"sv)
                ctx.Address.OtherLabel = true;
            else if (value == "Preferred"sv || value == "Postal"sv)
                ctx.Address.MailingLabel = true;
        }
        labelRules(value);
        if (ctx.LabelledValueDepth > 0 && !ctx.LabelledValueSeen && !ctx.HasLabelBeforeValue) {
            ctx.HasLabelBeforeValue = true;
            ctx.LabelBeforeValue = value;
        }
    } else if (name == kValue && ctx.LabelledValueDepth > 0 && !ctx.LabelledValueSeen) {
        ctx.LabelledValueSeen = true;
        if (ctx.HasLabelBeforeValue)
            valueLabelRules(ctx.LabelBeforeValue, value);
    }

    ctx.PreviousName = name;
    ctx.PreviousValue = value;
}

// A label gives meaning to the text node read just before it.
void Reader::labelRules(std::string_view label)
{
    ContactReaderContext& ctx = m_context;

    // A label at the head of a c:Date or c:Url labels that element's own value, which is
    // still to come, not the text read before the element (a value, or a number's kind).
    if (ctx.LabelledValueDepth > 0 && !ctx.LabelledValueSeen)
        return;

    if (ctx.PreviousName == kNumber) {
        if (label == "Pager"sv)
            m_record.eContact_Pager = ctx.PreviousValue;
        else if (label == "Cellular"sv)
            m_record.eContact_CellPhone = ctx.PreviousValue;
        else if (label == "Fax"sv)
            ctx.HeldFax = ctx.PreviousValue;
        else if (label == "Voice"sv)
            ctx.HeldVoice = ctx.PreviousValue;
    } else if (ctx.PreviousName == kLabel) {
        // A place label right after a kind label: the first number of each kind and place wins.
        const bool fax = ctx.PreviousValue == "Fax"sv;
        const bool voice = ctx.PreviousValue == "Voice"sv;
        std::string* target = nullptr;
        if (label == "Business"sv)
            target = fax ? &m_record.eContact_OfficeFax : voice ? &m_record.eContact_OfficePhone : nullptr;
        else if (label == "Personal"sv)
            target = fax ? &m_record.eContact_HomeFax : voice ? &m_record.eContact_HomePhone : nullptr;
        if (target && target->empty())
            *target = fax ? ctx.HeldFax : ctx.HeldVoice;
    } else if (ctx.PreviousName == kValue) {
        valueLabelRules(label, ctx.PreviousValue);
    }
}

void Reader::valueLabelRules(std::string_view label, std::string_view value)
{
    if (label == "Business"sv) {
        if (isWebAddress(value))
            m_record.eContact_WebPage = value;
    } else if (label == "wab:Birthday"sv) {
        // A value that is not a date is skipped; the rest of the document is still read.
        if (const auto date = dateOfValue(value))
            m_record.eContact_BirthDay = date;
    } else if (label == "wab:Anniversary"sv) {
        if (const auto date = dateOfValue(value))
            m_record.eContact_Anniversary = date;
    }
}

void Reader::storeAddressPart(std::size_t part, std::string_view value)
{
    ContactReaderContext& ctx = m_context;
    if (ctx.AddressDepth > 0) {
        ctx.Address.Parts[part] = value;
        ctx.Address.HasParts = true;
        return;
    }
    // A part outside any address element has no labels of its own to wait for.
    const AddressGroup& group = ctx.BusinessLabelSeen ? kHomeAddress : kBusinessAddress;
    m_record.*group.parts[part] = value;
}

// An address goes where its own labels say; an "Other" one to the other address; one with
// none of these labels to the business fields until some "Business" label has been read in
// the document, to the home fields after. An address with no parts at all (an empty
// placeholder) changes nothing. The first one labelled for mail is the mailing address.
void Reader::routeHeldAddress()
{
    HeldAddress& address = m_context.Address;
    if (address.HasParts) {
        const AddressGroup* first = nullptr;
        if (address.BusinessLabel)
            storeAddress(*(first = &kBusinessAddress));
        if (address.PersonalLabel) {
            storeAddress(kHomeAddress);
            first = first ? first : &kHomeAddress;
        }
        if (!first)
            storeAddress(*(first = address.OtherLabel            ? &kOtherAddress
                                   : m_context.BusinessLabelSeen ? &kHomeAddress
                                                                 : &kBusinessAddress));
        if (address.MailingLabel && m_record.MailingAddress.empty())
            m_record.MailingAddress = first->name;
    }
    address.clear();
}

// The whole group is replaced, empty parts included, so two addresses never mix.
void Reader::storeAddress(const AddressGroup& group)
{
    for (std::size_t part = 0; part < kAddressPartCount; ++part)
        m_record.*group.parts[part] = m_context.Address.Parts[part];
}

} // namespace

void HeldAddress::clear()
{
    for (std::string& part : Parts)
        part.clear();
    HasParts = false;
    BusinessLabel = false;
    PersonalLabel = false;
    OtherLabel = false;
    MailingLabel = false;
}

void ContactReaderContext::reset()
{
    SmtpPending = false;
    EmailCount = 0;
    BusinessLabelSeen = false;
    PreviousName = {};
    PreviousValue = {};
    HeldFax.clear();
    HeldVoice.clear();
    AddressDepth = 0;
    Address.clear();
    LabelledValueDepth = 0;
    LabelledValueSeen = false;
    HasLabelBeforeValue = false;
    LabelBeforeValue.clear();
    OpenEntry = false;
    Held.clear();
    OpenElements.clear();
}

namespace {

// Document order through pugixml's own traversal, which follows the node links inside the
// library: a walk of our own paid a call into it for every step. The elements open at a node
// are its ancestors, so a node at depth d first closes every open element at d or deeper.
class Walk final : public pugi::xml_tree_walker
{
public:
    Walk(Reader& reader, ContactReaderContext& context) : m_reader(reader), m_context(context) {}

    bool for_each(pugi::xml_node& node) override
    {
        ContactReaderContext& ctx = m_context;
        const auto depth = static_cast<std::size_t>(this->depth());
        closeDownTo(depth);
        const pugi::xml_node_type type = node.type();
        if (type == pugi::node_element) {
            const std::string_view name = node.name();
            m_reader.enterElement(name);
            bool opensEntry = false;
            // An entry inside an entry is read as part of the outer one.
            if (!ctx.OpenEntry) {
                if (const auto kind = ContactEntries::kindOf(name)) {
                    ctx.OpenEntry = opensEntry = true;
                    const std::size_t at = ctx.Held.Texts.size();
                    ctx.Held.Entries.push_back({*kind, at, at, {}});
                }
            }
            ctx.OpenElements.push_back({name, opensEntry});
        } else if (type == pugi::node_pcdata) {
            const std::string_view value = node.value();
            if (!text::isWhitespaceOnly(value)) {
                // A text at the top has the document for its parent, which has no name.
                const std::string_view name =
                    ctx.OpenElements.empty() ? std::string_view() : ctx.OpenElements.back().name;
                m_reader.text(name, value);
                // A photo's value carries its content type.
                if (ctx.OpenEntry && name == kValue && ctx.Held.Entries.back().Kind == EntryKind::Photo)
                    ctx.Held.Entries.back().ContentType = node.parent().attribute("c:ContentType").value();
            }
        }
        return true;
    }

    // Leaves the open elements from the innermost out, until `depth` are left open. Only an
    // open address, date or web address can end here; most elements lie outside them, and
    // their names need not be looked at again.
    void closeDownTo(std::size_t depth)
    {
        ContactReaderContext& ctx = m_context;
        while (ctx.OpenElements.size() > depth) {
            const ContactReaderContext::OpenElement& element = ctx.OpenElements.back();
            if (ctx.AddressDepth > 0 || ctx.LabelledValueDepth > 0)
                m_reader.leaveElement(element.name);
            if (element.opensEntry)
                ctx.OpenEntry = false;
            ctx.OpenElements.pop_back();
        }
    }

private:
    Reader& m_reader;
    ContactReaderContext& m_context;
};

} // namespace

void DisplayNode(const pugi::xml_node& document, ContactRecord& record, ContactReaderContext& context)
{
    context.reset();
    Reader reader(record, context);
    Walk walk(reader, context);
    pugi::xml_node root = document;
    root.traverse(walk);
    walk.closeDownTo(0);
    placeEntries(context.Held, record);
}

} // namespace tressimo::contacts
