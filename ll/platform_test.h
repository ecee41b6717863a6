// Control of the scripted platform backend (platform_test.cpp) that the LL tests link against:
// set the result of any operation, queue window messages and mouse reads, place the cursor, set
// the keyboard, drive the clock, and read back every call made, in order, with its arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ll/platform.h"

struct TestCall {
    std::string op;   // operation name without the "plat" prefix, e.g. "CreateWindow"
    std::string args; // its arguments, formatted "name=value" separated by spaces
};

// Back to a fresh system: every operation succeeds, no calls, no messages, clock at 1000 ms
// advancing 1 ms per read, cursor at (0, 0), no keys down, cursor counter 0.
void testReset();

// The result an operation gives from now on. `op` is the name as recorded ("RegisterClass",
// "ChoosePixelFormat", ...); device operations may be narrowed with ":keyboard" or ":mouse"
// ("Acquire:mouse"). For handle-returning operations 0 means null and non-zero a valid handle.
// Device operations return the value as their DI_/DIERR_ code.
void testSetResult(const std::string& op, int64_t value);

// The calls made since testReset, in order.
const std::vector<TestCall>& testCalls();
std::vector<std::string> testCallNames();
// Index of the first call named op at or after `from`; -1 when there is none.
int testFindCall(const std::string& op, int from = 0);
int testCountCalls(const std::string& op);

// Window messages for PeekMessage/GetMessage; window null means "the window LL created".
void testPostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0, bool toWindow = true);
size_t testPendingMessages();
// Messages that reached DefWindowProc, in order.
const std::vector<uint32_t>& testDefaultMessages();

// One mouse read: the result GetDeviceData gives and the event it hands out (none when
// withEvent is false). Reads beyond the queue give DI_OK with no event.
void testQueueMouseRead(int32_t result, uint32_t offset = 0, uint32_t data = 0, bool withEvent = true);
void testQueueMouseEvent(uint32_t offset, uint32_t data);
// A motion event; the system cursor is at (x, y) once it has been read.
void testQueueMouseMotion(int32_t x, int32_t y);
size_t testPendingMouseReads();

// The system cursor in screen pixels (SetCursorPos also moves it) and the show counter.
void testSetCursor(int32_t x, int32_t y);
PlatPoint testCursor();
int32_t testCursorCounter();

// The keyboard state GetDeviceState copies out.
void testSetKey(uint8_t dik, bool down);
// The analog axes GetAnalog reports from now on (all 0 after testReset).
void testSetAnalog(const PlatAnalog& analog);

// The clock: its next reading, and how much each reading advances it.
void testSetTime(uint32_t ms);
void testSetTimeStep(uint32_t ms);
uint32_t testTime();

// The window, device context and context handles the backend handed out (null if none).
PlatWindow* testWindow();
// Whether the display mode is currently changed (a fullscreen mode in force).
bool testDisplayModeChanged();
// Live objects: windows, GL contexts, input devices, DirectInput objects and registered classes.
int testLiveObjects();
