// Picture comparison for the capture tests.
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
