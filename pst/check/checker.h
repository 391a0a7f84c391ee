#pragma once
// The strict checker: every rule of the format we can verify, at every layer, on one file.
// Each broken rule is one Violation with a stable code (see allCodes()).

#include "pst/check/pst_file.h"
#include "pst/check/violation.h"

#include <filesystem>

namespace tressimo::pst::check {

// Throws ReadError when the file cannot be read at all; everything else is a violation.
Violations checkPst(const std::filesystem::path& path);
Violations checkPst(const PstFile& file);
Violations checkPstBytes(Bytes bytes, std::string name = "memory");

// True when none of the findings is an error (notes do not count).
bool isSound(const Violations& found);

// The layers, each on its own; checkPst runs them all.
void checkHeader(const PstFile& file, Findings& findings);
void checkNodeDatabase(const PstFile& file, Findings& findings);
void checkLists(const PstFile& file, Findings& findings);
void checkMessaging(const PstFile& file, Findings& findings);

} // namespace tressimo::pst::check
