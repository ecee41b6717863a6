// quorvel-font run as a program: the fonts it makes parse as asked, --dump shows the glyphs, and
// every failure exits 1 with a reason.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "text/kbf.h"

namespace {

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr together
};

ToolRun runTool(const std::string& args) {
    const std::string command = std::string("'") + QV_FONT_TOOL + "' " + args + " 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string temp(const std::string& name) { return ::testing::TempDir() + "font_tool_test_" + name; }

bool blank(const KbfFont& font, unsigned code) {
    const uint8_t* g = font.glyph(code);
    for (uint32_t i = 0; g && i < font.glyphBytes; ++i)
        if (g[i]) return false;
    return true;
}

TEST(FontTool, MakesTheAskedCellsFromAFreeTypeFont) {
    const std::string out = temp("mono6x12.kbf");
    ToolRun run = runTool("--height 12 --width 6 '" + std::string(QV_FONT_SOURCE) + "' '" + out + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    KbfFont font;
    std::string reason;
    ASSERT_TRUE(readKbfFile(out.c_str(), &font, reason)) << reason;
    EXPECT_EQ(font.width, 6);
    EXPECT_EQ(font.height, 12);
    EXPECT_EQ(font.recordCount, 95);
    for (unsigned c = 32; c <= 126; ++c) EXPECT_NE(font.glyph(c), nullptr) << c;
    EXPECT_EQ(font.glyph(31), nullptr);
    EXPECT_EQ(font.glyph(160), nullptr);
    EXPECT_TRUE(blank(font, ' '));
    EXPECT_FALSE(blank(font, 'A'));
    EXPECT_FALSE(blank(font, '_'));  // descending and low glyphs stay inside the cell

    run = runTool("--latin1 --height 16 --width 16 '" + std::string(QV_FONT_SOURCE) + "' '" + out + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(readKbfFile(out.c_str(), &font, reason)) << reason;
    EXPECT_EQ(font.glyphBytes, 32);
    EXPECT_EQ(font.recordCount, 95 + 96);
    EXPECT_FALSE(blank(font, 0xE9));  // é
}

TEST(FontTool, DumpShowsEachGlyphAsTextArt) {
    const std::string out = temp("dump.kbf");
    ASSERT_EQ(runTool("'" + std::string(QV_FONT_SOURCE) + "' '" + out + "'").status, 0);
    ToolRun run = runTool("--dump '" + out + "' --chars AB");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("8 x 16 pixels, 95 glyph records"), std::string::npos) << run.output;
    const size_t at = run.output.find("code 65 'A'\n");
    ASSERT_NE(at, std::string::npos) << run.output;
    // Sixteen rows of eight '#' or '.' follow, with some ink.
    size_t pos = at + std::string("code 65 'A'\n").size();
    int ink = 0;
    for (int row = 0; row < 16; ++row) {
        const size_t end = run.output.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = run.output.substr(pos, end - pos);
        ASSERT_EQ(line.size(), 8u) << "row " << row << ": " << line;
        for (char ch : line) {
            ASSERT_TRUE(ch == '#' || ch == '.') << line;
            ink += ch == '#';
        }
        pos = end + 1;
    }
    EXPECT_GT(ink, 8);
    EXPECT_NE(run.output.find("code 66 'B'"), std::string::npos);

    run = runTool("--dump '" + out + "' --chars '\t'");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("absent"), std::string::npos) << run.output;
}

TEST(FontTool, FailuresExitOneWithAReason) {
    const std::string garbage = temp("garbage.kbf");
    FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a font", f);
    std::fclose(f);
    const std::string font = "'" + std::string(QV_FONT_SOURCE) + "'";
    const struct {
        std::string args;
        std::string reason;
    } cases[] = {
        {"--dump '" + garbage + "'", "bad magic"},
        {"--dump '" + temp("missing.kbf") + "'", "cannot open"},
        {"--width 10 " + font + " '" + temp("w10.kbf") + "'", "width 10"},
        {"'" + temp("missing.ttf") + "' '" + temp("x.kbf") + "'", "cannot read font"},
        {font + " /nonexistent-dir/x.kbf", "cannot write"},
        {"--height x " + font + " '" + temp("x.kbf") + "'", "bad --height"},
        {font, "expected a font file and an output file"},
        {"--bogus", "unknown"},
    };
    for (const auto& c : cases) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.status, 1) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find("quorvel-font: "), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << c.args << "\n" << run.output;
    }
}

}  // namespace
