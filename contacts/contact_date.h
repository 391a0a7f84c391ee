#pragma once
// Dates as the reader takes them from a contact's values, as OLE Automation dates.

#include <optional>
#include <string>
#include <string_view>

namespace tressimo::contacts {

// The date of a birthday's or anniversary's value: the text before the first "T" (the whole
// text without one) read as a calendar day, at 00:00. The time and any zone after the "T" are
// ignored, with no zone adjustment. Accepted forms, all unambiguous:
//   YYYY-MM-DD   (ISO 8601 extended, the form Windows writes)
//   YYYYMMDD     (ISO 8601 basic)
// either one optionally followed by a zone ("Z", "+hh:mm", "-hh:mm", as XML Schema's date
// allows), which is ignored too, and surrounded by XML white space. The day must exist
// (leap years included) and the year lie in 100..9999, the range of an OLE date.
// Anything else is not a date.
std::optional<double> dateOfValue(std::string_view value);

// Days from 1899-12-30 to the given day, or nothing when the day does not exist or lies
// outside 100-01-01..9999-12-31.
std::optional<double> oleDateOfDay(int year, unsigned month, unsigned day);

// "YYYY-MM-DD" of the day an OLE date falls on (its time of day is dropped).
std::string formatOleDate(double oleDate);

} // namespace tressimo::contacts
