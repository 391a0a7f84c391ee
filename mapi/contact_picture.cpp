#include "mapi/contact_picture.h"

#include <string_view>

namespace tressimo::mapi::detail {

std::vector<pst::PropValue> contactPictureAttachment(std::span<const std::uint8_t> jpeg)
{
    using pst::PropTag;
    using pst::PropValue;
    constexpr std::string_view name = "ContactPicture.jpg";
    return {
        PropValue::fromString(PropTag{0x3001001F}, name),                    // PidTagDisplayName
        PropValue::fromBinary(PropTag{0x37010102}, jpeg),                    // PidTagAttachDataBinary
        PropValue::fromString(PropTag{0x3703001F}, std::string_view(".jpg")), // PidTagAttachExtension
        PropValue::fromString(PropTag{0x3704001F}, std::string_view("ContactP.jpg")), // 8.3 name
        PropValue::fromInt32(PropTag{0x37050003}, 1),                        // by value
        PropValue::fromString(PropTag{0x3707001F}, name),                    // PidTagAttachLongFilename
        PropValue::fromInt32(PropTag{0x370B0003}, -1),                       // not rendered in the body
        PropValue::fromString(PropTag{0x370E001F}, std::string_view("image/jpeg")),
        PropValue::fromBoolean(PropTag{0x7FFE000B}, false),                  // PidTagAttachmentHidden
        PropValue::fromBoolean(PropTag{0x7FFF000B}, true),                   // PidTagAttachmentContactPhoto
    };
}

bool looksLikeJpeg(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

} // namespace tressimo::mapi::detail
