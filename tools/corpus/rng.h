// The corpus's random numbers: splitmix64 with its own ranges, so a seed gives the same corpus
// with any standard library.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace pixvue::corpus {

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // lo..hi, both included.
    long long range(long long lo, long long hi) {
        return lo + static_cast<long long>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    // lo..hi with small values as likely as large ones on a log scale.
    long long logRange(long long lo, long long hi) {
        const double v = std::exp(std::log(double(lo)) +
                                  unit() * (std::log(double(hi) + 1) - std::log(double(lo))));
        return std::min<long long>(hi, std::max<long long>(lo, static_cast<long long>(v)));
    }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(next() % items.size())];
    }

  private:
    std::uint64_t state_;
};

}  // namespace pixvue::corpus
