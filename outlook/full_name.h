#pragma once
// A whole name split into its parts as Outlook splits a full name typed into a contact.

#include <string>
#include <string_view>

namespace tressimo::outlook {

struct FullNameParts
{
    std::string title, first, middle, last, suffix;
};

// The rule: words are separated by white space. A text with a comma is "Last, First Middle":
// what comes before the first comma is the last name, and of the words after it the first is
// the given name and the rest the middle name ("Smith, Jr." and the like, a comma before
// suffixes only, is no such form). Otherwise a leading known title (Mr, Mrs, Ms, Miss, Mx, Dr,
// Prof, Rev, Sir, Dame, Fr, Herr, Frau, Mme, Mlle, with or without a period) and trailing
// known suffixes (Jr, Sr, II, III, IV, Esq, PhD, MD, with or without periods) are set aside
// while other words remain; then one word is the given name, two are given and last name,
// and with more the first is the given name, the last the last name and those between the
// middle name.
FullNameParts splitFullName(std::string_view fullName);

} // namespace tressimo::outlook
