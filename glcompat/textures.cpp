// Texture objects. Names and images live in ES; the layer keeps each texture's level sizes and
// minifying filter to apply GL 1.1's completeness rule itself: an incomplete texture draws as if
// texturing were off, where ES would sample black. Internal formats 1-4 are GL 1.1's component
// counts (luminance, luminance-alpha, RGB, RGBA); images are converted to the ES format whose
// data format equals it and uploaded in tight rows.
#include <vector>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

bool usesMipmaps(GLenum minFilter) { return minFilter != GL_NEAREST && minFilter != GL_LINEAR; }

// GL 1.1: level 0 defined and, with a mipmapping filter, every level down to 1 x 1 halving
// each side (never below 1) in the same format. Sides that are not powers of two are left
// untextured, which is also what WebGL 1 does with them under mipmapping or wrapping.
void updateCompleteness(TextureInfo& t) {
    t.complete = false;
    const int w = t.width[0], h = t.height[0];
    if (w <= 0 || h <= 0 || !isPowerOfTwo(w) || !isPowerOfTwo(h)) return;
    if (usesMipmaps(t.minFilter)) {
        int level = 0;
        for (int lw = w, lh = h;; ++level) {
            if (level >= 16 || t.width[level] != lw || t.height[level] != lh || t.format[level] != t.format[0]) return;
            if (lw == 1 && lh == 1) break;
            lw = lw > 1 ? lw / 2 : 1;
            lh = lh > 1 ? lh / 2 : 1;
        }
    }
    t.complete = true;
}

TextureInfo& infoOf(GLuint name) {
    auto it = gc.textures.find(name);
    if (it == gc.textures.end()) {
        TextureInfo fresh{};
        fresh.minFilter = GL_NEAREST_MIPMAP_LINEAR;  // GL's initial minifying filter
        it = gc.textures.emplace(name, fresh).first;
    }
    return it->second;
}

int componentsOf(GLenum format) {
    switch (format) {
    case GL_ALPHA: case GL_LUMINANCE: return 1;
    case GL_LUMINANCE_ALPHA: return 2;
    case GL_RGB: return 3;
    case GL_RGBA: return 4;
    default: return 0;
    }
}

GLenum esFormatOf(GLint internalFormat) {
    switch (internalFormat) {
    case 1: case GL_LUMINANCE: return GL_LUMINANCE;
    case 2: case GL_LUMINANCE_ALPHA: return GL_LUMINANCE_ALPHA;
    case 3: case GL_RGB: return GL_RGB;
    case 4: case GL_RGBA: return GL_RGBA;
    case GL_ALPHA: return GL_ALPHA;
    default: return 0;
    }
}

// One pixel of the client image as RGBA, by GL's conversion (luminance fills R, G and B).
void toRgba(const uint8_t* p, GLenum format, uint8_t out[4]) {
    switch (format) {
    case GL_ALPHA: out[0] = out[1] = out[2] = 0; out[3] = p[0]; break;
    case GL_LUMINANCE: out[0] = out[1] = out[2] = p[0]; out[3] = 255; break;
    case GL_LUMINANCE_ALPHA: out[0] = out[1] = out[2] = p[0]; out[3] = p[1]; break;
    case GL_RGB: out[0] = p[0]; out[1] = p[1]; out[2] = p[2]; out[3] = 255; break;
    default: out[0] = p[0]; out[1] = p[1]; out[2] = p[2]; out[3] = p[3]; break;
    }
}

void fromRgba(const uint8_t in[4], GLenum esFormat, uint8_t* out) {
    switch (esFormat) {
    case GL_ALPHA: out[0] = in[3]; break;
    case GL_LUMINANCE: out[0] = in[0]; break;
    case GL_LUMINANCE_ALPHA: out[0] = in[0]; out[1] = in[3]; break;
    case GL_RGB: out[0] = in[0]; out[1] = in[1]; out[2] = in[2]; break;
    default: out[0] = in[0]; out[1] = in[1]; out[2] = in[2]; out[3] = in[3]; break;
    }
}

bool validTarget(GLenum target) {
    if (target == GL_TEXTURE_2D) return true;
    setError(GL_INVALID_ENUM);
    return false;
}

void texParameter(GLenum target, GLenum pname, GLint param) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (!validTarget(target)) return;
    switch (pname) {
    case GL_TEXTURE_MIN_FILTER:
        if (param != GL_NEAREST && param != GL_LINEAR && (param < GL_NEAREST_MIPMAP_NEAREST || param > GL_LINEAR_MIPMAP_LINEAR))
            return setError(GL_INVALID_ENUM);
        break;
    case GL_TEXTURE_MAG_FILTER:
        if (param != GL_NEAREST && param != GL_LINEAR) return setError(GL_INVALID_ENUM);
        break;
    case GL_TEXTURE_WRAP_S:
    case GL_TEXTURE_WRAP_T:
        if (param != GL_REPEAT && param != GL_CLAMP) return setError(GL_INVALID_ENUM);
        // ES has no border to clamp towards; clamping to the edge texels is the nearest.
        if (param == GL_CLAMP) param = GLint(es::kClampToEdge);
        break;
    default: return setError(GL_INVALID_ENUM);
    }
    flushBatch(GlcompatBatchEnd::Texture);
    if (!esReady()) return;
    syncTextureBinding();
    gc.es.TexParameteri(target, pname, param);
    if (pname == GL_TEXTURE_MIN_FILTER) {
        TextureInfo& t = infoOf(gc.cur.boundTexture);
        t.minFilter = GLenum(param);
        updateCompleteness(t);
    }
}

}  // namespace

bool boundTextureComplete() {
    auto it = gc.textures.find(gc.cur.boundTexture);
    return it != gc.textures.end() && it->second.complete;
}

void syncTextureBinding() {
    if (gc.appliedTexture == gc.cur.boundTexture) return;
    gc.es.BindTexture(GL_TEXTURE_2D, gc.cur.boundTexture);
    gc.appliedTexture = gc.cur.boundTexture;
}

}  // namespace glcompat

using namespace glcompat;

void glGenTextures(GLsizei n, GLuint* textures) {
    if (n < 0) return setError(GL_INVALID_VALUE);
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (n == 0 || !esReady()) return;
    gc.es.GenTextures(n, textures);
    for (GLsizei i = 0; i < n; ++i) infoOf(textures[i]);
}

void glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (n < 0) return setError(GL_INVALID_VALUE);
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    flushBatch(GlcompatBatchEnd::Texture);
    if (!esReady()) return;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        if (name == 0) continue;
        gc.textures.erase(name);
        // A deleted texture that was bound leaves the default texture bound, in ES as in GL.
        if (gc.cur.boundTexture == name) gc.cur.boundTexture = 0;
        if (gc.appliedTexture == name) gc.appliedTexture = 0;
        for (AttribState& saved : gc.attribStack)
            if (saved.boundTexture == name) saved.boundTexture = 0;
    }
    gc.es.DeleteTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (!validTarget(target) || gc.cur.boundTexture == texture) return;
    flushBatch(GlcompatBatchEnd::Texture);
    gc.cur.boundTexture = texture;
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (!validTarget(target)) return;
    const GLenum esFormat = esFormatOf(internalFormat);
    const int srcComponents = componentsOf(format);
    if (!esFormat) return setError(GL_INVALID_VALUE);
    if (!srcComponents || type != GL_UNSIGNED_BYTE) return setError(GL_INVALID_ENUM);
    if (level < 0 || level >= 16 || width < 0 || height < 0 || border != 0) return setError(GL_INVALID_VALUE);
    flushBatch(GlcompatBatchEnd::Texture);
    if (!esReady()) return;
    const int dstComponents = componentsOf(esFormat);
    std::vector<uint8_t> tight;
    if (pixels) {
        tight.resize(size_t(width) * size_t(height) * size_t(dstComponents));
        const PixelStore& u = gc.client.unpack;
        const size_t stride = rowStride(u, width, srcComponents);
        const uint8_t* base = static_cast<const uint8_t*>(pixels) + size_t(u.skipRows) * stride +
                              size_t(u.skipPixels) * size_t(srcComponents);
        uint8_t* out = tight.data();
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = base + size_t(y) * stride;
            for (int x = 0; x < width; ++x, src += srcComponents, out += dstComponents) {
                uint8_t rgba[4];
                toRgba(src, format, rgba);
                fromRgba(rgba, esFormat, out);
            }
        }
    }
    syncTextureBinding();
    gc.es.TexImage2D(GL_TEXTURE_2D, level, GLint(esFormat), width, height, 0, esFormat, GL_UNSIGNED_BYTE,
                     tight.empty() ? nullptr : tight.data());
    TextureInfo& t = infoOf(gc.cur.boundTexture);
    t.width[level] = width;
    t.height[level] = height;
    t.format[level] = esFormat;
    updateCompleteness(t);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) { texParameter(target, pname, param); }

void glTexParameterf(GLenum target, GLenum pname, GLfloat param) { texParameter(target, pname, GLint(param)); }

void glTexEnvf(GLenum target, GLenum pname, GLfloat param) { glTexEnvi(target, pname, GLint(param)); }

void glTexEnvi(GLenum target, GLenum pname, GLint param) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE) return setError(GL_INVALID_ENUM);
    // The programs draw GL_MODULATE, the mode Quorvel uses; the others are refused, not faked.
    if (param != GL_MODULATE) return setError(GL_INVALID_ENUM);
    gc.cur.envMode = GLenum(param);
}
