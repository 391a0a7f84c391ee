#pragma once
// Compares a whole ContactRecord with the few fields a test expects; every other field must
// hold its reset value, so a value stored in the wrong field is caught too.

#include "contacts/contact_date.h"
#include "contacts/contact_record.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace tressimo::testing {

// Field name, legacy ones without their "eContact_" prefix -> expected text; dates as "YYYY-MM-DD", lists
// their items joined with ";".
using ExpectedFields = std::map<std::string, std::string, std::less<>>;

// "FirstName=Ann|LastName=Smith": the long expectations of one document, written compactly.
inline ExpectedFields fields(std::string_view list)
{
    ExpectedFields out;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find('|', at), list.size()), eq = list.find('=', at);
        out.emplace(list.substr(at, eq - at), list.substr(eq + 1, end - eq - 1));
        at = end + 1;
    }
    return out;
}

inline void expectRecord(const contacts::ContactRecord& record, const ExpectedFields& expected)
{
    std::size_t matched = 0;
    contacts::forEachContactField([&](const contacts::ContactField& field) {
        // Without the prefix, unless a later member has that name (eContact_Spouse, Spouse).
        std::string_view name = field.name, bare = name.substr(name.starts_with("eContact_") ? 9 : 0);
        if (std::ranges::find(contacts::kMoreContactFields, bare, &contacts::ContactField::name) ==
            contacts::kMoreContactFields.end())
            name = bare;
        const auto it = expected.find(name);
        matched += it != expected.end();
        std::string actual, unset;
        if (field.kind == contacts::ContactFieldKind::Date) {
            const std::optional<double>& date = record.*field.date;
            actual = date ? contacts::formatOleDate(*date) : (unset = "(not set)");
        } else if (field.kind == contacts::ContactFieldKind::Text) {
            actual = record.*field.text;
        } else {
            for (const std::string& item : record.*field.list)
                actual += (actual.empty() ? "" : ";") + item;
        }
        EXPECT_EQ(actual, it != expected.end() ? it->second : unset) << field.name;
    });
    EXPECT_EQ(matched, expected.size()) << "an expected field name is misspelt";
}

} // namespace tressimo::testing
