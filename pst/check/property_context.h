#pragma once
// The property context ([MS-PST] 2.3.3): a BTH of (property id -> type, value or HNID) on a
// node's heap; the properties of one object.

#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/property.h"
#include "pst/check/violation.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tressimo::pst::check {

// Reads the node's property context. Throws FormatError when the node is no PC at all;
// values that cannot be read are left out and reported to findings.
PropertyMap readPropertyContext(const LtpNode& node, Findings* findings = nullptr);
// The same over a heap already read from the node (its own findings already reported).
PropertyMap readPropertyContext(const LtpNode& node, const Heap& heap, Findings* findings = nullptr);

// The bytes an HNID names: a heap allocation (HID) or a subnode's data (NID). HNID 0 is the
// empty value. Throws FormatError when it names nothing.
Bytes resolveHnid(const LtpNode& node, const Heap& heap, std::uint32_t hnid);

// Checks that a value's bytes suit its type (size of fixed types, even length of UTF-16,
// decodable multi-value layout); returns what is wrong, or nothing.
std::optional<std::string> valueShapeProblem(std::uint16_t type, const Bytes& data);

} // namespace tressimo::pst::check
