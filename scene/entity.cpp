// Entity transforms, motion and room tracking.
#include "scene/entity.h"

#include <GL/gl.h>

#include <cmath>

void linkEntity(Entity* entity, Room* room) {
    entity->next = room->entities;
    entity->prev = nullptr;
    if (room->entities) room->entities->prev = entity;
    room->entities = entity;
}

void unlinkEntity(Entity* entity) {
    if (!entity->room) return;
    if (!entity->prev)
        entity->room->entities = entity->next;
    else
        entity->prev->next = entity->next;
    if (entity->next) entity->next->prev = entity->prev;
}

void turnEntity(Entity* entity, float delta, int axis) {
    float& a = entity->angles[axis];
    a = a + delta;
    // One correction each way, not a modulo: angles stay in (-1, 359].
    if (a < 0.0f) a = a + 360.0f;
    if (a > 359.0f) a = a - 360.0f;
    entity->dirty = static_cast<uint8_t>(entity->dirty | (1u << axis));
}

void rotationMatrix(const Vec3& angles, float out[16]) {
    const double toRad = 3.14159265358979323846 / 180.0;
    const float a = static_cast<float>(-angles.x * toRad);
    const float b = static_cast<float>(-angles.y * toRad);
    const float c = static_cast<float>(-angles.z * toRad);
    const float ca = std::cos(a), sa = std::sin(a);
    const float cb = std::cos(b), sb = std::sin(b);
    const float cc = std::cos(c), sc = std::sin(c);
    // out[4 * column + row]
    out[0] = cb * cc;
    out[1] = sa * sb * cc + ca * sc;
    out[2] = -ca * sb * cc + sa * sc;
    out[3] = 0.0f;
    out[4] = -cb * sc;
    out[5] = -sa * sb * sc + ca * cc;
    out[6] = ca * sb * sc + sa * cc;
    out[7] = 0.0f;
    out[8] = sb;
    out[9] = -sa * cb;
    out[10] = ca * cb;
    out[11] = 0.0f;
    out[12] = 0.0f;
    out[13] = 0.0f;
    out[14] = 0.0f;
    out[15] = 1.0f;
}

void updateRotation(Entity* entity) {
    if ((entity->dirty & 0x07) == 0) return;
    rotationMatrix(entity->angles, entity->rotation);
    entity->dirty = static_cast<uint8_t>(entity->dirty & ~0x07);
}

void applyView(Entity* camera) {
    updateRotation(camera);
    glMultMatrixf(camera->rotation);
    glTranslatef(-camera->position.x, -camera->position.y, -camera->position.z);
}

bool pointInRoom(const Entity* entity, const Room* room) {
    if (!room) return false;
    const Vec3& p = entity->position;
    return room->boxMin.x < p.x && room->boxMin.y < p.y && room->boxMin.z < p.z &&
           p.x < room->boxMax.x && p.y < room->boxMax.y && p.z < room->boxMax.z;
}

void locateRoom(Entity* entity, World* world) {
    Room* old = entity->room;
    if (old && old->world == world) {
        for (int16_t i = 0; i < old->portalCount; ++i) {
            Room* target = old->portals[i]->target;
            if (pointInRoom(entity, target)) {
                entity->room = target;
                return;
            }
        }
    }
    for (int16_t i = 0; i < world->roomCount; ++i) {
        if (pointInRoom(entity, world->rooms[i])) {
            entity->room = world->rooms[i];
            return;
        }
    }
    entity->room = nullptr;
}

void collideEntity(Entity* entity, float /*seconds*/, Vec3& /*d*/) {
    // Visits the room's triangles; there is no contact test, so the displacement stays as it is.
    const Room* room = entity->room;
    for (int16_t i = 0; i < room->triangleCount; ++i) (void)room->triangles[i];
}

void moveEntity(Entity* entity, float seconds, uint8_t options, World* world) {
    Vec3 d{entity->velocity.x * seconds, entity->velocity.y * seconds, entity->velocity.z * seconds};
    if ((options & kMoveCollide) && entity->room) collideEntity(entity, seconds, d);
    entity->position.x += d.x;
    entity->position.y += d.y;
    entity->position.z += d.z;
    if (pointInRoom(entity, entity->room)) return;
    unlinkEntity(entity);
    locateRoom(entity, world);
    if (entity->room) linkEntity(entity, entity->room);
}
