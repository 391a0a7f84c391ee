// libFuzzer target: any bytes as a contact's photo must give a JPEG or a reason, never both,
// never a crash. TGA is admitted, so bytes without a signature reach its decoder too. Pictures
// of more than 2^18 pixels are passed over: under the sanitizers scaling them takes seconds,
// and the code they run is that of smaller ones (the size is asked of the decoder only once
// the JPEG check has passed, as before it the decoder is not safe).

#include "image/contact_picture.h"
#include "image/jpeg_layout.h"

#include <cstdint>
#include <cstdlib>
#include <stb/stb_image.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int width = 0, height = 0, channels = 0;
    const bool jpeg = size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
    if (size < 1 << 20 && (!jpeg || tressimo::image::jpegLayoutSound({data, size})) &&
        stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) &&
        static_cast<long>(width) * height > 1 << 18)
        return 0;
    const auto picture = tressimo::image::outlookPicture({data, size}, "image/x-tga");
    if (picture.jpeg.empty() == picture.problem.empty())
        std::abort();
    if (!picture.jpeg.empty() &&
        (picture.jpeg.size() < 2 || picture.jpeg[0] != 0xFF || picture.jpeg[1] != 0xD8))
        std::abort();
    return 0;
}
