// The ES table in the browser: Emscripten's emscripten_gl* functions, which call WebGL 1 on the
// context made current with emscripten_webgl_make_context_current. Compiled only by Emscripten.
#include "glcompat/es_table.h"

#include <webgl/webgl1.h>

// WebGL has one way in; a loader has nothing to choose.
void setEsLoader(void* (*)(const char*)) {}

bool loadEsTable(EsTable& table, std::string&) {
#define QV_ES_LOAD(ret, name, params) table.name = &emscripten_gl##name;
    QV_ES_FUNCTIONS(QV_ES_LOAD)
#undef QV_ES_LOAD
    return true;
}
