/* The OpenGL 1.1 calls Quorvel makes, as this layer offers them on OpenGL ES 2.0 / WebGL 1.
 * A target built against the layer finds this header as <GL/gl.h> instead of the system's, so
 * render/, text/, scene/, app/ and the offscreen backend compile unchanged. Every gl* name below
 * is a macro for the layer's qvgl* entry point: the layer's names never meet the ES library's. */
#ifndef QV_GLCOMPAT_GL_H
#define QV_GLCOMPAT_GL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef signed char GLbyte;
typedef short GLshort;
typedef int GLint;
typedef int GLsizei;
typedef unsigned char GLubyte;
typedef unsigned short GLushort;
typedef unsigned int GLuint;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;

#define GL_FALSE 0
#define GL_TRUE 1
#define GL_NONE 0
#define GL_ZERO 0
#define GL_ONE 1

/* errors */
#define GL_NO_ERROR 0
#define GL_INVALID_ENUM 0x0500
#define GL_INVALID_VALUE 0x0501
#define GL_INVALID_OPERATION 0x0502
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504
#define GL_OUT_OF_MEMORY 0x0505

/* data types */
#define GL_BYTE 0x1400
#define GL_UNSIGNED_BYTE 0x1401
#define GL_SHORT 0x1402
#define GL_UNSIGNED_SHORT 0x1403
#define GL_INT 0x1404
#define GL_UNSIGNED_INT 0x1405
#define GL_FLOAT 0x1406

/* primitives */
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009

/* matrices */
#define GL_MATRIX_MODE 0x0BA0
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_TEXTURE 0x1702
#define GL_MODELVIEW_STACK_DEPTH 0x0BA3
#define GL_PROJECTION_STACK_DEPTH 0x0BA4
#define GL_TEXTURE_STACK_DEPTH 0x0BA5
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_TEXTURE_MATRIX 0x0BA8
#define GL_MAX_MODELVIEW_STACK_DEPTH 0x0D36
#define GL_MAX_PROJECTION_STACK_DEPTH 0x0D38
#define GL_MAX_TEXTURE_STACK_DEPTH 0x0D39

/* capabilities */
#define GL_CULL_FACE 0x0B44
#define GL_LIGHTING 0x0B50
#define GL_COLOR_MATERIAL 0x0B57
#define GL_FOG 0x0B60
#define GL_DEPTH_TEST 0x0B71
#define GL_STENCIL_TEST 0x0B90
#define GL_NORMALIZE 0x0BA1
#define GL_ALPHA_TEST 0x0BC0
#define GL_DITHER 0x0BD0
#define GL_BLEND 0x0BE2
#define GL_SCISSOR_TEST 0x0C11
#define GL_TEXTURE_2D 0x0DE1
#define GL_POLYGON_OFFSET_FILL 0x8037
#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001
#define GL_LIGHT2 0x4002
#define GL_LIGHT3 0x4003
#define GL_LIGHT4 0x4004
#define GL_LIGHT5 0x4005
#define GL_LIGHT6 0x4006
#define GL_LIGHT7 0x4007

/* depth and stencil */
#define GL_NEVER 0x0200
#define GL_LESS 0x0201
#define GL_EQUAL 0x0202
#define GL_LEQUAL 0x0203
#define GL_GREATER 0x0204
#define GL_NOTEQUAL 0x0205
#define GL_GEQUAL 0x0206
#define GL_ALWAYS 0x0207
#define GL_KEEP 0x1E00
#define GL_REPLACE 0x1E01
#define GL_INCR 0x1E02
#define GL_DECR 0x1E03
#define GL_INVERT 0x150A

/* blending */
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307
#define GL_SRC_ALPHA_SATURATE 0x0308

/* faces */
#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_FRONT_AND_BACK 0x0408
#define GL_CW 0x0900
#define GL_CCW 0x0901

/* lighting */
#define GL_LIGHT_MODEL_AMBIENT 0x0B53
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_SPOT_DIRECTION 0x1204
#define GL_SPOT_EXPONENT 0x1205
#define GL_SPOT_CUTOFF 0x1206
#define GL_CONSTANT_ATTENUATION 0x1207
#define GL_LINEAR_ATTENUATION 0x1208
#define GL_QUADRATIC_ATTENUATION 0x1209
#define GL_EMISSION 0x1600
#define GL_SHININESS 0x1601
#define GL_AMBIENT_AND_DIFFUSE 0x1602

/* textures */
#define GL_TEXTURE_ENV 0x2300
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_MODULATE 0x2100
#define GL_DECAL 0x2101
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_TEXTURE_WRAP_S 0x2802
#define GL_TEXTURE_WRAP_T 0x2803
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_NEAREST_MIPMAP_NEAREST 0x2700
#define GL_LINEAR_MIPMAP_NEAREST 0x2701
#define GL_NEAREST_MIPMAP_LINEAR 0x2702
#define GL_LINEAR_MIPMAP_LINEAR 0x2703
#define GL_CLAMP 0x2900
#define GL_REPEAT 0x2901
#define GL_TEXTURE_BINDING_2D 0x8069
#define GL_MAX_TEXTURE_SIZE 0x0D33

/* pixel formats */
#define GL_ALPHA 0x1906
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_LUMINANCE 0x1909
#define GL_LUMINANCE_ALPHA 0x190A

/* pixel store */
#define GL_UNPACK_SWAP_BYTES 0x0CF0
#define GL_UNPACK_LSB_FIRST 0x0CF1
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#define GL_UNPACK_SKIP_ROWS 0x0CF3
#define GL_UNPACK_SKIP_PIXELS 0x0CF4
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_SWAP_BYTES 0x0D00
#define GL_PACK_LSB_FIRST 0x0D01
#define GL_PACK_ROW_LENGTH 0x0D02
#define GL_PACK_SKIP_ROWS 0x0D03
#define GL_PACK_SKIP_PIXELS 0x0D04
#define GL_PACK_ALIGNMENT 0x0D05

/* attribute groups */
#define GL_CURRENT_BIT 0x00000001
#define GL_POINT_BIT 0x00000002
#define GL_LINE_BIT 0x00000004
#define GL_POLYGON_BIT 0x00000008
#define GL_POLYGON_STIPPLE_BIT 0x00000010
#define GL_PIXEL_MODE_BIT 0x00000020
#define GL_LIGHTING_BIT 0x00000040
#define GL_FOG_BIT 0x00000080
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_ACCUM_BUFFER_BIT 0x00000200
#define GL_STENCIL_BUFFER_BIT 0x00000400
#define GL_VIEWPORT_BIT 0x00000800
#define GL_TRANSFORM_BIT 0x00001000
#define GL_ENABLE_BIT 0x00002000
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_HINT_BIT 0x00008000
#define GL_EVAL_BIT 0x00010000
#define GL_LIST_BIT 0x00020000
#define GL_TEXTURE_BIT 0x00040000
#define GL_SCISSOR_BIT 0x00080000
#define GL_ALL_ATTRIB_BITS 0x000FFFFF
#define GL_CLIENT_PIXEL_STORE_BIT 0x00000001
#define GL_CLIENT_VERTEX_ARRAY_BIT 0x00000002
#define GL_CLIENT_ALL_ATTRIB_BITS 0xFFFFFFFF

/* display lists */
#define GL_COMPILE 0x1300
#define GL_COMPILE_AND_EXECUTE 0x1301
#define GL_LIST_MODE 0x0B30
#define GL_LIST_BASE 0x0B32
#define GL_LIST_INDEX 0x0B33

/* queries */
#define GL_CURRENT_COLOR 0x0B00
#define GL_CURRENT_NORMAL 0x0B02
#define GL_CURRENT_TEXTURE_COORDS 0x0B03
#define GL_CURRENT_RASTER_COLOR 0x0B04
#define GL_CURRENT_RASTER_POSITION 0x0B07
#define GL_CURRENT_RASTER_POSITION_VALID 0x0B08
#define GL_LINE_WIDTH 0x0B21
#define GL_CULL_FACE_MODE 0x0B45
#define GL_FRONT_FACE 0x0B46
#define GL_DEPTH_RANGE 0x0B70
#define GL_DEPTH_WRITEMASK 0x0B72
#define GL_DEPTH_CLEAR_VALUE 0x0B73
#define GL_DEPTH_FUNC 0x0B74
#define GL_STENCIL_CLEAR_VALUE 0x0B91
#define GL_STENCIL_FUNC 0x0B92
#define GL_STENCIL_VALUE_MASK 0x0B93
#define GL_STENCIL_FAIL 0x0B94
#define GL_STENCIL_PASS_DEPTH_FAIL 0x0B95
#define GL_STENCIL_PASS_DEPTH_PASS 0x0B96
#define GL_STENCIL_REF 0x0B97
#define GL_STENCIL_WRITEMASK 0x0B98
#define GL_VIEWPORT 0x0BA2
#define GL_BLEND_DST 0x0BE0
#define GL_BLEND_SRC 0x0BE1
#define GL_SCISSOR_BOX 0x0C10
#define GL_COLOR_CLEAR_VALUE 0x0C22
#define GL_COLOR_WRITEMASK 0x0C23
#define GL_RED_BITS 0x0D52
#define GL_GREEN_BITS 0x0D53
#define GL_BLUE_BITS 0x0D54
#define GL_ALPHA_BITS 0x0D55
#define GL_DEPTH_BITS 0x0D56
#define GL_STENCIL_BITS 0x0D57

/* strings */
#define GL_VENDOR 0x1F00
#define GL_RENDERER 0x1F01
#define GL_VERSION 0x1F02
#define GL_EXTENSIONS 0x1F03

/* The entry points: each gl* name is the layer's qvgl* function. */
/* state */
#define glEnable qvglEnable
#define glDisable qvglDisable
#define glIsEnabled qvglIsEnabled
#define glGetError qvglGetError
#define glGetString qvglGetString
#define glGetIntegerv qvglGetIntegerv
#define glGetFloatv qvglGetFloatv
#define glGetBooleanv qvglGetBooleanv
#define glDepthFunc qvglDepthFunc
#define glDepthMask qvglDepthMask
#define glClearDepth qvglClearDepth
#define glStencilFunc qvglStencilFunc
#define glStencilOp qvglStencilOp
#define glStencilMask qvglStencilMask
#define glClearStencil qvglClearStencil
#define glBlendFunc qvglBlendFunc
#define glColorMask qvglColorMask
#define glCullFace qvglCullFace
#define glFrontFace qvglFrontFace
#define glPolygonOffset qvglPolygonOffset
#define glScissor qvglScissor
#define glViewport qvglViewport
#define glDepthRange qvglDepthRange
#define glLineWidth qvglLineWidth
#define glClearColor qvglClearColor
#define glClear qvglClear
#define glFinish qvglFinish
#define glFlush qvglFlush
#define glPushAttrib qvglPushAttrib
#define glPopAttrib qvglPopAttrib
#define glPushClientAttrib qvglPushClientAttrib
#define glPopClientAttrib qvglPopClientAttrib
#define glPixelStorei qvglPixelStorei
#define glReadPixels qvglReadPixels

/* matrices */
#define glMatrixMode qvglMatrixMode
#define glPushMatrix qvglPushMatrix
#define glPopMatrix qvglPopMatrix
#define glLoadIdentity qvglLoadIdentity
#define glLoadMatrixf qvglLoadMatrixf
#define glMultMatrixf qvglMultMatrixf
#define glRotatef qvglRotatef
#define glTranslatef qvglTranslatef
#define glScalef qvglScalef
#define glFrustum qvglFrustum
#define glOrtho qvglOrtho

/* immediate mode */
#define glBegin qvglBegin
#define glEnd qvglEnd
#define glVertex2f qvglVertex2f
#define glVertex3f qvglVertex3f
#define glVertex3fv qvglVertex3fv
#define glVertex4f qvglVertex4f
#define glVertex4fv qvglVertex4fv
#define glNormal3f qvglNormal3f
#define glNormal3fv qvglNormal3fv
#define glTexCoord2f qvglTexCoord2f
#define glTexCoord2fv qvglTexCoord2fv
#define glColor3f qvglColor3f
#define glColor3fv qvglColor3fv
#define glColor4f qvglColor4f
#define glColor4fv qvglColor4fv
#define glRectf qvglRectf

/* lights and materials */
#define glLightf qvglLightf
#define glLightfv qvglLightfv
#define glLightModelfv qvglLightModelfv
#define glMaterialf qvglMaterialf
#define glMaterialfv qvglMaterialfv
#define glGetLightfv qvglGetLightfv
#define glGetMaterialfv qvglGetMaterialfv

/* textures */
#define glGenTextures qvglGenTextures
#define glDeleteTextures qvglDeleteTextures
#define glBindTexture qvglBindTexture
#define glTexImage2D qvglTexImage2D
#define glTexParameteri qvglTexParameteri
#define glTexParameterf qvglTexParameterf
#define glTexEnvf qvglTexEnvf
#define glTexEnvi qvglTexEnvi

/* raster positions, bitmaps and display lists */
#define glRasterPos2f qvglRasterPos2f
#define glRasterPos3f qvglRasterPos3f
#define glBitmap qvglBitmap
#define glGenLists qvglGenLists
#define glNewList qvglNewList
#define glEndList qvglEndList
#define glCallList qvglCallList
#define glCallLists qvglCallLists
#define glListBase qvglListBase
#define glDeleteLists qvglDeleteLists
#define glIsList qvglIsList

void qvglEnable(GLenum cap);
void qvglDisable(GLenum cap);
GLboolean qvglIsEnabled(GLenum cap);
GLenum qvglGetError(void);
const GLubyte* qvglGetString(GLenum name);
void qvglGetIntegerv(GLenum pname, GLint* params);
void qvglGetFloatv(GLenum pname, GLfloat* params);
void qvglGetBooleanv(GLenum pname, GLboolean* params);
void qvglDepthFunc(GLenum func);
void qvglDepthMask(GLboolean flag);
void qvglClearDepth(GLclampd depth);
void qvglStencilFunc(GLenum func, GLint ref, GLuint mask);
void qvglStencilOp(GLenum fail, GLenum zfail, GLenum zpass);
void qvglStencilMask(GLuint mask);
void qvglClearStencil(GLint s);
void qvglBlendFunc(GLenum sfactor, GLenum dfactor);
void qvglColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha);
void qvglCullFace(GLenum mode);
void qvglFrontFace(GLenum mode);
void qvglPolygonOffset(GLfloat factor, GLfloat units);
void qvglScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void qvglViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void qvglDepthRange(GLclampd zNear, GLclampd zFar);
void qvglLineWidth(GLfloat width);
void qvglClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void qvglClear(GLbitfield mask);
void qvglFinish(void);
void qvglFlush(void);
void qvglPushAttrib(GLbitfield mask);
void qvglPopAttrib(void);
void qvglPushClientAttrib(GLbitfield mask);
void qvglPopClientAttrib(void);
void qvglPixelStorei(GLenum pname, GLint param);
void qvglReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels);

void qvglMatrixMode(GLenum mode);
void qvglPushMatrix(void);
void qvglPopMatrix(void);
void qvglLoadIdentity(void);
void qvglLoadMatrixf(const GLfloat* m);
void qvglMultMatrixf(const GLfloat* m);
void qvglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void qvglTranslatef(GLfloat x, GLfloat y, GLfloat z);
void qvglScalef(GLfloat x, GLfloat y, GLfloat z);
void qvglFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
void qvglOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);

void qvglBegin(GLenum mode);
void qvglEnd(void);
void qvglVertex2f(GLfloat x, GLfloat y);
void qvglVertex3f(GLfloat x, GLfloat y, GLfloat z);
void qvglVertex3fv(const GLfloat* v);
void qvglVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w);
void qvglVertex4fv(const GLfloat* v);
void qvglNormal3f(GLfloat nx, GLfloat ny, GLfloat nz);
void qvglNormal3fv(const GLfloat* v);
void qvglTexCoord2f(GLfloat s, GLfloat t);
void qvglTexCoord2fv(const GLfloat* v);
void qvglColor3f(GLfloat red, GLfloat green, GLfloat blue);
void qvglColor3fv(const GLfloat* v);
void qvglColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void qvglColor4fv(const GLfloat* v);
void qvglRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);

void qvglLightf(GLenum light, GLenum pname, GLfloat param);
void qvglLightfv(GLenum light, GLenum pname, const GLfloat* params);
void qvglLightModelfv(GLenum pname, const GLfloat* params);
void qvglMaterialf(GLenum face, GLenum pname, GLfloat param);
void qvglMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void qvglGetLightfv(GLenum light, GLenum pname, GLfloat* params);
void qvglGetMaterialfv(GLenum face, GLenum pname, GLfloat* params);

void qvglGenTextures(GLsizei n, GLuint* textures);
void qvglDeleteTextures(GLsizei n, const GLuint* textures);
void qvglBindTexture(GLenum target, GLuint texture);
void qvglTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                    GLenum format, GLenum type, const GLvoid* pixels);
void qvglTexParameteri(GLenum target, GLenum pname, GLint param);
void qvglTexParameterf(GLenum target, GLenum pname, GLfloat param);
void qvglTexEnvf(GLenum target, GLenum pname, GLfloat param);
void qvglTexEnvi(GLenum target, GLenum pname, GLint param);

void qvglRasterPos2f(GLfloat x, GLfloat y);
void qvglRasterPos3f(GLfloat x, GLfloat y, GLfloat z);
void qvglBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
                const GLubyte* bitmap);
GLuint qvglGenLists(GLsizei range);
void qvglNewList(GLuint list, GLenum mode);
void qvglEndList(void);
void qvglCallList(GLuint list);
void qvglCallLists(GLsizei n, GLenum type, const GLvoid* lists);
void qvglListBase(GLuint base);
void qvglDeleteLists(GLuint list, GLsizei range);
GLboolean qvglIsList(GLuint list);

#ifdef __cplusplus
}
#endif

#endif
