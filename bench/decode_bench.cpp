// Decoding one 1024 x 1024 picture, measured in the same run against a peer converter
// (libswscale, 15-bit BGR to 32-bit RGB, nearest sampling) and against a plain copy of the 4 MiB
// that the decoded picture fills (the machine's bandwidth reference). Ends with the two ratios of
// pixels per second, medians over the repetitions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "bench_support.h"
#include "decode/picture_surface.h"
#include "decode/pixel_rows.h"

namespace pixvue::bench {
namespace {

const std::vector<std::byte>& input() {
    static const std::vector<std::byte> bytes = seededPicture();
    return bytes;
}

// Row by row into the persistent surface, as the loader does.
void decodeInto(PictureSurface& surface,
                void (*decode)(std::span<const std::byte>, std::uint32_t*)) {
    const std::span<const std::byte> bytes(input());
    for (int y = 0; y < kSide; ++y)
        decode(bytes.subspan(std::size_t{2} * kSide * y, 2 * kSide), surface.row(y));
}

void ours(benchmark::State& state) {
    auto surface = std::make_unique<PictureSurface>();
    for (auto _ : state) {
        decodeInto(*surface, decodePixelRow);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{kPixels});
    state.SetBytesProcessed(state.iterations() * std::int64_t{kPixels} * 4);
    state.SetLabel(decodePixelRowIsVectorised() ? "AVX2" : "plain");
}

void plainLoop(benchmark::State& state) {
    auto surface = std::make_unique<PictureSurface>();
    for (auto _ : state) {
        decodeInto(*surface, decodePixelRowPlain);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{kPixels});
    state.SetBytesProcessed(state.iterations() * std::int64_t{kPixels} * 4);
}

struct AvFree {
    void operator()(void* p) const { av_free(p); }
};

void libswscale(benchmark::State& state) {
    SwsContext* context = sws_getContext(kSide, kSide, AV_PIX_FMT_BGR555LE, kSide, kSide,
                                         AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    if (!context) {
        state.SkipWithError("sws_getContext failed");
        return;
    }
    // Its own aligned buffers, written once before timing like our surface.
    std::unique_ptr<std::uint8_t, AvFree> in(static_cast<std::uint8_t*>(av_malloc(2 * kPixels)));
    std::unique_ptr<std::uint8_t, AvFree> out(static_cast<std::uint8_t*>(av_malloc(4 * kPixels)));
    std::memcpy(in.get(), input().data(), 2 * kPixels);
    std::memset(out.get(), 0, 4 * kPixels);
    const std::uint8_t* const src[4] = {in.get(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {2 * kSide, 0, 0, 0};
    std::uint8_t* const dst[4] = {out.get(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {4 * kSide, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(context, src, srcStride, 0, kSide, dst, dstStride);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
    state.SetItemsProcessed(state.iterations() * std::int64_t{kPixels});
    state.SetBytesProcessed(state.iterations() * std::int64_t{kPixels} * 4);
}

void memcpy4MiB(benchmark::State& state) {
    // Aligned like the surface, so neither side pays for split cache lines.
    std::unique_ptr<std::uint32_t, AvFree> from(
        static_cast<std::uint32_t*>(av_malloc(4 * kPixels)));
    std::unique_ptr<std::uint32_t, AvFree> to(static_cast<std::uint32_t*>(av_malloc(4 * kPixels)));
    std::fill_n(from.get(), kPixels, 0xFF102030u);
    std::fill_n(to.get(), kPixels, 0u);
    for (auto _ : state) {
        std::memcpy(to.get(), from.get(), 4 * kPixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{kPixels});
    state.SetBytesProcessed(state.iterations() * std::int64_t{kPixels} * 4);
}

// Wall-clock time: what a user waits for.
BENCHMARK(ours)->Name("decode/ours")->UseRealTime();
BENCHMARK(plainLoop)->Name("decode/plain_loop")->UseRealTime();
BENCHMARK(libswscale)->Name("decode/libswscale")->UseRealTime();
BENCHMARK(memcpy4MiB)->Name("memcpy_4MiB")->UseRealTime();

// Our decode must give exactly the plain loop's pixels before its speed means anything.
bool oursMatchesPlainLoop() {
    auto fast = std::make_unique<PictureSurface>();
    auto plain = std::make_unique<PictureSurface>();
    decodeInto(*fast, decodePixelRow);
    decodeInto(*plain, decodePixelRowPlain);
    return std::ranges::equal(fast->pixels(), plain->pixels());
}

void printRatio(const RatioReporter& reporter, const char* label, const std::string& other) {
    const double oursRate = reporter.itemsPerSecond("decode/ours");
    const double otherRate = reporter.itemsPerSecond(other);
    std::cout << label << ": ";
    if (oursRate > 0 && otherRate > 0)
        std::cout << oursRate / otherRate << "\n";
    else
        std::cout << "not measured\n";
}

}  // namespace
}  // namespace pixvue::bench

int main(int argc, char** argv) {
    using namespace pixvue::bench;
    if (!oursMatchesPlainLoop()) {
        std::cerr << "decode/ours differs from the plain per-pixel loop\n";
        return 1;
    }
    if (!initializeWithDefaults(argc, argv)) return 1;

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::cout.precision(3);
    printRatio(reporter, "ours/libswscale", "decode/libswscale");
    printRatio(reporter, "ours/memcpy", "memcpy_4MiB");
    return 0;
}
