// The picture load written the plain way, one two-byte read per pixel into a word that starts at
// 0: a read that delivers fewer bytes leaves the others as they were. The block loader must give
// exactly this picture, pixel for pixel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/data_file.h"
#include "decode/loader.h"
#include "decode/picture_surface.h"
#include "decode/pixel.h"

namespace pixvue::testing {

inline void referenceLoad(DataFile& file, const PictureFields& fields, PictureSurface& surface) {
    std::array<std::byte, 2> word{};  // low byte first; kept between reads
    file.seek(fields.PicAddress);
    for (int y = 0; y <= fields.PicHeight; ++y) {
        for (int x = 0; x <= fields.PicWidth; ++x) {
            file.read(std::span(word));
            const auto value = static_cast<std::uint16_t>(std::to_integer<unsigned>(word[0]) |
                                                          std::to_integer<unsigned>(word[1]) << 8);
            surface.setPixel(x, y, argbFromWord(value));
        }
    }
}

}  // namespace pixvue::testing
