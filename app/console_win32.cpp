// quorvel.exe is a window program, so a double-click opens no console beside the window. Started
// from a console (cmd.exe, PowerShell), it still writes its usage and messages there: a standard
// stream the parent did not hand over (nothing redirected) is reopened on the parent's console.
#include "app/console_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace {

bool handedOver(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

void useParentConsole() {
    const bool out = handedOver(STD_OUTPUT_HANDLE), err = handedOver(STD_ERROR_HANDLE);
    if (out && err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return; // started by Explorer: no console to write to
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
}
