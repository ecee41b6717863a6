// EGL surfaceless pbuffer context.
#include "ll/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace {

struct HeadlessState {
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
};
HeadlessState state{};

bool fail(std::string& error, const char* what) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s (EGL error 0x%04x)", what, eglGetError());
    error = buf;
    destroyHeadlessGL();
    return false;
}

EGLDisplay surfacelessDisplay() {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

bool createHeadlessGL(const HeadlessGLConfig& config, std::string& error) {
    if (state.context) {
        error = "a headless context already exists";
        return false;
    }
    state.display = surfacelessDisplay();
    if (state.display == EGL_NO_DISPLAY) return fail(error, "no surfaceless EGL display");
    if (!eglInitialize(state.display, nullptr, nullptr)) return fail(error, "eglInitialize failed");
    if (!eglBindAPI(config.es2 ? EGL_OPENGL_ES_API : EGL_OPENGL_API))
        return fail(error, config.es2 ? "OpenGL ES not available through EGL" : "desktop OpenGL not available through EGL");

    const EGLint attribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                              EGL_RENDERABLE_TYPE, config.es2 ? EGL_OPENGL_ES2_BIT : EGL_OPENGL_BIT,
                              EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                              EGL_DEPTH_SIZE, config.depthBits,
                              EGL_STENCIL_SIZE, config.stencilBits,
                              EGL_NONE};
    EGLConfig eglConfig;
    EGLint found = 0;
    if (!eglChooseConfig(state.display, attribs, &eglConfig, 1, &found) || found < 1)
        return fail(error, "no EGL config with the requested depth and stencil bits");

    const EGLint surfaceAttribs[] = {EGL_WIDTH, config.width, EGL_HEIGHT, config.height, EGL_NONE};
    state.surface = eglCreatePbufferSurface(state.display, eglConfig, surfaceAttribs);
    if (state.surface == EGL_NO_SURFACE) return fail(error, "eglCreatePbufferSurface failed");

    // No version attributes for desktop OpenGL: Mesa then gives a compatibility profile with the
    // fixed-function pipeline.
    const EGLint esAttribs[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    state.context = eglCreateContext(state.display, eglConfig, EGL_NO_CONTEXT, config.es2 ? esAttribs : nullptr);
    if (state.context == EGL_NO_CONTEXT) return fail(error, "eglCreateContext failed");
    if (!eglMakeCurrent(state.display, state.surface, state.surface, state.context))
        return fail(error, "eglMakeCurrent failed");
    return true;
}

bool processHeadlessGL(const HeadlessGLConfig& config, std::string& error) {
    static const bool created = createHeadlessGL(config, error);
    return created;
}

void destroyHeadlessGL() {
    if (state.display != EGL_NO_DISPLAY && state.display) {
        eglMakeCurrent(state.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (state.context) eglDestroyContext(state.display, state.context);
        if (state.surface) eglDestroySurface(state.display, state.surface);
        eglTerminate(state.display);
    }
    state = HeadlessState{};
}

void swapHeadlessGL() {
    if (state.context) eglSwapBuffers(state.display, state.surface);
}
