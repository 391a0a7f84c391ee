#include "filelist/contact_name.h"

#include <gtest/gtest.h>

namespace tressimo::filelist {
namespace {

// By the last eight characters, ignoring ASCII case and U+0020 blanks around the name; tab and
// no-break space belong to the name, and bytes that are not ASCII never fold onto the suffix.
TEST(ContactName, MatchesByLastEightCharactersIgnoringCaseAndBlanks)
{
    for (const char* name : {"/home/ann/Contacts/Sample Person.contact", "x.CONTACT", "x.Contact", ".contact",
                             "/home/ann/.contact", "x.contact   ", "   x.contact", " .contact ",
                             "\xff\xfe\x80.contact", "caf\xc3\xa9.CONTACT"})
        EXPECT_TRUE(isContactFileName(name)) << '"' << name << '"';
    for (const char* name :
         {"x.contacts", "x.contact.bak", "x.contac", "contact", "xcontact", "x.con tact", "", "        ",
          "/home/ann/a.contact/notes.txt", "x.contact\t", "x.contact\xc2\xa0", "x.contac\xc3\xa9",
          "x.c\xd0\xbentact", "x.contac\xd4", "x.contac\xf4"})
        EXPECT_FALSE(isContactFileName(name)) << '"' << name << '"';
}

} // namespace
} // namespace tressimo::filelist
