// Start-up projection and standing OpenGL state.
#include "render/gl_setup.h"

#include <GL/gl.h>

void setupProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    // With these two elements at -1 (= -2 * near for near 0.5) the far plane lies at infinity.
    m[10] = -1.0f;
    m[14] = -1.0f;
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setupFixedState() {
    glClearColor(0, 0, 0, 0);
    glColor3f(0, 0, 0);
    glClearDepth(1);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
}

void setupRenderState() {
    setupProjection();
    setupFixedState();
}
