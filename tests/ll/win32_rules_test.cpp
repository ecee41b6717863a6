// The Win32 and DirectInput rules that LL and the Linux emulation (platform_emulation.cpp) rely
// on, checked against the system itself through the Windows backend: class atoms, the messages of
// window creation and destruction, the posted-message queue, the cursor's display counter, the
// device rules and the buffered mouse with its overflow. Built for Windows and run under Wine;
// tests/ll/platform_emulation_test.cpp holds the emulation to the same answers.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "ll/platform.h"

namespace {
// Taken before windows.h defines the same names as macros.
constexpr uintptr_t kWinLogo = IDI_WINLOGO, kArrow = IDC_ARROW;
constexpr int32_t kNoEffect = DI_NOEFFECT, kAcquired = DIERR_ACQUIRED;
} // namespace

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::vector<uint32_t> seen; // messages the class procedure was given, in order
intptr_t createResult = 0;  // what the procedure answers to WM_CREATE

intptr_t recordingProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    seen.push_back(message);
    if (message == WM_CREATE) return createResult;
    return platDefWindowProc(window, message, wParam, lParam);
}

PlatWindowClass classNamed(const char* name) {
    PlatWindowClass c{};
    c.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    c.windowProc = recordingProc;
    c.instance = platGetModuleHandle();
    c.icon = platLoadIcon(kWinLogo);
    c.cursor = platLoadCursor(kArrow);
    c.className = name;
    return c;
}

PlatWindow* makeWindow(const char* className) {
    return platCreateWindow(WS_EX_APPWINDOW, className, "rules", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                            platGetModuleHandle());
}

bool contains(const std::vector<uint32_t>& v, uint32_t m) { return std::find(v.begin(), v.end(), m) != v.end(); }

TEST(Win32Rules, ClassAtomsAreUniqueByNameAndClassesStayWhileWindowsUseThem) {
    PlatWindowClass a = classNamed("QuorvelRulesA"), b = classNamed("QuorvelRulesB");
    const uint32_t atomA = platRegisterClass(&a);
    EXPECT_GE(atomA, 0xC000u);
    EXPECT_LE(atomA, 0xFFFFu);
    EXPECT_EQ(platRegisterClass(&a), 0u) << "a name is registered once";
    const uint32_t atomB = platRegisterClass(&b);
    EXPECT_NE(atomB, 0u);
    EXPECT_NE(atomB, atomA);

    EXPECT_FALSE(platUnregisterClass("QuorvelRulesNone", platGetModuleHandle()));
    PlatWindow* w = makeWindow("QuorvelRulesA");
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(platUnregisterClass("QuorvelRulesA", platGetModuleHandle())) << "a window still uses it";
    EXPECT_TRUE(platDestroyWindow(w));
    EXPECT_TRUE(platUnregisterClass("QuorvelRulesA", platGetModuleHandle()));
    EXPECT_TRUE(platUnregisterClass("QuorvelRulesB", platGetModuleHandle()));
    EXPECT_NE(platRegisterClass(&a), 0u) << "an unregistered name can be registered again";
    EXPECT_TRUE(platUnregisterClass("QuorvelRulesA", platGetModuleHandle()));
}

TEST(Win32Rules, CreationSendsCreateAndCloseByDefaultDestroys) {
    PlatWindowClass c = classNamed("QuorvelRulesC");
    ASSERT_NE(platRegisterClass(&c), 0u);
    seen.clear();
    createResult = 0;
    PlatWindow* w = makeWindow("QuorvelRulesC");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(contains(seen, WM_CREATE)) << "WM_CREATE is sent before CreateWindowExA returns";
    EXPECT_FALSE(IsWindowVisible(reinterpret_cast<HWND>(w))) << "created hidden";

    // DefWindowProc answers WM_CLOSE by destroying the window, which sends WM_DESTROY.
    seen.clear();
    EXPECT_EQ(platDefWindowProc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(contains(seen, WM_DESTROY));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(w)));

    // A procedure that answers WM_CREATE with -1 refuses the window.
    createResult = -1;
    EXPECT_EQ(makeWindow("QuorvelRulesC"), nullptr);
    createResult = 0;
    EXPECT_TRUE(platUnregisterClass("QuorvelRulesC", platGetModuleHandle()));
}

TEST(Win32Rules, PostedMessagesComeInOrderAndDieWithTheirWindow) {
    PlatWindowClass c = classNamed("QuorvelRulesD");
    ASSERT_NE(platRegisterClass(&c), 0u);
    PlatWindow* a = makeWindow("QuorvelRulesD");
    PlatWindow* b = makeWindow("QuorvelRulesD");
    ASSERT_TRUE(a && b);
    PlatMessage m{};
    while (platPeekMessage(&m)) {
    }
    const UINT first = WM_APP + 1, second = WM_APP + 2, third = WM_APP + 3;
    PostMessageA(reinterpret_cast<HWND>(a), first, 0, 7);
    PostMessageA(reinterpret_cast<HWND>(b), second, 0, 0);
    PostMessageA(reinterpret_cast<HWND>(a), third, 0, 8);
    PostMessageA(nullptr, WM_QUIT, 0, 0);
    platDestroyWindow(a);
    std::vector<uint32_t> taken;
    while (platPeekMessage(&m))
        if (m.message >= WM_APP || m.message == WM_QUIT) taken.push_back(m.message);
    EXPECT_EQ(taken, (std::vector<uint32_t>{second, WM_QUIT})) << "a's messages went with it";
    platDestroyWindow(b);
    EXPECT_TRUE(platUnregisterClass("QuorvelRulesD", platGetModuleHandle()));
}

TEST(Win32Rules, ShowCursorMovesACounterThatStartsAtZero) {
    EXPECT_EQ(platShowCursor(false), -1);
    EXPECT_EQ(platShowCursor(false), -2);
    EXPECT_EQ(platShowCursor(true), -1);
    EXPECT_EQ(platShowCursor(true), 0);
    EXPECT_NE(platLoadIcon(kWinLogo), nullptr);
    EXPECT_NE(platLoadCursor(kArrow), nullptr);
}

class DeviceRules : public ::testing::Test {
protected:
    void SetUp() override {
        c_ = classNamed("QuorvelRulesE");
        ASSERT_NE(platRegisterClass(&c_), 0u);
        window_ = makeWindow("QuorvelRulesE");
        ASSERT_NE(window_, nullptr);
        platShowWindow(window_, SW_SHOW);
        platSetForegroundWindow(window_);
        platSetFocus(window_);
        ASSERT_EQ(platDirectInputCreate(platGetModuleHandle(), DIRECTINPUT_VERSION, &directInput_), DI_OK);
    }
    void TearDown() override {
        for (PlatDevice* d : devices_) {
            platUnacquire(d);
            platReleaseDevice(d);
        }
        if (directInput_) platReleaseDirectInput(directInput_);
        platDestroyWindow(window_);
        platUnregisterClass("QuorvelRulesE", platGetModuleHandle());
    }
    PlatDevice* create(PlatDeviceKind kind) {
        PlatDevice* d = nullptr;
        EXPECT_EQ(platCreateDevice(directInput_, kind, &d), DI_OK);
        if (d) devices_.push_back(d);
        return d;
    }
    void pump() {
        PlatMessage m{};
        while (platPeekMessage(&m)) platDispatchMessage(&m);
    }
    PlatWindowClass c_{};
    PlatWindow* window_ = nullptr;
    PlatDirectInput* directInput_ = nullptr;
    std::vector<PlatDevice*> devices_;
};

TEST_F(DeviceRules, KeyboardsFollowTheDirectInputRules) {
    PlatDevice* keyboard = create(PlatDeviceKind::keyboard);
    ASSERT_NE(keyboard, nullptr);
    // More than one device of a kind may be open at once.
    EXPECT_NE(create(PlatDeviceKind::keyboard), nullptr);

    EXPECT_EQ(platAcquire(keyboard), DIERR_INVALIDPARAM) << "no data format yet";
    ASSERT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), DI_OK);
    ASSERT_EQ(platSetCooperativeLevel(keyboard, window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    uint8_t keys[256] = {};
    EXPECT_EQ(platGetDeviceState(keyboard, 256, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(platAcquire(keyboard), DI_OK);
    EXPECT_EQ(platAcquire(keyboard), kNoEffect) << "a second Acquire succeeds with no effect";
    EXPECT_EQ(platSetDataFormat(keyboard, PlatDataFormat::keyboard), kAcquired);
    EXPECT_EQ(platGetDeviceState(keyboard, 255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(platGetDeviceState(keyboard, 256, keys), DI_OK);
}

// Wine 8 keeps one event fewer than the buffer size and does not report the loss to a version-5
// object; Microsoft documents DI_BUFFEROVERFLOW for it. The emulation follows the documentation
// there, so this case checks only what both agree on.
TEST_F(DeviceRules, AFullMouseBufferKeepsTheOldestEvents) {
    PlatDevice* mouse = create(PlatDeviceKind::mouse);
    ASSERT_NE(mouse, nullptr);
    ASSERT_EQ(platSetDataFormat(mouse, PlatDataFormat::mouse), DI_OK);
    ASSERT_EQ(platSetCooperativeLevel(mouse, window_, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    PlatPropDword size{sizeof(PlatPropDword), 16, 0, DIPH_DEVICE, 4};
    ASSERT_EQ(platSetProperty(mouse, PlatProperty::bufferSize, &size), DI_OK);
    PlatDeviceEvent events[16] = {};
    uint32_t count = 16;
    EXPECT_EQ(platGetDeviceData(mouse, sizeof(PlatDeviceEvent), events, &count, 0), DIERR_NOTACQUIRED);
    ASSERT_EQ(platAcquire(mouse), DI_OK);
    EXPECT_EQ(platSetProperty(mouse, PlatProperty::bufferSize, &size), kAcquired);

    // Ten horizontal moves into a buffer of four: the oldest are kept, the rest are lost.
    for (int i = 1; i <= 10; ++i) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = i;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        SendInput(1, &input, sizeof input);
    }
    // The system delivers input on its own time: read until the first events are in.
    std::vector<uint32_t> data;
    bool lossReported = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end && data.size() < 3) {
        pump();
        count = 16;
        const int32_t result = platGetDeviceData(mouse, sizeof(PlatDeviceEvent), events, &count, 0);
        ASSERT_TRUE(result == DI_OK || result == DI_BUFFEROVERFLOW) << result;
        lossReported = lossReported || result == DI_BUFFEROVERFLOW;
        for (uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(events[i].offset, DIMOFS_X);
            data.push_back(events[i].data);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("mouse buffer of 4 after 10 moves: %zu events kept, loss %s\n", data.size(),
                lossReported ? "reported" : "not reported");
    ASSERT_GE(data.size(), 3u);
    EXPECT_LE(data.size(), 4u);
    for (size_t i = 0; i < data.size(); ++i) EXPECT_EQ(data[i], i + 1) << "the oldest events are kept, in order";
    count = 16;
    EXPECT_EQ(platGetDeviceData(mouse, sizeof(PlatDeviceEvent), events, &count, 0), DI_OK);
    EXPECT_EQ(count, 0u);
}

} // namespace
