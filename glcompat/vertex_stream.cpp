// The stream buffer: every batch's vertices are appended at a running offset to one ES buffer, a
// ring of kStreamBuffers taken in turn a frame each (so the one written was last read frames ago
// and nothing waits or copies, and no buffer is allocated again frame after frame). A buffer
// starts afresh (glBufferData with no data, so the driver need not wait for draws still reading
// the old contents) the first time it is used and when a batch does not fit in what is left. A batch goes in only with the attributes its program reads, and an
// attribute that is the same in every vertex of the batch goes as one constant value instead of
// an array; a position whose w is 1 throughout goes as x, y, z. The attribute arrays are pointed
// again only when a batch is laid out unlike the one before it: a batch starts at a multiple of
// its stride, so the arrays point at the start of the buffer and the draw's first vertex does the
// rest.
#include <algorithm>
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

constexpr long kStreamBytes = 1 << 20;

// What the batch's program reads: the lit program its normals, the others their colours; the
// textured and glyph programs their texture coordinates; the palette program each vertex's
// matrix index, in the normal's place; the colourless program its positions alone.
void needed(const ProgramKey& key, bool out[4]) {
    out[kPosition] = true;
    out[kNormal] = key.lit || key.palette;
    out[kColor] = !key.lit && !key.colorless;
    out[kTexCoord] = (key.textured || key.bitmap) && !key.colorless;
}

bool constantIn(const std::vector<float>& v, size_t count, int attribute) {
    const int at = kAttribOffset[attribute], n = kAttribSize[attribute];
    const float* first = v.data() + at;
    for (size_t i = 1; i < count; ++i)
        if (std::memcmp(first, v.data() + i * kFloatsPerVertex + at, sizeof(float) * size_t(n)) != 0) return false;
    return true;
}

bool unitW(const std::vector<float>& v, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (v[i * kFloatsPerVertex + 3] != 1.0f) return false;
    return true;
}

int sizeOf(const VertexLayout& l, int attribute) {
    return attribute == kPosition ? l.positionSize : attribute == kNormal ? l.normalSize : kAttribSize[attribute];
}

// Sends the constant value of `attribute`, as the batch's first vertex has it, unless ES has it.
void setConstant(const VertexLayout& l, int attribute, const float* vertex) {
    float value[4] = {0, 0, 0, 1};
    std::memcpy(value, vertex + kAttribOffset[attribute], sizeof(float) * size_t(sizeOf(l, attribute)));
    if (gc.constantSet[attribute] && std::memcmp(gc.constant[attribute], value, sizeof value) == 0) return;
    gc.es.VertexAttrib4fv(unsigned(attribute), value);
    std::memcpy(gc.constant[attribute], value, sizeof value);
    gc.constantSet[attribute] = true;
}

void applyLayout(const VertexLayout& l) {
    if (gc.layoutValid && gc.layout == l) return;
    const EsTable& es = gc.es;
    for (unsigned a = 0; a < 4; ++a) {
        if (l.array[a] != gc.arrayOn[a] || !gc.layoutValid) {
            if (l.array[a])
                es.EnableVertexAttribArray(a);
            else
                es.DisableVertexAttribArray(a);
            gc.arrayOn[a] = l.array[a];
        }
        if (!l.array[a]) continue;
        const int size = sizeOf(l, int(a));
        es.VertexAttribPointer(a, size, GL_FLOAT, GL_FALSE, l.stride, reinterpret_cast<const void*>(size_t(l.offset[a])));
    }
    gc.layout = l;
    gc.layoutValid = true;
}

// A new frame goes on in the next buffer of the ring, from its start. The arrays point into the
// buffer that was bound when they were pointed, so they are pointed again.
void nextBuffer() {
    gc.ringCapacity[gc.ringIndex] = gc.streamCapacity;
    gc.ringIndex = (gc.ringIndex + 1) % kStreamBuffers;
    gc.vertexBuffer = gc.ring[gc.ringIndex];
    gc.streamCapacity = gc.ringCapacity[gc.ringIndex];
    gc.streamOffset = 0;
    gc.streamRenew = false;
    if (gc.streamCapacity) gc.es.BindBuffer(es::kArrayBuffer, gc.vertexBuffer);
    gc.layoutValid = false;
}

// The byte offset where `bytes` of vertices `stride` apart go, starting the buffer afresh when
// they do not fit.
long place(long bytes, int stride) {
    const EsTable& es = gc.es;
    if (gc.streamRenew) nextBuffer();
    long offset = (gc.streamOffset + stride - 1) / stride * stride;
    if (gc.streamCapacity == 0) es.BindBuffer(es::kArrayBuffer, gc.vertexBuffer);
    if (gc.streamCapacity == 0 || offset + bytes > gc.streamCapacity) {
        long capacity = std::max(gc.streamCapacity, kStreamBytes);
        while (capacity < bytes) capacity *= 2;
        es.BufferData(es::kArrayBuffer, capacity, nullptr, es::kStreamDraw);
        gc.streamCapacity = capacity;
        gc.counters.bufferRenewals++;
        offset = 0;
    }
    gc.streamOffset = offset + bytes;
    return offset;
}

}  // namespace

bool VertexLayout::operator==(const VertexLayout& o) const {
    return std::equal(array, array + 4, o.array) && positionSize == o.positionSize && normalSize == o.normalSize &&
           stride == o.stride &&
           std::equal(offset, offset + 4, o.offset);
}

int streamBatch(const ProgramKey& key, const std::vector<float>& vertices) {
    const size_t count = vertices.size() / kFloatsPerVertex;
    if (count == 0) return -1;
    bool need[4];
    needed(key, need);
    VertexLayout l{};
    l.positionSize = unitW(vertices, count) ? 3 : 4;
    l.normalSize = key.palette ? 1 : 3;
    int floats = 0;
    for (int a = 0; a < 4; ++a) {
        l.array[a] = need[a] && (a == kPosition || !constantIn(vertices, count, a));
        if (!l.array[a]) continue;
        l.offset[a] = floats * int(sizeof(float));
        floats += sizeOf(l, a);
    }
    l.stride = floats * int(sizeof(float));

    std::vector<float>& out = gc.packed;
    out.resize(count * size_t(floats));
    float* o = out.data();
    for (size_t i = 0; i < count; ++i) {
        const float* v = vertices.data() + i * kFloatsPerVertex;
        for (int a = 0; a < 4; ++a) {
            if (!l.array[a]) continue;
            const int n = sizeOf(l, a);
            std::memcpy(o, v + kAttribOffset[a], sizeof(float) * size_t(n));
            o += n;
        }
    }
    const long bytes = long(out.size() * sizeof(float));
    const long offset = place(bytes, l.stride);
    gc.es.BufferSubData(es::kArrayBuffer, offset, bytes, out.data());
    gc.counters.bufferUploads++;
    gc.counters.bytesUploaded += uint64_t(bytes);
    applyLayout(l);
    for (int a = 1; a < 4; ++a) {
        if (need[a] && !l.array[a]) setConstant(l, a, vertices.data());
        // Drawing from an array leaves the attribute's constant value undefined.
        if (l.array[a]) gc.constantSet[a] = false;
    }
    return int(offset / l.stride);
}

}  // namespace glcompat
