// The modelview, projection and texture matrix stacks. The arithmetic follows the usual
// fixed-function implementations term for term (products summed in the same order, rotations
// about one axis built from exact zeros and ones), so matrices read back with glGetFloatv are the
// ones the desktop driver gives, and the renderer's CPU-side shadow classification agrees.
#include <cmath>
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

const Mat4 kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

int stackIndex(GLenum mode) {
    switch (mode) {
    case GL_MODELVIEW: return 0;
    case GL_PROJECTION: return 1;
    case GL_TEXTURE: return 2;
    default: return -1;
    }
}

const int kDepth[3] = {kModelviewDepth, kProjectionDepth, kTextureDepth};

std::vector<Mat4>& current() {
    std::vector<Mat4>& s = gc.stacks[stackIndex(gc.cur.matrixMode)];
    if (s.empty()) s.push_back(kIdentity);
    return s;
}

// Matrix calls between glBegin and glEnd are errors and change nothing.
bool outsideBegin() {
    if (!gc.inBegin) return true;
    setError(GL_INVALID_OPERATION);
    return false;
}

void changed() { gc.matrixSerial++; }

void multiplyCurrent(const float m[16]) {
    Mat4& t = current().back();
    float out[16];
    multiply(t.m, m, out);
    std::memcpy(t.m, out, sizeof out);
    changed();
}

}  // namespace

const Mat4& top(int stack) {
    std::vector<Mat4>& s = gc.stacks[stack];
    if (s.empty()) s.push_back(kIdentity);
    return s.back();
}

void multiply(const float a[16], const float b[16], float out[16]) {
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a[i], ai1 = a[4 + i], ai2 = a[8 + i], ai3 = a[12 + i];
        for (int j = 0; j < 4; ++j)
            out[j * 4 + i] = ai0 * b[j * 4] + ai1 * b[j * 4 + 1] + ai2 * b[j * 4 + 2] + ai3 * b[j * 4 + 3];
    }
}

void transform(const float m[16], const float in[4], float out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

bool invertUpper3x3Transposed(const float m[16], float out[9]) {
    // The cofactor matrix of the upper 3x3 divided by its determinant is the inverse transposed:
    // what normals are multiplied by.
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float c00 = e * i - f * h, c01 = f * g - d * i, c02 = d * h - e * g;
    const float det = a * c00 + b * c01 + c * c02;
    if (det == 0.0f) return false;
    const float s = 1.0f / det;
    // out is column-major: out[col * 3 + row] = cofactor(row, col) / det.
    out[0] = c00 * s;
    out[1] = (c * h - b * i) * s;
    out[2] = (b * f - c * e) * s;
    out[3] = c01 * s;
    out[4] = (a * i - c * g) * s;
    out[5] = (c * d - a * f) * s;
    out[6] = c02 * s;
    out[7] = (b * g - a * h) * s;
    out[8] = (a * e - b * d) * s;
    return true;
}

void resetMatrices() {
    for (auto& s : gc.stacks) s.assign(1, kIdentity);
    gc.matrixSerial++;
}

}  // namespace glcompat

using namespace glcompat;

void glMatrixMode(GLenum mode) {
    if (!outsideBegin()) return;
    if (stackIndex(mode) < 0) return setError(GL_INVALID_ENUM);
    gc.cur.matrixMode = mode;
}

void glPushMatrix() {
    if (!outsideBegin()) return;
    std::vector<Mat4>& s = current();
    if (int(s.size()) >= kDepth[stackIndex(gc.cur.matrixMode)]) return setError(GL_STACK_OVERFLOW);
    const Mat4 copy = s.back();
    s.push_back(copy);
}

void glPopMatrix() {
    if (!outsideBegin()) return;
    std::vector<Mat4>& s = current();
    if (s.size() <= 1) return setError(GL_STACK_UNDERFLOW);
    s.pop_back();
    changed();
}

void glLoadIdentity() {
    if (!outsideBegin()) return;
    current().back() = kIdentity;
    changed();
}

void glLoadMatrixf(const GLfloat* m) {
    if (!outsideBegin() || !m) return;
    std::memcpy(current().back().m, m, sizeof(Mat4));
    changed();
}

void glMultMatrixf(const GLfloat* m) {
    if (!outsideBegin() || !m) return;
    multiplyCurrent(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (!outsideBegin() || angle == 0.0f) return;
    const float s = float(std::sin(angle * M_PI / 180.0));
    const float c = float(std::cos(angle * M_PI / 180.0));
    Mat4 r = kIdentity;
    float* m = r.m;
    auto M = [m](int row, int col) -> float& { return m[col * 4 + row]; };
    bool axis = false;
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        axis = true;
        M(0, 0) = c;
        M(1, 1) = c;
        M(0, 1) = z < 0.0f ? s : -s;
        M(1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        axis = true;
        M(0, 0) = c;
        M(2, 2) = c;
        M(0, 2) = y < 0.0f ? -s : s;
        M(2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        axis = true;
        M(1, 1) = c;
        M(2, 2) = c;
        M(1, 2) = x < 0.0f ? s : -s;
        M(2, 1) = x < 0.0f ? -s : s;
    }
    if (!axis) {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f) return;
        x /= mag;
        y /= mag;
        z /= mag;
        const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s, oneC = 1.0f - c;
        M(0, 0) = (oneC * xx) + c;
        M(0, 1) = (oneC * xy) - zs;
        M(0, 2) = (oneC * zx) + ys;
        M(1, 0) = (oneC * xy) + zs;
        M(1, 1) = (oneC * yy) + c;
        M(1, 2) = (oneC * yz) - xs;
        M(2, 0) = (oneC * zx) - ys;
        M(2, 1) = (oneC * yz) + xs;
        M(2, 2) = (oneC * zz) + c;
    }
    multiplyCurrent(m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (!outsideBegin()) return;
    float* m = current().back().m;
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
    m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
    changed();
}

void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    if (!outsideBegin()) return;
    float* m = current().back().m;
    for (int r = 0; r < 4; ++r) {
        m[r] *= x;
        m[4 + r] *= y;
        m[8 + r] *= z;
    }
    changed();
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    if (!outsideBegin()) return;
    const float l = float(left), r = float(right), b = float(bottom), t = float(top), n = float(zNear),
                f = float(zFar);
    if (n <= 0.0f || f <= 0.0f || n == f || l == r || t == b) return setError(GL_INVALID_VALUE);
    Mat4 p{};
    p.m[0] = (2.0f * n) / (r - l);
    p.m[5] = (2.0f * n) / (t - b);
    p.m[8] = (r + l) / (r - l);
    p.m[9] = (t + b) / (t - b);
    p.m[10] = -(f + n) / (f - n);
    p.m[11] = -1.0f;
    p.m[14] = -(2.0f * f * n) / (f - n);
    multiplyCurrent(p.m);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    if (!outsideBegin()) return;
    const float l = float(left), r = float(right), b = float(bottom), t = float(top), n = float(zNear),
                f = float(zFar);
    if (l == r || b == t || n == f) return setError(GL_INVALID_VALUE);
    Mat4 p{};
    p.m[0] = 2.0f / (r - l);
    p.m[12] = -(r + l) / (r - l);
    p.m[5] = 2.0f / (t - b);
    p.m[13] = -(t + b) / (t - b);
    p.m[10] = -2.0f / (f - n);
    p.m[14] = -(f + n) / (f - n);
    p.m[15] = 1.0f;
    multiplyCurrent(p.m);
}
