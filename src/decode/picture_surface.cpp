#include "picture_surface.h"

#include <algorithm>

namespace pixvue {

PictureSurface::PictureSurface()
    : pixels_(std::make_unique_for_overwrite<std::uint32_t[]>(static_cast<std::size_t>(kSide) *
                                                              kSide)) {
    std::fill_n(pixels_.get(), static_cast<std::size_t>(kSide) * kSide, 0xFF000000u);
}

}  // namespace pixvue
