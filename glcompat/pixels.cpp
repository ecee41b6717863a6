// Pixel storage modes, glPushClientAttrib, and glReadPixels. ES 2.0 reads only tightly packed
// RGBA bytes and knows no row length or skips, so the layer reads RGBA and lays the pixels out
// in the caller's memory by GL 1.1's packing rules itself.
#include <algorithm>
#include <vector>

#include "glcompat/compat.h"

namespace glcompat {

size_t rowStride(const PixelStore& store, int width, int bytesPerPixel) {
    const size_t row = size_t(store.rowLength > 0 ? store.rowLength : width) * size_t(bytesPerPixel);
    const size_t a = size_t(store.alignment);
    return (row + a - 1) / a * a;
}

}  // namespace glcompat

using namespace glcompat;

void glPixelStorei(GLenum pname, GLint param) {
    PixelStore& u = gc.client.unpack;
    PixelStore& p = gc.client.pack;
    const bool alignment = pname == GL_UNPACK_ALIGNMENT || pname == GL_PACK_ALIGNMENT;
    if (alignment && param != 1 && param != 2 && param != 4 && param != 8) return setError(GL_INVALID_VALUE);
    if (!alignment && param < 0) return setError(GL_INVALID_VALUE);
    switch (pname) {
    case GL_UNPACK_ALIGNMENT: u.alignment = param; break;
    case GL_UNPACK_ROW_LENGTH: u.rowLength = param; break;
    case GL_UNPACK_SKIP_ROWS: u.skipRows = param; break;
    case GL_UNPACK_SKIP_PIXELS: u.skipPixels = param; break;
    case GL_UNPACK_LSB_FIRST: u.lsbFirst = param != 0; break;
    case GL_UNPACK_SWAP_BYTES: u.swapBytes = param != 0; break;
    case GL_PACK_ALIGNMENT: p.alignment = param; break;
    case GL_PACK_ROW_LENGTH: p.rowLength = param; break;
    case GL_PACK_SKIP_ROWS: p.skipRows = param; break;
    case GL_PACK_SKIP_PIXELS: p.skipPixels = param; break;
    case GL_PACK_LSB_FIRST: p.lsbFirst = param != 0; break;
    case GL_PACK_SWAP_BYTES: p.swapBytes = param != 0; break;
    default: setError(GL_INVALID_ENUM);
    }
}

void glPushClientAttrib(GLbitfield mask) {
    if (gc.clientStack.size() >= size_t(kAttribDepth)) return setError(GL_STACK_OVERFLOW);
    gc.clientStack.push_back(gc.client);
    gc.clientMasks.push_back(mask);
}

void glPopClientAttrib() {
    if (gc.clientStack.empty()) return setError(GL_STACK_UNDERFLOW);
    if (gc.clientMasks.back() & GL_CLIENT_PIXEL_STORE_BIT) gc.client = gc.clientStack.back();
    gc.clientStack.pop_back();
    gc.clientMasks.pop_back();
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (width < 0 || height < 0) return setError(GL_INVALID_VALUE);
    int components = 0;
    switch (format) {
    case GL_RGB: components = 3; break;
    case GL_RGBA: components = 4; break;
    case GL_ALPHA: case GL_LUMINANCE: components = 1; break;
    case GL_LUMINANCE_ALPHA: components = 2; break;
    default: return setError(GL_INVALID_ENUM);
    }
    if (type != GL_UNSIGNED_BYTE) return setError(GL_INVALID_ENUM);
    flushBatch(GlcompatBatchEnd::Read);
    if (!esReady() || width == 0 || height == 0 || !pixels) return;
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    gc.es.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gc.es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const PixelStore& p = gc.client.pack;
    const size_t stride = rowStride(p, width, components);
    uint8_t* base = static_cast<uint8_t*>(pixels) + size_t(p.skipRows) * stride + size_t(p.skipPixels) * size_t(components);
    for (int row = 0; row < height; ++row) {
        const uint8_t* src = rgba.data() + size_t(row) * size_t(width) * 4;
        uint8_t* dst = base + size_t(row) * stride;
        for (int i = 0; i < width; ++i, src += 4) {
            switch (format) {
            case GL_RGB: dst[0] = src[0]; dst[1] = src[1]; dst[2] = src[2]; break;
            case GL_RGBA: dst[0] = src[0]; dst[1] = src[1]; dst[2] = src[2]; dst[3] = src[3]; break;
            case GL_ALPHA: dst[0] = src[3]; break;
            case GL_LUMINANCE: dst[0] = uint8_t(std::min(255, src[0] + src[1] + src[2])); break;
            default: dst[0] = uint8_t(std::min(255, src[0] + src[1] + src[2])); dst[1] = src[3]; break;
            }
            dst += components;
        }
    }
}
