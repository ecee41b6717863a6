// What the renderer and the shadow code take for granted about a loaded world, checked record by
// record. The fuzzer traps on any breach and the hardening tests assert none, so a reader change
// that lets a bad index or count through is caught whether or not it happens to crash.
#pragma once

#include <cstdint>

#include "world/world.h"

// Null when every table, count and index of `w` is consistent, else what was wrong.
inline const char* checkWorld(const World& w) {
    if (w.vertexCount && !w.vertices) return "vertex pool missing";
    for (uint32_t i = 0; i < w.vertexCount; ++i)
        if (!w.vertices[i]) return "null world vertex";
    if (w.materialCount && !w.materials) return "material table missing";
    if (w.modelCount < 0 || w.roomCount < 0) return "negative table count";
    if (w.modelCount && !w.models) return "model table missing";
    if (w.roomCount && !w.rooms) return "room table missing";
    for (int m = 0; m < w.modelCount; ++m) {
        const Model* model = w.models[m];
        if (!model || model->triangleCount < 0) return "bad model";
        if (model->vertexCount && !model->vertices) return "model vertices missing";
        for (uint32_t i = 0; i < model->vertexCount; ++i)
            if (!model->vertices[i]) return "null model vertex";
        for (int t = 0; t < model->triangleCount; ++t) {
            const Triangle* tri = model->triangles[t];
            if (!tri) return "null model triangle";
            for (int k = 0; k < 3; ++k) {
                if (tri->v[k] >= model->vertexCount) return "model triangle vertex out of range";
                if (tri->adj[k] != -1 && (tri->adj[k] < 0 || tri->adj[k] >= model->triangleCount))
                    return "model triangle neighbour out of range";
            }
        }
    }
    for (int r = 0; r < w.roomCount; ++r) {
        const Room* room = w.rooms[r];
        if (!room || room->world != &w) return "bad room";
        if (room->triangleCount < 0 || room->portalCount < 0) return "negative room count";
        for (int t = 0; t < room->triangleCount; ++t) {
            const Triangle* tri = room->triangles[t];
            if (!tri) return "null room triangle";
            for (int k = 0; k < 3; ++k)
                if (tri->v[k] >= w.vertexCount) return "room triangle vertex out of range";
        }
        for (int p = 0; p < room->portalCount; ++p) {
            const Portal* portal = room->portals[p];
            if (!portal || portal->vertexCount < 0) return "bad portal";
            if (!portal->target || portal->targetIndex >= w.roomCount ||
                portal->target != w.rooms[portal->targetIndex])
                return "portal target unresolved or out of range";
            for (int v = 0; v < portal->vertexCount; ++v)
                if (!portal->vertices[v]) return "null portal vertex";
        }
        const Entity* prev = nullptr;
        for (const Entity* e = room->entities; e; e = e->next) {
            if (e->prev != prev) return "entity list links broken";
            if (e->model >= w.modelCount) return "entity model out of range";
            if (!e->litMask) return "entity without a lit mask";
            for (int t = 0; t < w.models[e->model]->triangleCount; ++t)
                if (e->litMask[t] != 0) return "lit mask not zeroed";
            for (int i = 0; i < 8; ++i)
                if (e->edgeCount[i] != 0 || e->edges[i]) return "entity starts with edges";
            if (e->dirty != 0xFF) return "entity rotation not marked dirty";
            prev = e;
        }
    }
    return nullptr;
}
