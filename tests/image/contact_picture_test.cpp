#include "image/contact_picture.h"
#include "tests/support/support.h"

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace tressimo::image {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// A picture of one colour with a soft edge, so that JPEG and PNG cannot store it trivially.
Bytes picture(int width, int height, int channels, bool asJpeg, std::uint8_t alpha = 255)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * channels);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i % channels == 3) ? alpha : static_cast<std::uint8_t>(i / channels % width / 8);
    Bytes out;
    if (asJpeg)
        stbi_write_jpg_to_func(append, &out, width, height, channels, pixels.data(), 80);
    else
        stbi_write_png_to_func(append, &out, width, height, channels, pixels.data(), 0);
    return out;
}

// The base64 text of the real sample's photo (a 126 x 126 16-bit BMP, in lines of 76).
std::string realPhotoText()
{
    const std::string file =
        testing::readWholeFile(std::string(TRESSIMO_SOURCE_DIR) +
                               "/tests/data/real-contacts/kdepim_sample4_photo_bmp_base64.contact");
    const std::size_t start = file.find('>', file.find("c:ContentType=\"image/bmp\"")) + 1;
    return file.substr(start, file.find("</c:Value>", start) - start);
}

// Each photo gives a decodable JPEG of the expected size, or a problem naming what is wrong;
// a JPEG that needs nothing done is the same bytes, and transparency ends up white.
TEST(ContactPicture, MakesTheJpegOutlookShowsOrSaysWhyNot)
{
    const std::string real = realPhotoText();
    ASSERT_NE(real.find('\n'), std::string::npos);
    const Bytes jpeg = picture(40, 30, 3, true);
    Bytes claimsHuge = picture(2, 2, 3, false);
    claimsHuge[18] = claimsHuge[22] = 0x3A; // IHDR: 15000 x 15000 pixels
    claimsHuge[19] = claimsHuge[23] = 0x98;
    // A code table of 300 codes (255 of 9 bits, 45 of 10) in a segment that holds them all.
    Bytes overlongTable = {0xFF, 0xC4, 0x01, 0x3F, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 255, 45, 0, 0, 0, 0, 0, 0};
    overlongTable.resize(overlongTable.size() + 300);
    overlongTable.insert(overlongTable.begin(), jpeg.begin(), jpeg.begin() + 2);
    overlongTable.insert(overlongTable.end(), jpeg.begin() + 2, jpeg.end());
    // Run-length coded, 4 x 2 in white and black: a black row, then pixels as they are.
    Bytes runs = {'B', 'M'};
    for (std::uint32_t field :
         {74u, 0u, 62u, 40u, 4u, 2u, 1u | 8u << 16, 1u, 12u, 0u, 0u, 2u, 0u, 0xFFFFFFu, 0u})
        for (int i = 0; i < 4; ++i)
            runs.push_back(static_cast<std::uint8_t>(field >> 8 * i));
    runs.insert(runs.end(), {4, 1, 0, 0, 0, 4, 0, 1, 0, 1, 0, 1});
    const std::string realBroken = real.substr(0, 200) + "*" + real.substr(200);
    const struct
    {
        std::string_view name;
        std::string base64; // the input as a contact file's text, when not empty
        Bytes bytes;
        std::string_view contentType;
        int width = 0, height = 0;  // of the JPEG made; 0 for a problem
        std::string_view problem{}; // part of the problem's text
    } cases[] = {
        {"real 16-bit BMP", real, {}, "image/bmp", 126, 126},
        {"run-length coded BMP", {}, runs, "image/bmp", 4, 2},
        {"runs cut short", {}, Bytes(runs.begin(), runs.end() - 2), "image/bmp", 0, 0, "damaged"},
        {"real BMP cut short", real.substr(0, real.size() / 2), {}, "image/bmp", 0, 0, "damaged"},
        {"broken base64", realBroken, {}, "image/bmp", 0, 0, "not valid base64"},
        {"transparent PNG", {}, picture(9, 5, 4, false, 0), "image/png", 9, 5},
        {"JPEG as it is", {}, jpeg, "image/jpeg", 40, 30},
        {"JPEG cut short", {}, Bytes(jpeg.begin(), jpeg.end() - 40), "image/jpeg", 0, 0, "damaged"},
        {"JPEG with an overlong code table", {}, overlongTable, "image/jpeg", 0, 0, "damaged"},
        {"large JPEG", {}, picture(1300, 650, 3, true), "image/jpeg", 648, 324},
        {"tall grey PNG", {}, picture(700, 2100, 1, false), "", 216, 648},
        {"header claims a giant", {}, claimsHuge, "image/png", 0, 0, "too large"},
        {"no picture", {}, Bytes{'G', 'I', 'F', 0}, "image/gif", 0, 0, "not in a picture format"},
        {"empty", {}, {}, "image/bmp", 0, 0, "empty"},
    };
    for (const auto& c : cases) {
        const OutlookPicture made = c.base64.empty() ? outlookPicture(c.bytes, c.contentType)
                                                     : outlookPictureFromBase64(c.base64, c.contentType);
        if (c.width == 0) {
            EXPECT_TRUE(made.jpeg.empty()) << c.name;
            EXPECT_NE(made.problem.find(c.problem), std::string::npos) << c.name << ": " << made.problem;
            continue;
        }
        ASSERT_EQ(made.problem, "") << c.name;
        int width = 0, height = 0, channels = 0;
        std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
            stbi_load_from_memory(made.jpeg.data(), static_cast<int>(made.jpeg.size()), &width, &height,
                                  &channels, 3),
            stbi_image_free);
        ASSERT_TRUE(pixels && made.jpeg[0] == 0xFF && made.jpeg[1] == 0xD8) << c.name;
        EXPECT_EQ(std::pair(width, height), std::pair(c.width, c.height)) << c.name;
        if (c.name == "run-length coded BMP") { // the bottom row is the black run
            EXPECT_LT(pixels.get()[4 * 3], 60) << c.name;
        }
        if (c.contentType == "image/png") { // laid on white
            EXPECT_GT(std::min({pixels.get()[0], pixels.get()[1], pixels.get()[2]}), 240) << c.name;
        }
    }
    EXPECT_EQ(outlookPicture(jpeg, "image/jpeg").jpeg, jpeg);
}

} // namespace
} // namespace tressimo::image
