// The browser's touch controls and gamepads, for the web backend (platform_web.cpp). The page's
// script (web/quorvel-touch.js) turns touches into calls of the quorvel_touch_* functions; pads
// are sampled through html5.h once per keyboard read, standard layout only (ll/pad.h), and a pad
// counts only once one of its buttons was pressed. Both end up in the emulation: the analog axes
// and the keys that touch and pad buttons hold.
#pragma once

// Back to no touch, no pads, nothing held.
void webTouchPadReset();
// Before the keyboard read: samples the pads and sets the emulation's analog axes and held keys.
void webTouchPadSample();
// After the keyboard read: a touch button let go of since the previous read is released now that
// a read has seen it held, so that even a tap shorter than a frame counts once.
void webTouchPadAfterRead();
// True once the page reported a touch: the canvas then never asks for pointer lock.
bool webTouchUsed();
