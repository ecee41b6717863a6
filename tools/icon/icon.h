// The program's icon, drawn from shapes at any size: a room seen through its open side, a
// lit doorway in its back wall, and a block on the floor casting its shadow away from the light.
// The Debian package installs it in the icon theme at several sizes.
#pragma once

#include "image/image_files.h"

// An RGBA icon of `size` x `size` pixels (4 x 4 samples a pixel; empty for size < 1), bottom row
// first as the image type keeps it, transparent outside its rounded square.
Image drawIcon(int size);
