// XInput pads, loaded at run time (pad_xinput.h).
#include "ll/pad_xinput.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <xinput.h>

namespace {

using GetStateFn = DWORD(WINAPI*)(DWORD user, XINPUT_STATE* state);

const char* const kSystemDlls[] = {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"};

struct XInputState {
    bool loadTried;
    GetStateFn getState; // null when no XInput DLL could be loaded
    const char* const* dlls;
    int dllCount;
};

XInputState xinput = {false, nullptr, kSystemDlls, 3};

GetStateFn loadXInput() {
    if (xinput.loadTried) return xinput.getState;
    xinput.loadTried = true;
    for (int i = 0; i < xinput.dllCount; ++i) {
        const char* dll = xinput.dlls[i];
        HMODULE module = LoadLibraryA(dll);
        if (!module) continue;
        xinput.getState = reinterpret_cast<GetStateFn>(reinterpret_cast<void*>(GetProcAddress(module, "XInputGetState")));
        if (xinput.getState) break;
        FreeLibrary(module);
    }
    return xinput.getState;
}

float stick(SHORT v) { return v < 0 ? float(v) / 32768.0f : float(v) / 32767.0f; }

} // namespace

bool xinputLoaded() { return loadXInput() != nullptr; }

// A loaded DLL stays loaded: the process may still hold the function of an earlier load.
void xinputResetForTests(const char* const* dlls, int count) {
    xinput = XInputState{false, nullptr, dlls ? dlls : kSystemDlls, dlls ? count : 3};
}

bool xinputSample(PadState& pad) {
    GetStateFn getState = loadXInput();
    if (!getState) return false;
    for (DWORD user = 0; user < XUSER_MAX_COUNT; ++user) {
        XINPUT_STATE state = {};
        if (getState(user, &state) != ERROR_SUCCESS) continue;
        const XINPUT_GAMEPAD& g = state.Gamepad;
        pad = PadState{};
        // XInput's sticks grow upwards; the standard layout's grow downwards.
        pad.leftX = stick(g.sThumbLX);
        pad.leftY = -stick(g.sThumbLY);
        pad.rightX = stick(g.sThumbRX);
        pad.rightY = -stick(g.sThumbRY);
        pad.leftTrigger = float(g.bLeftTrigger) / 255.0f;
        pad.rightTrigger = float(g.bRightTrigger) / 255.0f;
        static const struct {
            PadButton button;
            WORD mask;
        } buttons[] = {{kPadA, XINPUT_GAMEPAD_A},
                       {kPadB, XINPUT_GAMEPAD_B},
                       {kPadX, XINPUT_GAMEPAD_X},
                       {kPadY, XINPUT_GAMEPAD_Y},
                       {kPadLeftShoulder, XINPUT_GAMEPAD_LEFT_SHOULDER},
                       {kPadRightShoulder, XINPUT_GAMEPAD_RIGHT_SHOULDER},
                       {kPadBack, XINPUT_GAMEPAD_BACK},
                       {kPadStart, XINPUT_GAMEPAD_START}};
        for (const auto& b : buttons) pad.buttons[b.button] = (g.wButtons & b.mask) != 0;
        pad.buttons[kPadLeftTrigger] = pad.leftTrigger > 0.5f;
        pad.buttons[kPadRightTrigger] = pad.rightTrigger > 0.5f;
        return true;
    }
    return false;
}
