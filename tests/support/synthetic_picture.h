// Made-up pictures with the statistics of real ones (smooth shapes, edges, a little noise),
// deterministic for a seed, and the data that must never be taken for a picture.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace pixvue::testing {

enum class Bit15 { Clear, Set, Random };

// width x height 15-bit words, little-endian, row after row.
inline std::vector<std::uint8_t> syntheticPicture(int width, int height, std::uint32_t seed,
                                                  Bit15 bit15 = Bit15::Clear) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    // A few soft blobs of colour over a tilted background, and one hard-edged box.
    struct Blob {
        double x, y, r, c[3];
    };
    std::vector<Blob> blobs(5);
    for (auto& b : blobs)
        b = {u(rng) * width,
             u(rng) * height,
             (0.2 + u(rng)) * (width + height) / 3,
             {u(rng) * 31, u(rng) * 31, u(rng) * 31}};
    const double base[3] = {u(rng) * 31, u(rng) * 31, u(rng) * 31};
    const double tilt = u(rng) * 2 - 1;
    const int bx = static_cast<int>(u(rng) * width), by = static_cast<int>(u(rng) * height);
    const int bw = width / 4 + 1, bh = height / 4 + 1;
    const double box[3] = {u(rng) * 31, u(rng) * 31, u(rng) * 31};
    const int gw = width / 3 + 2, gh = height / 3 + 2;
    std::vector<double> grain(static_cast<std::size_t>(gw) * gh);
    for (auto& g : grain) g = (u(rng) - 0.5) * 8;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(width) * height * 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double c[3];
            for (int k = 0; k < 3; ++k) c[k] = base[k] + tilt * 10 * (x + y) / (width + height);
            for (const auto& b : blobs) {
                const double d2 = ((x - b.x) * (x - b.x) + (y - b.y) * (y - b.y)) / (b.r * b.r);
                const double w = std::exp(-d2);
                for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - w) + b.c[k] * w;
            }
            if (x >= bx && x < bx + bw && y >= by && y < by + bh)
                for (int k = 0; k < 3; ++k) c[k] = box[k];
            // Fine detail, as every real picture has: random bumps about three pixels across.
            const double gx = x / 3.0, gy = y / 3.0;
            const int ix = static_cast<int>(gx), iy = static_cast<int>(gy);
            const double fx = gx - ix, fy = gy - iy;
            auto at = [&](int i, int j) { return grain[static_cast<std::size_t>(j * gw + i)]; };
            const double detail = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                                  (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
            int v[3];
            for (int k = 0; k < 3; ++k)
                v[k] = std::clamp(static_cast<int>(c[k] + detail + (u(rng) - 0.5) * 2), 0, 31);
            unsigned word = static_cast<unsigned>(v[0] | v[1] << 5 | v[2] << 10);
            if (bit15 == Bit15::Set || (bit15 == Bit15::Random && (rng() & 1))) word |= 0x8000u;
            out.push_back(static_cast<std::uint8_t>(word & 0xFF));
            out.push_back(static_cast<std::uint8_t>(word >> 8));
        }
    return out;
}

// A drawing of flat colours, as a screenshot or a cartoon: white ground, black lines of text
// and a few boxes of colour.
inline std::vector<std::uint8_t> flatPicture(int width, int height, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint16_t> px(static_cast<std::size_t>(width) * height, 0x7FFF);
    auto at = [&](int x, int y) -> std::uint16_t& {
        return px[static_cast<std::size_t>(y) * width + x];
    };
    for (int y = 2; y + 2 < height; y += 6)
        for (int x = 2 + static_cast<int>(rng() % 5); x + 1 < width;
             x += 1 + static_cast<int>(rng() % 4))
            if (rng() % 3 != 0)
                for (int k = 0; k < 3; ++k) at(x, y + k) = 0;
    for (int b = 0; b < 4; ++b) {
        const int x0 = static_cast<int>(rng() % static_cast<unsigned>(width)),
                  y0 = static_cast<int>(rng() % static_cast<unsigned>(height));
        const auto colour = static_cast<std::uint16_t>(rng() & 0x7FFF);
        for (int y = y0; y < std::min(height, y0 + height / 5); ++y)
            for (int x = x0; x < std::min(width, x0 + width / 4); ++x) at(x, y) = colour;
    }
    std::vector<std::uint8_t> out;
    for (std::uint16_t p : px) {
        out.push_back(static_cast<std::uint8_t>(p & 0xFF));
        out.push_back(static_cast<std::uint8_t>(p >> 8));
    }
    return out;
}

inline std::vector<std::uint8_t> randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

// 16-bit little-endian PCM of a pure tone.
inline std::vector<std::uint8_t> toneSamples(std::size_t samples, double period, double amplitude) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto s =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(6.283185307 * i / period)));
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) & 0xFF));
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return out;
}

}  // namespace pixvue::testing
