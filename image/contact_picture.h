#pragma once
// The contact's photo as the picture Outlook shows: a JPEG, or the reason there is none.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::image {

struct OutlookPicture
{
    std::vector<std::uint8_t> jpeg;
    // Why no picture could be made, in words for the person converting; empty when `jpeg` holds
    // one.
    std::string problem;
};

// The JPEG for the photo `bytes`. The format is told by the bytes themselves (BMP, PNG, JPEG,
// GIF); `contentType` ("image/bmp") only admits TGA, which has no signature to tell it by. A
// JPEG that decodes and is small enough is passed on byte for byte; anything else is decoded,
// its transparent parts laid on white, scaled down to kOutlookLongestSide when larger, and
// written as a JPEG. Damaged, cut short, unknown or oversized pictures give a problem instead.
OutlookPicture outlookPicture(std::span<const std::uint8_t> bytes, std::string_view contentType);

// The same for the photo's base64 text as a contact file holds it.
OutlookPicture outlookPictureFromBase64(std::string_view base64, std::string_view contentType);

} // namespace tressimo::image
