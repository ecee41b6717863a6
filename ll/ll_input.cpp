// LL's input side: the keyboard and buffered mouse devices, the message pump of each frame, the
// cursor readout with its optional anchor, the mouse buttons, the analog axes of touch controls
// and pads, the clock and the frame limiter.
#include <cstdlib>

#include "ll/ll.h"
#include "ll/ll_internal.h"

LLInputState llInput = {};

void resetLLInputState() { llInput = LLInputState{}; }

namespace {

constexpr uint32_t kMouseBufferEvents = 16;

// Screen and anchor coordinates are kept in 16 bits; wider values wrap.
int16_t cut16(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }

void readCursor() {
    PlatPoint point = {0, 0};
    platGetCursorPos(&point);
    llInput.cursorX = cut16(point.x);
    llInput.cursorY = cut16(point.y);
}

void setButton(uint8_t mask, uint32_t data) {
    if (data & 0x80)
        llInput.buttons |= mask;
    else
        llInput.buttons &= uint8_t(~mask);
}

// Takes the buffered mouse events out one at a time. Motion only triggers a read of the system
// cursor (the event's amount is never summed); an event that comes with anything but DI_OK is not
// handled and ends the drain. Returns the result of the read that ended it.
int32_t drainMouse() {
    for (;;) {
        PlatDeviceEvent event = {};
        uint32_t count = 1;
        int32_t result = platGetDeviceData(llInput.mouseDevice, sizeof(PlatDeviceEvent), &event, &count, 0);
        if (result != DI_OK || count == 0) return result;
        switch (event.offset) {
        case DIMOFS_X:
        case DIMOFS_Y:
            readCursor();
            break;
        case DIMOFS_BUTTON0:
            setButton(0x01, event.data);
            break;
        case DIMOFS_BUTTON1:
            setButton(0x02, event.data);
            break;
        default: // wheel, buttons 2 and 3
            break;
        }
    }
}

} // namespace

int32_t setupLL() {
    llInput.keys = nullptr;
    if (platDirectInputCreate(llWindow.instance, DIRECTINPUT_VERSION, &llInput.directInput) != DI_OK) return 1;

    if (platCreateDevice(llInput.directInput, PlatDeviceKind::keyboard, &llInput.keyboardDevice) != DI_OK) return 1;
    if (platSetDataFormat(llInput.keyboardDevice, PlatDataFormat::keyboard) != DI_OK) return 1;
    if (platSetCooperativeLevel(llInput.keyboardDevice, llWindow.window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND) != DI_OK)
        return 1;
    if (platAcquire(llInput.keyboardDevice) != DI_OK) return 1;
    // Zeroed so that a read before the first update sees no key down.
    llInput.keys = static_cast<uint8_t*>(std::calloc(256, 1));
    if (!llInput.keys) return 1;

    if (platCreateDevice(llInput.directInput, PlatDeviceKind::mouse, &llInput.mouseDevice) != DI_OK) return 1;
    if (platSetDataFormat(llInput.mouseDevice, PlatDataFormat::mouse) != DI_OK) return 1;
    if (platSetCooperativeLevel(llInput.mouseDevice, llWindow.window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND) != DI_OK)
        return 1;
    PlatPropDword bufferSize = {sizeof(PlatPropDword), 16, 0, DIPH_DEVICE, kMouseBufferEvents};
    if (platSetProperty(llInput.mouseDevice, PlatProperty::bufferSize, &bufferSize) != DI_OK) return 1;
    if (platAcquire(llInput.mouseDevice) != DI_OK) return 1;

    llInput.anchorY = -1;
    llInput.anchorX = -1;
    readCursor();
    llInput.buttons = 0;
    llInput.previousButtons = 0;
    return 0;
}

void releaseInputLL() {
    if (llInput.keyboardDevice) {
        platUnacquire(llInput.keyboardDevice);
        platReleaseDevice(llInput.keyboardDevice);
    }
    if (llInput.mouseDevice) {
        platUnacquire(llInput.mouseDevice);
        platReleaseDevice(llInput.mouseDevice);
    }
    if (llInput.directInput) platReleaseDirectInput(llInput.directInput);
    std::free(llInput.keys);
    // Forget what was released so that nothing is released twice.
    llInput.keyboardDevice = nullptr;
    llInput.mouseDevice = nullptr;
    llInput.directInput = nullptr;
    llInput.keys = nullptr;
}

int32_t updateLL(int32_t nonBlocking) {
    int32_t result = 0;
    PlatMessage message;
    if (nonBlocking) {
        // WM_QUIT is noted, not dispatched, and the draining goes on.
        while (platPeekMessage(&message)) {
            if (message.message == WM_QUIT)
                result = 2;
            else
                platDispatchMessage(&message);
        }
    } else {
        // GetMessageA returns 0 for WM_QUIT; -1 (an error) carries no message to dispatch.
        int32_t got = platGetMessage(&message);
        if (got == 0)
            result = 2;
        else if (got > 0)
            platDispatchMessage(&message);
    }

    platGetDeviceState(llInput.keyboardDevice, 256, llInput.keys);
    platGetAnalog(&llInput.analog);

    if (llInput.anchorX != -1) {
        llInput.cursorX = llInput.anchorX;
        llInput.cursorY = llInput.anchorY;
    }
    llInput.previousButtons = llInput.buttons;

    if (drainMouse() == DIERR_INPUTLOST) platAcquire(llInput.mouseDevice);

    if (llInput.anchorX != -1 && (llInput.cursorX != llInput.anchorX || llInput.cursorY != llInput.anchorY))
        setCursorLL(cut16(llInput.anchorX - (llWindow.windowWidth >> 1)),
                    cut16(llInput.anchorY - (llWindow.windowHeight >> 1)));
    return result;
}

uint8_t* keysLL() { return llInput.keys; }

const PlatAnalog& analogLL() { return llInput.analog; }

int16_t mouseXLL() { return cut16(llInput.cursorX - (llWindow.windowWidth >> 1)); }
int16_t mouseYLL() { return cut16(llInput.cursorY - (llWindow.windowHeight >> 1)); }

void setCursorLL(int16_t x, int16_t y) {
    platSetCursorPos(x + llWindow.windowX + (llWindow.windowWidth >> 1), y + llWindow.windowY + (llWindow.windowHeight >> 1));
}

void anchorCursorLL(int16_t x, int16_t y) {
    llInput.anchorX = cut16(x + (llWindow.windowWidth >> 1));
    llInput.anchorY = cut16(y + (llWindow.windowHeight >> 1));
    // Bounds are inclusive: 0 and the full width/height are valid anchors.
    if (llInput.anchorX > llWindow.windowWidth || llInput.anchorX < 0 || llInput.anchorY > llWindow.windowHeight ||
        llInput.anchorY < 0) {
        llInput.anchorX = -1;
        llInput.anchorY = -1;
    }
}

uint8_t buttonDownLL(uint8_t mask) { return llInput.buttons & mask; }

uint8_t buttonReleasedLL(uint8_t mask) {
    return (llInput.previousButtons & mask) != 0 && (llInput.buttons & mask) == 0 ? 1 : 0;
}

void showCursorLL(uint8_t show) { platShowCursor(show != 0); }

uint32_t timeLL() { return platTimeGetTime(); }

void limitFrameLL(uint32_t periodMs) {
    if (llInput.limiterTime == 0) {
        llInput.limiterTime = timeLL();
        return;
    }
    // Unsigned differences stay right across the wrap of the 32-bit clock.
    while (uint32_t(timeLL() - llInput.limiterTime) < periodMs) {
    }
    llInput.limiterTime = timeLL();
}
