#include "outlook/full_name.h"

#include "text/ascii.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace tressimo::outlook {

namespace {

using Words = std::vector<std::string_view>;

Words wordsOf(std::string_view text)
{
    Words words;
    std::size_t start = 0;
    while (start < text.size()) {
        while (start < text.size() && text::isWhitespace(text[start]))
            ++start;
        std::size_t end = start;
        while (end < text.size() && !text::isWhitespace(text[end]))
            ++end;
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

// The word without its periods is one of the known ones (ASCII case ignored).
bool isOneOf(std::string_view word, std::span<const std::string_view> known)
{
    std::string bare;
    std::remove_copy(word.begin(), word.end(), std::back_inserter(bare), '.');
    return std::any_of(known.begin(), known.end(),
                       [&](std::string_view k) { return text::equalsIgnoringAsciiCase(bare, k); });
}

constexpr std::array<std::string_view, 15> kTitles = {"Mr",  "Mrs", "Ms",   "Miss", "Mx",   "Dr",  "Prof", "Rev",
                                                      "Sir", "Dame", "Fr", "Herr", "Frau", "Mme", "Mlle"};
constexpr std::array<std::string_view, 8> kSuffixes = {"Jr", "Sr", "II", "III", "IV", "Esq", "PhD", "MD"};

std::string joined(Words::const_iterator begin, Words::const_iterator end)
{
    std::string out;
    for (auto it = begin; it != end; ++it)
        out.append(out.empty() ? "" : " ").append(*it);
    return out;
}

} // namespace

FullNameParts splitFullName(std::string_view fullName)
{
    FullNameParts parts;
    Words words = wordsOf(fullName);
    Words suffixes;
    if (const std::size_t comma = fullName.find(','); comma != std::string_view::npos) {
        const Words after = wordsOf(fullName.substr(comma + 1));
        const bool suffixesOnly = !after.empty() && std::all_of(after.begin(), after.end(), [](auto word) {
            return isOneOf(word, kSuffixes);
        });
        if (suffixesOnly) {
            words = wordsOf(fullName.substr(0, comma));
            suffixes = after;
        } else {
            const Words before = wordsOf(fullName.substr(0, comma));
            parts.last = joined(before.begin(), before.end());
            if (!after.empty()) {
                parts.first = after.front();
                parts.middle = joined(after.begin() + 1, after.end());
            }
            return parts;
        }
    }
    auto begin = words.cbegin();
    auto end = words.cend();
    if (end - begin > 1 && isOneOf(*begin, kTitles))
        parts.title = *begin++;
    while (end - begin > 1 && isOneOf(*(end - 1), kSuffixes))
        --end;
    Words allSuffixes(end, words.cend());
    allSuffixes.insert(allSuffixes.end(), suffixes.begin(), suffixes.end());
    parts.suffix = joined(allSuffixes.cbegin(), allSuffixes.cend());
    if (begin == end)
        return parts;
    parts.first = *begin;
    if (end - begin > 1) {
        parts.last = *(end - 1);
        parts.middle = joined(begin + 1, end - 1);
    }
    return parts;
}

} // namespace tressimo::outlook
