// quorvel-icon: writes the program's icon as a PNG of the size asked for.
//   quorvel-icon SIZE OUT.png
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/png_io.h"
#include "tools/icon/icon.h"

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: quorvel-icon SIZE OUT.png (SIZE from 1 to 1024)\n");
        return 2;
    }
    std::string error;
    if (!writePng(argv[2], drawIcon(size), error)) {
        std::fprintf(stderr, "quorvel-icon: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    return 0;
}
