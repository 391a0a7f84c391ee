#include "image/contact_picture.h"

#include "image/bmp_layout.h"
#include "image/bmp_run_length.h"
#include "image/jpeg_layout.h"
#include "image/limits.h"
#include "image/png_layout.h"
#include "text/ascii.h"
#include "text/base64.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

namespace tressimo::image {

namespace {

enum class Format { Unknown, Bmp, Png, Jpeg, Gif, Tga };

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view signature)
{
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin(),
                      [](char s, std::uint8_t b) { return static_cast<std::uint8_t>(s) == b; });
}

Format formatOf(std::span<const std::uint8_t> bytes, std::string_view contentType)
{
    if (startsWith(bytes, "\xFF\xD8\xFF"))
        return Format::Jpeg;
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n"))
        return Format::Png;
    if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a"))
        return Format::Gif;
    if (startsWith(bytes, "BM"))
        return Format::Bmp;
    // Without a signature almost any bytes pass for TGA, so only the content type admits it.
    if (text::containsIgnoringAsciiCase(contentType, "tga") ||
        text::containsIgnoringAsciiCase(contentType, "targa"))
        return Format::Tga;
    return Format::Unknown;
}

std::string_view nameOf(Format format)
{
    switch (format) {
    case Format::Bmp:
        return "BMP";
    case Format::Png:
        return "PNG";
    case Format::Jpeg:
        return "JPEG";
    case Format::Gif:
        return "GIF";
    case Format::Tga:
        return "TGA";
    case Format::Unknown:
        break;
    }
    return "unknown";
}

OutlookPicture refused(std::string problem)
{
    return {{}, std::move(problem)};
}

OutlookPicture damaged(Format format)
{
    return refused("the photo (" + std::string(nameOf(format)) +
                   ") is damaged or of a kind Tressimo cannot read");
}

struct FreePixels
{
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

// The longest side brought down to kOutlookLongestSide, the other in proportion.
std::pair<int, int> fittedSize(int width, int height)
{
    const int longest = std::max(width, height);
    if (longest <= kOutlookLongestSide)
        return {width, height};
    const double scale = static_cast<double>(kOutlookLongestSide) / longest;
    return {std::max(1, static_cast<int>(std::lround(width * scale))),
            std::max(1, static_cast<int>(std::lround(height * scale)))};
}

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

OutlookPicture outlookPicture(std::span<const std::uint8_t> bytes, std::string_view contentType)
{
    if (bytes.empty())
        return refused("the photo is empty");
    const Format format = formatOf(bytes, contentType);
    if (format == Format::Unknown)
        return refused("the photo is not in a picture format Tressimo can read (BMP, PNG, JPEG, GIF)");
    if (bytes.size() > INT_MAX)
        return refused("the photo is too large to read");
    // What the decoder takes on trust is checked before it reads a byte: a JPEG's tables and
    // end, a PNG's chunks, a BMP's length.
    if ((format == Format::Jpeg && !jpegLayoutSound(bytes)) ||
        (format == Format::Png && !pngLayoutSound(bytes)) || (format == Format::Bmp && bmpCutShort(bytes)))
        return damaged(format);

    // BMPs the decoder would refuse, as Windows writes them, are rewritten in a form it reads.
    std::optional<std::vector<std::uint8_t>> moved;
    if (format == Format::Bmp &&
        ((moved = bmpWithoutRunLengths(bytes)) || (moved = bmpWithoutGapBeforePixels(bytes))))
        bytes = *moved;

    // The header's claim is checked before any pixel memory is taken.
    int width = 0, height = 0, channels = 0;
    // (The GIF decoder takes a picture without rows for one.)
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) ||
        width <= 0 || height <= 0)
        return damaged(format);
    if (width > kMaxSide || height > kMaxSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels)
        return refused("the photo is too large to read (" + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels)");

    // Four channels whatever the source, so that grey, palette and transparent pictures take
    // one path.
    std::unique_ptr<stbi_uc, FreePixels> pixels(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
    if (!pixels || width <= 0 || height <= 0)
        return damaged(format);
    const auto [fittedWidth, fittedHeight] = fittedSize(width, height);
    const bool scaled = fittedWidth != width || fittedHeight != height;
    if (format == Format::Jpeg && !scaled)
        return {{bytes.begin(), bytes.end()}, {}}; // never rewritten: only BMPs are

    // Laid on white, packed to three channels in place.
    stbi_uc* rgba = pixels.get();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned alpha = rgba[4 * i + 3];
        for (int c = 0; c < 3; ++c)
            rgba[3 * i + c] =
                static_cast<stbi_uc>((rgba[4 * i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
    std::vector<stbi_uc> fitted;
    const stbi_uc* rgb = rgba;
    if (scaled) {
        fitted.resize(static_cast<std::size_t>(fittedWidth) * static_cast<std::size_t>(fittedHeight) * 3);
        if (!stbir_resize_uint8_srgb(rgba, width, height, 0, fitted.data(), fittedWidth, fittedHeight, 0, 3,
                                     STBIR_ALPHA_CHANNEL_NONE, 0))
            return refused("the photo could not be scaled down");
        rgb = fitted.data();
    }
    OutlookPicture picture;
    if (!stbi_write_jpg_to_func(appendBytes, &picture.jpeg, fittedWidth, fittedHeight, 3, rgb, 90))
        return refused("the photo could not be written as a JPEG picture");
    return picture;
}

OutlookPicture outlookPictureFromBase64(std::string_view base64, std::string_view contentType)
{
    const auto bytes = text::decodeBase64(base64);
    if (!bytes)
        return refused("the photo's data in the contact file is damaged (not valid base64 text)");
    return outlookPicture(*bytes, contentType);
}

} // namespace tressimo::image
