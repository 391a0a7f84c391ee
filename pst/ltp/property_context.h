#pragma once
// Property context ([MS-PST] 2.3.3): the properties of one object as a BTH keyed by property
// id (2-byte key, 6-byte data: type and value-or-HNID) on a heap whose client signature is
// 0xBC.

#include "pst/ltp/prop_value.h"
#include "pst/ltp/subnode_nids.h"
#include "pst/ndb/node.h"

#include <cstdint>
#include <span>

namespace tressimo::pst {

inline constexpr std::uint8_t kPcKeySize = 2;
inline constexpr std::uint8_t kPcDataSize = 6;

// One BTH record of a property context.
struct PcRecord
{
    std::uint16_t wPropId = 0;
    std::uint16_t wPropType = 0;
    std::uint32_t dwValueHnid = 0;
};
static_assert(sizeof(PcRecord) == 8);

// The node of a property context holding these values.
// - Values of at most 4 bytes (Int16, Int32, Float, Error, Boolean) sit in their record.
// - An empty value (empty string or binary, multi-valued with nothing in it) is HNID 0, as
//   Outlook writes it.
// - Other values up to 3580 bytes go to the heap, larger ones to a subnode whose NID comes
//   from `nids`.
// Records are sorted by property id; heap values are allocated in the order given. Throws
// LtpError when a property id appears twice or a value is not of a storable type.
NodeContent buildPropertyContext(std::span<const PropValue> values, SubnodeNidAllocator& nids);
NodeContent buildPropertyContext(std::span<const PropValue> values);

} // namespace tressimo::pst
