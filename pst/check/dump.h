#pragma once
// A readable text dump of a PST's structure, for diffing our files against Outlook's: header
// fields, map pages, B-tree pages, blocks, nodes with parents, and each node's properties
// and table rows.

#include "pst/check/pst_file.h"

#include <ostream>

namespace tressimo::pst::check {

void dumpPst(const PstFile& file, std::ostream& out);

} // namespace tressimo::pst::check
