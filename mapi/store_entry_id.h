#pragma once
// The entry ID a session gives a PST store, and its text form (the EntryID of RDOStore).
//
// Layout, wrapped the way MAPI wraps a store provider's own ID ([MS-OXCDATA] 2.2.4.3 gives
// the wrapper; its DLL field names the provider, here the PST provider "mspst.dll"):
//
//   offset  size  field
//        0     4  flags, 0 (a long-term ID)
//        4    16  MAPI's UID of wrapped store IDs, 38 A1 BB 10 05 E5 10 1A A1 BB 08 00 2B 2A 56 C2
//       20     1  version, 0
//       21     1  flag, 0
//       22    14  "mspst.dll", NUL-padded
//       36     4  the PST part: flags, 0
//       40    16  the store's record key (the provider UID in every entry ID inside the file)
//       56     n  the file's path, UTF-16LE, NUL-terminated
//
// The PST part is ours: it names the store by its record key and its file as the real PST
// provider does, without claiming to be byte-compatible with that provider's private form.
// The ID only has to name a store of this session (GetStoreFromID), and the random record key
// makes it unique even for two stores at the same path.

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace tressimo::mapi {

std::vector<std::uint8_t> pstStoreEntryId(const std::array<std::uint8_t, 16>& recordKey,
                                          const std::filesystem::path& path);

} // namespace tressimo::mapi
