// The OpenGL ES 2.0 functions the layer draws with, reached only through this table of pointers
// so that the layer's own gl* entry points never meet the ES library's names. One loader fills it
// per platform: es_table_egl.cpp (eglGetProcAddress) and es_table_web.cpp (Emscripten's
// emscripten_gl* functions). The signatures use plain C types (GLenum = unsigned, GLsizeiptr =
// long ...) so this header stands beside either the ES headers or the layer's GL 1.1 header.
#pragma once

#include <string>

// X(return type, name without "gl", parameter list)
#define QV_ES_FUNCTIONS(X)                                                                              \
    X(void, AttachShader, (unsigned program, unsigned shader))                                          \
    X(void, BindAttribLocation, (unsigned program, unsigned index, const char* name))                   \
    X(void, BindBuffer, (unsigned target, unsigned buffer))                                             \
    X(void, BindTexture, (unsigned target, unsigned texture))                                           \
    X(void, BlendFunc, (unsigned sfactor, unsigned dfactor))                                            \
    X(void, BufferData, (unsigned target, long size, const void* data, unsigned usage))                 \
    X(void, BufferSubData, (unsigned target, long offset, long size, const void* data))                 \
    X(void, Clear, (unsigned mask))                                                                     \
    X(void, ClearColor, (float r, float g, float b, float a))                                           \
    X(void, ClearDepthf, (float depth))                                                                 \
    X(void, ClearStencil, (int s))                                                                      \
    X(void, ColorMask, (unsigned char r, unsigned char g, unsigned char b, unsigned char a))            \
    X(void, CompileShader, (unsigned shader))                                                           \
    X(unsigned, CreateProgram, ())                                                                      \
    X(unsigned, CreateShader, (unsigned type))                                                          \
    X(void, CullFace, (unsigned mode))                                                                  \
    X(void, DeleteBuffers, (int n, const unsigned* buffers))                                            \
    X(void, DeleteProgram, (unsigned program))                                                          \
    X(void, DeleteShader, (unsigned shader))                                                            \
    X(void, DeleteTextures, (int n, const unsigned* textures))                                          \
    X(void, DepthFunc, (unsigned func))                                                                 \
    X(void, DepthMask, (unsigned char flag))                                                            \
    X(void, DepthRangef, (float n, float f))                                                            \
    X(void, Disable, (unsigned cap))                                                                    \
    X(void, DisableVertexAttribArray, (unsigned index))                                                 \
    X(void, DrawArrays, (unsigned mode, int first, int count))                                          \
    X(void, Enable, (unsigned cap))                                                                     \
    X(void, EnableVertexAttribArray, (unsigned index))                                                  \
    X(void, Finish, ())                                                                                 \
    X(void, Flush, ())                                                                                  \
    X(void, FrontFace, (unsigned mode))                                                                 \
    X(void, GenBuffers, (int n, unsigned* buffers))                                                     \
    X(void, GenTextures, (int n, unsigned* textures))                                                   \
    X(unsigned, GetError, ())                                                                           \
    X(void, GetIntegerv, (unsigned pname, int* data))                                                   \
    X(void, GetProgramInfoLog, (unsigned program, int bufSize, int* length, char* infoLog))             \
    X(void, GetProgramiv, (unsigned program, unsigned pname, int* params))                              \
    X(void, GetShaderInfoLog, (unsigned shader, int bufSize, int* length, char* infoLog))               \
    X(void, GetShaderiv, (unsigned shader, unsigned pname, int* params))                                \
    X(const unsigned char*, GetString, (unsigned name))                                                 \
    X(int, GetUniformLocation, (unsigned program, const char* name))                                    \
    X(void, LineWidth, (float width))                                                                   \
    X(void, LinkProgram, (unsigned program))                                                            \
    X(void, PixelStorei, (unsigned pname, int param))                                                   \
    X(void, PolygonOffset, (float factor, float units))                                                 \
    X(void, ReadPixels, (int x, int y, int width, int height, unsigned format, unsigned type, void* pixels)) \
    X(void, Scissor, (int x, int y, int width, int height))                                             \
    X(void, ShaderSource, (unsigned shader, int count, const char* const* string, const int* length))   \
    X(void, StencilFunc, (unsigned func, int ref, unsigned mask))                                       \
    X(void, StencilMask, (unsigned mask))                                                               \
    X(void, StencilOp, (unsigned fail, unsigned zfail, unsigned zpass))                                 \
    X(void, TexImage2D, (unsigned target, int level, int internalformat, int width, int height,        \
                         int border, unsigned format, unsigned type, const void* pixels))               \
    X(void, TexParameteri, (unsigned target, unsigned pname, int param))                                \
    X(void, TexSubImage2D, (unsigned target, int level, int xoffset, int yoffset, int width,           \
                            int height, unsigned format, unsigned type, const void* pixels))            \
    X(void, Uniform1f, (int location, float v0))                                                        \
    X(void, Uniform1i, (int location, int v0))                                                          \
    X(void, Uniform3fv, (int location, int count, const float* value))                                  \
    X(void, Uniform4fv, (int location, int count, const float* value))                                  \
    X(void, UniformMatrix3fv, (int location, int count, unsigned char transpose, const float* value))   \
    X(void, UniformMatrix4fv, (int location, int count, unsigned char transpose, const float* value))   \
    X(void, UseProgram, (unsigned program))                                                             \
    X(void, VertexAttrib4fv, (unsigned index, const float* values))                                     \
    X(void, VertexAttribPointer, (unsigned index, int size, unsigned type, unsigned char normalized,    \
                                  int stride, const void* pointer))                                     \
    X(void, Viewport, (int x, int y, int width, int height))

struct EsTable {
#define QV_ES_MEMBER(ret, name, params) ret(*name) params;
    QV_ES_FUNCTIONS(QV_ES_MEMBER)
#undef QV_ES_MEMBER
};

// Each function's place in the table, for the layer's per-function call counts.
enum EsFunction : int {
#define QV_ES_INDEX(ret, name, params) kEs##name,
    QV_ES_FUNCTIONS(QV_ES_INDEX)
#undef QV_ES_INDEX
    kEsFunctionCount
};

// Fills every entry for the context current on this thread; false with the first missing name.
bool loadEsTable(EsTable& table, std::string& error);
// The function the EGL loader asks for each name; null for eglGetProcAddress.
void setEsLoader(void* (*loader)(const char* name));

// ES 2.0 enumerants the GL 1.1 header does not have.
namespace es {
constexpr unsigned kArrayBuffer = 0x8892;
constexpr unsigned kStreamDraw = 0x88E0;
constexpr unsigned kFragmentShader = 0x8B30;
constexpr unsigned kVertexShader = 0x8B31;
constexpr unsigned kCompileStatus = 0x8B81;
constexpr unsigned kLinkStatus = 0x8B82;
constexpr unsigned kInfoLogLength = 0x8B84;
constexpr unsigned kClampToEdge = 0x812F;
}  // namespace es
