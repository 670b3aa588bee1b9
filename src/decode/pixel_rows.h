// Decoding a run of data-file words into surface pixels: the loader's inner loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pixel.h"

namespace pixvue {

// Decodes bytes.size() / 2 little-endian words into 0xFFRRGGBB pixels at `out`. Uses a vector
// kernel where the processor has one (AVX2), with exactly the plain loop's result.
void decodePixelRow(std::span<const std::byte> bytes, std::uint32_t* out);

// True when decodePixelRow runs the vector kernel on this processor.
bool decodePixelRowIsVectorised();

// The same, one word at a time; the reference the fast path must match.
inline void decodePixelRowPlain(std::span<const std::byte> bytes, std::uint32_t* out) {
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
        const auto word = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[k]) |
                                                     std::to_integer<unsigned>(bytes[k + 1]) << 8);
        *out++ = argbFromWord(word);
    }
}

}  // namespace pixvue
