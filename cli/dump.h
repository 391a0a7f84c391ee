#pragma once
// --dump: what the reader makes of each file, one JSON object per line.

#include "contacts/contact_record.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::cli {

// One line (without its line break): {"file", "loaded", "error", "record", "more"}: the
// legacy fields in record order, then the later members in theirs (lists as arrays, Photo as
// its length in base64 characters). Invalid UTF-8 anywhere is shown as U+FFFD.
std::string dumpLine(std::string_view file, bool loaded, std::string_view error,
                     const contacts::ContactRecord& handedOver);

// Reads and prints every file in order; a file that fails never stops the others.
// Returns kExitSuccess, or kExitSomeFailed when a file did not load or `out` failed.
int runDump(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

} // namespace tressimo::cli
