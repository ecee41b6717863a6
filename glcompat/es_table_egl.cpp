// The ES table on Linux: every entry from eglGetProcAddress, which Mesa answers for core ES
// functions as well as extensions, for the ES context current on this thread; or from the loader
// of the library that made the context (SDL's, when SDL made it through GLX).
#include "glcompat/es_table.h"

#include <EGL/egl.h>

namespace {

struct LoaderState {
    void* (*loader)(const char* name);
};
LoaderState loaderState{};

void* lookUp(const char* name) {
    if (loaderState.loader) return loaderState.loader(name);
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

}  // namespace

void setEsLoader(void* (*loader)(const char* name)) { loaderState.loader = loader; }

bool loadEsTable(EsTable& table, std::string& error) {
#define QV_ES_LOAD(ret, name, params)                                                        \
    table.name = reinterpret_cast<ret(*) params>(lookUp("gl" #name));                        \
    if (!table.name) {                                                                       \
        error = "eglGetProcAddress has no gl" #name;                                         \
        return false;                                                                        \
    }
    QV_ES_FUNCTIONS(QV_ES_LOAD)
#undef QV_ES_LOAD
    return true;
}
