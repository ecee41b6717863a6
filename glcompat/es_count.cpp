// Counting every ES call: gc.es holds one stub per function that counts the call and calls the
// loaded function in gc.esReal, so the layer's counts cover every call it makes, whatever file
// makes it. The stubs are made from the function table itself, one per entry.
#include "glcompat/compat.h"

namespace glcompat {

namespace {

template <auto Member, int Index>
struct Counted;

template <class R, class... A, R (*EsTable::*Member)(A...), int Index>
struct Counted<Member, Index> {
    static R call(A... args) {
        gc.counters.esCalls++;
        gc.counters.calls[Index]++;
        return (gc.esReal.*Member)(args...);
    }
};

const char* const kNames[] = {
#define QV_ES_NAME(ret, name, params) "gl" #name,
    QV_ES_FUNCTIONS(QV_ES_NAME)
#undef QV_ES_NAME
};

static_assert(kEsFunctionCount <= int(sizeof(GlcompatCounters::calls) / sizeof(uint64_t)),
              "GlcompatCounters::calls has a place for every ES function");

}  // namespace

void countEsCalls() {
#define QV_ES_COUNT(ret, name, params) gc.es.name = &Counted<&EsTable::name, kEs##name>::call;
    QV_ES_FUNCTIONS(QV_ES_COUNT)
#undef QV_ES_COUNT
}

}  // namespace glcompat

const char* glcompatEsFunctionName(int index) {
    return index >= 0 && index < kEsFunctionCount ? glcompat::kNames[index] : nullptr;
}
