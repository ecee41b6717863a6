// Every kind of scene error names where in the JSON it is, and nothing is compiled.
#include <gtest/gtest.h>

#include "tools/world/scene_compile.h"

namespace {

struct BadScene {
    const char* scene;
    const char* expected;  // must appear in the message: the JSON path and what is wrong
};

const BadScene kBadScenes[] = {
    {"{\n  \"rooms\": [\n    {\"min\": [0,0,0],, }\n  ]\n}", "line 3, column 21"},
    {"[1, 2]", "(top level): expected an object"},
    {R"({})", "(top level): missing required key \"rooms\""},
    {R"({"rooms": []})", "rooms: a world needs at least one room"},
    {R"({"rooms": [{"min": [0,0,0]}]})", "rooms[0]: missing required key \"max\""},
    {R"({"rooms": [{"min": "low", "max": [1,1,1]}]})", "rooms[0].min: expected an array of 3 numbers, got a string"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,true]}]})", "rooms[0].max[2]: expected a number, got a boolean"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,-1,1]}]})", "rooms[0].max: every component"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "colour": 1}]})", "rooms[0].colour: unknown key"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "lights": [{},{},{},{},{},{},{},{},{}]}]})", "rooms[0].lights: a room has 8 light slots"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "lights": [{"type": "spot"}]}]})", "rooms[0].lights[0].type"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "lights": [{"diffuse": [1,1]}]}]})", "rooms[0].lights[0].diffuse: expected a colour"},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "surfaces": {"floor": {"material": "gold"}}}]})", "rooms[0].surfaces.floor.material: no material named \"gold\""},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "surfaces": {"walls": {"texture": "x"}}}]})", "rooms[0].surfaces.walls.texture: no texture named \"x\""},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "entities": [{"model": "ghost", "position": [0,0,0]}]}]})", "rooms[0].entities[0].model: no model named \"ghost\""},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "portals": [{"to": "nowhere", "vertices": []}]}]})", "rooms[0].portals[0].to: no room named \"nowhere\""},
    {R"({"rooms": [{"min": [0,0,0], "max": [1,1,1], "portals": [{"to": 1, "vertices": [[0,0,0],[1,1,1],[2,2,2]]}]}, {"min": [0,0,0], "max": [1,1,1]}]})", "rooms[0].portals[0].vertices: portal polygon has no area"},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}, {"name": "a", "min": [1,0,0], "max": [2,1,1]}]})", "rooms[1].name: another room is already named \"a\""},
    {R"({"materials": {"m": {"diffuse": "#12345"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "materials.m.diffuse: expected a colour"},
    {R"({"materials": {"m": {"shininess": 200}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "materials.m.shininess: must be between 0 and 128"},
    {R"({"textures": {"t": {"type": "plasma"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "textures.t.type: unknown texture type \"plasma\""},
    {R"({"textures": {"t": {"type": "noise", "size": 10000}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "textures.t.size: must be between 1 and 8192"},
    {R"({"textures": {"t": {"png": "missing.png"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "textures.t.png: cannot open"},
    {R"({"textures": {"../up": {"type": "noise"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "textures[\"../up\"]: texture names"},
    {R"({"models": {"m": {"primitive": "cone"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "models.m.primitive: unknown primitive \"cone\""},
    {R"({"models": {"m": {"primitive": "box", "segments": 2}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "models.m.segments: must be between 3 and 512"},
    {R"({"models": {"m": {"obj": "missing.obj"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "models.m.obj:"},
    {R"({"models": {"m": {}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "models.m: a model needs"},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}, {"name": "b", "min": [5,0,0], "max": [6,1,1]}], "doors": [{"rooms": ["a", "b"], "width": 0.5, "height": 0.5}]})", "doors[0].rooms: rooms \"a\" and \"b\" share no wall"},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}, {"name": "b", "min": [1,0,0], "max": [2,1,1]}], "doors": [{"rooms": ["a", "b"], "width": 2, "height": 0.5}]})", "doors[0]: the door"},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}, {"name": "b", "min": [1,0,0], "max": [2,1,1]}], "doors": [{"rooms": ["a", "b"], "width": 0.5}]})", "doors[0]: missing required key \"height\""},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}, {"name": "b", "min": [1,0,0], "max": [2,1,1]}], "doors": [{"rooms": ["a", "b"], "width": 0.5, "height": 0.5}, {"rooms": ["b", "a"], "width": 0.5, "height": 0.5, "at": 0.6}]})", "doors[1]: overlaps doors[0]"},
    {R"({"rooms": [{"name": "a", "min": [0,0,0], "max": [1,1,1]}], "doors": [{"rooms": ["a", "a"], "width": 1, "height": 1}]})", "doors[0].rooms: a door joins two different rooms"},
    {R"({"name": "../x", "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})", "name: the output name"},
};

TEST(SceneErrors, EveryErrorNamesItsPath) {
    for (const BadScene& c : kBadScenes) {
        CompiledScene out;
        std::string error;
        EXPECT_FALSE(compileSceneText(c.scene, "", out, error)) << c.scene;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "scene: " << c.scene << "\nmessage: " << error;
        EXPECT_EQ(out.world, nullptr);
    }
}

}  // namespace
