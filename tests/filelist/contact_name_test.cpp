#include "filelist/contact_name.h"

#include <gtest/gtest.h>

namespace tressimo::filelist {
namespace {

TEST(ContactName, MatchesByLastEightCharactersIgnoringCaseAndBlanks)
{
    const struct
    {
        const char* entry;
        bool matches;
    } cases[] = {
        {"/home/ann/Contacts/Sample Person.contact", true},
        {"x.CONTACT", true},
        {"x.Contact", true},
        {".contact", true},
        {"/home/ann/.contact", true},
        {"x.contact   ", true},
        {"   x.contact", true},
        {" .contact ", true},
        {"x.contacts", false},
        {"x.contact.bak", false},
        {"x.contac", false},
        {"contact", false},
        {"xcontact", false},
        {"x.con tact", false},
        {"", false},
        {"        ", false},
        {"/home/ann/a.contact/notes.txt", false},
        // Only U+0020 is a blank: tab and no-break space belong to the name.
        {"x.contact\t", false},
        {"x.contact\xc2\xa0", false},
        // Bytes that are not ASCII, valid UTF-8 or not, never fold onto the suffix.
        {"\xff\xfe\x80.contact", true},
        {"caf\xc3\xa9.CONTACT", true},
        {"x.contac\xc3\xa9", false},
        {"x.c\xd0\xbentact", false},
        {"x.contac\xd4", false},
        {"x.contac\xf4", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isContactFileName(c.entry), c.matches) << '"' << c.entry << '"';
}

} // namespace
} // namespace tressimo::filelist
