// libFuzzer target: any bytes as a contact's photo must give a JPEG or a reason, never both,
// never a crash. TGA is admitted, so bytes without a signature reach its decoder too.

#include "image/contact_picture.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto picture = tressimo::image::outlookPicture({data, size}, "image/x-tga");
    if (picture.jpeg.empty() == picture.problem.empty())
        std::abort();
    if (!picture.jpeg.empty() && (picture.jpeg.size() < 2 || picture.jpeg[0] != 0xFF || picture.jpeg[1] != 0xD8))
        std::abort();
    return 0;
}
