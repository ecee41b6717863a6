// LL on the SDL backend with a game controller: an SDL virtual controller in the standard layout
// stands for a pad plugged in. Before any of its buttons is pressed it moves nothing; then the
// left stick moves, a stick inside the dead zone reads as rest, RT rises, B, LB, RB and Back hold
// their keys, and unplugging it leaves no axis or key behind.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "ll/ll.h"
#include "ll/ll_internal.h"

namespace {

constexpr uint8_t kWindowed = kLLDoubleBuffer | kLLDepth16 | kLLStencil8;
constexpr auto kDeadline = std::chrono::seconds(20);

// Updates LL until the condition holds or the deadline passes; whether it held.
bool updateUntil(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
        updateLL(1);
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool keyDown(uint8_t dik) { return (keysLL()[dik] & 0x80) != 0; }

class SdlPad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server and DISPLAY is unset (scripts/test.sh starts Xvfb)";
        resetLLWindowState();
        resetLLInputState();
        ASSERT_EQ(initLL("Quorvel pad test", kWindowed, 0, 0, 320, 240), 0);
        updateLL(1); // the first keyboard read starts the controllers
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        // Every button and axis valid: joystick button i is controller button i, and so for axes.
        desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        desc.name = "Quorvel virtual pad";
        index = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index, 0) << SDL_GetError();
        joystick = SDL_JoystickOpen(index);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        if (joystick) SDL_JoystickClose(joystick);
        if (index >= 0) SDL_JoystickDetachVirtual(index);
        if (llInput.keys) closeLL();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void axis(SDL_GameControllerAxis a, int16_t value) { SDL_JoystickSetVirtualAxis(joystick, a, value); }
    void button(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joystick, b, down ? 1 : 0); }
    // LL has the pad open once SDL knows a controller for it.
    bool padOpened() const { return SDL_GameControllerFromInstanceID(SDL_JoystickInstanceID(joystick)) != nullptr; }
    // A pad counts from its first button pressed.
    void wake() {
        button(SDL_CONTROLLER_BUTTON_A, true);
        ASSERT_TRUE(updateUntil([this] { return padOpened(); }));
        button(SDL_CONTROLLER_BUTTON_A, false);
    }
    int index = -1;
    SDL_Joystick* joystick = nullptr;
};

} // namespace

TEST_F(SdlPad, NothingMovesBeforeAButtonThenTheStickMovesAndTheDeadZoneRests) {
    axis(SDL_CONTROLLER_AXIS_LEFTY, -32767); // held forward from the start
    ASSERT_TRUE(updateUntil([this] { return padOpened(); }));
    for (int i = 0; i < 20; ++i) {
        updateLL(1);
        ASSERT_EQ(analogLL().moveY, 0.0f) << "update " << i << ": the pad has not been pressed yet";
    }
    button(SDL_CONTROLLER_BUTTON_A, true);
    ASSERT_TRUE(updateUntil([] { return analogLL().moveY > 0.99f; }));
    EXPECT_EQ(analogLL().moveX, 0.0f);
    button(SDL_CONTROLLER_BUTTON_A, false);

    // A stick a little off centre, inside the dead zone, is at rest.
    axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
    axis(SDL_CONTROLLER_AXIS_LEFTX, 4900); // 0.15
    ASSERT_TRUE(updateUntil([] { return analogLL().moveY == 0.0f; }));
    EXPECT_EQ(analogLL().moveX, 0.0f);

    // RT rises, LT against it cancels; the right stick looks, up the stick tilting the view up.
    axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    ASSERT_TRUE(updateUntil([] { return analogLL().upDown > 0.99f; }));
    axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    ASSERT_TRUE(updateUntil([] { return analogLL().upDown == 0.0f; }));
    axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    ASSERT_TRUE(updateUntil([] { return analogLL().lookX > 0.99f; }));
    EXPECT_EQ(analogLL().lookY, 0.0f);
    axis(SDL_CONTROLLER_AXIS_RIGHTX, 0);
    axis(SDL_CONTROLLER_AXIS_RIGHTY, -32767);
    ASSERT_TRUE(updateUntil([] { return analogLL().lookY > 0.99f && analogLL().lookX == 0.0f; }));
}

TEST_F(SdlPad, ButtonsHoldTheirKeys) {
    wake();
    const struct {
        SDL_GameControllerButton button;
        uint8_t dik;
    } keys[] = {{SDL_CONTROLLER_BUTTON_B, 0x30},
                {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x10},
                {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x2C},
                {SDL_CONTROLLER_BUTTON_BACK, 0x3B}};
    for (const auto& k : keys) {
        button(k.button, true);
        EXPECT_TRUE(updateUntil([&] { return keyDown(k.dik); })) << "DIK " << int(k.dik);
        button(k.button, false);
        EXPECT_TRUE(updateUntil([&] { return !keyDown(k.dik); })) << "DIK " << int(k.dik);
    }
}

TEST_F(SdlPad, UnpluggedPadLeavesNothingHeld) {
    wake();
    axis(SDL_CONTROLLER_AXIS_LEFTY, 32767); // backward
    button(SDL_CONTROLLER_BUTTON_B, true);
    ASSERT_TRUE(updateUntil([] { return analogLL().moveY < -0.99f && keyDown(0x30); }));
    SDL_JoystickClose(joystick);
    joystick = nullptr;
    SDL_JoystickDetachVirtual(index);
    index = -1;
    EXPECT_TRUE(updateUntil([] { return analogLL().moveY == 0.0f && !keyDown(0x30); }));
}
