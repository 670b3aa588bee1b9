// What the benchmark programs share: the picture they all work on and their default flags.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pixvue::bench {

inline constexpr int kSide = 1024;
inline constexpr std::size_t kPixels = std::size_t{kSide} * kSide;

// 1024 x 1024 words of seeded noise, bit 15 included: every run of every program sees the same
// bytes.
inline std::vector<std::byte> seededPicture() {
    std::vector<std::byte> bytes(2 * kPixels);
    std::mt19937 random(20240607);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t r = random();
        for (int b = 0; b < 4; ++b) bytes[i + b] = static_cast<std::byte>(r >> (8 * b));
    }
    return bytes;
}

// benchmark::Initialize with repetitions and medians by default; flags on the command line come
// later and so win. Returns false (after saying why) on an unknown argument.
inline bool initializeWithDefaults(int& argc, char**& argv) {
    static std::vector<std::string> defaults{"--benchmark_repetitions=10",
                                             "--benchmark_min_time=0.1",
                                             "--benchmark_display_aggregates_only=true"};
    static std::vector<char*> args;
    args.assign({argv[0]});
    for (auto& flag : defaults) args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    return !benchmark::ReportUnrecognizedArguments(argc, argv);
}

}  // namespace pixvue::bench
