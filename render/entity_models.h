// Which model an entity draws, and whether it takes part in shadows. The renderer, the shadow
// pass, the depth walk and the debug views all ask here, so none of them depends on another for it.
#pragma once

#include "world/world.h"

// The model an entity draws: null when its index is outside the world's models or no model is
// there.
const Model* entityModel(const World* world, const Entity* entity);
// The model of an entity that takes part in shadows: null when the entity is hidden, has no lit
// mask, or its model is missing or has triangles without triangle or vertex arrays.
const Model* castingModel(const World* world, const Entity* entity);
