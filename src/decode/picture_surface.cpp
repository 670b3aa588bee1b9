#include "picture_surface.h"

#include <algorithm>

namespace pixvue {

PictureSurface::PictureSurface()
    : pixels_(static_cast<std::uint32_t*>(::operator new[](
          static_cast<std::size_t>(kSide) * kSide * sizeof(std::uint32_t), kAlignment))) {
    std::fill_n(pixels_.get(), static_cast<std::size_t>(kSide) * kSide, 0xFF000000u);
}

}  // namespace pixvue
