#include "stretch.h"

#include <algorithm>
#include <cstring>

namespace pixvue {

void stretchNearest(const std::uint32_t* src, std::size_t srcStride, int width, int height,
                    int zoom, PixelView dst) {
    if (width <= 0 || height <= 0 || zoom <= 0 || dst.width <= 0 || dst.height <= 0) return;
    // In 64 bits: width x zoom may pass the 32-bit range for values a caller did not check.
    const int outWidth =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{width} * zoom, dst.width));
    const int outHeight =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{height} * zoom, dst.height));
    for (int y = 0; y < outHeight; ++y) {
        std::uint32_t* out = dst.pixels + static_cast<std::size_t>(y) * dst.stride;
        if (y % zoom != 0) {  // the rest of a block row repeats its first row
            std::memcpy(out, out - dst.stride, static_cast<std::size_t>(outWidth) * 4);
            continue;
        }
        const std::uint32_t* in = src + static_cast<std::size_t>(y / zoom) * srcStride;
        if (zoom == 1) {
            std::memcpy(out, in, static_cast<std::size_t>(outWidth) * 4);
            continue;
        }
        for (int x = 0, sx = 0; x < outWidth; x += zoom, ++sx)
            std::fill_n(out + x, std::min(zoom, outWidth - x), in[sx]);
    }
}

}  // namespace pixvue
