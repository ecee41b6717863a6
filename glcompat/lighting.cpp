// Lights, materials and the light model: kept for the lighting program, which takes the products
// of light and material colours as uniforms. Light positions are taken into eye space by the
// modelview current at glLightfv time, as GL 1.1 does.
#include <cstring>

#include "glcompat/compat.h"

using namespace glcompat;

namespace {

// Stores `n` floats into `field`; a change flushes what was drawn under the old values.
void store(float* field, const float* values, int n) {
    if (std::memcmp(field, values, sizeof(float) * size_t(n)) == 0) return;
    flushBatch(GlcompatBatchEnd::Lighting);
    std::memcpy(field, values, sizeof(float) * size_t(n));
    gc.lightSerial++;
}

Light* lightOf(GLenum light) {
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + kMaxLights) {
        setError(GL_INVALID_ENUM);
        return nullptr;
    }
    return &gc.cur.lights[light - GL_LIGHT0];
}

bool outsideBegin() {
    if (!gc.inBegin) return true;
    setError(GL_INVALID_OPERATION);
    return false;
}

}  // namespace

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (!outsideBegin()) return;
    Light* l = lightOf(light);
    if (!l || !params) return;
    switch (pname) {
    case GL_AMBIENT: return store(l->ambient, params, 4);
    case GL_DIFFUSE: return store(l->diffuse, params, 4);
    case GL_SPECULAR: return store(l->specular, params, 4);
    case GL_POSITION: {
        float eye[4];
        transform(top(0).m, params, eye);
        // A positional light's eye position is taken as a point (divided by w).
        if (eye[3] != 0.0f && eye[3] != 1.0f) {
            for (int k = 0; k < 3; ++k) eye[k] /= eye[3];
            eye[3] = 1.0f;
        }
        return store(l->eyePosition, eye, 4);
    }
    case GL_CONSTANT_ATTENUATION:
    case GL_LINEAR_ATTENUATION:
    case GL_QUADRATIC_ATTENUATION:
        if (params[0] < 0) return setError(GL_INVALID_VALUE);
        return store(&l->attenuation[pname - GL_CONSTANT_ATTENUATION], params, 1);
    default:
        // Spotlights (GL_SPOT_*) are not drawn by this layer; saying so beats ignoring them.
        return setError(GL_INVALID_ENUM);
    }
}

void glLightf(GLenum light, GLenum pname, GLfloat param) {
    if (pname != GL_CONSTANT_ATTENUATION && pname != GL_LINEAR_ATTENUATION && pname != GL_QUADRATIC_ATTENUATION &&
        pname != GL_SPOT_EXPONENT && pname != GL_SPOT_CUTOFF)
        return setError(GL_INVALID_ENUM);
    glLightfv(light, pname, &param);
}

void glLightModelfv(GLenum pname, const GLfloat* params) {
    if (!outsideBegin() || !params) return;
    if (pname != GL_LIGHT_MODEL_AMBIENT) return setError(GL_INVALID_ENUM);
    store(gc.cur.modelAmbient, params, 4);
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (!params) return;
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) return setError(GL_INVALID_ENUM);
    if (pname == GL_SHININESS && (params[0] < 0 || params[0] > 128)) return setError(GL_INVALID_VALUE);
    // Between glBegin and glEnd GL takes the change per vertex; here it applies to the whole
    // primitive being given, as Quorvel never changes materials inside one.
    for (Material* m : {&gc.cur.front, &gc.cur.back}) {
        if ((m == &gc.cur.front && face == GL_BACK) || (m == &gc.cur.back && face == GL_FRONT)) continue;
        switch (pname) {
        case GL_AMBIENT: store(m->ambient, params, 4); break;
        case GL_DIFFUSE: store(m->diffuse, params, 4); break;
        case GL_SPECULAR: store(m->specular, params, 4); break;
        case GL_EMISSION: store(m->emission, params, 4); break;
        case GL_SHININESS: store(&m->shininess, params, 1); break;
        case GL_AMBIENT_AND_DIFFUSE:
            store(m->ambient, params, 4);
            store(m->diffuse, params, 4);
            break;
        default: return setError(GL_INVALID_ENUM);
        }
    }
}

void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    if (pname != GL_SHININESS) return setError(GL_INVALID_ENUM);
    glMaterialfv(face, pname, &param);
}

void glGetLightfv(GLenum light, GLenum pname, GLfloat* params) {
    Light* l = lightOf(light);
    if (!l || !params) return;
    switch (pname) {
    case GL_AMBIENT: std::memcpy(params, l->ambient, sizeof l->ambient); break;
    case GL_DIFFUSE: std::memcpy(params, l->diffuse, sizeof l->diffuse); break;
    case GL_SPECULAR: std::memcpy(params, l->specular, sizeof l->specular); break;
    case GL_POSITION: std::memcpy(params, l->eyePosition, sizeof l->eyePosition); break;
    case GL_CONSTANT_ATTENUATION:
    case GL_LINEAR_ATTENUATION:
    case GL_QUADRATIC_ATTENUATION: params[0] = l->attenuation[pname - GL_CONSTANT_ATTENUATION]; break;
    default: setError(GL_INVALID_ENUM);
    }
}

void glGetMaterialfv(GLenum face, GLenum pname, GLfloat* params) {
    if (!params) return;
    if (face != GL_FRONT && face != GL_BACK) return setError(GL_INVALID_ENUM);
    const Material& m = face == GL_FRONT ? gc.cur.front : gc.cur.back;
    switch (pname) {
    case GL_AMBIENT: std::memcpy(params, m.ambient, sizeof m.ambient); break;
    case GL_DIFFUSE: std::memcpy(params, m.diffuse, sizeof m.diffuse); break;
    case GL_SPECULAR: std::memcpy(params, m.specular, sizeof m.specular); break;
    case GL_EMISSION: std::memcpy(params, m.emission, sizeof m.emission); break;
    case GL_SHININESS: params[0] = m.shininess; break;
    default: setError(GL_INVALID_ENUM);
    }
}
