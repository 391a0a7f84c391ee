#pragma once
// Compares a whole ContactRecord with the few fields a test expects; every other field must
// hold its reset value, so a value stored in the wrong field is caught too.

#include "contacts/contact_date.h"
#include "contacts/contact_record.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace tressimo::testing {

// Field name -> expected text; dates as "YYYY-MM-DD".
using ExpectedFields = std::map<std::string, std::string, std::less<>>;

inline void expectRecord(const contacts::ContactRecord& record, const ExpectedFields& expected)
{
    std::size_t matched = 0;
    for (const contacts::ContactField& field : contacts::kContactFields) {
        const auto it = expected.find(field.name);
        matched += it != expected.end();
        if (field.kind == contacts::ContactFieldKind::Text) {
            EXPECT_EQ(record.*field.text, it == expected.end() ? "" : it->second) << field.name;
        } else {
            const std::optional<double>& date = record.*field.date;
            EXPECT_EQ(date ? contacts::formatOleDate(*date) : "(not set)",
                      it == expected.end() ? "(not set)" : it->second)
                << field.name;
        }
    }
    EXPECT_EQ(matched, expected.size()) << "an expected field name is misspelt";
}

} // namespace tressimo::testing
