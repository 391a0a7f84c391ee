// The picture codecs: Debian's stb headers (libstb-dev), their code compiled here once.
//
// stb because it is in the tree already, is header only (no library to build for Windows), the
// same code decodes on Linux and under mingw, and it reads every format a contact photo comes
// in (BMP of any depth, PNG, JPEG, GIF, TGA; run-length coded BMPs are written out first) and
// writes JPEG. Only the formats we take are compiled, and reading is from memory only. Its own
// limit on a side stays above ours (image/limits.h), so that a picture too large is refused
// with its size rather than as damaged.

#define STBI_NO_STDIO
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS (1 << 16)
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
