// Immediate mode: glBegin/glEnd with the current normal, colour and texture coordinate carried
// from vertex to vertex as GL 1.1 carries them. At glEnd the primitive becomes independent
// triangles, lines or points (strip and fan corners in GL's order, so facing is unchanged) and
// joins the pending batch; many glBegin/glEnd pairs under unchanged state are one ES draw.
#include <cstring>

#include "glcompat/compat.h"

using namespace glcompat;

namespace {

BatchKind kindOf(GLenum mode) {
    switch (mode) {
    case GL_POINTS: return BatchKind::Points;
    case GL_LINES: case GL_LINE_LOOP: case GL_LINE_STRIP: return BatchKind::Lines;
    default: return BatchKind::Triangles;
    }
}

void vertex(float x, float y, float z, float w) {
    if (!gc.inBegin) return;  // outside glBegin/glEnd a vertex does nothing
    const AttribState& s = gc.cur;
    const float v[kFloatsPerVertex] = {x, y, z, w,
                                       s.normal[0], s.normal[1], s.normal[2],
                                       s.color[0], s.color[1], s.color[2], s.color[3],
                                       s.texCoord[0], s.texCoord[1]};
    gc.primitive.insert(gc.primitive.end(), v, v + kFloatsPerVertex);
}

const float* at(size_t i) { return gc.primitive.data() + i * kFloatsPerVertex; }

void triangle(size_t a, size_t b, size_t c) {
    appendVertex(at(a));
    appendVertex(at(b));
    appendVertex(at(c));
}

void assemble(GLenum mode, size_t n) {
    switch (mode) {
    case GL_POINTS:
        for (size_t i = 0; i < n; ++i) appendVertex(at(i));
        break;
    case GL_LINES:
        for (size_t i = 0; i + 1 < n; i += 2) {
            appendVertex(at(i));
            appendVertex(at(i + 1));
        }
        break;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (size_t i = 0; i + 1 < n; ++i) {
            appendVertex(at(i));
            appendVertex(at(i + 1));
        }
        if (mode == GL_LINE_LOOP && n >= 2) {
            appendVertex(at(n - 1));
            appendVertex(at(0));
        }
        break;
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3) triangle(i, i + 1, i + 2);
        break;
    case GL_TRIANGLE_STRIP:
        // Every other triangle of a strip takes its first two corners swapped: (i+1, i, i+2).
        for (size_t i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0)
                triangle(i, i + 1, i + 2);
            else
                triangle(i + 1, i, i + 2);
        }
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (size_t i = 1; i + 1 < n; ++i) triangle(0, i, i + 1);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(i, i + 1, i + 2);
            triangle(i, i + 2, i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < n; i += 2) {
            triangle(i, i + 1, i + 3);
            triangle(i, i + 3, i + 2);
        }
        break;
    default: break;
    }
}

}  // namespace

void glBegin(GLenum mode) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    if (mode > GL_POLYGON) return setError(GL_INVALID_ENUM);
    gc.inBegin = true;
    gc.beginMode = mode;
    gc.primitive.clear();
}

void glEnd() {
    if (!gc.inBegin) return setError(GL_INVALID_OPERATION);
    gc.inBegin = false;
    const size_t n = gc.primitive.size() / kFloatsPerVertex;
    if (n == 0) return;
    const BatchKind kind = kindOf(gc.beginMode);
    beginBatch(kind, gc.cur.lighting, gc.cur.texture2d && boundTextureComplete());
    assemble(gc.beginMode, n);
}

void glVertex2f(GLfloat x, GLfloat y) { vertex(x, y, 0, 1); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { vertex(x, y, z, 1); }
void glVertex3fv(const GLfloat* v) { vertex(v[0], v[1], v[2], 1); }
void glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w) { vertex(x, y, z, w); }
void glVertex4fv(const GLfloat* v) { vertex(v[0], v[1], v[2], v[3]); }

void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz) {
    gc.cur.normal[0] = nx;
    gc.cur.normal[1] = ny;
    gc.cur.normal[2] = nz;
}
void glNormal3fv(const GLfloat* v) { glNormal3f(v[0], v[1], v[2]); }

void glTexCoord2f(GLfloat s, GLfloat t) {
    gc.cur.texCoord[0] = s;
    gc.cur.texCoord[1] = t;
    gc.cur.texCoord[2] = 0;
    gc.cur.texCoord[3] = 1;
}
void glTexCoord2fv(const GLfloat* v) { glTexCoord2f(v[0], v[1]); }

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    // Kept as given; the vertex stage clamps colours to [0, 1] as GL 1.1 does.
    gc.cur.color[0] = red;
    gc.cur.color[1] = green;
    gc.cur.color[2] = blue;
    gc.cur.color[3] = alpha;
}
void glColor4fv(const GLfloat* v) { glColor4f(v[0], v[1], v[2], v[3]); }
void glColor3f(GLfloat red, GLfloat green, GLfloat blue) { glColor4f(red, green, blue, 1); }
void glColor3fv(const GLfloat* v) { glColor4f(v[0], v[1], v[2], 1); }

void glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
    if (gc.inBegin) return setError(GL_INVALID_OPERATION);
    glBegin(GL_POLYGON);
    glVertex2f(x1, y1);
    glVertex2f(x2, y1);
    glVertex2f(x2, y2);
    glVertex2f(x1, y2);
    glEnd();
}
