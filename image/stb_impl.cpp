// The one translation unit that compiles stb's PNG reader and writer (header-only libraries from
// libstb-dev). Only the PNG decoder is built; the headers come in as system headers, so their
// own warnings stay out of the build log.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO_WARNINGS
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
