// Nearest-neighbour enlargement of the picture into the window's backing image. The cost
// follows the destination's size, never the full zoomed picture's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixvue {

struct PixelView {
    std::uint32_t* pixels;
    std::size_t stride;  // pixels from one row to the next
    int width;
    int height;
};

// Copies the top-left `width` x `height` pixels of `src` (rows `srcStride` pixels apart) into
// `dst`, each as a `zoom` x `zoom` block with the top-left pixel at (0, 0), clipped to `dst`.
// Pixels of `dst` right of and below the enlarged picture are left as they are.
void stretchNearest(const std::uint32_t* src, std::size_t srcStride, int width, int height,
                    int zoom, PixelView dst);

}  // namespace pixvue
