// What saving a contact computes, case by case.

#include "mapi/contact_model.h"

#include "mapi/contact_entryid.h"
#include "contact_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace tressimo::mapi::contact {
namespace {

using namespace std::chrono;
using test::fixedEnvironment;
using test::oleDateOf;
using test::textOf;
using test::ticksOf;
using test::valueOf;
using Properties = std::vector<StoredProperty>;
using Puts = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint32_t tagDisplayNamePrefix = 0x3A45001F;
constexpr std::uint32_t tagGeneration = 0x3A05001F;
constexpr std::uint32_t tagBirthday = 0x3A420040;
constexpr std::uint32_t tagWeddingAnniversary = 0x3A410040;

Properties saveWith(const Puts& puts, const ContactEnvironment& environment = fixedEnvironment())
{
    ContactState state;
    for (const auto& [name, value] : puts)
        state.put(name, value);
    return state.saveProperties(environment);
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (auto b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

TEST(ContactState, PutAndGetEveryNameAndRefuseUnknownOnes)
{
    ContactState state;
    for (const auto& property : objectModelProperties())
        state.put(property.name, "value of " + std::string(property.name));
    for (const auto& property : objectModelProperties())
        EXPECT_EQ(state.get(property.name), "value of " + std::string(property.name));
    EXPECT_EQ(state.get("firstname"), "value of FirstName");
    // The same property set by tag reads back by name.
    state.setProperty(0x3A06001F, std::string("Ann"));
    EXPECT_EQ(state.get("FirstName"), "Ann");

    EXPECT_THROW(state.put("Birthday", "x"), ContactModelError);
    EXPECT_THROW(state.put("Email4Address", "x"), MapiError);
    EXPECT_THROW((void)state.get("Nickname"), ContactModelError);
    EXPECT_EQ(ContactState().get("Body"), "");
}

TEST(ContactState, SetPropertyAcceptsOnlyWhatItCanStore)
{
    const double nan = std::nan("");
    struct Case
    {
        std::uint32_t tag;
        PropertyValue value;
        bool accepted;
    } cases[] = {
        {tagDisplayNamePrefix, std::string("Dr."), true},
        {0x3A45001E, std::string("Dr."), true},           // PT_STRING8 taken as Unicode
        {tagBirthday, OleDate{0}, true},                  // 1899-12-30 is a date like any other
        {tagBirthday, std::string("1990-05-10"), false},  // value does not match the type
        {0x3A42001F, std::string("x"), false},            // PR_BIRTHDAY is a time, not text
        {0x3A060003, std::int32_t{1}, false},             // PR_GIVEN_NAME is text
        {tagBirthday, OleDate{nan}, false},
        {tagBirthday, OleDate{-200000}, false},           // 1352
        {tagWeddingAnniversary, OleDate{3000000}, false}, // past 9999
        {0x80000003, std::int32_t{1}, false},             // named ids belong to one store's map
        {0x00000003, std::int32_t{1}, false},
        {0x10000102, std::string("x"), false},            // binary cannot be given here
        {0x0E070003, std::int32_t{0}, true},
        {0x6001000B, true, true},                         // a property the model does not know
    };
    for (const auto& c : cases) {
        ContactState state;
        if (c.accepted) {
            EXPECT_NO_THROW(state.setProperty(c.tag, c.value)) << std::hex << c.tag;
            EXPECT_TRUE(state.property(c.tag).has_value()) << std::hex << c.tag;
        } else {
            EXPECT_THROW(state.setProperty(c.tag, c.value), ContactModelError) << std::hex << c.tag;
        }
    }
}

TEST(ContactSave, DisplayNameAndFileAsFollowOutlook)
{
    struct Case
    {
        const char* first;
        const char* middle;
        const char* last;
        const char* title;
        const char* suffix;
        const char* company;
        const char* email;
        const char* displayName;
        const char* fileAs;
        std::int32_t fileAsId;
        const char* initials;
    } cases[] = {
        {"Ann", "Marie", "Smith", "", "", "", "", "Ann Marie Smith", "Smith, Ann Marie", 0x8017, "A.M.S."},
        {"Ann", "", "Smith", "Dr.", "Jr.", "Acme", "", "Dr. Ann Smith Jr.", "Smith, Ann", 0x8017, "A.S."},
        {"", "", "Smith", "", "", "", "", "Smith", "Smith", 0x8017, "S."},
        {"Ann", "", "", "", "", "", "", "Ann", "Ann", 0x8017, "A."},
        {"Ann", "Marie", "", "", "", "", "", "Ann Marie", "Ann Marie", 0x8017, "A.M."},
        {"", "Marie", "Smith", "", "", "", "", "Marie Smith", "Smith, Marie", 0x8017, "M.S."},
        {"", "", "", "", "", "Acme", "a@acme.example", "Acme", "Acme", 0x3A16, "<absent>"},
        {"", "", "", "Dr.", "", "Acme", "", "Dr.", "Acme", 0x3A16, "<absent>"},
        {"", "", "", "Dr.", "", "", "a@x.example", "Dr.", "Dr.", 0x3001, "<absent>"},
        {"", "", "", "", "", "", "ann@example.com", "ann@example.com", "ann@example.com", 0x3001, "<absent>"},
        {"", "", "", "", "", "", "", "<absent>", "<absent>", 0x8017, "<absent>"},
        {" ", "\t", "\r\n", " ", "", "  ", "", "<absent>", "<absent>", 0x8017, "<absent>"},
        {"太郎", "", "山田", "", "", "", "", "太郎 山田", "山田, 太郎", 0x8017, "太.山."},
        {"\xF0\xA0\xAE\xB7子", "", "\xF0\x9F\x98\x80", "", "", "", "", "\xF0\xA0\xAE\xB7子 \xF0\x9F\x98\x80",
         "\xF0\x9F\x98\x80, \xF0\xA0\xAE\xB7子", 0x8017, "\xF0\xA0\xAE\xB7.\xF0\x9F\x98\x80."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + "|" + c.middle + "|" + c.last + "|" + c.company + "|" + c.email);
        ContactState state;
        state.put("FirstName", c.first);
        state.put("MiddleName", c.middle);
        state.put("LastName", c.last);
        state.put("CompanyName", c.company);
        state.put("Email1Address", c.email);
        state.setProperty(tagDisplayNamePrefix, std::string(c.title));
        state.setProperty(tagGeneration, std::string(c.suffix));
        const Properties saved = state.saveProperties(fixedEnvironment());
        EXPECT_EQ(textOf(saved, PidTagDisplayName), c.displayName);
        EXPECT_EQ(textOf(saved, PidTagSubject), c.displayName);
        EXPECT_EQ(textOf(saved, PidTagConversationTopic), c.displayName);
        EXPECT_EQ(textOf(saved, PidLidFileUnder), c.fileAs);
        EXPECT_EQ(*valueOf<std::int32_t>(saved, PidLidFileUnderId), c.fileAsId);
        const auto* choices = valueOf<std::vector<std::int32_t>>(saved, PidLidFileUnderList);
        ASSERT_NE(choices, nullptr);
        EXPECT_NE(std::find(choices->begin(), choices->end(), c.fileAsId), choices->end());
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
        {{"ann@example.com", "", ""}, {0}, 0x1},
        {{"", "ann@work.example", ""}, {1}, 0x2},
        {{"", "", "ann@home.example"}, {2}, 0x4},
        {{"ann@example.com", "", "ann@home.example"}, {0, 2}, 0x5},
        {{"ann@example.com", "ann@work.example", "ann@home.example"}, {0, 1, 2}, 0x7},
        {{" ", "ann@work.example", "\t"}, {1}, 0x2},
    };
    for (const auto& c : cases) {
        const Properties saved = saveWith({{"FirstName", "Ann"}, {"LastName", "Smith"},
                                           {"Email1Address", c.addresses[0]}, {"Email2Address", c.addresses[1]},
                                           {"Email3Address", c.addresses[2]}});
        const auto* list = valueOf<std::vector<std::int32_t>>(saved, PidLidAddressBookProviderEmailList);
        const auto* bits = valueOf<std::int32_t>(saved, PidLidAddressBookProviderArrayType);
        if (c.list.empty()) {
            EXPECT_EQ(list, nullptr);
            EXPECT_EQ(bits, nullptr);
        } else {
            ASSERT_NE(list, nullptr);
            ASSERT_NE(bits, nullptr);
            EXPECT_EQ(*list, c.list);
            EXPECT_EQ(*bits, c.bits);
        }
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("Email" + std::to_string(i + 1));
            const EmailGroupKeys& group = PidLidEmailGroups[i];
            const std::string address = c.addresses[i];
            const bool defined = (c.bits >> i) & 1;
            const PropertyKey keys[] = {group.displayName, group.addressType, group.emailAddress,
                                        group.originalDisplayName, group.originalEntryId};
            for (const auto& key : keys)
                EXPECT_EQ(findProperty(saved, key) != nullptr, defined);
            if (!defined)
                continue;
            const std::string shown = "Ann Smith (" + address + ")";
            EXPECT_EQ(textOf(saved, group.displayName), shown);
            EXPECT_EQ(textOf(saved, group.addressType), "SMTP");
            EXPECT_EQ(textOf(saved, group.emailAddress), address);
            EXPECT_EQ(textOf(saved, group.originalDisplayName), address);
            EXPECT_EQ(*valueOf<std::vector<std::uint8_t>>(saved, group.originalEntryId),
                      makeOneOffEntryId(shown, "SMTP", address));
        }
    }
}

TEST(ContactSave, OneOffEntryIdBytes)
{
    const std::string header = "00000000" "812B1FA4BEA310199D6E00DD010F5402" "0000" "0180";
    struct Case
    {
        std::string name, type, address, bytes;
    } cases[] = {
        {"Ann", "SMTP", "a@b.c", header + "41006E006E000000" "53004D005400500000" "00" "610040006200" "2E0063000000"},
        {"", "SMTP", "a", header + "0000" "53004D0054005000" "0000" "61000000"},
        {"\xF0\x9F\x98\x80", "SMTP", "\xE5\xB1\xB1", header + "3DD800DE0000" "53004D0054005000" "0000" "715C0000"},
        {std::string("A\0B", 3), "SMTP", "x", header + "410042000000" "53004D0054005000" "0000" "78000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(makeOneOffEntryId(c.name, c.type, c.address)), c.bytes) << c.name;
}

TEST(ContactSave, MailingAddressIsTheBusinessAddressElseTheHomeAddress)
{
    const Puts business = {{"BusinessAddressStreet", "1 Main St"},
                           {"BusinessAddressCity", "Springfield"},
                           {"BusinessAddressState", "IL"},
                           {"BusinessAddressPostalCode", "62701"},
                           {"BusinessAddressCountry", "USA"}};
    const Puts home = {{"HomeAddressCity", "Paris"}, {"HomeAddressCountry", "France"}};
    Puts both = business;
    both.insert(both.end(), home.begin(), home.end());
    const std::string businessText = "1 Main St\r\nSpringfield, IL 62701\r\nUSA";
    struct Case
    {
        const char* what;
        Puts puts;
        std::optional<std::int32_t> selector;
        std::array<const char*, 6> mailing; // street, city, state, postal code, country, whole
        const char* workText;
        const char* homeText;
    } cases[] = {
        {"business only", business, 2,
         {"1 Main St", "Springfield", "IL", "62701", "USA", businessText.c_str()}, businessText.c_str(), "<absent>"},
        {"home only", home, 1,
         {"<absent>", "Paris", "<absent>", "<absent>", "France", "Paris\r\nFrance"}, "<absent>", "Paris\r\nFrance"},
        {"both", both, 2,
         {"1 Main St", "Springfield", "IL", "62701", "USA", businessText.c_str()}, businessText.c_str(),
         "Paris\r\nFrance"},
        {"none", {}, std::nullopt,
         {"<absent>", "<absent>", "<absent>", "<absent>", "<absent>", "<absent>"}, "<absent>", "<absent>"},
        {"state and postal code", {{"BusinessAddressState", "IL"}, {"BusinessAddressPostalCode", "62701"}}, 2,
         {"<absent>", "<absent>", "IL", "62701", "<absent>", "IL 62701"}, "IL 62701", "<absent>"},
        {"city and postal code", {{"HomeAddressCity", "東京"}, {"HomeAddressPostalCode", "100-0001"}}, 1,
         {"<absent>", "東京", "<absent>", "100-0001", "<absent>", "東京, 100-0001"}, "<absent>", "東京, 100-0001"},
        {"blank parts", {{"BusinessAddressStreet", "  "}, {"HomeAddressStreet", "2 Rue"}}, 1,
         {"2 Rue", "<absent>", "<absent>", "<absent>", "<absent>", "2 Rue"}, "<absent>", "2 Rue"},
    };
    const PropertyKey mailingKeys[] = {PidTagStreetAddress, PidTagLocality, PidTagStateOrProvince,
                                       PidTagPostalCode, PidTagCountry, PidTagPostalAddress};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Properties saved = saveWith(c.puts);
        const auto* selector = valueOf<std::int32_t>(saved, PidLidPostalAddressId);
        EXPECT_EQ(selector ? std::optional<std::int32_t>(*selector) : std::nullopt, c.selector);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(textOf(saved, mailingKeys[i]), c.mailing[i]) << i;
        EXPECT_EQ(textOf(saved, PidLidWorkAddress), c.workText);
        EXPECT_EQ(textOf(saved, PidLidHomeAddress), c.homeText);
    }
}

TEST(ContactSave, TextFieldsWebPageCategoriesAndImAddress)
{
    struct Case
    {
        std::string name, value;
        PropertyKey key;
        std::optional<std::string> stored;
    } cases[] = {
        {"IMAddress", "", PidLidInstantMessagingAddress, std::nullopt},
        {"IMAddress", "  ", PidLidInstantMessagingAddress, std::nullopt}, // what "" + " " + "" + " " + "" gave
        {"IMAddress", "ann@im.example", PidLidInstantMessagingAddress, "ann@im.example"},
        {"WebPage", "http://ann.example", PidLidHtml, "http://ann.example"},
        {"WebPage", "http://ann.example", PidTagBusinessHomePage, "http://ann.example"},
        {"WebPage", "", PidTagBusinessHomePage, std::nullopt},
        {"Body", "Line 1\r\nLine 2 ", PidTagBody, "Line 1\r\nLine 2 "}, // kept as given, not trimmed
        {"Body", std::string("a\0b", 3), PidTagBody, "ab"},
        {"Body", "\xFF", PidTagBody, "\xEF\xBF\xBD"},
        {"Profession", "Engineer", PidTagProfession, "Engineer"},
        {"PagerNumber", "", PidTagPagerTelephoneNumber, std::nullopt},
    };
    for (const auto& c : cases) {
        const Properties saved = saveWith({{c.name, c.value}});
        const auto* text = valueOf<std::string>(saved, c.key);
        EXPECT_EQ(text ? std::optional<std::string>(*text) : std::nullopt, c.stored) << c.name << "=" << c.value;
    }

    const Properties categories = saveWith({{"Categories", "Work; 家族, work"}});
    EXPECT_EQ(*valueOf<std::vector<std::string>>(categories, PidNameKeywords),
              (std::vector<std::string>{"Work", "家族"}));
    EXPECT_EQ(findProperty(saveWith({{"Categories", " ; "}}), PidNameKeywords), nullptr);
}

TEST(ContactSave, AnEmptyContactHasOnlyTheEnvelope)
{
    Puts puts;
    for (const auto& property : objectModelProperties())
        puts.emplace_back(property.name, "");
    const Properties saved = saveWith(puts);
    std::set<PropertyKey> keys;
    for (const auto& property : saved)
        keys.insert(property.key);
    const std::set<PropertyKey> expected = {
        PidTagImportance, PidTagMessageClass, PidTagPriority, PidTagSensitivity, PidTagClientSubmitTime,
        PidTagMessageDeliveryTime, PidTagMessageFlags, PidTagIconIndex, PidTagCreationTime,
        PidTagLastModificationTime, PidTagSearchKey, PidLidFileUnderId, PidLidContactCharacterSet, PidLidAutoLog,
        PidLidFileUnderList, PidLidSideEffects};
    EXPECT_EQ(keys, expected);

    EXPECT_EQ(textOf(saved, PidTagMessageClass), "IPM.Contact");
    EXPECT_EQ(*valueOf<std::int32_t>(saved, PidTagMessageFlags), 1);
    EXPECT_EQ(*valueOf<std::int32_t>(saved, PidTagIconIndex), 0x200);
    EXPECT_EQ(*valueOf<std::int32_t>(saved, PidTagImportance), 1);
    EXPECT_EQ(*valueOf<std::int32_t>(saved, PidLidContactCharacterSet), 0x100);
    EXPECT_EQ(valueOf<FileTime>(saved, PidTagCreationTime)->ticks, ticksOf(test::fixedNow));
    EXPECT_EQ(valueOf<std::vector<std::uint8_t>>(saved, PidTagSearchKey)->size(), 16u);
    // Saved properties come in key order, each key once.
    for (std::size_t i = 1; i < saved.size(); ++i)
        EXPECT_TRUE(saved[i - 1].key < saved[i].key);
}

TEST(ContactSave, SavingAgainKeepsCreationTimeAndSearchKey)
{
    ContactState state;
    state.put("LastName", "Smith");
    auto environment = fixedEnvironment();
    const Properties first = state.saveProperties(environment);
    environment.clock = [] { return system_clock::time_point{test::fixedNow + minutes{5}}; };
    environment.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x11); };
    const Properties second = state.saveProperties(environment);
    EXPECT_EQ(*valueOf<FileTime>(second, PidTagCreationTime), *valueOf<FileTime>(first, PidTagCreationTime));
    EXPECT_EQ(valueOf<FileTime>(second, PidTagLastModificationTime)->ticks, ticksOf(test::fixedNow + minutes{5}));
    EXPECT_EQ(*valueOf<std::vector<std::uint8_t>>(second, PidTagSearchKey),
              *valueOf<std::vector<std::uint8_t>>(first, PidTagSearchKey));
}

TEST(ContactSave, AValueSetByTagWinsOverTheComputedOne)
{
    ContactState state;
    state.put("FirstName", "Ann");
    state.setProperty(0x3001001F, std::string("Custom Name"));
    state.setProperty(0x0E070003, std::int32_t{0});
    const Properties saved = state.saveProperties(fixedEnvironment());
    EXPECT_EQ(textOf(saved, PidTagDisplayName), "Custom Name");
    EXPECT_EQ(textOf(saved, PidTagSubject), "Ann");
    EXPECT_EQ(*valueOf<std::int32_t>(saved, PidTagMessageFlags), 0);
}

// Birthday and anniversary in every zone from UTC-12 to UTC+14: PR_BIRTHDAY is the local
// midnight in UTC, the local twin is the date at 00:00 unconverted, so a reader of either shows
// the given date, never the day before (the trap: east of UTC, the UTC value falls on the
// previous calendar day).
TEST(ContactSave, DatesKeepTheirCalendarDayInEveryTimeZone)
{
    const year_month_day dates[] = {year{1990} / 5 / 10, year{1972} / 2 / 29, year{2000} / 1 / 1,
                                    year{1899} / 12 / 30, year{1850} / 7 / 4, year{1601} / 1 / 2};
    const double fractions[] = {0.0, 0.99};
    for (int offset = -12 * 60; offset <= 14 * 60; offset += 15) {
        for (const auto& date : dates) {
            for (double fraction : fractions) {
                for (std::uint32_t tag : {tagBirthday, tagWeddingAnniversary}) {
                    ContactState state;
                    state.setProperty(tag, OleDate{oleDateOf(date, fraction)});
                    const Properties saved = state.saveProperties(fixedEnvironment(offset));
                    const bool birthday = tag == tagBirthday;
                    const auto* utc = valueOf<FileTime>(saved, birthday ? PidTagBirthday : PidTagWeddingAnniversary);
                    const auto* local =
                        valueOf<FileTime>(saved, birthday ? PidLidBirthdayLocal : PidLidWeddingAnniversaryLocal);
                    ASSERT_NE(utc, nullptr);
                    ASSERT_NE(local, nullptr);
                    const sys_seconds midnight{sys_days{date}};
                    EXPECT_EQ(local->ticks, ticksOf(midnight)) << offset;
                    EXPECT_EQ(utc->ticks, ticksOf(midnight - minutes{offset})) << offset;
                    // Back to the zone's wall clock, the UTC value is the same date at 00:00.
                    const auto back = sys_seconds{seconds{static_cast<std::int64_t>(utc->ticks / 10000000) -
                                                          fileTimeEpochOffsetSeconds}} + minutes{offset};
                    EXPECT_EQ(year_month_day{floor<days>(back)}, date) << offset;
                    EXPECT_EQ(back - floor<days>(back), seconds{0}) << offset;
                }
            }
        }
    }
}

TEST(ContactSave, OtherTimesConvertLocalToUtcWithTheirTimeOfDay)
{
    ContactState state;
    state.setProperty(0x30070040, OleDate{oleDateOf(year{2010} / 3 / 5, 0.5)});
    const Properties saved = state.saveProperties(fixedEnvironment(60));
    EXPECT_EQ(valueOf<FileTime>(saved, PidTagCreationTime)->ticks,
              ticksOf(sys_days{year{2010} / 3 / 5} + hours{11}));
    EXPECT_EQ(findProperty(saved, PidLidBirthdayLocal), nullptr);
}

TEST(ContactSave, EveryNamedPropertyWrittenIsInTheRegistrationList)
{
    ContactState state;
    for (const auto& property : objectModelProperties())
        state.put(property.name, "x@example.com");
    state.setProperty(tagBirthday, OleDate{30000});
    state.setProperty(tagWeddingAnniversary, OleDate{31000});
    const auto named = contactNamedProperties();
    const std::set<PropertyKey> registered(named.begin(), named.end());
    for (const auto& property : state.saveProperties(fixedEnvironment())) {
        if (property.key.isNamed()) {
            EXPECT_TRUE(registered.contains(property.key)) << ::testing::PrintToString(property.key);
        }
    }
}

} // namespace
} // namespace tressimo::mapi::contact
