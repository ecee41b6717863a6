// The page program's options, which the page makes from its URL: defaults, each option, the
// timedemo's flight, and the values refused before the program starts.
#include <gtest/gtest.h>

#include "app/web_options.h"

namespace {

WebOptions parse(const std::vector<std::string>& args) {
    WebOptions options;
    std::string error;
    EXPECT_TRUE(parseWebOptions(args, options, error)) << error;
    return options;
}

std::string refusal(const std::vector<std::string>& args) {
    WebOptions options;
    std::string error;
    EXPECT_FALSE(parseWebOptions(args, options, error));
    return error;
}

} // namespace

TEST(WebOptions, NoneRunTheDemoWorldByHand) {
    const WebOptions o = parse({});
    EXPECT_EQ(o.dir, "/demo");
    EXPECT_TRUE(o.script.empty());
    EXPECT_EQ(o.frames, 0u);
    EXPECT_FALSE(o.timedemo);
    EXPECT_TRUE(o.shots.empty());
}

TEST(WebOptions, EachOptionTakesItsValue) {
    const WebOptions o = parse({"--dir", "/world", "--script", "/flight/script.txt", "--frames", "300", "--shots",
                                "0,60,299"});
    EXPECT_EQ(o.dir, "/world");
    EXPECT_EQ(o.script, "/flight/script.txt");
    EXPECT_EQ(o.frames, 300u);
    EXPECT_FALSE(o.timedemo);
    EXPECT_EQ(o.shots, (std::vector<uint32_t>{0, 60, 299}));
}

TEST(WebOptions, TheTimedemoFliesTheDemoFlightUnlessGivenAnother) {
    EXPECT_EQ(parse({"--timedemo"}).script, "/demo/flight.txt");
    EXPECT_TRUE(parse({"--timedemo"}).timedemo);
    EXPECT_EQ(parse({"--script", "/a.txt", "--timedemo"}).script, "/a.txt");
    EXPECT_EQ(parse({"--timedemo", "--frames", "150"}).frames, 150u);
}

TEST(WebOptions, BadValuesAreRefusedWithAReason) {
    EXPECT_NE(refusal({"--frames", "0"}).find("frames"), std::string::npos);
    EXPECT_NE(refusal({"--frames", "100000001"}).find("frames"), std::string::npos);
    EXPECT_NE(refusal({"--frames", "-5"}).find("frames"), std::string::npos);
    EXPECT_NE(refusal({"--frames", "12x"}).find("frames"), std::string::npos);
    EXPECT_NE(refusal({"--frames", "99999999999999999999"}).find("frames"), std::string::npos);
    EXPECT_NE(refusal({"--shots", "1,,2"}).find("shots"), std::string::npos);
    EXPECT_NE(refusal({"--shots", "1,2,"}).find("shots"), std::string::npos);
    EXPECT_NE(refusal({"--shots", ""}).find("shots"), std::string::npos);
    EXPECT_NE(refusal({"--frames"}).find("needs a value"), std::string::npos);
    EXPECT_NE(refusal({"--dir", ""}).find("needs a value"), std::string::npos);
    EXPECT_NE(refusal({"--world", "x"}).find("unknown option"), std::string::npos);
    EXPECT_NE(refusal({"demo"}).find("unknown option"), std::string::npos);
}
