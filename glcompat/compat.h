// The layer's state, shared by its files: GL 1.1's state as the program set it, what the ES
// context has been told, the open glBegin, the pending batch of vertices, the stream buffer, the
// display lists and the counts. One zero-initialised struct; glcompatForget() returns it to that
// (the counts excepted).
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "glcompat/es_table.h"
#include "glcompat/glcompat.h"

namespace glcompat {

constexpr int kMaxLights = 8;
constexpr int kModelviewDepth = 32;
constexpr int kProjectionDepth = 32;
constexpr int kTextureDepth = 10;
constexpr int kAttribDepth = 16;
constexpr int kFloatsPerVertex = 13;  // position xyzw, normal xyz, colour rgba, texcoord st
// Where each attribute starts in a gathered vertex, and how many floats it has.
constexpr int kAttribOffset[4] = {0, 4, 7, 11};
constexpr int kAttribSize[4] = {4, 3, 4, 2};
enum Attribute : unsigned { kPosition = 0, kNormal = 1, kColor = 2, kTexCoord = 3 };
// Held stencil-only batches drawn together may have this many different matrices (batch.cpp).
constexpr int kPaletteSize = 16;
// Stream buffers taken in turn, one a frame: the one a frame appends to was last drawn from two
// frames before, so neither the driver nor the browser has to wait for it or copy it.
constexpr int kStreamBuffers = 3;

struct Mat4 {
    float m[16];
};

struct Light {
    float ambient[4], diffuse[4], specular[4];
    float eyePosition[4];   // transformed by the modelview current at glLightfv time
    float attenuation[3];   // constant, linear, quadratic
};

struct Material {
    float ambient[4], diffuse[4], specular[4], emission[4];
    float shininess;
};

struct RasterPos {
    float window[4];  // x, y, z in window coordinates; w the clip w
    float color[4];
    bool valid;
};

// The state glPushAttrib saves, grouped as its bits are.
struct AttribState {
    // GL_CURRENT_BIT
    float color[4], normal[3], texCoord[4];
    RasterPos raster;
    // capabilities (GL_ENABLE_BIT saves them all; each also belongs to its own group)
    bool lighting, texture2d, depthTest, stencilTest, blend, cullFace, scissorTest, dither,
        normalize, polygonOffsetFill, lightEnabled[kMaxLights];
    // GL_LIGHTING_BIT
    Light lights[kMaxLights];
    Material front, back;
    float modelAmbient[4];
    // GL_DEPTH_BUFFER_BIT
    GLenum depthFunc;
    bool depthMask;
    float clearDepth;
    // GL_STENCIL_BUFFER_BIT
    GLenum stencilFunc;
    GLint stencilRef;
    GLuint stencilValueMask, stencilWriteMask;
    GLenum stencilFail, stencilZFail, stencilZPass;
    GLint clearStencil;
    // GL_COLOR_BUFFER_BIT
    GLenum blendSrc, blendDst;
    bool colorMask[4];
    float clearColor[4];
    // GL_POLYGON_BIT
    GLenum cullMode, frontFace;
    float offsetFactor, offsetUnits;
    // GL_VIEWPORT_BIT
    GLint viewport[4];
    float depthRange[2];
    // GL_SCISSOR_BIT
    GLint scissor[4];
    // GL_TEXTURE_BIT
    GLuint boundTexture;
    GLenum envMode;
    // GL_LINE_BIT
    float lineWidth;
    // GL_LIST_BIT
    GLuint listBase;
    // GL_TRANSFORM_BIT
    GLenum matrixMode;
};

struct PixelStore {
    GLint alignment, rowLength, skipRows, skipPixels;
    bool lsbFirst, swapBytes;
};
struct ClientState {
    PixelStore pack, unpack;
};

// What the ES context has been told of the state that passes straight through.
struct EsRaster {
    bool depthTest, stencilTest, blend, cullFace, scissorTest, dither, polygonOffsetFill;
    GLenum depthFunc;
    bool depthMask;
    float clearDepth;
    GLenum stencilFunc;
    GLint stencilRef;
    GLuint stencilValueMask, stencilWriteMask;
    GLenum stencilFail, stencilZFail, stencilZPass;
    GLint clearStencil;
    GLenum blendSrc, blendDst;
    bool colorMask[4];
    float clearColor[4];
    GLenum cullMode, frontFace;
    float offsetFactor, offsetUnits;
    GLint viewport[4];
    float depthRange[2];
    GLint scissor[4];
    float lineWidth;
};

// Level sizes of one texture, for GL 1.1's completeness rule: an incomplete texture draws as if
// texturing were off (ES would sample black instead).
struct TextureInfo {
    GLint width[16], height[16];
    GLenum format[16];
    GLenum minFilter;
    bool complete;
};

// A batch is one draw: vertices of one kind of primitive drawn with one program and one state.
enum class BatchKind { None, Triangles, Lines, Points, Bitmaps };

// What a program is specialised on: the fixed-function state a batch really uses.
struct ProgramKey {
    bool lit, textured, bitmap;
    int lights;               // lights enabled (lit only)
    uint8_t positional;       // bit i: the i-th enabled light is positional (w != 0)
    bool attenuated;          // some positional light has attenuation other than (1, 0, 0)
    bool textureMatrix;       // the texture matrix is not the identity (textured only)
    bool palette;             // unlit, untextured, each vertex's matrix picked from a palette by
                              // the index in its normal's x (held batches drawn together)
    bool colorless;           // every colour channel masked: the vertex program places the
                              // vertex and nothing else, so the rasterizer interpolates nothing
    uint32_t packed() const;  // one number per distinct key
};

// The values a program's uniforms hold, so that none is sent again with the value it has.
struct UniformValues {
    float mvp[16], modelView[16], normalMatrix[9], texMatrix[16], sceneColor[4], shininess;
    float lightPos[4 * kMaxLights], lightAtt[3 * kMaxLights], lightAmb[3 * kMaxLights],
        lightDif[3 * kMaxLights], lightSpe[3 * kMaxLights];
    float palette[16 * kPaletteSize];
};

struct Program {
    GLuint id;
    GLint mvp, modelView, normalMatrix, texMatrix, sceneColor, shininess, sampler;
    GLint lightPos, lightAtt, lightAmb, lightDif, lightSpe, palette;
    uint32_t matrixSerial, lightSerial;  // what this program's uniforms were last set from
    uint32_t known;                      // bit per uniform: `held` is what ES has
    UniformValues held;
};

// How a batch's vertices lie in the stream buffer: which attributes come from the buffer (the
// others are constant for the whole batch, or unused by its program) and the position's size.
struct VertexLayout {
    bool array[4];
    int positionSize;  // 3 when every w is 1, else 4
    int normalSize;    // 3; 1 for a palette index
    int stride;        // bytes per vertex
    int offset[4];     // bytes from the start of a vertex
    bool operator==(const VertexLayout& o) const;
};

struct ListCommand {
    enum Kind { Bitmap, RasterPos, Call } kind;
    int width, height;                 // Bitmap
    float xorig, yorig, xmove, ymove;  // Bitmap
    std::vector<uint8_t> pixels;       // Bitmap: a byte per pixel, 255 where set, bottom row first
    int atlasX, atlasY;                // Bitmap: its place in the glyph atlas; atlasX -1 for none
    float position[3];                 // RasterPos
    GLuint list;                       // Call
};

struct State {
    bool ready;      // the ES table and the layer's ES objects exist
    bool viewportSet, scissorSet;  // set by the program before the layer met ES
    bool initTried;
    std::string initError;
    EsTable es;
    GLenum error;    // the first error recorded since glGetError

    AttribState cur;
    std::vector<AttribState> attribStack;
    std::vector<uint32_t> attribMasks;
    ClientState client;
    std::vector<ClientState> clientStack;
    std::vector<GLbitfield> clientMasks;
    EsRaster applied;
    GLuint appliedTexture;
    bool appliedValid;  // false until the first sync sends every value

    // matrices: stacks of modelview, projection, texture
    std::vector<Mat4> stacks[3];
    uint32_t matrixSerial;  // bumped by every change of any stack top
    uint32_t lightSerial;   // bumped by every change of lights, materials or the light model

    // glBegin / glEnd
    bool inBegin;
    GLenum beginMode;
    std::vector<float> primitive;  // the vertices given since glBegin

    // the pending batch and the state it was gathered under
    BatchKind batchKind;
    bool batchLit, batchTextured;
    std::vector<float> batch;
    Mat4 batchModelView, batchProjection, batchTexture;
    uint32_t batchMatrixSerial;  // gc.matrixSerial when the batch's matrices were last found current
    uint32_t snapshotSerial;     // bumped whenever a batch takes matrices unlike the previous one's
    GLuint bitmapTexture;        // the glyph texture of a bitmap batch

    // stencil-only batches held back so that later ones can join them (batch.cpp)
    bool holding;
    BatchKind heldKind;
    std::vector<float> held;      // their vertices; each one's normal x: its matrices' index
    std::vector<Mat4> heldModelViews, heldProjections;  // by index, at most kPaletteSize
    Mat4 heldTexture;
    AttribState heldState;

    // the stream buffer: every batch's vertices appended at a running offset, to one buffer of a
    // ring a frame
    GLuint ring[kStreamBuffers];
    long ringCapacity[kStreamBuffers];  // bytes each was last given
    int ringIndex;           // the frame's buffer
    GLuint vertexBuffer;     // ring[ringIndex]
    long streamCapacity;     // ringCapacity[ringIndex] while it is in use
    long streamOffset;       // where the next batch goes
    bool streamRenew;        // the next batch goes to the next buffer of the ring (a new frame)
    std::vector<float> packed;  // the batch as it goes to the buffer
    VertexLayout layout;     // the attribute arrays as ES was last told them
    bool layoutValid;
    bool arrayOn[4];         // the arrays ES has enabled
    float constant[4][4];    // the constant value each attribute was last given
    bool constantSet[4];

    std::map<uint32_t, Program> programs;  // by ProgramKey::packed(); compiled on first use
    GLuint currentProgram;

    std::map<GLuint, TextureInfo> textures;

    // display lists
    std::map<GLuint, std::vector<ListCommand>> lists;
    GLuint nextList;
    GLuint compiling;  // the list being compiled, 0 when none
    GLenum compileMode;
    std::vector<ListCommand> recording;
    GLuint atlas;                   // ES texture holding every compiled bitmap
    int atlasWidth, atlasHeight;
    int shelfX, shelfY, shelfHeight;
    std::vector<uint8_t> atlasPixels;
    bool atlasDirty;
    GLuint scratchBitmap;           // for glBitmap outside a list

    uint64_t draws, verticesDrawn;
    EsTable esReal;               // the loaded functions; `es` calls them through counting stubs
    GlcompatCounters counters;    // kept across glcompatForget
};

extern State gc;

// Records `e` unless an earlier error is still unread (GL keeps the first).
void setError(GLenum e);
// True once the ES side is usable; the first call makes it so for the current context.
bool esReady();

// matrices.cpp
const Mat4& top(int stack);
void multiply(const float a[16], const float b[16], float out[16]);  // out = a * b
void transform(const float m[16], const float in[4], float out[4]);
bool invertUpper3x3Transposed(const float m[16], float out[9]);
void resetMatrices();

// es_count.cpp: fills gc.es with stubs that count each call and call gc.esReal.
void countEsCalls();

// batch.cpp
// Draws the pending batch, if any; `reason` is counted when there was one.
void flushBatch(GlcompatBatchEnd reason);
// Makes the pending batch one of `kind`, flushing what is pending when it cannot join.
void beginBatch(BatchKind kind, bool lit, bool textured);
void appendVertex(const float v[kFloatsPerVertex]);

// raster_state.cpp
// Tells ES the values of `s` (the program's state, or a held batch's) that it does not have.
void syncRaster(const AttribState& s);
// Whether two states draw alike: every value syncRaster sends is the same.
bool sameRaster(const AttribState& a, const AttribState& b);
// The flag of a capability glEnable takes, or null for a name it does not.
bool* capability(AttribState& s, GLenum cap);
void resetAttribState(AttribState& s);

// textures.cpp
bool boundTextureComplete();
void syncTextureBinding();

// lists.cpp
void drawBitmapQuad(int x, int y, int width, int height, int atlasX, int atlasY, GLuint texture,
                    int textureWidth, int textureHeight);

// shader.cpp
Program* useProgram(const ProgramKey& key);
void releasePrograms();

// uniforms.cpp: a batch's matrices and lighting, sent where they differ from what `p` holds.
void uploadMatrices(Program& p);
void uploadLighting(Program& p);
// The held batches' matrices, each projection times modelview, as the palette program takes them.
void uploadPalette(Program& p);

// vertex_stream.cpp: the batch's vertices into the stream buffer, laid out for `key`'s program;
// the index of its first vertex there, -1 when it cannot be placed.
int streamBatch(const ProgramKey& key, const std::vector<float>& vertices);

// pixel rows: the byte offset of pixel (x, y) in client memory for the given store state
size_t rowStride(const PixelStore& store, int width, int bytesPerPixel);

}  // namespace glcompat
