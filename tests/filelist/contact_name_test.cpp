#include <gtest/gtest.h>

#include "filelist/contact_name.h"

namespace tressimo::filelist {
namespace {

struct NameCase
{
    const char* entry;
    bool matches;
};

TEST(ContactName, MatchesByLastEightCharactersIgnoringCaseAndBlanks)
{
    const NameCase cases[] = {
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
        // Only U+0020 is a blank here: tab and no-break space are part of the name.
        {"x.contact\t", false},
        {"x.contact\xc2\xa0", false},
        // Names that are not valid UTF-8, or not ASCII, are judged by their last bytes.
        {"\xff\xfe\x80.contact", true},
        {"caf\xc3\xa9.CONTACT", true},
        {"x.contac\xc3\xa9", false},
        {"x.c\xd0\xbentact", false},
        {"x.contac\xff", false},
        // Letter case folds only A-Z; a byte 0x80 above 't' must not fold onto it.
        {"x.contac\xd4", false},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(isContactFileName(c.entry), c.matches) << '"' << c.entry << '"';
}

} // namespace
} // namespace tressimo::filelist
