#include "mapi/contact_picture.h"

#include <string_view>

namespace tressimo::mapi::detail {

std::vector<pst::PropValue> contactPictureAttachment(std::span<const std::uint8_t> jpeg)
{
    using pst::PropTag;
    using pst::PropValue;
    constexpr std::string_view name = "ContactPicture.jpg";
    // Display name, data, extension, 8.3 and long file names, method "by value", no place in
    // the body, MIME tag, shown among the attachments, the contact's photo.
    return {
        PropValue::fromString(PropTag{0x3001001F}, name),
        PropValue::fromBinary(PropTag{0x37010102}, jpeg),
        PropValue::fromString(PropTag{0x3703001F}, std::string_view(".jpg")),
        PropValue::fromString(PropTag{0x3704001F}, std::string_view("ContactP.jpg")),
        PropValue::fromInt32(PropTag{0x37050003}, 1),
        PropValue::fromString(PropTag{0x3707001F}, name),
        PropValue::fromInt32(PropTag{0x370B0003}, -1),
        PropValue::fromString(PropTag{0x370E001F}, std::string_view("image/jpeg")),
        PropValue::fromBoolean(PropTag{0x7FFE000B}, false),
        PropValue::fromBoolean(PropTag{0x7FFF000B}, true),
    };
}

bool looksLikeJpeg(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

} // namespace tressimo::mapi::detail
