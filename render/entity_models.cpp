// The model lookups shared by the renderer, the shadow pass, the depth walk and the debug views.
#include "render/entity_models.h"

const Model* entityModel(const World* world, const Entity* entity) {
    if (!world || !world->models || entity->model >= static_cast<uint16_t>(world->modelCount)) return nullptr;
    return world->models[entity->model];
}

const Model* castingModel(const World* world, const Entity* e) {
    if (e->flags & kEntityHidden) return nullptr;
    const Model* m = entityModel(world, e);
    if (!m || !e->litMask) return nullptr;
    // Volumes and outlines read the triangles and the vertices they index.
    if (m->triangleCount > 0 && (!m->triangles || !m->vertices)) return nullptr;
    return m;
}
