// The picture surface: 1024 x 1024 pixels, made once at start-up and never cleared, so each
// load overwrites only its own rectangle and the rest keeps what earlier loads left.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <span>

namespace pixvue {

class PictureSurface {
  public:
    static constexpr int kSide = 1024;

    PictureSurface();  // starts black

    // Writes outside the surface are ignored.
    void setPixel(int x, int y, std::uint32_t argb) {
        if (x >= 0 && y >= 0 && x < kSide && y < kSide) pixels_[index(x, y)] = argb;
    }
    std::uint32_t pixel(int x, int y) const { return pixels_[index(x, y)]; }

    // Pixels are 0xFFRRGGBB, rows kSide pixels apart.
    std::uint32_t* row(int y) { return pixels_.get() + index(0, y); }
    const std::uint32_t* row(int y) const { return pixels_.get() + index(0, y); }
    std::span<const std::uint32_t> pixels() const {
        return {pixels_.get(), static_cast<std::size_t>(kSide) * kSide};
    }

  private:
    static std::size_t index(int x, int y) {
        return static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x);
    }
    // Rows start on cache-line boundaries, so the decoder's wide stores never straddle two lines.
    static constexpr std::align_val_t kAlignment{64};
    struct AlignedDelete {
        void operator()(std::uint32_t* p) const { ::operator delete[](p, kAlignment); }
    };
    std::unique_ptr<std::uint32_t[], AlignedDelete> pixels_;
};

}  // namespace pixvue
