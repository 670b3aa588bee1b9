// One data-file pixel is a 16-bit little-endian word: bits 0-4 red, 5-9 green, 10-14 blue,
// bit 15 ignored. Each 5-bit component c becomes the 8-bit channel c * 8.
#pragma once

#include <cstdint>

namespace pixvue {

// A 24-bit colour: red in the low byte, green in the middle byte, blue in the high byte.
using Colour = std::uint32_t;

constexpr Colour colourFromWord(std::uint16_t word) {
    const std::uint32_t red = (word & 0x1Fu) << 3;
    const std::uint32_t green = ((word >> 5) & 0x1Fu) << 3;
    const std::uint32_t blue = ((word >> 10) & 0x1Fu) << 3;
    return red | green << 8 | blue << 16;
}

// The surface stores pixels as opaque 0xFFRRGGBB words, the layout Qt paints without conversion.
constexpr std::uint32_t argbFromColour(Colour c) {
    return 0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
}

constexpr std::uint32_t argbFromWord(std::uint16_t word) {
    return argbFromColour(colourFromWord(word));
}

}  // namespace pixvue
