// The ES table on Linux: every entry from eglGetProcAddress, which Mesa answers for core ES
// functions as well as extensions, for the ES context current on this thread.
#include "glcompat/es_table.h"

#include <EGL/egl.h>

bool loadEsTable(EsTable& table, std::string& error) {
#define QV_ES_LOAD(ret, name, params)                                                        \
    table.name = reinterpret_cast<ret(*) params>(eglGetProcAddress("gl" #name));             \
    if (!table.name) {                                                                       \
        error = "eglGetProcAddress has no gl" #name;                                         \
        return false;                                                                        \
    }
    QV_ES_FUNCTIONS(QV_ES_LOAD)
#undef QV_ES_LOAD
    return true;
}
