// What `quorvel-world info` reports for a world: list order, lights, portals, JSON keys.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/world/verbs.h"
#include "world/world_file.h"

namespace {

TEST(WorldInfo, SampleWorldSummaryAndJsonAgree) {
    World* w = makeSampleWorld();
    const std::string text = describeWorld(*w);
    EXPECT_NE(text.find("rooms 2"), std::string::npos);
    EXPECT_NE(text.find("light 0: positional at (0, 2.5, 2)"), std::string::npos);
    EXPECT_NE(text.find("portal 0: to room 1, 4 vertices"), std::string::npos);

    const auto j = nlohmann::json::parse(describeWorldJson(*w));
    EXPECT_EQ(j["roomCount"], 2);
    EXPECT_EQ(j["models"][0]["triangleCount"], 12);
    // The head of room 0's list comes first: the spinning object at (0, 0.5, -2).
    EXPECT_EQ(j["rooms"][0]["entities"][0]["position"][2], -2.0);
    EXPECT_EQ(j["rooms"][0]["entities"].size(), 2u);
    EXPECT_EQ(j["rooms"][1]["portals"][0]["target"], 0);
    EXPECT_EQ(j["rooms"][0]["lights"][0]["type"], "positional");
    freeWorld(w);
}

TEST(WorldInfo, SampleWorldRoundTripsThroughTheFile) {
    World* w = makeSampleWorld();
    std::string error;
    ASSERT_TRUE(saveWorld(*w, "sample_rt.kbw", error)) << error;
    World* loaded = loadWorld("sample_rt.kbw");
    ASSERT_NE(loaded, nullptr) << worldLoadError();
    EXPECT_EQ(describeWorld(*w), describeWorld(*loaded));
    freeWorld(w);
    freeWorld(loaded);
}

}  // namespace
