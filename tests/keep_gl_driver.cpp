// Linked into every test program of a sanitizer build. Mesa's software GL driver keeps an
// allocation that only its own globals point to, and the driver is unloaded when the last GL
// display closes: LeakSanitizer then reports that allocation as leaked from an unknown module,
// which no suppression can name. Loading the driver once more here, never to be unloaded, keeps
// it mapped to the end of the process, so the allocation stays reachable.
#include <dlfcn.h>

#ifdef QV_GL_DRIVER
namespace {

struct KeepGlDriver {
    // Lazy binding: programs that never make a GL context pay only for mapping the file.
    KeepGlDriver() { dlopen(QV_GL_DRIVER, RTLD_LAZY | RTLD_NODELETE); }
} keepGlDriver;

}  // namespace
#endif
