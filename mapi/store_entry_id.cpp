#include "mapi/store_entry_id.h"
#include "platform/path_text.h"

#include "text/utf.h"

#include <algorithm>

namespace tressimo::mapi {

namespace {

constexpr std::array<std::uint8_t, 16> wrappedStoreUid = {0x38, 0xA1, 0xBB, 0x10, 0x05, 0xE5, 0x10, 0x1A,
                                                          0xA1, 0xBB, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2};
constexpr std::string_view pstProviderDll = "mspst.dll";
constexpr std::size_t dllFieldSize = 14;

} // namespace

std::vector<std::uint8_t> pstStoreEntryId(const std::array<std::uint8_t, 16>& recordKey,
                                          const std::filesystem::path& path)
{
    // The fixed part; flags, version and padding are zero.
    std::array<std::uint8_t, 56> head{};
    std::copy(wrappedStoreUid.begin(), wrappedStoreUid.end(), head.begin() + 4);
    std::copy(pstProviderDll.begin(), pstProviderDll.end(), head.begin() + 22);
    static_assert(22 + dllFieldSize + 4 == 40);
    std::copy(recordKey.begin(), recordKey.end(), head.begin() + 40);

    // The path as the user knows it; text::utf8ToUtf16 takes any bytes a Linux path holds.
    const std::u16string pathText = text::utf8ToUtf16(platform::textOfPath(path));
    std::vector<std::uint8_t> id(head.size() + 2 * (pathText.size() + 1), 0);
    std::copy(head.begin(), head.end(), id.begin());
    for (std::size_t i = 0; i < pathText.size(); ++i) {
        id[head.size() + 2 * i] = static_cast<std::uint8_t>(pathText[i]);
        id[head.size() + 2 * i + 1] = static_cast<std::uint8_t>(pathText[i] >> 8);
    }
    return id;
}

} // namespace tressimo::mapi
