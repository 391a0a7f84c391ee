#pragma once
// How large a picture Tressimo reads and how large a one Outlook gets.

#include <cstdint>

namespace tressimo::image {

// Pictures are refused before decoding when a side or the pixel count passes these: a few
// header bytes may claim a picture whose pixels would fill the memory. Generous for photos
// (a 40-megapixel camera picture takes 160 MB while it is read).
inline constexpr int kMaxSide = 10000;
inline constexpr std::uint64_t kMaxPixels = 40'000'000;

// The longest side of the picture Outlook gets. Outlook shows a contact's picture small (the
// contact card, the people pane), and Microsoft's own largest user photo is 648 x 648; larger
// pictures only swell the data file, so they are scaled down to this, keeping their shape.
inline constexpr int kOutlookLongestSide = 648;

} // namespace tressimo::image
