// The emulation the SDL and offscreen backends share, on its own with no display: the class
// registry, the device rules, the buffered mouse with its overflow, the message queue and the
// cursor counter. The one backend operation it calls, platDestroyWindow, is stubbed here.
#include <gtest/gtest.h>

#include "ll/platform_emulation.h"

namespace {

PlatWindow* destroyed = nullptr;
intptr_t proc(PlatWindow*, uint32_t, uintptr_t, intptr_t) { return 0; }
bool noWindows(const std::string&) { return false; }
bool someWindow(const std::string&) { return true; }
int updates = 0;
void countUpdate() { ++updates; }
void pressSpace() { emuSetKey(0x39, true); }

class Emulation : public ::testing::Test {
protected:
    void SetUp() override {
        emuReset();
        destroyed = nullptr;
        updates = 0;
        ASSERT_EQ(platDirectInputCreate(platGetModuleHandle(), DIRECTINPUT_VERSION, &directInput), DI_OK);
    }
    void TearDown() override {
        if (keyboard) platReleaseDevice(keyboard);
        if (mouse) platReleaseDevice(mouse);
        platReleaseDirectInput(directInput);
    }
    // A mouse acquired with a buffer of `events`.
    void openMouse(uint32_t events) {
        ASSERT_EQ(platCreateDevice(directInput, PlatDeviceKind::mouse, &mouse), DI_OK);
        ASSERT_EQ(platSetDataFormat(mouse, PlatDataFormat::mouse), DI_OK);
        PlatPropDword size{sizeof(PlatPropDword), 16, 0, DIPH_DEVICE, events};
        ASSERT_EQ(platSetProperty(mouse, PlatProperty::bufferSize, &size), DI_OK);
        ASSERT_EQ(platAcquire(mouse), DI_OK);
    }
    int32_t read(PlatDeviceEvent* events, uint32_t* count) {
        return emuGetDeviceData(mouse, sizeof(PlatDeviceEvent), events, count, countUpdate);
    }
    PlatDirectInput* directInput = nullptr;
    PlatDevice* keyboard = nullptr;
    PlatDevice* mouse = nullptr;
};

} // namespace

bool platDestroyWindow(PlatWindow* window) {
    destroyed = window;
    return true;
}

TEST_F(Emulation, ClassesAreUniqueByNameAndStayWhileWindowsUseThem) {
    PlatWindowClass c{};
    c.windowProc = proc;
    c.className = "Demo";
    std::string refusal;
    uint32_t atom = emuRegisterClass(&c, &refusal);
    EXPECT_NE(atom & 0xFFFF, 0u);
    EXPECT_EQ(emuRegisterClass(&c, &refusal), 0u);
    EXPECT_EQ(refusal, "window class \"Demo\" is already registered");
    ASSERT_NE(emuFindClass("Demo"), nullptr);
    EXPECT_EQ(emuFindClass("Demo")->windowProc, proc);

    PlatWindowClass other = c;
    other.className = "Other";
    EXPECT_NE(emuRegisterClass(&other, nullptr), atom);
    other.windowProc = nullptr;
    other.className = "NoProc";
    EXPECT_EQ(emuRegisterClass(&other, nullptr), 0u);
    EXPECT_EQ(emuRegisterClass(nullptr, nullptr), 0u);

    EXPECT_FALSE(emuUnregisterClass("Demo", someWindow));
    EXPECT_FALSE(emuUnregisterClass("Unknown", noWindows));
    EXPECT_FALSE(emuUnregisterClass(nullptr, noWindows));
    EXPECT_TRUE(emuUnregisterClass("Demo", noWindows));
    EXPECT_EQ(emuFindClass("Demo"), nullptr);
    EXPECT_NE(emuRegisterClass(&c, nullptr), 0u); // the name is free again

    emuReset();
    EXPECT_EQ(emuFindClass("Other"), nullptr);
}

TEST_F(Emulation, DevicesFollowTheDirectInputRules) {
    EXPECT_EQ(platCreateDevice(nullptr, PlatDeviceKind::keyboard, &keyboard), DIERR_INVALIDPARAM);
    ASSERT_EQ(platCreateDevice(directInput, PlatDeviceKind::keyboard, &keyboard), DI_OK);
    // As on Windows, a second keyboard may be open beside the first.
    PlatDevice* second = nullptr;
    EXPECT_EQ(platCreateDevice(directInput, PlatDeviceKind::keyboard, &second), DI_OK);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, keyboard);

    EXPECT_EQ(platAcquire(keyboard), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(platSetDataFormat(keyboard, PlatDataFormat::mouse), DIERR_INVALIDPARAM);
    ASSERT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), DI_OK);
    uint8_t keys[256] = {};
    EXPECT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DIERR_NOTACQUIRED);
    EXPECT_EQ(updates, 0);
    ASSERT_EQ(platAcquire(keyboard), DI_OK);
    EXPECT_EQ(platAcquire(keyboard), DI_NOEFFECT);
    EXPECT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), DIERR_ACQUIRED);
    EXPECT_EQ(emuGetDeviceState(keyboard, 255, keys, countUpdate), DIERR_INVALIDPARAM);
    EXPECT_EQ(emuGetDeviceState(keyboard, 256, keys, pressSpace), DI_OK);
    EXPECT_EQ(keys[0x39], 0x80);
    emuSetKey(0x39, false);
    EXPECT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DI_OK);
    EXPECT_EQ(keys[0x39], 0);

    // The second keyboard reads the same keys once it is acquired.
    ASSERT_EQ(platSetDataFormat(second, PlatDataFormat::keyboard), DI_OK);
    ASSERT_EQ(platAcquire(second), DI_OK);
    EXPECT_EQ(emuGetDeviceState(second, 256, keys, pressSpace), DI_OK);
    EXPECT_EQ(keys[0x39], 0x80);
    platReleaseDevice(second);
}

TEST_F(Emulation, AFullMouseBufferKeepsTheOldestAndReportsTheLossOnce) {
    emuPushMouse(DIMOFS_X, 1, 10); // no mouse yet: dropped
    openMouse(2);
    PlatPropDword size{sizeof(PlatPropDword), 16, 0, DIPH_DEVICE, 8};
    EXPECT_EQ(platSetProperty(mouse, PlatProperty::bufferSize, &size), DIERR_ACQUIRED);
    emuPushMouse(DIMOFS_X, 5, 100);
    emuPushMouse(DIMOFS_Y, uint32_t(-3), 101);
    emuPushMouse(DIMOFS_BUTTON0, 0x80, 102); // lost

    PlatDeviceEvent events[4] = {};
    uint32_t count = 4;
    EXPECT_EQ(read(events, &count), DI_BUFFEROVERFLOW);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(events[0].offset, DIMOFS_X);
    EXPECT_EQ(events[0].data, 5u);
    EXPECT_EQ(events[0].timeStamp, 100u);
    EXPECT_EQ(events[1].offset, DIMOFS_Y);
    EXPECT_EQ(events[1].sequence, events[0].sequence + 1);
    count = 4;
    EXPECT_EQ(read(events, &count), DI_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(updates, 2);

    // Reads take at most what was asked; unacquiring empties the buffer and forgets the loss.
    emuPushMouse(DIMOFS_Z, 120, 103);
    emuPushMouse(DIMOFS_Z, 120, 104);
    emuPushMouse(DIMOFS_Z, 120, 105);
    count = 1;
    EXPECT_EQ(read(events, &count), DI_BUFFEROVERFLOW);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(emuMouseEventsPending());
    emuPushMouse(DIMOFS_Z, 120, 106);
    emuPushMouse(DIMOFS_Z, 120, 107); // lost again
    ASSERT_EQ(platUnacquire(mouse), DI_OK);
    EXPECT_FALSE(emuMouseEventsPending());
    count = 4;
    EXPECT_EQ(read(events, &count), DIERR_NOTACQUIRED);
    ASSERT_EQ(platAcquire(mouse), DI_OK);
    count = 4;
    EXPECT_EQ(read(events, &count), DI_OK);
    EXPECT_EQ(count, 0u);

    count = 4;
    EXPECT_EQ(emuGetDeviceData(mouse, sizeof(PlatDeviceEvent) - 1, events, &count, countUpdate), DIERR_INVALIDPARAM);
    EXPECT_EQ(count, 0u);
}

TEST_F(Emulation, EveryAcquiredMouseBuffersEveryEventOnItsOwn) {
    openMouse(4);
    PlatDevice* other = nullptr;
    ASSERT_EQ(platCreateDevice(directInput, PlatDeviceKind::mouse, &other), DI_OK);
    ASSERT_EQ(platSetDataFormat(other, PlatDataFormat::mouse), DI_OK);
    PlatPropDword size{sizeof(PlatPropDword), 16, 0, DIPH_DEVICE, 1};
    ASSERT_EQ(platSetProperty(other, PlatProperty::bufferSize, &size), DI_OK);
    emuPushMouse(DIMOFS_X, 1, 10); // the other mouse is not acquired yet: only the first sees it
    ASSERT_EQ(platAcquire(other), DI_OK);
    emuPushMouse(DIMOFS_Y, 2, 11);
    emuPushMouse(DIMOFS_Z, 3, 12); // the other's buffer of one is full

    PlatDeviceEvent events[4] = {};
    uint32_t count = 4;
    EXPECT_EQ(emuGetDeviceData(other, sizeof(PlatDeviceEvent), events, &count, countUpdate), DI_BUFFEROVERFLOW);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(events[0].data, 2u);
    count = 4;
    EXPECT_EQ(read(events, &count), DI_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(events[0].data, 1u);
    EXPECT_EQ(events[2].data, 3u);
    platReleaseDevice(other);
    emuPushMouse(DIMOFS_X, 4, 13); // a released mouse is no longer fed
    EXPECT_TRUE(emuMouseEventsPending());
}

TEST_F(Emulation, MessagesQueueInOrderAndDieWithTheirWindow) {
    PlatWindow* a = reinterpret_cast<PlatWindow*>(0x10);
    PlatWindow* b = reinterpret_cast<PlatWindow*>(0x20);
    emuPostMessage(a, WM_MOVE, 7);
    emuPostMessage(b, WM_CLOSE, 0);
    emuPostMessage(a, WM_SIZE, 8);
    emuPostMessage(nullptr, WM_QUIT, 0);
    emuDropMessages(a);
    PlatMessage m{};
    ASSERT_TRUE(emuTakeMessage(&m));
    EXPECT_EQ(m.window, b);
    EXPECT_EQ(m.message, WM_CLOSE);
    ASSERT_TRUE(emuTakeMessage(&m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(emuTakeMessage(&m));

    EXPECT_EQ(platDefWindowProc(b, WM_MOVE, 0, 0), 0);
    EXPECT_EQ(destroyed, nullptr);
    platDefWindowProc(b, WM_CLOSE, 0, 0);
    EXPECT_EQ(destroyed, b);
}

TEST_F(Emulation, CursorCounterAndStockResources) {
    EXPECT_EQ(emuShowCursor(false), -1);
    EXPECT_EQ(emuShowCursor(false), -2);
    EXPECT_EQ(emuShowCursor(true), -1);
    EXPECT_NE(platLoadIcon(IDI_WINLOGO), nullptr);
    EXPECT_EQ(platLoadIcon(1), nullptr);
    EXPECT_NE(platLoadCursor(IDC_ARROW), nullptr);
    EXPECT_EQ(platLoadCursor(0x7F8B), nullptr);
    PlatDirectInput* none = nullptr;
    EXPECT_EQ(platDirectInputCreate(nullptr, DIRECTINPUT_VERSION, &none), DIERR_INVALIDPARAM);
    emuReset();
    EXPECT_EQ(emuShowCursor(true), 1);
}

namespace {

// Pad and touch buttons hold keys of their own: the keyboard reads them added to its keys, and
// letting go of one releases neither the keyboard's key of the same code nor any other.
TEST_F(Emulation, PadKeysAddToTheKeyboardWithoutReleasingIt) {
    ASSERT_EQ(platCreateDevice(directInput, PlatDeviceKind::keyboard, &keyboard), DI_OK);
    ASSERT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), DI_OK);
    ASSERT_EQ(platAcquire(keyboard), DI_OK);
    uint8_t keys[256] = {};
    emuSetPadKey(0x30, true); // B
    emuSetKey(0x11, true);    // W on the keyboard
    ASSERT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DI_OK);
    EXPECT_EQ(keys[0x30], 0x80);
    EXPECT_EQ(keys[0x11], 0x80);
    emuSetKey(0x30, true); // the keyboard's B too
    emuSetPadKey(0x30, false);
    ASSERT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DI_OK);
    EXPECT_EQ(keys[0x30], 0x80); // still held by the keyboard
    emuSetKey(0x30, false);
    ASSERT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DI_OK);
    EXPECT_EQ(keys[0x30], 0);
    // A reset forgets pad keys like every other key.
    emuSetPadKey(0x10, true);
    platReleaseDevice(keyboard);
    emuReset();
    ASSERT_EQ(platCreateDevice(directInput, PlatDeviceKind::keyboard, &keyboard), DI_OK);
    ASSERT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), DI_OK);
    ASSERT_EQ(platAcquire(keyboard), DI_OK);
    ASSERT_EQ(emuGetDeviceState(keyboard, 256, keys, countUpdate), DI_OK);
    EXPECT_EQ(keys[0x10], 0);
}

TEST_F(Emulation, AnalogAxesAreWhatTheBackendLastSetUntilReset) {
    EXPECT_EQ(emuAnalog().moveY, 0.0f);
    emuSetAnalog({0.5f, -1, 0.25f, 0, 1});
    EXPECT_EQ(emuAnalog().moveX, 0.5f);
    EXPECT_EQ(emuAnalog().moveY, -1.0f);
    EXPECT_EQ(emuAnalog().lookX, 0.25f);
    EXPECT_EQ(emuAnalog().upDown, 1.0f);
    emuReset();
    EXPECT_EQ(emuAnalog().moveX, 0.0f);
    EXPECT_EQ(emuAnalog().upDown, 0.0f);
}

}  // namespace
