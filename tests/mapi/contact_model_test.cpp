// What saving a contact computes, case by case.

#include "contact_test_support.h"
#include "mapi/contact_model.h"
#include "mapi/contact_properties.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <gtest/gtest.h>

namespace tressimo::mapi::contact {
namespace {

using namespace std::chrono;
using namespace test;
using Properties = std::vector<StoredProperty>;
using Puts = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint32_t tagTitle = 0x3A45001F;  // PR_DISPLAY_NAME_PREFIX
constexpr std::uint32_t tagSuffix = 0x3A05001F; // PR_GENERATION
constexpr std::uint32_t tagBirthday = 0x3A420040;
constexpr std::uint32_t tagAnniversary = 0x3A410040;

Properties saveWith(const Puts& puts, const ContactEnvironment& environment = fixedEnvironment())
{
    ContactState state;
    for (const auto& [name, value] : puts)
        state.put(name, value);
    return state.saveProperties(environment);
}

// A name put again and again keeps only its last text, however often; the texts it replaced
// are dropped from the item's buffer now and then, and the others must survive that.
TEST(ContactState, TextsPutAgainAndAgainKeepTheLatest)
{
    ContactState state;
    state.put("LastName", "Smith");
    state.setProperty(tagTitle, std::string("Dr."));
    for (int i = 0; i < 3000; ++i)
        state.put("FirstName", "Given name number " + std::to_string(i));
    EXPECT_EQ(textOf(state.saveProperties(fixedEnvironment()), PidTagDisplayName),
              "Dr. Given name number 2999 Smith");
}

// Every name finds its own property, in any case; a name one byte off anywhere finds none
// (it may share the hash, and the whole name must be compared).
TEST(ContactState, ObjectModelNamesFindTheirPropertyAndNoOther)
{
    for (const ObjectModelProperty& property : objectModelProperties()) {
        EXPECT_EQ(findObjectModelProperty(property.name), &property) << property.name;
        std::string name(property.name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return char(std::toupper(c)); });
        EXPECT_EQ(findObjectModelProperty(name), &property) << name;
        for (std::size_t i = 0; i < name.size(); ++i) {
            std::string near(property.name);
            near[i] = '#';
            EXPECT_EQ(findObjectModelProperty(near), nullptr) << near;
        }
    }
}

TEST(ContactState, SetPropertyAcceptsOnlyWhatItCanStore)
{
    const std::tuple<std::uint32_t, PropertyValue, bool> cases[] = {
        {tagTitle, std::string("Dr."), true},
        {tagBirthday, OleDate{0}, true},                 // 1899-12-30 is a date like any other
        {tagBirthday, std::string("1990-05-10"), false}, // value does not match the type
        {0x3A42001F, std::string("x"), false},           // PR_BIRTHDAY is a time, not text
        {0x3A4D0002, std::int32_t{-2}, true},            // PR_GENDER is a 16-bit number
        {0x3A4D0002, std::int32_t{40000}, false},
        {0x3A4D0003, std::int32_t{2}, false},
    };
    ContactState state;
    for (const char* notANumber : {"Male", "2x", "40000"})
        EXPECT_THROW(state.put("Gender", notANumber), ContactModelError) << notANumber;
    for (const auto& [tag, value, accepted] : cases) {
        ContactState state;
        if (accepted)
            EXPECT_NO_THROW(state.setProperty(tag, value)) << std::hex << tag;
        else
            EXPECT_THROW(state.setProperty(tag, value), ContactModelError) << std::hex << tag;
        EXPECT_EQ(state.property(tag).has_value(), accepted) << std::hex << tag;
    }
}

TEST(ContactSave, DisplayNameFileAsAndInitials)
{
    struct Case
    {
        const char *first, *middle, *last, *title, *suffix, *company, *email;
        const char *displayName, *fileAs;
        std::int32_t fileAsId;
        const char* initials;
    } cases[] = {
        {"Ann", "Marie", "Smith", "", "", "", "", "Ann Marie Smith", "Smith, Ann Marie", 0x8017, "A.M.S."},
        {"Ann", "", "Smith", "Dr.", "Jr.", "Acme", "", "Dr. Ann Smith Jr.", "Smith, Ann", 0x8017, "A.S."},
        {"", "", "Smith", "", "", "", "", "Smith", "Smith", 0x8017, "S."},
        {"Ann", "Marie", "", "", "", "", "", "Ann Marie", "Ann Marie", 0x8017, "A.M."},
        {"", "Marie", "Smith", "", "", "", "", "Marie Smith", "Smith, Marie", 0x8017, "M.S."},
        {"", "", "", "Dr.", "", "Acme", "", "Dr.", "Acme", 0x3A16, "<absent>"},
        {"", "", "", "Dr.", "", "", "a@x.example", "Dr.", "Dr.", 0x3001, "<absent>"},
        {" ", "\t", "\r\n", " ", "", "  ", "", "<absent>", "<absent>", 0x8017, "<absent>"},
        {"\xF0\xA0\xAE\xB7子", "", "\xF0\x9F\x98\x80", "", "", "", "", "\xF0\xA0\xAE\xB7子 \xF0\x9F\x98\x80",
         "\xF0\x9F\x98\x80, \xF0\xA0\xAE\xB7子", 0x8017, "\xF0\xA0\xAE\xB7.\xF0\x9F\x98\x80."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + "|" + c.middle + "|" + c.last + "|" + c.company + "|" + c.email);
        ContactState state;
        for (auto [name, value] : {std::pair{"FirstName", c.first},
                                   {"MiddleName", c.middle},
                                   {"LastName", c.last},
                                   {"CompanyName", c.company},
                                   {"Email1Address", c.email}})
            state.put(name, value);
        state.setProperty(tagTitle, std::string(c.title));
        state.setProperty(tagSuffix, std::string(c.suffix));
        const Properties saved = state.saveProperties(fixedEnvironment());
        for (const PropertyKey& key : {PidTagDisplayName, PidTagSubject, PidTagConversationTopic})
            EXPECT_EQ(textOf(saved, key), c.displayName);
        EXPECT_EQ(textOf(saved, PidLidFileUnder), c.fileAs);
        EXPECT_EQ(*valueOf<std::int32_t>(saved, PidLidFileUnderId), c.fileAsId);
        const auto& choices = *valueOf<std::vector<std::int32_t>>(saved, PidLidFileUnderList);
        EXPECT_NE(std::find(choices.begin(), choices.end(), c.fileAsId), choices.end());
        EXPECT_EQ(textOf(saved, PidTagInitials), c.initials);
    }
}

TEST(ContactSave, EmailAddressesAreWrittenAsWholeGroups)
{
    struct Case
    {
        std::array<const char*, 3> addresses;
        std::vector<std::int32_t> list;
        std::int32_t bits;
    } cases[] = {
        {{"", "", ""}, {}, 0},
        {{"ann@example.com", " ", "ann@home.example"}, {0, 2}, 0x5},
        {{"ann@example.com", "ann@work.example", "ann@home.example"}, {0, 1, 2}, 0x7},
    };
    for (const auto& c : cases) {
        const Properties saved = saveWith({{"FirstName", "Ann"},
                                           {"LastName", "Smith"},
                                           {"Email1Address", c.addresses[0]},
                                           {"Email2Address", c.addresses[1]},
                                           {"Email3Address", c.addresses[2]}});
        const auto* list = valueOf<std::vector<std::int32_t>>(saved, PidLidAddressBookProviderEmailList);
        const auto* bits = valueOf<std::int32_t>(saved, PidLidAddressBookProviderArrayType);
        EXPECT_EQ(list ? *list : std::vector<std::int32_t>{}, c.list);
        EXPECT_EQ(bits ? *bits : 0, c.bits);
        EXPECT_EQ(list == nullptr, bits == nullptr);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("Email" + std::to_string(i + 1));
            const EmailGroupKeys& group = PidLidEmailGroups[i];
            const bool defined = (c.bits >> i) & 1;
            for (const auto& key : {group.displayName, group.addressType, group.emailAddress,
                                    group.originalDisplayName, group.originalEntryId})
                EXPECT_EQ(findProperty(saved, key) != nullptr, defined);
            if (!defined)
                continue;
            const std::string address = c.addresses[i];
            const std::string shown = "Ann Smith (" + address + ")";
            EXPECT_EQ(textOf(saved, group.displayName), shown);
            EXPECT_EQ(textOf(saved, group.emailAddress), address);
        }
    }
}

TEST(ContactSave, MailingAddressIsTheBusinessAddressElseTheHomeAddress)
{
    const Puts business = {{"BusinessAddressStreet", "1 Main St"}, {"BusinessAddressCity", "Springfield"},
                           {"BusinessAddressState", "IL"},         {"BusinessAddressPostalCode", "62701"},
                           {"BusinessAddressCountry", "USA"},      {"HomeAddressCity", "Paris"}};
    const char* businessText = "1 Main St\r\nSpringfield, IL 62701\r\nUSA";
    const char* absent = "<absent>";
    struct Case
    {
        Puts puts;
        std::int32_t selector;              // 0: absent
        std::array<const char*, 6> mailing; // street, city, state, postal code, country, whole
        const char *workText, *homeText;
    } cases[] = {
        {business,
         2,
         {"1 Main St", "Springfield", "IL", "62701", "USA", businessText},
         businessText,
         "Paris"},
        {{{"HomeAddressCity", "Paris"}, {"HomeAddressCountry", "France"}},
         1,
         {absent, "Paris", absent, absent, "France", "Paris\r\nFrance"},
         absent,
         "Paris\r\nFrance"},
        {{}, 0, {absent, absent, absent, absent, absent, absent}, absent, absent},
        {{{"BusinessAddressState", "IL"}, {"BusinessAddressPostalCode", "62701"}},
         2,
         {absent, absent, "IL", "62701", absent, "IL 62701"},
         "IL 62701",
         absent},
        {{{"BusinessAddressStreet", "  "},
          {"HomeAddressCity", "東京"},
          {"HomeAddressPostalCode", "100-0001"}},
         1,
         {absent, "東京", absent, "100-0001", absent, "東京, 100-0001"},
         absent,
         "東京, 100-0001"},
    };
    const PropertyKey mailingKeys[] = {PidTagStreetAddress, PidTagLocality, PidTagStateOrProvince,
                                       PidTagPostalCode,    PidTagCountry,  PidTagPostalAddress};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mailing[5]);
        const Properties saved = saveWith(c.puts);
        const auto* selector = valueOf<std::int32_t>(saved, PidLidPostalAddressId);
        EXPECT_EQ(selector ? *selector : 0, c.selector);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(textOf(saved, mailingKeys[i]), c.mailing[i]) << i;
        EXPECT_EQ(textOf(saved, PidLidWorkAddress), c.workText);
        EXPECT_EQ(textOf(saved, PidLidHomeAddress), c.homeText);
    }
}

TEST(ContactSave, TextsAreStoredAsGivenAndEmptyOnesLeftOut)
{
    const std::tuple<std::string, std::string, PropertyKey, const char*> cases[] = {
        {"IMAddress", "  ", PidLidInstantMessagingAddress, "<absent>"}, // two blanks of three empty parts
        {"IMAddress", "ann@im.example", PidLidInstantMessagingAddress, "ann@im.example"},
        {"Body", std::string("a\0b", 3), PidTagBody, "ab"},
    };
    for (const auto& [name, value, key, stored] : cases)
        EXPECT_EQ(textOf(saveWith({{name, value}}), key), stored) << name << "=" << value;
    EXPECT_EQ(*valueOf<std::vector<std::string>>(saveWith({{"Categories", "Work; 家族"}}), PidNameKeywords),
              (std::vector<std::string>{"Work", "家族"}));
}

// Every name put empty stores what a contact never given anything stores; keys come in key
// order, each once.
TEST(ContactSave, EmptyTextsStoreNothing)
{
    Puts puts;
    for (const auto& property : objectModelProperties())
        puts.emplace_back(property.name, "");
    const auto keysOf = [](const Properties& saved) {
        std::vector<PropertyKey> keys;
        for (const auto& property : saved)
            keys.push_back(property.key);
        return keys;
    };
    const std::vector<PropertyKey> keys = keysOf(saveWith(puts));
    EXPECT_EQ(keys, keysOf(saveWith({})));
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<>()), keys.end());
    EXPECT_EQ(valueOf<FileTime>(saveWith(puts), PidTagCreationTime)->ticks, ticksOf(fixedNow));
}

TEST(ContactSave, SavingAgainKeepsTheSearchKeyAndTagsWin)
{
    ContactState state;
    state.put("LastName", "Smith");
    state.setProperty(0x3001001F, std::string("Custom Name"));
    auto environment = fixedEnvironment();
    const Properties first = state.saveProperties(environment);
    environment.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x11); };
    const Properties second = state.saveProperties(environment);
    EXPECT_EQ(*valueOf<std::vector<std::uint8_t>>(second, PidTagSearchKey),
              *valueOf<std::vector<std::uint8_t>>(first, PidTagSearchKey));
    EXPECT_EQ(textOf(second, PidTagDisplayName), "Custom Name");
    EXPECT_EQ(textOf(second, PidTagSubject), "Smith");
}

// Birthday and anniversary in every zone from UTC-12 to UTC+14: PR_BIRTHDAY is the local
// midnight in UTC and the local twin the date at 00:00 unconverted, so whichever a reader takes
// it shows the given date, never the day before (east of UTC the UTC value falls on the
// previous calendar day).
TEST(ContactSave, DatesKeepTheirCalendarDayInEveryTimeZone)
{
    const year_month_day dates[] = {year{1990} / 5 / 10, year{1972} / 2 / 29, year{1899} / 12 / 30,
                                    year{1850} / 7 / 4, year{1601} / 1 / 2};
    for (int offset = -12 * 60; offset <= 14 * 60; offset += 15) {
        for (const auto& date : dates) {
            for (double fraction : {0.0, 0.99}) {
                ContactState state;
                state.setProperty(tagBirthday, OleDate{oleDateOf(date, fraction)});
                state.setProperty(tagAnniversary, OleDate{oleDateOf(date, fraction)});
                const Properties saved = state.saveProperties(fixedEnvironment(offset));
                const sys_seconds midnight{sys_days{date}};
                for (const auto& [utcKey, localKey] :
                     {std::pair{PidTagBirthday, PidLidBirthdayLocal},
                      {PidTagWeddingAnniversary, PidLidWeddingAnniversaryLocal}}) {
                    ASSERT_NE(valueOf<FileTime>(saved, utcKey), nullptr);
                    EXPECT_EQ(valueOf<FileTime>(saved, localKey)->ticks, ticksOf(midnight)) << offset;
                    EXPECT_EQ(valueOf<FileTime>(saved, utcKey)->ticks, ticksOf(midnight - minutes{offset}))
                        << offset;
                }
            }
        }
    }
}

} // namespace
} // namespace tressimo::mapi::contact
