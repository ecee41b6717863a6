// The part of the platform that the SDL and offscreen backends emulate the same way, whatever
// their events come from: the window-class registry, the thread's message queue, the DIK key
// states (the keyboard's and those a pad or touch button holds), the analog axes, the DirectInput keyboard and mouse records with their rules and the buffered mouse,
// and the cursor's show counter. platform_emulation.cpp also defines outright the platform
// operations that need nothing of a backend: the module instance, stock icons and cursors,
// DefWindowProc, and the DirectInput factory and device operations except SetCooperativeLevel
// and the two reads. A backend feeds keys, mouse events and messages in, and keeps its windows.
#pragma once

#include <cstdint>
#include <string>

#include "ll/platform.h"

struct EmuWindowClass {
    std::string name;
    PlatWndProc windowProc;
    uint32_t atom;
};

// Back to the start: no classes, no messages, no devices, every key up, cursor counter 0.
// Devices and factories still held are forgotten, not freed.
void emuReset();

// --- window classes ---
// RegisterClass: a class atom, or 0 when the class lacks a name or procedure or its name is taken
// (then *refusal, when given, says so).
uint32_t emuRegisterClass(const PlatWindowClass* windowClass, std::string* refusal);
// The registered class of that name; null for an unknown name or null.
const EmuWindowClass* emuFindClass(const char* className);
// UnregisterClass: false for an unknown class or one for which inUse(name) says windows remain.
bool emuUnregisterClass(const char* className, bool (*inUse)(const std::string& name));

// --- the message queue ---
void emuPostMessage(PlatWindow* window, uint32_t message, intptr_t lParam);
// Takes the oldest pending message; false when none is pending.
bool emuTakeMessage(PlatMessage* message);
// Drops the pending messages of a window that is going away.
void emuDropMessages(PlatWindow* window);

// --- input ---
// The key of DIK code dik goes down (0x80) or up (0).
void emuSetKey(uint8_t dik, bool down);
// One event for the buffer of every acquired mouse device (any number may be open); ignored by
// mice that are not acquired. A full buffer keeps its events and drops the new one, and that
// device's next read reports the loss.
void emuPushMouse(uint32_t offset, uint32_t data, uint32_t timeStamp);
// GetDeviceState and GetDeviceData with their checks; update brings the keys or the mouse buffer
// up to date from the backend's events once the checks have passed, before the read.
int32_t emuGetDeviceState(PlatDevice* device, uint32_t size, void* data, void (*update)());
int32_t emuGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                         void (*update)());
// True while any mouse buffer holds events.
bool emuMouseEventsPending();
// Keys held by a pad's buttons or the page's touch buttons, apart from the keyboard's: the state
// GetDeviceState gives is the keyboard's with these added, so a pad letting go of B does not
// release a B held on the keyboard. All up after emuReset.
void emuSetPadKey(uint8_t dik, bool down);
// The analog axes GetAnalog reports, as the backend last set them (all 0 after emuReset).
void emuSetAnalog(const PlatAnalog& analog);
// The axes a scripted flight holds (all 0 after emuReset); GetAnalog reports both sources summed.
void emuSetScriptAnalog(const PlatAnalog& analog);
PlatAnalog emuAnalog();

// --- cursor ---
// ShowCursor's counter moved by +1 or -1; the new value.
int32_t emuShowCursor(bool show);
