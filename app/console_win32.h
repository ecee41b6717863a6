// The Windows program's console: see console_win32.cpp.
#pragma once

// Reopens stdout and stderr on the console of the process that started this one, when it has one
// and the streams were not redirected; otherwise leaves them as they are.
void useParentConsole();
