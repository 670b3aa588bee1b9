// What the benchmark programs share: the picture they all work on and their default flags.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
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

// The console table, plus every benchmark's items per second kept for the ratios: the median
// aggregate when there are repetitions, else the median of the single runs.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (run.error_occurred || rate == run.counters.end()) continue;
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[name] = rate->second.value;
            else if (run.run_type == Run::RT_Iteration)
                singles_[name].push_back(rate->second.value);
        }
    }

    double itemsPerSecond(const std::string& name) const {
        if (const auto m = medians_.find(name); m != medians_.end()) return m->second;
        const auto s = singles_.find(name);
        if (s == singles_.end() || s->second.empty()) return 0;
        std::vector<double> v = s->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

  private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> singles_;
};

}  // namespace pixvue::bench
