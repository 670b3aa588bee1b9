#include "analyse.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PIXVUE_AVX2 1
#endif

#include "screen.h"

namespace pixvue::find {
namespace {

constexpr int kMaxSide = 1024;
constexpr std::size_t kMostScoredWords = 3 << 20;
// Rows closer to the word below than to the two beside it by less than this share.
constexpr double kWeakDip = 0.85;
// Words compared per sample run; the sums below vectorise over a run.
constexpr std::size_t kRun = 32;
constexpr std::size_t kMaxRuns = 48;

#if defined(__SSE2__)
// 32 bytes at a time: one SAD instruction sums sixteen absolute differences.
unsigned sumAbs32(const std::uint8_t* a, const std::uint8_t* b) {
    const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16));
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16));
    const __m128i s = _mm_add_epi64(_mm_sad_epu8(a0, b0), _mm_sad_epu8(a1, b1));
    return static_cast<unsigned>(_mm_cvtsi128_si32(s) + _mm_extract_epi16(s, 4));
}
#else
unsigned sumAbs32(const std::uint8_t* a, const std::uint8_t* b) {
    unsigned s = 0;
    for (std::size_t i = 0; i < 32; ++i) s += static_cast<unsigned>(std::abs(a[i] - b[i]));
    return s;
}
#endif

// The distance from each of `count` words from `from` to the word `lag` further on.
void distancesAt(const Channels& c, std::size_t from, std::size_t count, std::size_t lag,
                 std::uint8_t* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    auto absDiff = [](const std::uint8_t* a, const std::uint8_t* b) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        return _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
    };
    for (; i + 16 <= count; i += 16) {
        const std::size_t at = from + i;
        const __m128i d = _mm_add_epi8(
            _mm_add_epi8(absDiff(&c.r[at], &c.r[at + lag]), absDiff(&c.g[at], &c.g[at + lag])),
            absDiff(&c.b[at], &c.b[at + lag]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
    }
#endif
    for (; i < count; ++i) out[i] = static_cast<std::uint8_t>(c.distance(from + i, from + i + lag));
}

// The distances of `count` words from `from` to the word `lag` further on, summed.
std::uint64_t distanceSum(const Channels& c, std::size_t from, std::size_t count, std::size_t lag) {
    constexpr std::size_t kBlock = 4096;
    std::array<std::uint8_t, kBlock> d;
    std::uint64_t sum = 0;
    for (std::size_t done = 0; done < count; done += kBlock) {
        const std::size_t n = std::min(kBlock, count - done);
        distancesAt(c, from + done, n, lag, d.data());
        sum += std::accumulate(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(n), 0u);
    }
    return sum;
}

// Distance summed over kRun words from `at`, each to the word `lag` further on.
inline unsigned runDistance(const Channels& c, std::size_t at, std::size_t lag) {
    static_assert(kRun == 32);
    return sumAbs32(&c.r[at], &c.r[at + lag]) + sumAbs32(&c.g[at], &c.g[at + lag]) +
           sumAbs32(&c.b[at], &c.b[at + lag]);
}

#if PIXVUE_AVX2
// On processors with 32-byte vectors: a run's channel in one register, and two lags' sums
// gathered at once. (No lambdas: they would not take the processor's target.)
#define PIXVUE_LOAD32(p) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
#define PIXVUE_SUMS(o)                                                             \
    _mm256_add_epi64(_mm256_add_epi64(_mm256_sad_epu8(r, PIXVUE_LOAD32(&c.r[o])),  \
                                      _mm256_sad_epu8(g, PIXVUE_LOAD32(&c.g[o]))), \
                     _mm256_sad_epu8(b, PIXVUE_LOAD32(&c.b[o])))
// For one sample run from word `at`, its distance to the words each lag in [from, to) on,
// into row[lag].
__attribute__((target("avx2"))) void runLagsAvx2(const Channels& c, std::size_t at,
                                                 std::size_t from, std::size_t to,
                                                 std::uint16_t* row) {
    const __m256i r = PIXVUE_LOAD32(&c.r[at]), g = PIXVUE_LOAD32(&c.g[at]),
                  b = PIXVUE_LOAD32(&c.b[at]);
    std::size_t lag = from;
    for (; lag + 2 <= to; lag += 2) {
        const __m256i s0 = PIXVUE_SUMS(at + lag), s1 = PIXVUE_SUMS(at + lag + 1);
        // [s0 low pair, s1 low pair, s0 high pair, s1 high pair], then the halves.
        const __m256i t =
            _mm256_add_epi64(_mm256_unpacklo_epi64(s0, s1), _mm256_unpackhi_epi64(s0, s1));
        const __m128i u = _mm_add_epi64(_mm256_castsi256_si128(t), _mm256_extracti128_si256(t, 1));
        row[lag] = static_cast<std::uint16_t>(_mm_cvtsi128_si32(u));
        row[lag + 1] = static_cast<std::uint16_t>(_mm_extract_epi16(u, 4));
    }
    for (; lag < to; ++lag) {
        const __m256i s = PIXVUE_SUMS(at + lag);
        const __m128i u = _mm_add_epi64(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
        row[lag] = static_cast<std::uint16_t>(_mm_cvtsi128_si32(u) + _mm_extract_epi16(u, 4));
    }
}
#undef PIXVUE_SUMS
#undef PIXVUE_LOAD32
#endif

// For each lag in [from, to), the distance of each sample run to the words that far on:
// out[k * stride + lag - from] for run k. A block of lags at a time, each run's own words
// loaded once for the block.
void runDistances(const Channels& c, std::span<const std::size_t> runs, std::size_t from,
                  std::size_t to, std::uint16_t* out, std::size_t stride) {
    static_assert(kRun == 32);
#if PIXVUE_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
#endif
    constexpr std::size_t kBlock = 128;
    for (std::size_t block = from; block < to; block += kBlock) {
        const std::size_t end = std::min(to, block + kBlock);
        for (std::size_t k = 0; k < runs.size(); ++k) {
            const std::size_t at = runs[k];
            std::uint16_t* row = out + k * stride - from;
#if PIXVUE_AVX2
            if (avx2) {
                runLagsAvx2(c, at, block, end, row);
                continue;
            }
#endif
#if defined(__SSE2__)
            auto load = [](const std::uint8_t* p) {
                return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            };
            const __m128i r0 = load(&c.r[at]), r1 = load(&c.r[at + 16]);
            const __m128i g0 = load(&c.g[at]), g1 = load(&c.g[at + 16]);
            const __m128i b0 = load(&c.b[at]), b1 = load(&c.b[at + 16]);
            for (std::size_t lag = block; lag < end; ++lag) {
                const std::size_t o = at + lag;
                const __m128i s = _mm_add_epi64(
                    _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(r0, load(&c.r[o])),
                                                _mm_sad_epu8(r1, load(&c.r[o + 16]))),
                                  _mm_add_epi64(_mm_sad_epu8(g0, load(&c.g[o])),
                                                _mm_sad_epu8(g1, load(&c.g[o + 16])))),
                    _mm_add_epi64(_mm_sad_epu8(b0, load(&c.b[o])),
                                  _mm_sad_epu8(b1, load(&c.b[o + 16]))));
                row[lag] =
                    static_cast<std::uint16_t>(_mm_cvtsi128_si32(s) + _mm_extract_epi16(s, 4));
            }
#else
            for (std::size_t lag = block; lag < end; ++lag)
                row[lag] = static_cast<std::uint16_t>(runDistance(c, at, lag));
#endif
        }
    }
}

// A run's distance is at most kRun * 93: below this.
constexpr unsigned kRunDistanceLimit = 4096;
static_assert(kRun * 93 < kRunDistanceLimit);

// For 8 lags side by side, from `v` (v[k * stride + lane] for run k of `runs`): the sum of
// every run's distance, and of the `half` smallest, the half-th smallest found bit by bit with
// no sorting, as it is wanted for every width.
void halfSums(const std::uint16_t* v, std::size_t runs, std::size_t stride, std::size_t half,
              unsigned (&all)[8], unsigned (&smallest)[8]) {
#if defined(__SSE2__)
    auto at = [&](std::size_t k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + k * stride));
    };
    const __m128i halfV = _mm_set1_epi16(static_cast<short>(half));
    __m128i t = _mm_setzero_si128();
    for (unsigned bit = kRunDistanceLimit / 2; bit != 0; bit >>= 1) {
        const __m128i trial = _mm_add_epi16(t, _mm_set1_epi16(static_cast<short>(bit)));
        __m128i count = _mm_setzero_si128();
        for (std::size_t k = 0; k < runs; ++k)
            count = _mm_sub_epi16(count, _mm_cmplt_epi16(at(k), trial));
        const __m128i take = _mm_cmplt_epi16(count, halfV);
        t = _mm_or_si128(_mm_and_si128(take, trial), _mm_andnot_si128(take, t));
    }
    // Sums of the low bytes and of the rest apart, each within 16 bits.
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    __m128i lowAll = _mm_setzero_si128(), highAll = lowAll, lowBelow = lowAll, highBelow = lowAll,
            below = lowAll;
    for (std::size_t k = 0; k < runs; ++k) {
        const __m128i x = at(k), low = _mm_and_si128(x, lowByte), high = _mm_srli_epi16(x, 8);
        const __m128i under = _mm_cmplt_epi16(x, t);
        lowAll = _mm_add_epi16(lowAll, low);
        highAll = _mm_add_epi16(highAll, high);
        lowBelow = _mm_add_epi16(lowBelow, _mm_and_si128(low, under));
        highBelow = _mm_add_epi16(highBelow, _mm_and_si128(high, under));
        below = _mm_sub_epi16(below, under);
    }
    alignas(16) std::uint16_t lanes[6][8];
    for (const auto& [i, x] :
         {std::pair{0, t}, {1, lowAll}, {2, highAll}, {3, lowBelow}, {4, highBelow}, {5, below}})
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[i]), x);
    for (std::size_t l = 0; l < 8; ++l) {
        all[l] = lanes[2][l] * 256u + lanes[1][l];
        smallest[l] = lanes[4][l] * 256u + lanes[3][l] +
                      static_cast<unsigned>(half - lanes[5][l]) * lanes[0][l];
    }
#else
    for (std::size_t l = 0; l < 8; ++l) {
        auto below = [&](unsigned t) {
            std::size_t n = 0;
            for (std::size_t k = 0; k < runs; ++k) n += v[k * stride + l] < t;
            return n;
        };
        unsigned t = 0;
        for (unsigned bit = kRunDistanceLimit / 2; bit != 0; bit >>= 1)
            if (below(t + bit) < half) t += bit;
        unsigned sum = 0, under = 0;
        all[l] = 0;
        for (std::size_t k = 0; k < runs; ++k) {
            const unsigned x = v[k * stride + l];
            all[l] += x;
            if (x < t) sum += x, ++under;
        }
        smallest[l] = sum + static_cast<unsigned>(half - under) * t;
    }
#endif
}

// Sample runs spread evenly over [lo, hi - reach).
std::vector<std::size_t> sampleRuns(std::size_t lo, std::size_t hi, std::size_t reach,
                                    std::size_t most = kMaxRuns) {
    std::vector<std::size_t> runs;
    if (hi < lo + reach + kRun) return runs;
    const std::size_t span = hi - reach - kRun - lo;
    const std::size_t count = std::min(most, span / kRun + 1);
    for (std::size_t k = 0; k < count; ++k)
        runs.push_back(lo + (count > 1 ? span * k / (count - 1) : 0));
    return runs;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

}  // namespace

Channels::Channels(std::span<const std::uint16_t> words)
    : r(words.size()), g(words.size()), b(words.size()) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        r[i] = static_cast<std::uint8_t>(words[i] & 31u);
        g[i] = static_cast<std::uint8_t>(words[i] >> 5 & 31u);
        b[i] = static_cast<std::uint8_t>(words[i] >> 10 & 31u);
    }
}

int Channels::distance(std::size_t i, std::size_t j) const {
    return std::abs(r[i] - r[j]) + std::abs(g[i] - g[j]) + std::abs(b[i] - b[j]);
}

namespace {

// How far the step from one word to the next stands out in its strongest column of rows w
// words long, against the typical column: large where the rows wrap, at the true width.
double seamPeak(const Channels& c, std::size_t lo, std::size_t hi, std::size_t w) {
    if (w < 4 || hi < lo + 4 * w) return 0;
    std::vector<double> column(w, 0);
    const std::size_t rows = (hi - lo - 1) / w;
    thread_local std::vector<std::uint8_t> steps;
    steps.resize(rows * w);
    distancesAt(c, lo, steps.size(), 1, steps.data());
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t k = 0; k < w; ++k) column[k] += steps[r * w + k];
    const double top = *std::max_element(column.begin(), column.end());
    std::nth_element(column.begin(), column.begin() + w / 2, column.end());
    return top / std::max(1.0, column[w / 2]);
}

// How far words are from the word a row below at widths w - 1, w and w + 1, summed over up to
// 16384 words of [lo, hi).
std::array<double, 3> besideFits(const Channels& c, std::size_t lo, std::size_t hi, std::size_t w) {
    std::array<double, 3> sums{};
    if (hi < lo + w + 3) return sums;
    const std::size_t step = std::max<std::size_t>(1, (hi - lo - w - 2) / (1 << 14));
    if (step > 1) {
        for (std::size_t i = lo; i + w + 2 < hi; i += step)
            for (std::size_t k = 0; k < 3; ++k) sums[k] += c.distance(i, i + w - 1 + k);
        return sums;
    }
    // Every word: a block of distances at a time.
    constexpr std::size_t kBlock = 4096;
    std::array<std::uint8_t, kBlock> d;
    for (std::size_t from = lo; from + w + 2 < hi; from += kBlock) {
        const std::size_t count = std::min(kBlock, hi - w - 2 - from);
        for (std::size_t k = 0; k < 3; ++k) {
            distancesAt(c, from, count, w - 1 + k, d.data());
            sums[k] +=
                std::accumulate(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(count), 0u);
        }
    }
    return sums;
}

// Whether the seam at width w - 1 + k (k of 0, 1, 2) outweighs rows that fit best at width
// w - 1 + fitted: a seam stands out at the true width only, but an edge on the slant read at a
// width one off becomes a column of jumps as well, while its rows fit far worse. `fits` gives
// besideFits, asked only where the seam would decide.
template <class Fits>
bool seamDecides(const double (&peaks)[3], Fits fits, std::size_t k, std::size_t fitted) {
    if (k == fitted || peaks[k] < 3 || peaks[k] < 2 * peaks[fitted]) return false;
    const std::array<double, 3> f = fits();
    return f[k] <= 1.25 * f[fitted];
}

}  // namespace

WidthFit searchWidth(const Channels& c, std::size_t lo, std::size_t hi, int minWidth,
                     int maxWidth) {
    WidthFit fit;
    if (hi > c.size()) hi = c.size();
    if (hi <= lo) return fit;
    maxWidth = std::min<int>(maxWidth, static_cast<int>((hi - lo) / 3));
    if (maxWidth < minWidth) return fit;
    // Flat runs (a background of one colour) match every width alike and would drown the
    // runs that tell widths apart.
    std::vector<std::size_t> runs;
    {
        const auto all = sampleRuns(lo, hi, static_cast<std::size_t>(maxWidth) + 1, 4 * kMaxRuns);
        std::vector<std::size_t> textured;
        for (std::size_t at : all)
            if (runDistance(c, at, 1) >= kRun) textured.push_back(at);
        // A very smooth picture (a sky, a misty photograph) steps less than a level a word:
        // then any run that is not all one value tells.
        if (textured.size() < kMaxRuns / 4) {
            textured.clear();
            for (std::size_t at : all)
                if (runDistance(c, at, 1) >= kRun / 4) textured.push_back(at);
        }
        const std::size_t keep = std::min(kMaxRuns, textured.size());
        for (std::size_t k = 0; k < keep; ++k) runs.push_back(textured[k * textured.size() / keep]);
    }
    if (runs.size() < 2) return fit;

    // One width more on each side, so that the widths at the ends have neighbours too.
    std::vector<double> mean(static_cast<std::size_t>(maxWidth) + 2, 0);
    std::vector<double> better(mean.size(), 0);
    // Each run's distances at every width, a row of whole vectors of 8 widths.
    const auto first = static_cast<std::size_t>(std::max(1, minWidth - 1));
    const std::size_t last = static_cast<std::size_t>(maxWidth) + 1;
    const std::size_t stride = (last + 1 - first + 7) / 8 * 8;
    thread_local std::vector<std::uint16_t> perRun;
    perRun.assign(runs.size() * stride, 0);
    runDistances(c, runs, first, last + 1, perRun.data(), stride);
    const double perSample = 1.0 / kRun;
    // The better-fitting half: a stretch may hold another picture, or filler, beside this one.
    const std::size_t half = (runs.size() + 1) / 2;
    for (std::size_t lane = 0; lane < stride; lane += 8) {
        unsigned all[8], smallest[8];
        halfSums(&perRun[lane], runs.size(), stride, half, all, smallest);
        for (std::size_t l = 0; l < 8 && first + lane + l <= last; ++l) {
            const std::size_t w = first + lane + l;
            mean[w] = all[l] * perSample / static_cast<double>(runs.size());
            better[w] = smallest[l] * perSample / static_cast<double>(half);
        }
    }
    const double unrelated =
        median(std::vector<double>(mean.begin() + minWidth, mean.begin() + maxWidth + 1));
    // The true width is a dip: a word is far closer to the word right below it than to the
    // words beside that one. Widths that only measure how smooth the data is (a few words
    // along a row) fit their neighbours just as well.
    auto dip = [&](int w) {
        const double left = w > 1 ? better[w - 1] : better[w + 1];
        const double right = better[w + 1];
        return better[w] / std::max(0.05, (left + right) / 2);
    };
    // Both count: how close the rows are, and how much closer than beside.
    auto merit = [&](int w) { return better[w] * dip(w); };
    int best = 0;
    for (int w = minWidth; w <= maxWidth; ++w) {
        if (better[w] > 0.7 * unrelated) continue;
        if (best == 0 || merit(w) < merit(best)) best = w;
    }
    if (best == 0) return fit;
    // A picture also matches itself two or three rows down; take the narrowest width that
    // fits about as well as the best one, over all the sample too: on a flat background, a
    // sprite matches itself a fraction of its width along a row just as well.
    for (int k = best / minWidth; k >= 2; --k) {
        if (best % k != 0) continue;
        const int w = best / k;
        if (dip(w) <= dip(best) + 0.1 && better[w] <= better[best] * 1.5 + 0.1 &&
            mean[w] <= mean[best] * 1.1) {
            best = w;
            break;
        }
    }
    // Frames of a sheet, one under another, match the same row of the next frame best (the
    // best width is the frame's width times its height); where a width that many times
    // narrower, frames at least half as tall as wide, is a clear dip of its own with rows
    // that fit well, it is the sheet's.
    for (int k = best / std::max(minWidth, 8); k >= 8; --k) {
        if (best % k != 0) continue;
        const int w = best / k;
        if (2 * k >= w && better[w] <= 0.25 * unrelated && dip(w) <= 0.8) {
            best = w;
            break;
        }
    }
    // A smooth picture fits its diagonal neighbours nearly as well as the word below: between
    // the neighbouring widths, many more words than the sample decide.
    if (best > minWidth && best < maxWidth) {
        const std::size_t reach = static_cast<std::size_t>(best) + 1;
        const auto sums = besideFits(c, lo, hi, static_cast<std::size_t>(best));
        int k = static_cast<int>(std::min_element(sums.begin(), sums.end()) - sums.begin());
        // A texture that runs on the slant fits the diagonal neighbour better still; then the
        // seam where each row wraps to the next, one column at the true width only, decides.
        double peaks[3];
        for (int j = 0; j < 3; ++j)
            peaks[j] = seamPeak(c, lo, hi, reach - 2 + static_cast<std::size_t>(j));
        const int seam = static_cast<int>(std::max_element(peaks, peaks + 3) - peaks);
        if (seamDecides(
                peaks, [&] { return sums; }, static_cast<std::size_t>(seam),
                static_cast<std::size_t>(k)))
            k = seam;
        best += k - 1;
    }
    fit.width = best;
    fit.vertical = better[best];
    fit.unrelated = unrelated;
    return fit;
}

const char* otherKind(std::span<const std::uint16_t> raw, const Channels& c) {
    const std::size_t n = raw.size();
    const auto runs = sampleRuns(0, n, 4);
    if (runs.empty()) return nullptr;
    double lag[5] = {};
    for (std::size_t at : runs)
        for (std::size_t k = 1; k <= 4; ++k) lag[k] += runDistance(c, at, k);
    // Interleaved data (two or three words a pixel or a sample frame) matches best a few
    // words on, not at the next word.
    if (std::min({lag[2], lag[3], lag[4]}) < 0.7 * lag[1]) return "interleaved data";

    int carries = 0, jumps = 0, mirrored = 0, uniform = 0, counted = 0, redSteps = 0, pairs = 0;
    double smooth555 = 0, smooth565 = 0;
    for (std::size_t at : runs) {
        for (std::size_t i = at; i < at + kRun; ++i) {
            const std::uint16_t a = raw[i], b = raw[i + 1];
            const int d = c.distance(i, i + 1);
            // A sampled wave: the words are close as numbers while the low channel wraps (a
            // step from black to a pure red is as small, but carries into no other channel).
            const int step = static_cast<std::int16_t>(static_cast<std::uint16_t>(b - a));
            if (d >= 20) {
                ++jumps;
                if (std::abs(step) < 64 && (a ^ b) >> 5 != 0) ++carries;
            }
            // 16-bit colour with six bits of green: far smoother read that way.
            const int r5 = std::abs((a >> 11) - (b >> 11));
            const int g6 = std::abs((a >> 5 & 63) - (b >> 5 & 63));
            const int b5 = std::abs((a & 31) - (b & 31));
            smooth565 += r5 + g6 / 2.0 + b5;
            smooth555 += d;
            redSteps += (a >> 10 & 31) != (b >> 10 & 31);
            ++pairs;
            // Bytes of 8-bit or 4-bit indexed pixels: in flat areas both bytes of a word agree.
            if ((a & 0x7FFF) != 0 && (a & 0x7FFF) != 0x7FFF) {
                ++counted;
                if ((a & 0x7F) == (a >> 8 & 0x7F)) ++mirrored;
                // Four 4-bit pixels of one index: all four nibbles alike, bit 15 too.
                if ((a & 0xFF) == a >> 8 && (a & 0xF) == (a >> 4 & 0xF)) ++uniform;
            }
        }
    }
    if (jumps >= 16 && carries * 10 >= jumps * 3) return "sampled wave";
    // A louder wave steps further than the low channel's range, but its steps still change
    // smoothly as numbers; a picture's change from word to word does not carry on to the next.
    {
        std::int64_t steps = 0, bends = 0;
        for (std::size_t at : runs)
            for (std::size_t i = at + 1; i < at + kRun; ++i) {
                const int a = static_cast<std::int16_t>(raw[i - 1]);
                const int b = static_cast<std::int16_t>(raw[i]);
                const int d = static_cast<std::int16_t>(raw[i + 1]);
                steps += std::abs(d - b);
                bends += std::abs(d - 2 * b + a);
            }
        const auto pairs = static_cast<std::int64_t>(runs.size() * (kRun - 1));
        if (steps > 64 * pairs && bends * 10 < steps * 3) return "sampled wave";
    }
    // The same for samples a byte over: words that straddle two samples. Read so, the words
    // themselves jump about, unlike a smooth photograph's.
    const int straightJumps = jumps;
    carries = jumps = 0;
    // Sound changes from each sample to the next; a sprite's words a byte over keep the value
    // of its ground for most of a row.
    std::size_t overPairs = 0, overChanges = 0;
    for (std::size_t at : runs) {
        for (std::size_t i = at; i < at + kRun && i + 2 < n; ++i) {
            const auto a = static_cast<std::uint16_t>(raw[i] >> 8 | (raw[i + 1] & 0xFF) << 8);
            const auto b = static_cast<std::uint16_t>(raw[i + 1] >> 8 | (raw[i + 2] & 0xFF) << 8);
            ++overPairs;
            overChanges += a != b;
            const int step = static_cast<std::int16_t>(static_cast<std::uint16_t>(b - a));
            if (colourDistance(a & 0x7FFF, b & 0x7FFF) >= 20) {
                ++jumps;
                if (std::abs(step) < 64) ++carries;
            }
        }
    }
    if (straightJumps >= 16 && jumps >= 16 && carries * 10 >= jumps * 3 &&
        overChanges * 2 > overPairs)
        return "sampled wave, a byte over";
    // Only where red changes: in a picture of greens and blues alone, six bits of green, weighed
    // at half, make any reading look twice as smooth.
    if (smooth565 < 0.7 * smooth555 && redSteps * 20 >= pairs)
        return "16-bit colour of another layout";
    // The same in smooth pictures, where it shows only at a few edges of green: six bits of
    // green stepping over their middle read as five bits of green jumping end to end, and
    // five bits of green and a bit of blue stepping read as six bits of green jumping halfway.
    {
        int sixBitSteps = 0, fiveBitSteps = 0;
        const std::size_t step = std::max<std::size_t>(1, n / 65536);
        for (std::size_t i = 0; i + 1 < n; i += step) {
            const std::uint16_t a = raw[i], b = raw[i + 1];
            const int g5 = std::abs((a >> 5 & 31) - (b >> 5 & 31));
            const int g6 = std::abs((a >> 5 & 63) - (b >> 5 & 63));
            sixBitSteps += g6 <= 2 && g5 >= 24;
            fiveBitSteps += g5 <= 2 && g6 >= 30;
        }
        if (sixBitSteps >= 8 && sixBitSteps > 4 * fiveBitSteps)
            return "16-bit colour of another layout";
    }
    // Or where green stays on one side of its middle: red's lowest bit, where only red changes,
    // is the highest bit of six of green, and stays put, while green's and blue's lowest bits
    // change as often as in any colour.
    {
        // Channel k's changes where the other two hold steady: how many, how many odd, and
        // whether at least four pairs of values among them.
        const std::size_t step = std::max<std::size_t>(1, n / 65536);
        auto share = [&](int k) {
            const int shift = 10 - 5 * k;
            int changes = 0, odd = 0, kinds = 0;
            std::array<bool, 32 * 32> seen{};
            for (std::size_t i = 0; i + 1 < n; i += step) {
                const unsigned a = raw[i], b = raw[i + 1];
                const unsigned x = a >> shift & 31, y = b >> shift & 31;
                if (x == y) continue;
                auto steady = [&](int j) {
                    const unsigned u = a >> (10 - 5 * j) & 31, v = b >> (10 - 5 * j) & 31;
                    return (u > v ? u - v : v - u) <= 2;
                };
                if (!steady((k + 1) % 3) || !steady((k + 2) % 3)) continue;
                ++changes;
                odd += static_cast<int>((x ^ y) & 1);
                bool& pair = seen[std::min(x, y) * 32 + std::max(x, y)];
                kinds += !pair;
                pair = true;
            }
            return changes >= 16 && kinds >= 4 ? static_cast<double>(odd) / changes : -1.0;
        };
        const double red = share(0);
        if (red >= 0 && red <= 0.05 && std::max(share(1), share(2)) >= 0.3)
            return "16-bit colour of another layout";
    }
    // Flat areas of 4-bit indexed pixels (tiles of a console's graphics) are words of four
    // equal nibbles; a picture takes such a colour (one of 16 in 32768) here and there at most.
    if (counted >= 64 && uniform * 10 >= counted * 3) return "4-bit indexed pixels";
    if (counted >= 64 && mirrored * 4 >= counted) return "indexed pixels";
    return nullptr;
}

namespace {

struct Segment {
    std::size_t first;  // the picture's first word
    std::size_t last;   // one past its last word
    double quality;     // mean distance to the row below, as a share of unrelated distance
    double roughness;
    double dip;     // distance to the word below over that to its neighbours
    double repeat;  // distance to the word below over that to the next word
};

// Where a picture's rows wrap, as found by seamShift.
struct Seam {
    std::ptrdiff_t shift = 0;
    bool onRows = false;  // the wrap stands out on most rows, not only summed over them
};

// Where rows really start, seen from the picture's left and right edges: the distance from a
// row's last word to the next row's first is larger than between neighbours within a row.
// Gives how many words the rows start after `first` (negative: before), 0 when the edges
// show nothing clear or confirm `first`.
Seam seamShift(const Channels& c, std::size_t lo, std::size_t hi, std::size_t first, std::size_t w,
               std::size_t rows) {
    if (w < 4 || rows < 3) return {};
    // A column counts for a row where the step to the next word is well above that row's
    // typical step: the wrap from a row's end to the next row's start does so on nearly every
    // row, an edge within the picture only on the rows of its object.
    std::vector<int> votes(w, 0), column(w, 0);
    std::vector<int> steps(w);
    std::vector<std::uint8_t> rowSteps(w);
    const std::size_t step = std::max<std::size_t>(1, rows / 64);
    int used = 0;
    for (std::size_t r = 0; r + 1 < rows; r += step) {
        const std::size_t row = first + r * w;
        if (row < lo || row + w + 1 > hi) continue;
        // The median step, counted: steps are distances of at most 93.
        std::array<int, 94> counts{};
        distancesAt(c, row, w, 1, rowSteps.data());
        for (std::size_t k = 0; k < w; ++k) ++counts[steps[k] = rowSteps[k]];
        int typical = 0;
        for (std::size_t below = 0; below + counts[static_cast<std::size_t>(typical)] <= w / 2;)
            below += counts[static_cast<std::size_t>(typical++)];
        for (std::size_t k = 0; k < w; ++k) {
            votes[k] += steps[k] > 2 * typical + 2;
            column[k] += std::min(steps[k], 4 * typical + 8);
        }
        ++used;
    }
    if (used < 2) return {};
    // The column that stands out most, and by how much over the next.
    auto strongest = [w](const std::vector<int>& v) {
        std::size_t top = 0;
        for (std::size_t k = 1; k < w; ++k)
            if (v[k] > v[top]) top = k;
        int second = 0;
        for (std::size_t k = 0; k < w; ++k)
            if (k != top && v[k] > second) second = v[k];
        return std::pair{top, second};
    };
    auto [seam, second] = strongest(votes);
    const bool onRows = votes[seam] * 10 >= used * 4 && votes[seam] * 2 >= second * 3;
    if (!onRows) {
        // Or, in a picture with many edges, where the steps summed over the rows stand out.
        std::tie(seam, second) = strongest(column);
        if (column[seam] * 2 < second * 3) return {};
    }
    auto shift = static_cast<std::ptrdiff_t>((seam + 1) % w);
    if (shift > static_cast<std::ptrdiff_t>(w / 2)) shift -= static_cast<std::ptrdiff_t>(w);
    return {shift, onRows};
}

// The scores of segmentsAt, reused from call to call: a stretch is searched window by window.
struct Scratch {
    std::vector<std::int16_t> score;
    std::vector<std::uint32_t> misfits;
    // Distances from each word to the word below it and to the next word.
    std::vector<std::uint8_t> vd, next;
    std::vector<std::int32_t> sum;
};
thread_local Scratch scratch;

// Finds the pictures of width w among words [lo, hi), given a fit.
std::vector<Segment> segmentsAt(const Channels& c, std::size_t lo, std::size_t hi,
                                const WidthFit& fit, int minHeight) {
    std::vector<Segment> out;
    const std::size_t w = static_cast<std::size_t>(fit.width);
    // Scores are summed in 32 bits, at most a few hundred a word: no more words than that
    // allows (the finder hands over at most a piece, far fewer).
    hi = std::min(hi, lo + kMostScoredWords);
    if (hi < lo + 2 * w) return out;
    const std::size_t n = hi - w - lo;  // vertical pairs j, j + w with j in [lo, hi - w)
    const double tau = std::max({2.0, (fit.vertical + fit.unrelated) / 2, 1.5 * fit.vertical + 1});
    const int tau4 = static_cast<int>(std::lround(4 * tau));
    // Each word scores how well it fits the word a row below, clipped so that one edge cannot
    // outweigh a row: positive where it fits, negative where it does not. A flat background
    // fits like any other part of a picture; where it meets filler, the filler misfits, and
    // long runs of one value are trimmed off as filler below.
    auto& score = scratch.score;
    auto& misfits = scratch.misfits;
    auto &vd = scratch.vd, &next = scratch.next;
    auto& sum = scratch.sum;
    score.resize(n);
    misfits.resize(n + 1);
    vd.resize(n);
    next.resize(n);
    sum.resize(n + 1);
    misfits[0] = 0;
    sum[0] = 0;
    distancesAt(c, lo, n, w, vd.data());
    distancesAt(c, lo, n, 1, next.data());
    // The distances to the two words beside the one below, a block at a time (not kept: the
    // scratch is some bytes a word already); the last word has no word below and to the right.
    constexpr std::size_t kBlock = 4096;
    std::array<std::uint8_t, kBlock> l, r;
    // Summed over words [a, b) of those that have both, every `step`th.
    auto besideBelow = [&](std::size_t a, std::size_t b, std::size_t step) {
        double total = 0;
        if (step > 1) {
            for (std::size_t j = a; j < b; j += step)
                total += c.distance(lo + j, lo + j + w - 1) + c.distance(lo + j, lo + j + w + 1);
            return total;
        }
        for (std::size_t from = a; from < b; from += kBlock) {
            const std::size_t count = std::min(kBlock, b - from);
            distancesAt(c, lo + from, count, w - 1, l.data());
            distancesAt(c, lo + from, count, w + 1, r.data());
            for (std::size_t j = 0; j < count; ++j) total += l[j] + r[j];
        }
        return total;
    };
    {
        const int cap = tau4 * 3 / 2;
        for (std::size_t from = 0; from < n; from += kBlock) {
            const std::size_t count = std::min(kBlock, n - from);
            const std::size_t known = std::min(count, n - 1 - from);
            distancesAt(c, lo + from, known, w - 1, l.data());
            distancesAt(c, lo + from, known, w + 1, r.data());
            if (known < count) l[known] = r[known] = UINT8_MAX;
            // Without branches, so that the loop runs on whole vectors.
            const std::uint8_t* below = vd.data() + from;
            std::int16_t* out = score.data() + from;
            for (std::size_t j = 0; j < count; ++j) {
                const int d = below[j];
                const int fits = tau4 - std::min(4 * d, cap);
                // A word no closer to the word below than to those beside it: smooth data of
                // another width, or no picture; it counts for nothing.
                const bool noDip = (d > 0) & (fits > 0) & (d >= std::min(l[j], r[j]));
                out[j] = static_cast<std::int16_t>(noDip ? 0 : fits);
            }
        }
    }
    {
        const std::uint8_t* below = vd.data();
        const std::int16_t* scored = score.data();
        std::uint32_t* m = misfits.data();
        std::int32_t* total = sum.data();
        for (std::size_t j = 0; j < n; ++j) {
            m[j + 1] = m[j] + (4 * below[j] > tau4);
            total[j + 1] = total[j] + scored[j];
        }
    }
    const std::size_t minPairs = (static_cast<std::size_t>(std::max(2, minHeight)) - 1) * w;

    // The stretches that score best, in one pass: a stretch ends where its running score
    // falls to nothing, or half a row of misfits below its best (a picture's own horizon
    // only parts it; the parts are joined again on their common row grid).
    struct Span {
        std::size_t a, b;
    };
    std::vector<Span> found;
    {
        const std::int64_t drop =
            static_cast<std::int64_t>(std::max<std::size_t>(w, 16)) * tau4 * 3 / 4;
        std::int64_t run = 0, best = 0;
        std::size_t start = 0, bestEnd = 0;
        auto emit = [&] {
            if (best > 0 && bestEnd - start + w >= minPairs) found.push_back({start, bestEnd});
        };
        const std::int16_t* scored = score.data();
        for (std::size_t j = 0; j < n; ++j) {
            run += scored[j];
            if (run > best) {
                best = run;
                bestEnd = j + 1;
            } else if (run <= 0 || best - run > drop) {
                emit();
                // Start again after the best end, where the fall began.
                j = std::max(j, bestEnd);
                if (best <= 0) j = std::max(j, start);
                run = 0;
                best = 0;
                start = j + 1;
                bestEnd = j + 1;
            }
        }
        emit();
    }
    std::sort(found.begin(), found.end(), [](const Span& x, const Span& y) { return x.a < y.a; });

    // Within a stretch, a whole row that misfits is a border line, the seam between frames of a
    // sheet, or the end of one picture of a bank and the header before the next. Only the last
    // moves the row grid.
    std::vector<Span> pieces;
    for (const Span& sp : found) {
        std::size_t begin = sp.a;
        std::size_t j = sp.a;
        // A row's worth gains at most one misfit a word: the next band is that many words on.
        const std::size_t band = (8 * w + 9) / 10;
        while (j + w <= sp.b) {
            const std::size_t count = misfits[j + w] - misfits[j];
            if (count < band) {
                j += band - count;
                continue;
            }
            // The misfit band: from the last fit before it to the first fit after it.
            std::size_t bandEnd = j + w;
            while (bandEnd < sp.b && 4 * vd[bandEnd] > tau4) ++bandEnd;
            std::size_t bandStart = j;
            while (bandStart > begin && 4 * vd[bandStart - 1] > tau4) --bandStart;
            // Off the grid: the next picture starts there, after a header. A band only a word
            // or two longer than a row may be a line of the picture drawn unevenly, unless the
            // words at both its ends break the row they sit in, as a header's do.
            const std::size_t phase = (bandEnd - begin) % w;
            const bool onGrid = phase == 0;
            auto breaks = [&](std::size_t t) {
                return t > 0 && lo + t < hi && 4 * c.distance(lo + t - 1, lo + t) > tau4;
            };
            const bool header =
                bandEnd - bandStart > w + 2 ||
                (bandEnd - bandStart > w && breaks(bandEnd) && breaks(bandStart + w));
            // A picture of another width beside this one (a drawing, an icon) fits this width
            // only where it is of one colour, with its background: rows on either side of the
            // band whose textured words mostly misfit are not this picture's.
            auto texturedMisfit = [&](std::size_t a, std::size_t b) {
                std::size_t textured = 0, misfit = 0;
                for (std::size_t t = a; t < b; ++t) {
                    if (vd[t] == 0 && next[t] == 0) continue;
                    ++textured;
                    misfit += 4 * vd[t] > tau4;
                }
                return textured >= 16 && misfit * 2 > textured;
            };
            const bool other =
                texturedMisfit(bandEnd, std::min(sp.b, bandEnd + 4 * w)) ||
                texturedMisfit(bandStart > begin + 4 * w ? bandStart - 4 * w : begin, bandStart);
            if (((header && !onGrid) || other) && bandStart > begin) {
                pieces.push_back({begin, bandStart});
                begin = bandEnd;
            }
            j = bandEnd;
        }
        pieces.push_back({begin, sp.b});
    }
    // A row of one value from word t: each word like the one below it and the one after it.
    // Only rows that have a row below them.
    auto flatRow = [&](std::ptrdiff_t t) {
        if (t < 0 || static_cast<std::size_t>(t) + w > n) return false;
        for (auto k = static_cast<std::size_t>(t); k < static_cast<std::size_t>(t) + w; ++k)
            if (vd[k] != 0 || next[k] != 0) return false;
        return true;
    };
    // Rows of one value, more of them than the rows on either side, are filler (zeros, erased
    // flash) between two pictures, not part of one. So are 16 KB of one value and far more
    // rows than a picture on one side of them (padding after a sprite, before other data that
    // fits this width loosely).
    {
        auto flat = [&](std::size_t t) { return flatRow(static_cast<std::ptrdiff_t>(t)); };
        std::vector<Span> parted;
        for (const Span& sp : pieces) {
            std::size_t begin = sp.a;
            for (std::size_t t = sp.a; t + w <= sp.b;) {
                if (!flat(t)) {
                    t += w;
                    continue;
                }
                std::size_t e = t;
                while (e + w <= sp.b && flat(e)) e += w;
                // The rows after it, up to the next such band (the flat background of a
                // picture of another width, taken as rows of this one).
                std::size_t upTo = e;
                for (std::size_t u = e, flats = 0; u + w <= sp.b && flats < 8; u += w) {
                    flats = flat(u) ? flats + 1 : 0;
                    upTo = flats == 0 ? u + w : upTo;
                }
                const std::size_t band = (e - t) / w, before = (t - begin) / w,
                                  after = (upTo - e) / w;
                const std::size_t fewer = std::min(before, after);
                if (band >= 8 && ((band > before && band > after) ||
                                  (fewer >= 8 && band > 4 * fewer && band * w >= 8192))) {
                    if (t > begin) parted.push_back({begin, t});
                    begin = e;
                }
                t = e;
            }
            if (sp.b > begin) parted.push_back({begin, sp.b});
        }
        pieces.swap(parted);
    }

    // The first row of a picture fits the row below it, while the row before it (filler, a
    // header) does not: the start is where a row's worth of scores after it most exceeds a
    // row's worth before it. Likewise for the end of the fitting pairs.
    const auto row = static_cast<std::ptrdiff_t>(w * ((16 + w - 1) / w));
    auto total = [&](std::ptrdiff_t a, std::ptrdiff_t b) -> std::int64_t {
        a = std::clamp<std::ptrdiff_t>(a, 0, static_cast<std::ptrdiff_t>(n));
        b = std::clamp<std::ptrdiff_t>(b, 0, static_cast<std::ptrdiff_t>(n));
        return sum[static_cast<std::size_t>(b)] - sum[static_cast<std::size_t>(a)];
    };
    for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
        const Span& sp = pieces[piece];
        auto s = static_cast<std::ptrdiff_t>(sp.a);
        auto e = static_cast<std::ptrdiff_t>(sp.b);
        // Rows are added only up to the neighbouring pieces, and at most 256 of them.
        const auto floorAt = static_cast<std::ptrdiff_t>(piece > 0 ? pieces[piece - 1].b : 0);
        const auto ceilAt =
            static_cast<std::ptrdiff_t>(piece + 1 < pieces.size() ? pieces[piece + 1].a : n);
        // The best-scoring stretch may leave out rows that fit only loosely (a flat band of
        // background, sharp detail, rows doubled by enlarging): whole rows are added while they
        // fit more than filler does. Rows of one value that run on to the end of the data are
        // filler of that value, not picture.
        auto misfitShare = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
            return static_cast<double>(misfits[static_cast<std::size_t>(b)] -
                                       misfits[static_cast<std::size_t>(a)]) /
                   static_cast<double>(b - a);
        };
        const auto W = static_cast<std::ptrdiff_t>(w);
        const auto N = static_cast<std::ptrdiff_t>(n);
        {
            std::ptrdiff_t t = s;
            while (t - W >= floorAt && s - t < 256 * W && misfitShare(t - W, t) < 0.5) t -= W;
            // A flat band longer than what it borders is a run of filler, not a margin.
            std::ptrdiff_t flatTop = 0;
            while (t + flatTop * W < e && flatRow(t + flatTop * W)) ++flatTop;
            // Flat rows that run on, in their one value, to the start of the data are filler
            // of that value; a picture's own black band ends where other data starts.
            auto flatTo = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
                for (std::ptrdiff_t k = std::max<std::ptrdiff_t>(a, 0); k < std::min(b, N); ++k)
                    if (next[static_cast<std::size_t>(k)] != 0) return false;
                return true;
            };
            // A picture's own flat margin meets its last textured row as background does,
            // mostly fitting; a band of filler meets it along a row that misfits.
            auto sharpBorder = [&](std::ptrdiff_t m) {
                if (m < 0 || m + 2 * W > N || misfitShare(m, m + W) <= 0.5) return false;
                // The margin's value at both ends of the textured row: the picture's own.
                const std::size_t flat = lo + static_cast<std::size_t>(m + W);
                return c.distance(lo + static_cast<std::size_t>(m), flat) != 0 ||
                       c.distance(lo + static_cast<std::size_t>(m + W - 1), flat) != 0;
            };
            if ((t < W && flatTo(0, t)) ||
                flatTop > std::max<std::ptrdiff_t>(2, ((e - t) / W - flatTop) / 4))
                t += flatTop * W;
            s = t;
            t = e;
            while (t + W <= std::min(N, ceilAt) && t - e < 256 * W && misfitShare(t, t + W) < 0.5)
                t += W;
            std::ptrdiff_t flatEnd = 0;
            while (t - (flatEnd + 1) * W > s && flatRow(t - (flatEnd + 1) * W)) ++flatEnd;
            if ((t + W > N && flatTo(t, N)) ||
                flatEnd > std::max<std::ptrdiff_t>(2, ((t - s) / W - flatEnd) / 4) ||
                (flatEnd > 0 && sharpBorder(t - (flatEnd + 1) * W)))
                t -= flatEnd * W;
            e = std::max(t, s + W);
        }
        {
            const auto a0 = s, e0 = e;
            std::int64_t bestS = INT64_MIN, bestE = INT64_MIN;
            for (std::ptrdiff_t t = std::max<std::ptrdiff_t>(0, a0 - row); t <= a0 + row && t < e0;
                 ++t) {
                // Of starts that score about alike, the one whose first word fits the row
                // below (if only as well as the words beside it) and whose word before does
                // not.
                const int edge = (t > 0 && t <= static_cast<std::ptrdiff_t>(n) &&
                                  score[static_cast<std::size_t>(t - 1)] < 0) +
                                 (t < static_cast<std::ptrdiff_t>(n) &&
                                  4 * vd[static_cast<std::size_t>(t)] <= tau4);
                const std::int64_t f = 4 * (total(t, t + row) - total(t - row, t)) + edge * tau4;
                if (f > bestS) bestS = f, s = t;
            }
            for (std::ptrdiff_t t = std::max(s + 1, e0 - row);
                 t <= e0 + row && t <= static_cast<std::ptrdiff_t>(n); ++t) {
                const std::int64_t f = total(t - row, t) - total(t, t + row);
                if (f > bestE) bestE = f, e = t;
            }
        }
        auto count = static_cast<std::size_t>(
            std::lround(static_cast<double>(e - s) / static_cast<double>(w) + 1));
        // A word of filler may happen to match the word a row below it; where the edges of
        // the picture show its row grid, that grid decides.
        const Seam seam = seamShift(c, lo, hi, lo + static_cast<std::size_t>(s), w, count);
        const std::ptrdiff_t shift = seam.shift;
        if (shift != 0 &&
            std::abs(shift) <= std::max<std::ptrdiff_t>(2, static_cast<std::ptrdiff_t>(w / 2)) &&
            s + shift >= 0) {
            s += shift;
            count = static_cast<std::size_t>(
                std::lround(static_cast<double>(e - s) / static_cast<double>(w) + 1));
        } else if (shift == 0 && e > s && (e - s) % W != 0) {
            // A first row unlike the second (a border line, a title) fits nothing, so the
            // fitting words start within it, while the fitting rows still end on the grid.
            // Where the words between the two starts are as smooth as the picture and the
            // words before them are not, those words are its first row.
            const std::ptrdiff_t back = W - (e - s) % W, p = s - back;
            auto roughness = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
                // The rows' end may lie past the last word with a word after it.
                b = std::min(b, static_cast<std::ptrdiff_t>(n));
                double sum = 0;
                for (std::ptrdiff_t t = a; t < b; ++t) sum += next[static_cast<std::size_t>(t)];
                return sum / static_cast<double>(std::max<std::ptrdiff_t>(1, b - a));
            };
            const std::ptrdiff_t look = std::min<std::ptrdiff_t>(back, 64);
            if (p - look >= 0) {
                const double inside = roughness(p, s), before = roughness(p - look, p);
                const double picture = roughness(s, std::min(e, s + 16 * W));
                // Or where all of them are one value: a flat margin over the picture's top,
                // whose rows the end's grid tells.
                const bool margin = before == 0 && inside == 0 &&
                                    c.distance(lo + static_cast<std::size_t>(p - look),
                                               lo + static_cast<std::size_t>(s)) == 0;
                // Or where those words fit the row below them, and the words before them do not.
                auto fitting = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
                    b = std::min(b, static_cast<std::ptrdiff_t>(n));
                    std::ptrdiff_t fit = 0;
                    for (std::ptrdiff_t t = a; t < b; ++t)
                        fit += 4 * vd[static_cast<std::size_t>(t)] <= tau4;
                    return static_cast<double>(fit) /
                           static_cast<double>(std::max<std::ptrdiff_t>(1, b - a));
                };
                const bool rowStart = fitting(p, s) >= 2.0 / 3 && fitting(p - look, p) < 0.5;
                if ((before > 2 * inside + 2 && inside <= 2 * picture + 2) || margin || rowStart) {
                    s = p;
                    count = static_cast<std::size_t>((e - s) / W + 1);
                }
            }
        }
        if (shift == 0 && !seam.onRows && count >= 3) {
            // Where no seam shows on most rows (a smooth photograph's edges alike), the rows lie
            // where their ends are sharpest: words of the first and last rows fit the rows
            // beside them while the row before the first and the row after the last do not. One
            // word's score alone may tip the start a word off either way.
            auto misfitsIn = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
                a = std::clamp<std::ptrdiff_t>(a, 0, N);
                b = std::clamp<std::ptrdiff_t>(b, 0, N);
                return static_cast<std::ptrdiff_t>(misfits[static_cast<std::size_t>(b)] -
                                                   misfits[static_cast<std::size_t>(a)]);
            };
            // The rows may be counted one off: the last row is the one that ends sharpest.
            auto sharpness = [&](std::ptrdiff_t t) {
                std::ptrdiff_t ends = PTRDIFF_MIN;
                for (const auto rows : {count - 1, count, count + 1}) {
                    const auto pairs = W * static_cast<std::ptrdiff_t>(rows - 1);
                    ends = std::max(ends,
                                    misfitsIn(t + pairs, t + pairs + W) - misfitsIn(t, t + pairs));
                }
                return misfitsIn(t - W, t) + ends;
            };
            const auto pairs = W * static_cast<std::ptrdiff_t>(count - 1);
            const std::ptrdiff_t reach = std::min<std::ptrdiff_t>(32, W / 4);
            std::ptrdiff_t best = sharpness(s), to = s;
            for (std::ptrdiff_t t = std::max<std::ptrdiff_t>(0, s - reach); t <= s + reach; ++t)
                if (const auto v = sharpness(t);
                    v >= best + 2 && misfitsIn(t, t + pairs) <= misfitsIn(s, s + pairs))
                    best = v, to = t;
            e += to - s;
            s = to;
        }
        auto emitSegment = [&](std::ptrdiff_t s, std::ptrdiff_t e) {
            // Rows followed to the end of the data: the last row has no row below it.
            e = std::min(e, static_cast<std::ptrdiff_t>(n));
            if (e <= s) return;
            auto count = static_cast<std::size_t>(
                std::lround(static_cast<double>(e - s) / static_cast<double>(w) + 1));
            // A margin of one colour (a sprite's transparent border) fits nothing where it
            // meets the object, so the rows seem to start where the object does. Where the
            // margin runs back to a header or filler, and forward to one on a row's end, those
            // are the picture's ends.
            {
                const auto words = static_cast<std::ptrdiff_t>(hi - lo);
                auto same = [&](std::ptrdiff_t t) {
                    return c.distance(lo + static_cast<std::size_t>(t) - 1,
                                      lo + static_cast<std::size_t>(t)) == 0;
                };
                std::ptrdiff_t a = s;
                while (a > 0 && s - a < 4 * W && same(a)) --a;
                const auto z0 = s + static_cast<std::ptrdiff_t>(count) * W;
                std::ptrdiff_t z = a + (z0 - a + W - 1) / W * W;
                auto flatRowAt = [&](std::ptrdiff_t t) {
                    for (std::ptrdiff_t k = t; k < t + W; ++k)
                        if (!same(k)) return false;
                    return true;
                };
                for (int k = 0; k < 4 && z + W <= words && flatRowAt(z); ++k) z += W;
                const bool endsFlat =
                    z <= words && z - a >= 2 * W && same(z - 1) && (z == words || !same(z));
                if (a < s && (s - a) % W != 0 && endsFlat) {
                    s = a;
                    count = static_cast<std::size_t>((z - a) / W);
                }
            }
            if (count < static_cast<std::size_t>(std::max(2, minHeight))) return;
            const auto first = lo + static_cast<std::size_t>(s);
            // On a sample of a large picture's words: these are means.
            const std::ptrdiff_t step = std::max<std::ptrdiff_t>(1, (e - s) / 65536);
            double below = 0, across = 0, pairs = 0;
            for (std::ptrdiff_t t = s; t < e; t += step, ++pairs) {
                below += vd[static_cast<std::size_t>(t)];
                across += next[static_cast<std::size_t>(t)];
            }
            // Smooth parts of a picture of another width fit any width about as well: the rows of
            // a picture of this width fit clearly better than at the neighbouring widths.
            const double beside = s < std::min(e, N - 1)
                                      ? besideBelow(static_cast<std::size_t>(s),
                                                    static_cast<std::size_t>(std::min(e, N - 1)),
                                                    static_cast<std::size_t>(step))
                                      : 0;
            // Nothing but one value a row (a block of filler) is no picture either.
            if (beside / 2 < 0.02 * pairs || below > beside / 2) return;
            // Rows streaked along (wood, motion) fit their diagonal neighbours nearly as well
            // as the word below: where they fit closely and are 32 words or more, one column
            // standing out at this width, where the rows wrap, is sign enough.
            if (below > 0.95 * beside / 2) {
                if (w < 32 || below / pairs > 0.25 * fit.unrelated) return;
                const std::size_t last = std::min(hi, first + count * w);
                const double peak = seamPeak(c, first, last, w);
                // Not at twice the width either, where each row wraps in its middle as well.
                if (peak < 6 ||
                    peak < 3 * std::max(seamPeak(c, first, last, w - 1),
                                        seamPeak(c, first, last, w + 1)) ||
                    (w % 2 == 0 && seamPeak(c, first, last, w / 2) >= 0.8 * peak))
                    return;
            }
            out.push_back({first, std::min(hi, first + count * w),
                           below / pairs / std::max(1.0, fit.unrelated), (below + across) / pairs,
                           below / std::max(1.0, beside / 2), below / std::max(1.0, across)});
        };
        // In a bank of sprites on one background, the header before the next sprite is the
        // only sign of it: a few words at the start of a row that fit neither the row above
        // nor the row below, after which the rows go on a few words later.
        auto misfit = [&](std::ptrdiff_t t) {
            return t >= 0 && t < static_cast<std::ptrdiff_t>(n) &&
                   4 * vd[static_cast<std::size_t>(t)] > tau4;
        };
        struct Cut {
            std::ptrdiff_t at, len;
        };
        std::vector<Cut> cuts;
        for (std::ptrdiff_t j = s + 2 * W; j + 2 * W <= e; j += W) {
            if (!misfit(j) || !misfit(j - W)) continue;
            std::ptrdiff_t len = 1;
            while (len <= 4 && misfit(j + len) && misfit(j + len - W)) ++len;
            if (len > 4 || misfit(j - 1) || misfit(j - 1 - W) || misfit(j + len)) continue;
            cuts.push_back({j, len});
            j += len;  // the rows after a header start that much later
        }
        // Headers leave the rest whole rows, from the first row to the last; a speck of
        // another colour at the start of a row does not.
        auto whole = [&](std::ptrdiff_t skipped) { return (e + W - s - skipped) % W == 0; };
        std::ptrdiff_t skipped = 0;
        for (const Cut& k : cuts) skipped += k.len;
        if (!whole(skipped)) {
            std::vector<Cut> one;
            for (const Cut& k : cuts)
                if (whole(k.len)) one = {k};
            cuts.swap(one);
        }
        std::ptrdiff_t from = s;
        for (const Cut& k : cuts) {
            emitSegment(from, k.at - W);
            from = k.at + k.len;
        }
        emitSegment(from, e);
    }
    return out;
}

// The distances at a width and, for comparison, at lags unrelated to it.
WidthFit fitAt(const Channels& c, int width) {
    WidthFit fit;
    const auto w = static_cast<std::size_t>(width);
    const auto runs = sampleRuns(0, c.size(), std::max<std::size_t>(w, kMaxSide) + 1);
    if (runs.size() < 2) return fit;
    std::vector<double> at;
    for (std::size_t r : runs) at.push_back(runDistance(c, r, w) / static_cast<double>(kRun));
    std::sort(at.begin(), at.end());
    const std::size_t half = (at.size() + 1) / 2;
    fit.vertical = std::accumulate(at.begin(), at.begin() + half, 0.0) / static_cast<double>(half);
    std::vector<double> others;
    for (std::size_t lag = 11; lag < kMaxSide; lag += 61) {
        const std::size_t off = lag % w;
        if (off <= 2 || off + 2 >= w) continue;
        double sum = 0;
        for (std::size_t r : runs) sum += runDistance(c, r, lag);
        others.push_back(sum / static_cast<double>(kRun * runs.size()));
    }
    fit.unrelated = median(others);
    fit.width = width;
    return fit;
}

double confidenceFor(double quality, double dip, int width, int rows) {
    double c = std::clamp(0.5 + (0.5 - quality) * 0.8 + (0.9 - dip), 0.0, 1.0);
    if (rows < 16) c *= 0.85 + 0.01 * rows;
    if (width < 16) c *= 0.9;
    // A dip over many rows of a wide picture says more than over a small one, where a few
    // words of filler can fall into rows by chance.
    const double area = static_cast<double>(width) * rows;
    c += std::clamp(0.05 * std::log2(area / 4096), -0.3, 0.2);
    return std::clamp(c, 0.0, 1.0);
}

// Why rows that fit are no picture after all: other data, or rows that repeat each other
// though neighbours differ (a tone or another periodic signal, whose period was taken for a
// width; or, in rough data, a table of records, field under field: a program's tables,
// indexed pixels read two at a time).
bool notAPicture(std::span<const std::uint16_t> raw, std::span<const std::uint16_t> words,
                 const Segment& seg) {
    const std::size_t count = seg.last - seg.first;
    const auto own = raw.subspan(seg.first, count);
    if (const char* kind = otherKind(own, Channels(words.subspan(seg.first, count)))) {
        // A large picture whose rows fit clearly may have a background whose two bytes happen
        // to agree. Indexed pixels change from one flat area to the next at any byte, so half
        // the words at their edges hold one byte of each; a picture's words change whole.
        if (std::strcmp(kind, "indexed pixels") != 0) return true;
        // Indexed pixels hold two to a word either way: read a byte over, they are as smooth.
        // A picture read so is far rougher.
        double along = 0, over = 0;
        for (std::size_t i = 0; i + 2 < count; ++i) {
            along += colourDistance(own[i] & 0x7FFF, own[i + 1] & 0x7FFF);
            over += colourDistance((own[i] >> 8 | own[i + 1] << 8) & 0x7FFF,
                                   (own[i + 1] >> 8 | own[i + 2] << 8) & 0x7FFF);
        }
        const bool rougherOver = count >= 1024 && over >= 3 * along + static_cast<double>(count);
        if (!rougherOver) {
            if (seg.quality > 0.2 || count < 16384) return true;
            std::array<std::size_t, 128> byValue{};
            for (const std::uint16_t x : own)
                if ((x & 0x7F) == (x >> 8 & 0x7F)) ++byValue[x & 0x7F];
            const auto key = static_cast<unsigned>(
                std::max_element(byValue.begin(), byValue.end()) - byValue.begin());
            auto background = [&](unsigned x) {
                return (x & 0x7F) == key && (x >> 8 & 0x7F) == key;
            };
            auto half = [&](unsigned x) { return ((x & 0x7F) == key) != ((x >> 8 & 0x7F) == key); };
            std::size_t edges = 0, halves = 0;
            for (std::size_t i = 0; i + 1 < count; ++i)
                if (background(own[i]) != background(own[i + 1])) {
                    ++edges;
                    halves += half(background(own[i]) ? own[i + 1] : own[i]);
                }
            if (edges < 16 || halves * 5 >= edges) return true;
        }
    }
    return (seg.repeat < 0.15 && seg.roughness > 4) || (seg.repeat < 0.4 && seg.roughness > 12);
}

// A picture of a few dozen words fits rows by chance in all kinds of data: only a clear fit
// counts. So it does in data of small numbers, taken for a picture of pure reds or blues.
bool clearEnough(double confidence, int width, int rows, std::span<const std::uint16_t> raw) {
    if (width * rows < 150 && confidence < 0.6) return false;
    const double small = smallNumberShare(raw);
    // Mostly words of nothing, the rest many small numbers: a program's sparse records, field
    // under field, however well they repeat; unless they fit as only a large drawing does
    // (strokes of pure red and blue on black).
    if ((confidence < 0.95 || width * rows < 65536) && sparseRecords(raw)) return false;
    return confidence >= 0.85 || small < 0.4;
}

}  // namespace

double smallNumberShare(std::span<const std::uint16_t> raw) {
    std::size_t counted = 0, small = 0;
    const std::size_t step = std::max<std::size_t>(1, raw.size() / 16384);
    for (std::size_t i = 0; i < raw.size(); i += step) {
        const unsigned x = raw[i], c = x & 0x7FFFu;
        if ((c & 31u) + (c >> 5 & 31u) + (c >> 10 & 31u) < 12) continue;
        ++counted;
        small += (x & 0xFFu) == 0 || x >> 8 == 0;
    }
    return counted >= 16 ? static_cast<double>(small) / static_cast<double>(counted) : 0;
}

double meanDistance(std::span<const std::uint16_t> words, std::size_t lag, std::size_t from,
                    std::size_t samples) {
    const std::size_t count = words.size() - lag - from;
    const std::size_t step = std::max<std::size_t>(1, count / samples);
    if (step == 1)
        return static_cast<double>(colourDistanceSum(&words[from], &words[from + lag], count)) /
               static_cast<double>(count);
    double sum = 0;
    std::size_t summed = 0;
    for (std::size_t i = from; i + lag < words.size(); i += step, ++summed)
        sum += colourDistance(words[i], words[i + lag]);
    return sum / static_cast<double>(summed);
}

bool recordColumns(std::span<const std::uint16_t> raw, int width) {
    const auto w = static_cast<std::size_t>(std::max(1, width));
    const std::size_t rows = raw.size() / w;
    if (rows < 8) return false;
    // By column: words other than zero, and those that repeat the word below but neither
    // beside it.
    std::vector<std::size_t> held(w), repeated(w);
    std::size_t counted = 0, small = 0;
    for (std::size_t i = 1; i + w < rows * w; ++i) {
        const unsigned x = raw[i] & 0x7FFFu;
        if (x == 0) continue;
        ++counted;
        small += x < 0x400;
        ++held[i % w];
        repeated[i % w] += x == (raw[i + w] & 0x7FFFu) && x != (raw[i - 1] & 0x7FFFu) &&
                           x != (raw[i + 1] & 0x7FFFu);
    }
    // Only columns of a number in most rows are fields: strokes of a drawing that hold a colour
    // down and change it sideways cross a column in a few rows only.
    std::size_t inFields = 0;
    for (std::size_t c = 0; c < w; ++c)
        if (2 * held[c] >= rows) inFields += repeated[c];
    return counted >= 64 && 2 * small > counted && 10 * inFields > 3 * counted;
}

bool rowsRepeatFurtherOn(std::span<const std::uint16_t> raw, int width) {
    const auto w = static_cast<std::size_t>(std::max(1, width));
    const std::size_t n = raw.size();
    // Mean distance from each word to the word `rows` rows on, over some 3000 pairs.
    auto apart = [&](std::size_t rows) { return meanDistance(raw, rows * w, 0, 3000); };
    std::vector<double> at{0};
    for (std::size_t k = 1; k * w <= static_cast<std::size_t>(kMaxSide) && 3 * k * w < 2 * n; ++k)
        at.push_back(apart(k));
    if (at.size() < 4 || at[2] < 0.7 * at[1] || at[2] > 1.2 * at[1]) return false;
    for (std::size_t k = 2; k + 1 < at.size(); ++k)
        if (n >= 4 * k * w && at[k] < 0.75 * std::min(at[k - 1], at[k + 1]) && at[k] < 1.2 * at[1])
            return true;
    return false;
}

bool sparseRecords(std::span<const std::uint16_t> raw) {
    if (smallNumberShare(raw) < 0.2) return false;
    std::size_t zeros = 0;
    const std::size_t step = std::max<std::size_t>(1, raw.size() / 16384);
    for (std::size_t i = 0; i < raw.size(); i += step) zeros += (raw[i] & 0x7FFFu) == 0;
    return zeros * 10 > (raw.size() + step - 1) / step * 7;
}

bool fourWordNumbers(std::span<const std::uint16_t> raw, int width) {
    const auto w = static_cast<std::size_t>(std::max(width, 1));
    if (raw.size() < std::max<std::size_t>(w, 4) + 8) return false;
    const std::size_t n = raw.size() - std::max<std::size_t>(w, 4);
    double next = 0, four = 0, below = 0;
    std::array<double, 4> atPlace{};
    std::array<std::size_t, 4> counted{};
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::uint16_t>(raw[i] & 0x7FFF);
        const int step = colourDistance(x, raw[i + 1] & 0x7FFF);
        next += step;
        atPlace[i % 4] += step;
        ++counted[i % 4];
        four += colourDistance(x, raw[i + 4] & 0x7FFF);
        below += colourDistance(x, raw[i + w] & 0x7FFF);
    }
    double least = 1e9, most = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const double mean = atPlace[k] / static_cast<double>(counted[k]);
        least = std::min(least, mean);
        most = std::max(most, mean);
    }
    return four < next && most >= 2 * (least + 1) && below >= 0.25 * next;
}

namespace {

// Words (black and white aside) counted, those with two equal bytes, and how many values these
// take (up to 256).
struct EqualBytes {
    std::size_t counted = 0, alike = 0, values = 0;
};

EqualBytes equalBytes(std::span<const std::uint16_t> raw) {
    EqualBytes e;
    std::bitset<256> seen;
    for (const std::uint16_t x : raw) {
        if ((x & 0x7FFF) == 0 || (x & 0x7FFF) == 0x7FFF) continue;
        ++e.counted;
        // Both whole bytes: a run of one index repeats it exactly, while a colour's two bytes
        // may agree but for the low byte's top bit (green's lowest).
        if ((x & 0xFF) == (x >> 8)) {
            ++e.alike;
            seen.set(x & 0xFF);
        }
    }
    e.values = seen.count();
    return e;
}

}  // namespace

bool bytesAlikeAsIndexed(std::span<const std::uint16_t> raw) {
    const EqualBytes e = equalBytes(raw);
    return e.alike * 50 > e.counted;
}

bool runsOfManyIndices(std::span<const std::uint16_t> raw) {
    const EqualBytes e = equalBytes(raw);
    return e.counted > 0 && e.alike * 10 >= e.counted && e.values >= 8;
}

bool topBitAsInNumbers(std::span<const std::uint16_t> raw) {
    std::size_t set = 0, runs = 0;
    bool before = false;
    // Throughout: rows found on a picture with bit 15 at random may start in data without it.
    const std::size_t n = raw.size(), quarter = std::max<std::size_t>(n / 4, 1);
    for (std::size_t from = 0; from < n; from += quarter) {
        const std::size_t to = n - from < 2 * quarter ? n : from + quarter;
        std::size_t here = 0;
        for (std::size_t i = from; i < to; ++i) {
            const bool top = (raw[i] & 0x8000) != 0;
            here += top;
            runs += top && !before;
            before = top;
        }
        if (here * 50 < to - from || here * 100 > (to - from) * 35) return false;
        set += here;
        if (to == n) break;
    }
    return n > 0 && set < 6 * runs;
}

std::vector<Found> analyseStretch(std::span<const std::uint16_t> raw, int minWidth, int minHeight) {
    std::vector<Found> found;
    const std::size_t n = raw.size();
    minWidth = std::clamp(minWidth, 1, kMaxSide);
    minHeight = std::clamp(minHeight, 1, kMaxSide);
    const int searchFrom = std::max(minWidth, 2);
    if (n < static_cast<std::size_t>(searchFrom) * static_cast<std::size_t>(minHeight))
        return found;
    std::vector<std::uint16_t> words(raw.begin(), raw.end());
    for (auto& w : words) w &= 0x7FFF;
    const Channels c(words);

    // The width is searched window by window, since a stretch may hold pictures of several
    // widths back to back; each width found is then followed as far as its rows go.
    constexpr std::size_t kWindow = 16384;
    constexpr std::size_t kSmallest = 1024;
    struct Span {
        std::size_t lo, hi;
        // Of a window inside rows that were judged no picture: their roughness (see below).
        double inRowsOf = 0;
        double quality = 0;  // of rows listed as a picture
        int width = 0;       // of rows listed as a picture
    };
    std::vector<Span> pending;
    for (std::size_t lo = 0; lo < n; lo += kWindow) {
        const std::size_t hi = n - lo < kWindow + kWindow / 2 ? n : lo + kWindow;
        pending.push_back({lo, hi});
        if (hi == n) break;
    }
    std::reverse(pending.begin(), pending.end());
    // Rows listed as pictures, and rows judged to be none; windows inside the latter, searched
    // again, and the rows that were.
    std::vector<Span> covered, judged, insideLater, searchedInside;
    const std::size_t leftover = static_cast<std::size_t>(searchFrom) * minHeight + 256;
    double inRowsOf = 0;  // of the window being searched
    auto coveredWords = [&](std::size_t lo, std::size_t hi, double worstQuality = 1e9) {
        std::size_t sum = 0;
        auto add = [&](const std::vector<Span>& list) {
            for (const Span& s : list) {
                if (s.quality > worstQuality) continue;
                const std::size_t a = std::max(lo, s.lo), b = std::min(hi, s.hi);
                if (b > a) sum += b - a;
            }
        };
        add(covered);
        if (inRowsOf == 0) add(judged);
        return sum;
    };
    auto listable = [&](const Segment& seg, const WidthFit& fit) {
        const int rows = static_cast<int>((seg.last - seg.first) / fit.width);
        return !notAPicture(raw, words, seg) &&
               clearEnough(confidenceFor(seg.quality, seg.dip, fit.width, rows), fit.width, rows,
                           raw.subspan(seg.first, seg.last - seg.first));
    };
    // What other data a segment's words are, judged whole (null: they may be a picture).
    auto kindOf = [&](const Segment& seg) {
        const std::size_t len = seg.last - seg.first;
        return otherKind(raw.subspan(seg.first, len),
                         Channels(std::span(words).subspan(seg.first, len)));
    };
    // Rows of one width may run from a sprite set on through other data and over a small
    // photograph after it (any width fits a smooth one loosely), and be judged whole to be
    // that data: a long run of them is searched again in parts, once; unless their own words
    // are 16-bit colour of another layout, as every part of them is too.
    auto searchInsideLater = [&](const Segment& seg) {
        const std::size_t len = seg.last - seg.first;
        if (inRowsOf > 0 || len < kSmallest) return;
        for (const Span& s : searchedInside)
            if (std::min(s.hi, seg.last) > std::max(s.lo, seg.first)) return;
        // Only where some part is smoother than the whole by a fifth: rows of one kind of data
        // throughout are about as rough in every part.
        const std::size_t part = std::max<std::size_t>(kSmallest / 2, len / 4);
        std::vector<Span> parts;
        double whole = 0, smoothest = 1e9;
        for (std::size_t a = seg.first; a < seg.last; a += part) {
            const std::size_t b = seg.last - a < part + part / 2 ? seg.last : a + part;
            const auto steps = static_cast<double>(distanceSum(c, a, b - a - 1, 1));
            whole += steps;
            smoothest = std::min(smoothest, steps / static_cast<double>(b - a));
            parts.push_back({a, b, seg.roughness});
            if (b == seg.last) break;
        }
        if (5 * smoothest >= 4 * whole / static_cast<double>(len)) return;
        const char* kind = kindOf(seg);
        if (!kind || std::strcmp(kind, "16-bit colour of another layout") == 0) return;
        searchedInside.push_back({seg.first, seg.last});
        insideLater.insert(insideLater.end(), parts.begin(), parts.end());
    };
    auto list = [&](const Segment& seg, const WidthFit& fit) {
        const int rows = static_cast<int>((seg.last - seg.first) / fit.width);
        covered.push_back({seg.first, seg.last, 0, seg.quality, fit.width});
        const double conf = confidenceFor(seg.quality, seg.dip, fit.width, rows);
        char reason[128];
        std::snprintf(reason, sizeof reason,
                      "rows alike at width %d: %.2f of unrelated, %.2f of beside", fit.width,
                      seg.quality, seg.dip);
        // Taller than the viewer shows: one picture per 1024 rows.
        for (int top = 0; top < rows; top += kMaxSide) {
            const int h = std::min(kMaxSide, rows - top);
            if (h < minHeight) break;
            found.push_back({seg.first + static_cast<std::size_t>(top) * fit.width, fit.width, h,
                             conf, seg.roughness, reason});
        }
    };
    // Rows at the ends of a segment whose words are closer to the word two on than to the
    // next, as 32-bit pixels are at any even width (a picture's rows run on into them).
    auto pixelPairRows = [&](const Segment& seg, std::size_t w) {
        auto paired = [&](std::size_t row) {
            double next = 0, second = 0;
            for (std::size_t k = row; k + 1 < row + w; ++k) {
                next += c.distance(k, k + 1);
                if (k + 2 < row + w) second += c.distance(k, k + 2);
            }
            return next >= static_cast<double>(w) && second < 0.7 * next;
        };
        std::size_t a = seg.first, b = seg.last;
        while (b - a >= 2 * w && paired(a)) a += w;
        while (b - a >= 2 * w && paired(b - w)) b -= w;
        return std::pair{a, b};
    };
    // Rows of one width may run on back over a picture listed at another (a drawing's rows over
    // the photograph before it) and be turned away as rows listed already: what lies beside
    // that picture is followed again at the end, on its own.
    struct Beside {
        std::size_t lo, hi;
        WidthFit fit;
        double inRowsOf;
    };
    std::vector<Beside> beside;
    bool followingBeside = false;
    auto accept = [&](const Segment& seg, const WidthFit& fit) {
        const int rows = static_cast<int>((seg.last - seg.first) / fit.width);
        if (fit.width < minWidth || rows < minHeight) return;
        // Rows listed already count unless they fit far more loosely: other data found at its
        // own width may run on into a picture's rows.
        const double worst = 3 * seg.quality + 0.1;
        if (coveredWords(seg.first, seg.last, worst) * 2 > seg.last - seg.first) {
            if (followingBeside) return;
            std::vector<Span> listed;
            for (const Span& s : covered)
                if (s.quality <= worst && s.hi > seg.first && s.lo < seg.last) {
                    if (s.width == fit.width) return;  // its own rows, listed
                    listed.push_back(s);
                }
            // Rows judged to be other data are no part of what is followed again either.
            if (inRowsOf == 0)
                for (const Span& s : judged)
                    if (s.hi > seg.first && s.lo < seg.last) listed.push_back(s);
            std::sort(listed.begin(), listed.end(),
                      [](const Span& a, const Span& b) { return a.lo < b.lo; });
            const std::size_t least =
                std::max(leftover, static_cast<std::size_t>(fit.width) * minHeight);
            std::size_t from = seg.first;
            auto keep = [&](std::size_t to) {
                if (to > from && to - from >= least) beside.push_back({from, to, fit, inRowsOf});
            };
            for (const Span& s : listed) {
                keep(s.lo);
                from = std::max(from, s.hi);
            }
            keep(seg.last);
            return;
        }
        // Inside rows judged no picture, only a picture clearly smoother than they are.
        if (inRowsOf > 0 && !(2 * seg.roughness < inRowsOf)) return;
        // Rows of 32-bit pixels at its ends, two or more, are cut off and the rest followed
        // again: they fit any even width, and as rows of it turn a picture into "interleaved
        // data" or make it too tall.
        const auto w = static_cast<std::size_t>(fit.width);
        const auto trimmed = pixelPairRows(seg, w);
        const std::size_t a = trimmed.first, b = trimmed.second;
        const bool pairedEnds = (a >= seg.first + 2 * w || b + 2 * w <= seg.last) &&
                                b - a >= w * static_cast<std::size_t>(minHeight);
        auto listWithout = [&] {
            bool any = false;
            for (const Segment& t : segmentsAt(c, a, b, fit, minHeight))
                if (static_cast<int>((t.last - t.first) / w) >= minHeight && listable(t, fit)) {
                    list(t, fit);
                    any = true;
                }
            return any;
        };
        // Looked at either way: the windows it spans are not searched again.
        if (!listable(seg, fit)) {
            judged.push_back({seg.first, seg.last});
            if (pairedEnds) {
                const char* kind = kindOf(seg);
                if (kind && std::strcmp(kind, "interleaved data") == 0) listWithout();
            }
            searchInsideLater(seg);
            return;
        }
        if (!pairedEnds || !listWithout()) list(seg, fit);
    };
    // A smooth picture fits its diagonal neighbours about as well as the word below, and the
    // window the width was searched in may hold other data: on the rows found, the seam where
    // each row wraps to the next, sharp at the true width only, decides between neighbours.
    auto acceptAtSeam = [&](const Segment& seg, const WidthFit& fit) {
        // Rows that fit hardly better than their diagonal neighbours were found at a width
        // that other data in the window set (an indexed picture of twice as many pixels
        // beside an icon): their own words decide.
        if (seg.dip > kWeakDip && seg.last - seg.first >= 4 * static_cast<std::size_t>(fit.width) &&
            listable(seg, fit)) {
            const WidthFit own =
                searchWidth(c, seg.first, seg.last, std::max(searchFrom, 8), kMaxSide);
            // As many rows at that width as a picture that fits loosely needs to tell.
            if (own.width != 0 && own.width != fit.width && own.vertical <= 0.8 * own.unrelated &&
                seg.last - seg.first >= 16 * static_cast<std::size_t>(own.width)) {
                const std::size_t margin = 2 * static_cast<std::size_t>(own.width);
                const auto segs = segmentsAt(c, seg.first > margin ? seg.first - margin : 0,
                                             std::min(n, seg.last + margin), own, minHeight);
                for (const Segment& s : segs)
                    if (s.dip < seg.dip) {
                        for (const Segment& t : segs) accept(t, own);
                        // Beside them, the rows of this width may still be a picture of its
                        // own (a smooth photograph whose rows ran on into a drawing): they are
                        // followed again, only up to those pictures.
                        std::size_t from = seg.first;
                        auto rest = [&](std::size_t to) {
                            if (to > from + leftover)
                                for (const Segment& t : segmentsAt(c, from, to, fit, minHeight))
                                    accept(t, fit);
                        };
                        for (const Segment& t : segs) {
                            rest(std::min(t.first, seg.last));
                            from = std::max(from, t.last);
                        }
                        rest(seg.last);
                        return;
                    }
            }
        }
        const auto w = static_cast<std::size_t>(fit.width);
        double peaks[3];
        const std::size_t upTo = std::min(seg.last, seg.first + 65536);
        for (std::size_t k = 0; k < 3; ++k) peaks[k] = seamPeak(c, seg.first, upTo, w - 1 + k);
        const std::size_t best =
            static_cast<std::size_t>(std::max_element(peaks, peaks + 3) - peaks);
        if (w < 8 || !seamDecides(
                         peaks, [&] { return besideFits(c, seg.first, upTo, w); }, best, 1)) {
            accept(seg, fit);
            return;
        }
        WidthFit other = fit;
        other.width = static_cast<int>(w - 1 + best);
        const std::size_t margin = 2 * w;
        for (const Segment& s : segmentsAt(c, seg.first > margin ? seg.first - margin : 0,
                                           std::min(n, seg.last + margin), other, minHeight))
            accept(s, other);
    };
    for (int round = 0; round < 4096 && !(pending.empty() && insideLater.empty()); ++round) {
        if (pending.empty()) {
            pending.assign(insideLater.rbegin(), insideLater.rend());
            insideLater.clear();
        }
        const Span sp = pending.back();
        pending.pop_back();
        inRowsOf = sp.inRowsOf;
        if (coveredWords(sp.lo, sp.hi) + leftover > sp.hi - sp.lo) continue;
        // Below 8 words a row is hardly longer than the smoothness of the data itself, so those
        // widths are tried only where no wider one fits.
        const std::size_t searchHi = std::min(n, sp.hi + kMaxSide);
        WidthFit fit = searchWidth(c, sp.lo, searchHi, std::max(searchFrom, 8), kMaxSide);
        // The search samples only where a row of the widest picture still fits below; at the
        // end of a stretch, narrow widths are searched again up to its last words.
        if ((fit.width == 0 || fit.vertical > 0.8 * fit.unrelated) && searchHi == n &&
            std::max(searchFrom, 8) < 64)
            fit = searchWidth(c, sp.lo, searchHi, std::max(searchFrom, 8), 63);
        if ((fit.width == 0 || fit.vertical > 0.8 * fit.unrelated) && searchFrom < 8)
            fit = searchWidth(c, sp.lo, searchHi, searchFrom, 7);
        // In smaller windows, so that a small picture among larger ones (an icon bank beside a
        // photograph) is most of the window it is searched in: a quarter of this one each time.
        const std::size_t small = std::max<std::size_t>(kSmallest, (sp.hi - sp.lo) / 4);
        auto searchAgain = [&](std::size_t from, std::size_t to) {
            if (to - from >= sp.hi - sp.lo && sp.hi - sp.lo < 2 * kSmallest) return;
            for (std::size_t a = from; a < to; a += small) {
                const std::size_t b = to - a < small + small / 2 ? to : a + small;
                if (b - a >= leftover) pending.push_back({a, b, sp.inRowsOf});
                if (b == to) break;
            }
        };
        if (fit.width == 0 || fit.vertical > 0.8 * fit.unrelated) continue;
        // Follow the rows past the window, further on the side where a picture that starts or
        // ends in the window reaches the edge of what was looked at.
        const std::size_t edge = static_cast<std::size_t>(fit.width) * 2;
        std::size_t before = std::max<std::size_t>(sp.hi - sp.lo, 2 * edge), after = before;
        std::size_t lo = 0, hi = 0;
        std::vector<Segment> segs;
        for (;;) {
            lo = sp.lo > before ? sp.lo - before : 0;
            hi = std::min(n, sp.hi + after);
            segs = segmentsAt(c, lo, hi, fit, minHeight);
            bool grow = false;
            for (const Segment& seg : segs) {
                if (seg.last <= sp.lo || seg.first >= sp.hi) continue;
                if (lo > 0 && seg.first < lo + edge) before *= 2, grow = true;
                if (hi < n && seg.last + edge > hi) after *= 2, grow = true;
            }
            if (!grow) break;
        }
        // A smooth picture may fit its diagonal neighbour as well in the sample: where the
        // width found follows no rows in the window, so may the one beside it.
        auto inWindow = [&](const std::vector<Segment>& ss) {
            return std::any_of(ss.begin(), ss.end(), [&](const Segment& seg) {
                return seg.last > sp.lo && seg.first < sp.hi;
            });
        };
        if (!inWindow(segs) && fit.width > minWidth && fit.vertical < 0.5 * fit.unrelated)
            for (const int d : {-1, 1}) {
                WidthFit beside = fit;
                beside.width += d;
                if (beside.width > kMaxSide) break;
                auto other = segmentsAt(c, lo, hi, beside, minHeight);
                if (inWindow(other)) {
                    fit = beside;
                    segs.swap(other);
                    break;
                }
            }
        // Pictures found wholly beside the window are taken too, so their windows are spared.
        for (const Segment& seg : segs) {
            if (!(seg.last <= sp.lo || seg.first >= sp.hi)) continue;
            if ((lo > 0 && seg.first < lo + edge) || (hi < n && seg.last + edge > hi)) continue;
            acceptAtSeam(seg, fit);
        }
        // What this window holds besides the pictures found is searched again on its own, for
        // a picture of another width.
        std::size_t cursor = sp.lo;
        for (const Segment& seg : segs) {
            if (seg.last <= sp.lo || seg.first >= sp.hi) continue;  // another window's
            if (seg.first > cursor + leftover) searchAgain(cursor, seg.first);
            cursor = std::max(cursor, seg.last);
            acceptAtSeam(seg, fit);
        }
        // So is a window where the width found fitted no picture: a picture too small to tell
        // in the width search may lie among other data that fits a width loosely.
        if (sp.hi > cursor + leftover) searchAgain(cursor, sp.hi);
    }
    // Kept only where they fit clearly: most of the rows they were found with were another
    // picture's.
    followingBeside = true;
    for (const Beside& b : beside) {
        inRowsOf = b.inRowsOf;
        const auto w = static_cast<std::size_t>(b.fit.width);
        for (const Segment& t : segmentsAt(c, b.lo, b.hi, b.fit, minHeight))
            if (confidenceFor(t.quality, t.dip, b.fit.width,
                              static_cast<int>((t.last - t.first) / w)) >= 0.9)
                accept(t, b.fit);
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.first < b.first; });
    return found;
}

void releaseScratch() {
    scratch = {};
}

std::vector<Found> analyseAtWidth(std::span<const std::uint16_t> raw, int width, int minHeight) {
    std::vector<Found> found;
    if (width < 1 || width > kMaxSide) return found;
    std::vector<std::uint16_t> words(raw.begin(), raw.end());
    for (auto& w : words) w &= 0x7FFF;
    const Channels c(words);
    const WidthFit fit = fitAt(c, width);
    if (fit.width == 0) return found;
    for (const Segment& seg : segmentsAt(c, 0, c.size(), fit, std::max(1, minHeight))) {
        const int rows = static_cast<int>((seg.last - seg.first) / static_cast<std::size_t>(width));
        if (rows < minHeight) continue;
        if (notAPicture(raw, words, seg)) {
            found.push_back({seg.first, width, std::min(rows, kMaxSide), 0, seg.roughness,
                             "rows alike in data of another kind", true});
            continue;
        }
        const double conf = confidenceFor(seg.quality, seg.dip, width, rows);
        if (!clearEnough(conf, width, rows, raw.subspan(seg.first, seg.last - seg.first))) continue;
        char reason[128];
        std::snprintf(reason, sizeof reason,
                      "rows alike at width %d: %.2f of unrelated, %.2f of beside", width,
                      seg.quality, seg.dip);
        found.push_back({seg.first, width, std::min(rows, kMaxSide), conf, seg.roughness, reason});
    }
    return found;
}

namespace {

// Every word of a small picture; of a large one, 32768 spread over it.
double meanOver(std::span<const std::uint16_t> raw, std::size_t lag, std::size_t from) {
    return meanDistance(raw, lag, from, std::size_t{1} << 15);
}

// The median distance between words at lags unrelated to rows of `w` (0: too few to tell).
double unrelatedDistance(std::span<const std::uint16_t> raw, std::size_t w) {
    std::vector<double> others;
    for (std::size_t lag = 3; lag < raw.size() / 2; lag = lag * 5 / 4 + 1)
        if (lag % w > 2 && lag % w + 2 < w) others.push_back(meanOver(raw, lag, 0));
    return others.size() < 3 ? 0 : median(others);
}

}  // namespace

RowFit rowFit(std::span<const std::uint16_t> raw, int width) {
    const auto w = static_cast<std::size_t>(std::max(1, width));
    if (w < 2 || raw.size() < 2 * w) return {};
    const double unrelated = unrelatedDistance(raw, w);
    if (unrelated <= 0) return {};
    return {meanOver(raw, w, 0), (meanOver(raw, w - 1, 1) + meanOver(raw, w + 1, 0)) / 2,
            unrelated};
}

Found wholeRows(std::span<const std::uint16_t> raw, int width) {
    Found found;
    const std::size_t n = raw.size();
    const auto w = static_cast<std::size_t>(std::max(1, width));
    if (w < 2 || n < 8 * w || n % w != 0) return found;
    const double vertical = meanOver(raw, w, 0);
    const double beside = (meanOver(raw, w - 1, 1) + meanOver(raw, w + 1, 0)) / 2;
    const double dip = vertical / std::max(0.05, beside);
    if (dip > kWeakDip) return found;
    const double unrelated = unrelatedDistance(raw, w);
    if (unrelated <= 0) return found;
    const double quality = vertical / unrelated;
    const int rows = static_cast<int>(n / w);
    if (quality > 0.5) return found;
    std::vector<std::uint16_t> words(raw.begin(), raw.end());
    for (auto& x : words) x &= 0x7FFF;
    if (otherKind(raw, Channels(words))) return found;
    const double confidence = confidenceFor(quality, dip, width, rows);
    if (!clearEnough(confidence, width, rows, raw)) return found;
    char reason[128];
    std::snprintf(reason, sizeof reason,
                  "rows alike at width %d: %.2f of unrelated, %.2f of beside", width, quality, dip);
    return {0,      width, rows,    confidence, (meanOver(raw, 1, 0) + vertical) / 2,
            reason, false, quality, dip};
}

ReadingCost readingCost(std::span<const std::uint16_t> raw, int width) {
    ReadingCost cost;
    const auto w = static_cast<std::size_t>(std::max(1, width));
    if (raw.size() <= w + 1) return cost;
    const std::size_t n = raw.size() - w - 1;
    std::uint64_t changes = 0, distance = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::uint16_t>(raw[i] & 0x7FFF);
        const auto right = static_cast<std::uint16_t>(raw[i + 1] & 0x7FFF);
        const auto below = static_cast<std::uint16_t>(raw[i + w] & 0x7FFF);
        changes += (x != right) + (x != below);
        distance += static_cast<std::uint64_t>(colourDistance(x, right) + colourDistance(x, below));
    }
    cost.changes = static_cast<double>(changes) / (2.0 * static_cast<double>(n));
    cost.roughness = static_cast<double>(distance) / (2.0 * static_cast<double>(n));
    std::vector<bool> seen(1 << 15);
    for (const std::uint16_t x : raw.first(n)) {
        cost.colours += !seen[x & 0x7FFF];
        seen[x & 0x7FFF] = true;
    }
    cost.words = n;
    return cost;
}

bool truerReading(const ReadingCost& a, const ReadingCost& b) {
    const std::size_t fewer = std::min(a.colours, b.colours);
    if (fewer * 16 <= std::min(a.words, b.words) && fewer * 3 <= std::max(a.colours, b.colours))
        return a.colours < b.colours;
    const double most = std::max(a.changes, b.changes);
    if (std::min(a.changes, b.changes) < 0.6 && std::abs(a.changes - b.changes) > 0.15 * most)
        return a.changes < b.changes;
    return a.roughness < b.roughness;
}

}  // namespace pixvue::find
