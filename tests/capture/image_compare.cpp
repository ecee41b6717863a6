// Picture comparison for the capture and end-to-end tests.
#include "tests/capture/image_compare.h"

#include <algorithm>
#include <cstdlib>

ImageDiff compareImages(const Image& a, const Image& e, int tolerance) {
    ImageDiff d{};
    d.sameSize = a.width == e.width && a.height == e.height && a.alpha == e.alpha &&
                 a.pixels.size() == e.pixels.size();
    if (!d.sameSize) return d;
    const int n = a.components();
    for (size_t p = 0; p < a.pixels.size(); p += n) {
        int worst = 0;
        for (int c = 0; c < n; ++c) worst = std::max(worst, std::abs(int(a.pixels[p + c]) - int(e.pixels[p + c])));
        d.maxDifference = std::max(d.maxDifference, worst);
        if (worst > tolerance) ++d.pixelsBeyond;
    }
    return d;
}

Image differenceImage(const Image& a, const Image& e) {
    Image d = a;
    for (size_t i = 0; i < d.pixels.size() && i < e.pixels.size(); ++i)
        d.pixels[i] = uint8_t(std::min(255, 8 * std::abs(int(a.pixels[i]) - int(e.pixels[i]))));
    return d;
}

double differentFraction(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 1.0;
    size_t differ = 0;
    for (size_t i = 0; i + 2 < a.pixels.size(); i += 3) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d += std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c]));
        if (d > 24) ++differ;
    }
    return double(differ) / double(a.pixels.size() / 3);
}

bool showsAPicture(const Image& image) {
    size_t dark = 0, changes = 0;
    for (size_t i = 0; i + 3 < image.pixels.size(); i += 3) {
        const int sum = image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2];
        if (sum < 30) ++dark;
        if (image.pixels[i] != image.pixels[i + 3]) ++changes;
    }
    const size_t n = image.pixels.size() / 3;
    return n > 0 && dark < n / 2 && changes > n / 20;
}
