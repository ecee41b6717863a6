// Display lists, raster positions and bitmaps: what the bitmap font compiles and calls. A list
// records glBitmap, glRasterPos and glCallList; every other call made while a list is being
// compiled runs at once. Each compiled bitmap is copied into one glyph atlas texture, and
// glCallLists draws the glyphs as quads of the atlas at the pixels glBitmap would set, in the
// raster colour latched by glRasterPos, all in one draw.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

constexpr int kAtlasWidth = 512;
constexpr int kMaxAtlasHeight = 4096;
constexpr int kMaxNesting = 64;

bool insideBegin() {
    if (!gc.inBegin) return false;
    setError(GL_INVALID_OPERATION);
    return true;
}

// The bitmap as one byte per pixel (255 where a bit is set), bottom row first, read with the
// client's unpack state as glBitmap reads it.
std::vector<uint8_t> unpackBitmap(int width, int height, const GLubyte* bitmap) {
    std::vector<uint8_t> out(size_t(width) * size_t(height), 0);
    if (!bitmap) return out;
    const PixelStore& u = gc.client.unpack;
    const int rowPixels = u.rowLength > 0 ? u.rowLength : width;
    const size_t rowBytes = (size_t(rowPixels) + 7) / 8;
    const size_t a = size_t(u.alignment);
    const size_t stride = (rowBytes + a - 1) / a * a;
    for (int y = 0; y < height; ++y) {
        const GLubyte* row = bitmap + (size_t(u.skipRows) + size_t(y)) * stride;
        for (int x = 0; x < width; ++x) {
            const size_t bit = size_t(u.skipPixels) + size_t(x);
            const int shift = u.lsbFirst ? int(bit % 8) : 7 - int(bit % 8);
            if ((row[bit / 8] >> shift) & 1) out[size_t(y) * size_t(width) + size_t(x)] = 255;
        }
    }
    return out;
}

bool placeInAtlas(ListCommand& c) {
    const int w = c.width, h = c.height;
    if (w > kAtlasWidth) return false;
    if (gc.shelfX + w > kAtlasWidth) {
        gc.shelfX = 0;
        gc.shelfY += gc.shelfHeight;
        gc.shelfHeight = 0;
    }
    if (gc.shelfY + h > kMaxAtlasHeight) return false;
    while (gc.shelfY + h > gc.atlasHeight) {
        gc.atlasHeight = gc.atlasHeight ? gc.atlasHeight * 2 : 64;
        gc.atlasPixels.resize(size_t(kAtlasWidth) * size_t(gc.atlasHeight), 0);
    }
    c.atlasX = gc.shelfX;
    c.atlasY = gc.shelfY;
    for (int y = 0; y < h; ++y)
        std::memcpy(&gc.atlasPixels[size_t(c.atlasY + y) * kAtlasWidth + size_t(c.atlasX)],
                    &c.pixels[size_t(y) * size_t(w)], size_t(w));
    gc.shelfX += w;
    if (h > gc.shelfHeight) gc.shelfHeight = h;
    gc.atlasDirty = true;
    return true;
}

// Every bitmap command of the lists that exist and of the list being compiled, `skip` excepted.
template <class F>
void forEachBitmap(const ListCommand* skip, F f) {
    for (auto& list : gc.lists)
        for (ListCommand& c : list.second)
            if (c.kind == ListCommand::Bitmap && &c != skip) f(c);
    for (ListCommand& c : gc.recording)
        if (c.kind == ListCommand::Bitmap && &c != skip) f(c);
}

// When the atlas is full, it is built again from the lists that still exist.
void placeBitmap(ListCommand& c) {
    c.atlasX = -1;
    if (placeInAtlas(c)) return;
    gc.shelfX = gc.shelfY = gc.shelfHeight = 0;
    std::fill(gc.atlasPixels.begin(), gc.atlasPixels.end(), 0);
    forEachBitmap(&c, [](ListCommand& other) {
        other.atlasX = -1;
        placeInAtlas(other);
    });
    placeInAtlas(c);  // a bitmap that still finds no room is drawn alone (atlasX stays -1)
}

void uploadAtlas() {
    const EsTable& es = gc.es;
    if (!gc.atlas) {
        es.GenTextures(1, &gc.atlas);
        es.BindTexture(GL_TEXTURE_2D, gc.atlas);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(es::kClampToEdge));
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(es::kClampToEdge));
    } else {
        es.BindTexture(GL_TEXTURE_2D, gc.atlas);
    }
    gc.appliedTexture = gc.atlas;
    es.TexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, kAtlasWidth, gc.atlasHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                  gc.atlasPixels.data());
    gc.atlasDirty = false;
}

// A bitmap with no place in the atlas goes through a texture of its own, drawn at once.
void drawAlone(int x, int y, const ListCommand& c) {
    flushBatch(GlcompatBatchEnd::Bitmap);
    const EsTable& es = gc.es;
    if (!gc.scratchBitmap) {
        es.GenTextures(1, &gc.scratchBitmap);
        es.BindTexture(GL_TEXTURE_2D, gc.scratchBitmap);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(es::kClampToEdge));
        es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(es::kClampToEdge));
    } else {
        es.BindTexture(GL_TEXTURE_2D, gc.scratchBitmap);
    }
    gc.appliedTexture = gc.scratchBitmap;
    es.TexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, c.width, c.height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, c.pixels.data());
    drawBitmapQuad(x, y, c.width, c.height, 0, 0, gc.scratchBitmap, c.width, c.height);
    flushBatch(GlcompatBatchEnd::Bitmap);
}

void rasterPos(float x, float y, float z) {
    const float obj[4] = {x, y, z, 1};
    float eye[4], clip[4];
    transform(top(0).m, obj, eye);
    transform(top(1).m, eye, clip);
    RasterPos& r = gc.cur.raster;
    // Only the near and far planes make a raster position invalid, as in the desktop drivers,
    // so text that starts left of the window still shows its visible part.
    if (clip[2] < -clip[3] || clip[2] > clip[3] || clip[3] == 0.0f) {
        r.valid = false;
        return;
    }
    esReady();  // the first viewport comes from ES
    const GLint* vp = gc.cur.viewport;
    const float* dr = gc.cur.depthRange;
    // The window transform as scale and offset, in the desktop drivers' order of operations, so
    // that whole-pixel positions come out whole.
    const float d = 1.0f / clip[3];
    const float sx = float(vp[2]) / 2.0f, sy = float(vp[3]) / 2.0f, sz = (dr[1] - dr[0]) / 2.0f;
    r.window[0] = clip[0] * d * sx + (sx + float(vp[0]));
    r.window[1] = clip[1] * d * sy + (sy + float(vp[1]));
    r.window[2] = clip[2] * d * sz + (sz + dr[0]);
    r.window[3] = clip[3];
    // Lighting does not reach raster positions here: the raster colour is the current colour.
    for (int k = 0; k < 4; ++k) r.color[k] = std::fmin(1.0f, std::fmax(0.0f, gc.cur.color[k]));
    r.valid = true;
}

void drawBitmapCommand(const ListCommand& c) {
    RasterPos& r = gc.cur.raster;
    if (!r.valid) return;
    if (c.width > 0 && c.height > 0 && esReady()) {
        // The bitmap's lower left pixel, as the desktop drivers place it.
        const float epsilon = 0.0001f;
        const int x = int(std::floor(r.window[0] + epsilon - c.xorig));
        const int y = int(std::floor(r.window[1] + epsilon - c.yorig));
        if (c.atlasX < 0)
            drawAlone(x, y, c);
        else {
            if (gc.atlasDirty) {
                flushBatch(GlcompatBatchEnd::Bitmap);
                uploadAtlas();
            }
            drawBitmapQuad(x, y, c.width, c.height, c.atlasX, c.atlasY, gc.atlas, kAtlasWidth, gc.atlasHeight);
        }
    }
    r.window[0] += c.xmove;
    r.window[1] += c.ymove;
}

// The one loop that runs list commands: a list's own, and the calls glCallList and glCallLists
// make, which run as a list of calls would.
void replay(const std::vector<ListCommand>& commands, int depth) {
    if (depth > kMaxNesting) return;
    for (const ListCommand& c : commands) {
        switch (c.kind) {
        case ListCommand::Bitmap: drawBitmapCommand(c); break;
        case ListCommand::RasterPos: rasterPos(c.position[0], c.position[1], c.position[2]); break;
        case ListCommand::Call: {
            auto it = gc.lists.find(c.list);
            if (it != gc.lists.end()) replay(it->second, depth + 1);
            break;
        }
        }
    }
}

// Records `c` into the list being compiled; true when the call should also run now.
bool record(const ListCommand& c) {
    if (!gc.compiling) return true;
    gc.recording.push_back(c);
    if (c.kind == ListCommand::Bitmap) placeBitmap(gc.recording.back());
    return gc.compileMode == GL_COMPILE_AND_EXECUTE;
}

}  // namespace

void drawBitmapQuad(int x, int y, int width, int height, int atlasX, int atlasY, GLuint texture,
                    int textureWidth, int textureHeight) {
    const GLint* vp = gc.cur.viewport;
    if (vp[2] <= 0 || vp[3] <= 0) return;
    if (gc.batchKind == BatchKind::Bitmaps && gc.bitmapTexture != texture) flushBatch(GlcompatBatchEnd::Bitmap);
    beginBatch(BatchKind::Bitmaps, false, false);
    gc.bitmapTexture = texture;
    const RasterPos& r = gc.cur.raster;
    const float* dr = gc.cur.depthRange;
    const float z = dr[1] != dr[0] ? (r.window[2] - dr[0]) / (dr[1] - dr[0]) * 2.0f - 1.0f : 0.0f;
    auto ndcX = [vp](int px) { return float(px - vp[0]) * 2.0f / float(vp[2]) - 1.0f; };
    auto ndcY = [vp](int py) { return float(py - vp[1]) * 2.0f / float(vp[3]) - 1.0f; };
    const float x0 = ndcX(x), x1 = ndcX(x + width), y0 = ndcY(y), y1 = ndcY(y + height);
    const float u0 = float(atlasX) / float(textureWidth), u1 = float(atlasX + width) / float(textureWidth);
    const float v0 = float(atlasY) / float(textureHeight), v1 = float(atlasY + height) / float(textureHeight);
    const float corners[4][4] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
    for (int k : {0, 1, 2, 0, 2, 3}) {
        const float v[kFloatsPerVertex] = {corners[k][0], corners[k][1], z, 1, 0, 0, 1,
                                           r.color[0], r.color[1], r.color[2], r.color[3],
                                           corners[k][2], corners[k][3]};
        appendVertex(v);
    }
}

}  // namespace glcompat

using namespace glcompat;

void glRasterPos3f(GLfloat x, GLfloat y, GLfloat z) {
    if (insideBegin()) return;
    ListCommand c{};
    c.kind = ListCommand::RasterPos;
    c.position[0] = x;
    c.position[1] = y;
    c.position[2] = z;
    if (record(c)) rasterPos(x, y, z);
}

void glRasterPos2f(GLfloat x, GLfloat y) { glRasterPos3f(x, y, 0); }

void glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap) {
    if (insideBegin()) return;
    if (width < 0 || height < 0) return setError(GL_INVALID_VALUE);
    ListCommand c{};
    c.kind = ListCommand::Bitmap;
    c.width = width;
    c.height = height;
    c.xorig = xorig;
    c.yorig = yorig;
    c.xmove = xmove;
    c.ymove = ymove;
    c.pixels = unpackBitmap(width, height, bitmap);
    c.atlasX = -1;
    if (!gc.compiling) return drawBitmapCommand(c);  // drawn on its own: nothing to keep
    if (record(c)) drawBitmapCommand(gc.recording.back());
}

GLuint glGenLists(GLsizei range) {
    if (range < 0) {
        setError(GL_INVALID_VALUE);
        return 0;
    }
    if (range == 0 || gc.inBegin) return 0;
    const GLuint first = gc.nextList;
    for (GLsizei i = 0; i < range; ++i) gc.lists[first + GLuint(i)];
    gc.nextList += GLuint(range);
    return first;
}

void glNewList(GLuint list, GLenum mode) {
    if (insideBegin()) return;
    if (list == 0) return setError(GL_INVALID_VALUE);
    if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE) return setError(GL_INVALID_ENUM);
    if (gc.compiling) return setError(GL_INVALID_OPERATION);
    gc.compiling = list;
    gc.compileMode = mode;
    gc.recording.clear();
}

void glEndList() {
    if (insideBegin()) return;
    if (!gc.compiling) return setError(GL_INVALID_OPERATION);
    gc.lists[gc.compiling] = std::move(gc.recording);
    gc.recording.clear();
    if (gc.compiling >= gc.nextList) gc.nextList = gc.compiling + 1;
    gc.compiling = 0;
}

namespace {

// Calls the lists named: recorded as calls while a list is compiled, and run unless only compiled.
void callLists(std::vector<ListCommand>& calls) {
    bool run = true;
    if (gc.compiling) {
        gc.recording.insert(gc.recording.end(), calls.begin(), calls.end());
        run = gc.compileMode == GL_COMPILE_AND_EXECUTE;
    }
    if (run) replay(calls, 0);
}

ListCommand callOf(GLuint list) {
    ListCommand c{};
    c.kind = ListCommand::Call;
    c.list = list;
    return c;
}

}  // namespace

void glCallList(GLuint list) {
    if (insideBegin()) return;
    std::vector<ListCommand> calls{callOf(list)};
    callLists(calls);
}

void glCallLists(GLsizei n, GLenum type, const GLvoid* lists) {
    if (insideBegin()) return;
    if (n < 0) return setError(GL_INVALID_VALUE);
    if (!lists) return;
    std::vector<ListCommand> calls;
    calls.reserve(size_t(n));
    for (GLsizei i = 0; i < n; ++i) {
        GLuint offset = 0;
        switch (type) {
        case GL_UNSIGNED_BYTE: offset = static_cast<const GLubyte*>(lists)[i]; break;
        case GL_BYTE: offset = GLuint(static_cast<const GLbyte*>(lists)[i]); break;
        case GL_UNSIGNED_SHORT: offset = static_cast<const GLushort*>(lists)[i]; break;
        case GL_SHORT: offset = GLuint(static_cast<const GLshort*>(lists)[i]); break;
        case GL_UNSIGNED_INT: offset = static_cast<const GLuint*>(lists)[i]; break;
        case GL_INT: offset = GLuint(static_cast<const GLint*>(lists)[i]); break;
        case GL_FLOAT: offset = GLuint(static_cast<const GLfloat*>(lists)[i]); break;
        default: return setError(GL_INVALID_ENUM);
        }
        calls.push_back(callOf(gc.cur.listBase + offset));
    }
    callLists(calls);
}

void glListBase(GLuint base) {
    if (!insideBegin()) gc.cur.listBase = base;
}

void glDeleteLists(GLuint list, GLsizei range) {
    if (insideBegin()) return;
    if (range < 0) return setError(GL_INVALID_VALUE);
    for (GLsizei i = 0; i < range; ++i) gc.lists.erase(list + GLuint(i));
}

GLboolean glIsList(GLuint list) { return gc.lists.count(list) ? GL_TRUE : GL_FALSE; }
