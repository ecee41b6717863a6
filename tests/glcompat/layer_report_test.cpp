// The capture tool's report of the GL layer's counts: per frame, by reason and by function in the
// JSON, and the lines of the text summary.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/capture/report.h"

namespace {

LayerCounts sample() {
    LayerCounts c{};
    c.frames = 4;
    c.draws = 40;
    c.esCalls = 1000;
    c.bufferUploads = 40;
    c.bytesUploaded = 4000000;
    c.uniformCalls = 100;
    c.batchEnds = {{"state", 30}, {"matrices", 10}, {"full", 0}};
    c.esCallsByName = {{"glDrawArrays", 40}, {"glUniform4fv", 100}};
    // The first frame also starts the layer: the busiest frame is sought after it.
    c.esCallsPerFrame = {700, 90, 150, 60};
    c.drawsPerFrame = {10, 10, 10, 10};
    c.bytesPerFrame = {1000, 2000, 3000, 4000};
    return c;
}

TEST(LayerReport, JsonCarriesTotalsPerFrameFiguresAndEachFrame) {
    const FrameStats stats = frameStats({10, 10, 10, 10});
    const LayerCounts c = sample();
    const nlohmann::json j = nlohmann::json::parse(timedemoJson("r", stats, {10, 10, 10, 10}, {}, -1, &c));
    const nlohmann::json& g = j["glcompat"];
    EXPECT_EQ(g["frames"], 4);
    EXPECT_EQ(g["esCalls"], 1000);
    EXPECT_DOUBLE_EQ(g["perFrame"]["esCalls"].get<double>(), 250.0);
    EXPECT_DOUBLE_EQ(g["perFrame"]["bytesUploaded"].get<double>(), 1000000.0);
    EXPECT_DOUBLE_EQ(g["perFrame"]["draws"].get<double>(), 10.0);
    EXPECT_DOUBLE_EQ(g["perFrame"]["uniformCalls"].get<double>(), 25.0);
    EXPECT_EQ(g["batchEnds"]["matrices"], 10);
    EXPECT_DOUBLE_EQ(g["batchEndsPerFrame"]["state"].get<double>(), 7.5);
    EXPECT_EQ(g["esCallsByName"]["glUniform4fv"], 100);
    EXPECT_EQ(g["esCallsEachFrame"], nlohmann::json({700, 90, 150, 60}));
    EXPECT_EQ(g["bytesEachFrame"][3], 4000);
    // Without the layer (desktop OpenGL) there is nothing of it.
    EXPECT_FALSE(nlohmann::json::parse(timedemoJson("r", stats, {10, 10, 10, 10}, {}, -1)).contains("glcompat"));
}

TEST(LayerReport, TextGivesTheFiguresAFrameTheReasonsAndTheBusiestFrame) {
    const std::string text = layerText(sample());
    EXPECT_NE(text.find("glcompat a frame: 10.0 draws, 250.0 ES calls, 10.0 buffer uploads, 1000000 bytes uploaded, "
                        "25.0 uniform calls (4 frames)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("glcompat batch ends a frame: state 7.5 matrices 2.5\n"), std::string::npos) << text;
    EXPECT_NE(text.find("glcompat busiest frame: 150 ES calls, 3000 bytes (frame 2)\n"), std::string::npos) << text;
    // No frames: nothing divided by zero, and no busiest frame.
    LayerCounts none{};
    const std::string empty = layerText(none);
    EXPECT_NE(empty.find("0.0 ES calls"), std::string::npos) << empty;
    EXPECT_EQ(empty.find("busiest"), std::string::npos) << empty;
}

}  // namespace
