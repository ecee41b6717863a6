// The platform emulation the SDL and offscreen backends share (see platform_emulation.h): the
// Win32 and DirectInput rules that do not depend on where windows, keys and mouse motion come
// from, kept in one module state.
#include "ll/platform_emulation.h"

#include <algorithm>
#include <deque>
#include <vector>

struct PlatInstance { int unused; };
struct PlatIcon { uintptr_t id; };
struct PlatCursor { uintptr_t id; };
struct PlatDirectInput { int unused; };
struct PlatDevice {
    PlatDeviceKind kind;
    bool formatSet, acquired;
    uint32_t bufferSize;
    std::deque<PlatDeviceEvent> events; // a mouse's buffered events
    bool overflow;                      // events were dropped since the last read
};

namespace {

struct EmulationState {
    std::vector<EmuWindowClass> classes;
    uint32_t nextAtom;
    std::deque<PlatMessage> messages;
    uint8_t keys[256];
    uint8_t padKeys[256]; // held by pad or touch buttons
    PlatAnalog analog;       // from the backend's own touch stick and pads
    PlatAnalog scriptAnalog; // from a scripted flight
    std::vector<PlatDevice*> mice; // every open mouse device; each buffers the events on its own
    uint32_t sequence;
    int32_t cursorCounter;
};

EmulationState emu = {};
PlatInstance theInstance{0};
PlatIcon theIcon{IDI_WINLOGO};
PlatCursor theCursor{IDC_ARROW};

} // namespace

void emuReset() { emu = EmulationState{}; }

// --- window classes ---

uint32_t emuRegisterClass(const PlatWindowClass* c, std::string* refusal) {
    if (!c || !c->className || !c->windowProc) return 0;
    if (emuFindClass(c->className)) {
        if (refusal) *refusal = std::string("window class \"") + c->className + "\" is already registered";
        return 0;
    }
    // Atoms count up from 0xC000, as Windows gives them; their low 16 bits are never 0.
    uint32_t atom = 0xC000 + (emu.nextAtom++ & 0x3FFF);
    emu.classes.push_back({c->className, c->windowProc, atom});
    return atom;
}

const EmuWindowClass* emuFindClass(const char* className) {
    if (!className) return nullptr;
    for (const EmuWindowClass& c : emu.classes)
        if (c.name == className) return &c;
    return nullptr;
}

bool emuUnregisterClass(const char* className, bool (*inUse)(const std::string& name)) {
    const EmuWindowClass* c = emuFindClass(className);
    if (!c || inUse(c->name)) return false;
    emu.classes.erase(emu.classes.begin() + (c - emu.classes.data()));
    return true;
}

// --- the message queue ---

void emuPostMessage(PlatWindow* window, uint32_t message, intptr_t lParam) {
    emu.messages.push_back({window, message, 0, lParam});
}

bool emuTakeMessage(PlatMessage* message) {
    if (emu.messages.empty()) return false;
    *message = emu.messages.front();
    emu.messages.pop_front();
    return true;
}

void emuDropMessages(PlatWindow* window) {
    emu.messages.erase(std::remove_if(emu.messages.begin(), emu.messages.end(),
                                      [&](const PlatMessage& m) { return m.window == window; }),
                       emu.messages.end());
}

// --- input ---

void emuSetKey(uint8_t dik, bool down) { emu.keys[dik] = down ? 0x80 : 0; }
void emuSetPadKey(uint8_t dik, bool down) { emu.padKeys[dik] = down ? 0x80 : 0; }
void emuSetAnalog(const PlatAnalog& analog) { emu.analog = analog; }
void emuSetScriptAnalog(const PlatAnalog& analog) { emu.scriptAnalog = analog; }

namespace {
float sumAxis(float a, float b) { return b == 0 ? a : a == 0 ? b : std::min(1.0f, std::max(-1.0f, a + b)); }
} // namespace

PlatAnalog emuAnalog() {
    // A scripted flight's axes add to a real pad's, as a script's keys add to the real keys; with
    // either alone the value is passed through exactly, so a replay sees what was recorded.
    const PlatAnalog& d = emu.analog;
    const PlatAnalog& s = emu.scriptAnalog;
    return PlatAnalog{sumAxis(d.moveX, s.moveX), sumAxis(d.moveY, s.moveY), sumAxis(d.lookX, s.lookX),
                      sumAxis(d.lookY, s.lookY), sumAxis(d.upDown, s.upDown)};
}

void emuPushMouse(uint32_t offset, uint32_t data, uint32_t timeStamp) {
    const uint32_t sequence = emu.sequence++;
    for (PlatDevice* mouse : emu.mice) {
        if (!mouse->acquired) continue;
        if (mouse->events.size() >= mouse->bufferSize)
            mouse->overflow = true;
        else
            mouse->events.push_back({offset, data, timeStamp, sequence});
    }
}

bool emuMouseEventsPending() {
    return std::any_of(emu.mice.begin(), emu.mice.end(), [](PlatDevice* m) { return !m->events.empty(); });
}

int32_t emuGetDeviceState(PlatDevice* device, uint32_t size, void* data, void (*update)()) {
    if (device->kind != PlatDeviceKind::keyboard || size != 256) return DIERR_INVALIDPARAM;
    if (!device->acquired) return DIERR_NOTACQUIRED;
    update();
    uint8_t* out = static_cast<uint8_t*>(data);
    for (int k = 0; k < 256; ++k) out[k] = emu.keys[k] | emu.padKeys[k];
    return DI_OK;
}

int32_t emuGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                         void (*update)()) {
    uint32_t wanted = *count;
    *count = 0;
    if (recordSize != sizeof(PlatDeviceEvent) || device->kind != PlatDeviceKind::mouse) return DIERR_INVALIDPARAM;
    if (!device->acquired) return DIERR_NOTACQUIRED;
    update();
    while (*count < wanted && !device->events.empty()) {
        events[(*count)++] = device->events.front();
        device->events.pop_front();
    }
    int32_t result = device->overflow ? DI_BUFFEROVERFLOW : DI_OK;
    device->overflow = false;
    return result;
}

// --- cursor ---

int32_t emuShowCursor(bool show) { return emu.cursorCounter += show ? 1 : -1; }

// --- the platform operations no backend varies ---

PlatInstance* platGetModuleHandle() { return &theInstance; }

// Stock icons and cursors need no display: one record stands for every IDI_* and IDC_* id.
PlatIcon* platLoadIcon(uintptr_t id) { return id >= 0x7F00 && id <= 0x7F08 ? &theIcon : nullptr; }
PlatCursor* platLoadCursor(uintptr_t id) { return id >= 0x7F00 && id <= 0x7F8A ? &theCursor : nullptr; }

intptr_t platDefWindowProc(PlatWindow* window, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_CLOSE) platDestroyWindow(window);
    return 0;
}

int32_t platDirectInputCreate(PlatInstance* instance, uint32_t, PlatDirectInput** out) {
    *out = instance ? new PlatDirectInput{0} : nullptr;
    return *out ? DI_OK : DIERR_INVALIDPARAM;
}

uint32_t platReleaseDirectInput(PlatDirectInput* directInput) {
    delete directInput;
    return 0;
}

// As on Windows, any number of devices of a kind may be open: keyboards share the key state,
// and every acquired mouse buffers every event.
int32_t platCreateDevice(PlatDirectInput* directInput, PlatDeviceKind kind, PlatDevice** out) {
    *out = nullptr;
    if (!directInput) return DIERR_INVALIDPARAM;
    *out = new PlatDevice{kind, false, false, 0, {}, false};
    if (kind == PlatDeviceKind::mouse) emu.mice.push_back(*out);
    return DI_OK;
}

// The format and the buffer size are fixed while the device is acquired (DIERR_ACQUIRED).
int32_t platSetDataFormat(PlatDevice* device, PlatDataFormat format) {
    bool matches = (format == PlatDataFormat::keyboard) == (device->kind == PlatDeviceKind::keyboard);
    if (device->acquired) return DIERR_ACQUIRED;
    if (!matches) return DIERR_INVALIDPARAM;
    device->formatSet = true;
    return DI_OK;
}

int32_t platSetProperty(PlatDevice* device, PlatProperty property, const PlatPropDword* value) {
    if (device->acquired) return DIERR_ACQUIRED;
    if (property != PlatProperty::bufferSize || !value) return DIERR_INVALIDPARAM;
    device->bufferSize = value->data;
    return DI_OK;
}

// Acquiring an acquired device succeeds with nothing to do.
int32_t platAcquire(PlatDevice* device) {
    if (!device->formatSet) return DIERR_INVALIDPARAM;
    if (device->acquired) return DI_NOEFFECT;
    device->acquired = true;
    return DI_OK;
}

// An unacquired mouse loses what it buffered, the loss included.
int32_t platUnacquire(PlatDevice* device) {
    device->acquired = false;
    device->events.clear();
    device->overflow = false;
    return DI_OK;
}

uint32_t platReleaseDevice(PlatDevice* device) {
    emu.mice.erase(std::remove(emu.mice.begin(), emu.mice.end(), device), emu.mice.end());
    delete device;
    return 0;
}
