// Screenshots: free file names and the viewport read back into a PNG.
#include "app/screenshot.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/png_io.h"

std::string nextScreenshotName(const std::string& folder, int& start) {
    if (start < 1) start = 1;
    for (;; ++start) {
        char name[32];
        std::snprintf(name, sizeof name, "quorvel-%04d.png", start);
        const std::string path = folder.empty() ? name : folder + "/" + name;
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
            ++start;
            return path;
        }
    }
}

bool saveViewportPng(const std::string& path, std::string& error) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) {
        error = "the picture is empty";
        return false;
    }
    Image image;
    image.width = viewport[2];
    image.height = viewport[3];
    image.pixels.resize(size_t(image.width) * image.height * 3);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(viewport[0], viewport[1], image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.data());
    glPopClientAttrib();
    // Claim the name before writing, so that two runs in one folder never write the same file.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    close(fd);
    return writePng(path, image, error); // bottom row first, as writePng expects
}
