#include "screen.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixvue::find {

namespace {

#if defined(__SSE2__)
// The distances of eight pairs, one in each 16-bit lane.
__m128i distances8(const std::uint16_t* a, const std::uint16_t* b) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i five = _mm_set1_epi16(31);
    auto channel = [&](int shift) {
        const __m128i u = _mm_and_si128(_mm_srli_epi16(x, shift), five);
        const __m128i v = _mm_and_si128(_mm_srli_epi16(y, shift), five);
        return _mm_or_si128(_mm_subs_epu16(u, v), _mm_subs_epu16(v, u));
    };
    return _mm_add_epi16(_mm_add_epi16(channel(0), channel(5)), channel(10));
}
#endif

}  // namespace

void colourDistances(const std::uint16_t* a, const std::uint16_t* b, std::size_t n,
                     std::uint8_t* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        const __m128i d = distances8(a + i, b + i);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(d, d));
    }
#endif
    for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(colourDistance(a[i], b[i]));
}

std::uint64_t colourDistanceSum(const std::uint16_t* a, const std::uint16_t* b, std::size_t n) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Summed in 16-bit lanes, 64 steps of eight words at a time (64 x 93 per lane).
    while (i + 8 <= n) {
        __m128i lanes = _mm_setzero_si128();
        for (int k = 0; k < 64 && i + 8 <= n; ++k, i += 8)
            lanes = _mm_add_epi16(lanes, distances8(a + i, b + i));
        lanes = _mm_madd_epi16(lanes, _mm_set1_epi16(1));
        lanes = _mm_add_epi32(lanes, _mm_srli_si128(lanes, 8));
        lanes = _mm_add_epi32(lanes, _mm_srli_si128(lanes, 4));
        sum += static_cast<std::uint32_t>(_mm_cvtsi128_si32(lanes));
    }
#endif
    for (; i < n; ++i) sum += static_cast<std::uint64_t>(colourDistance(a[i], b[i]));
    return sum;
}
namespace {

// Constant cells at a region's edges are kept only this far: beyond, they are filler.
constexpr std::uint64_t kEdgeConstantCells = 128;
// Inside a picture: a black band, or a stretch of noise such as foliage.
constexpr std::uint64_t kInnerConstantCells = 256;
constexpr std::uint64_t kInnerRoughCells = 8;
// Cells added on both sides, so a picture's first and last words are inside its region even
// where they share a cell with filler.
constexpr std::uint64_t kMarginCells = 2;

}  // namespace

CellClass classifyCell(int equalPairs, int closePairs) {
    constexpr int pairs = static_cast<int>(kCellWords);
    // One value throughout: zero or 0xFF filler, or a flat part of a picture; a region may
    // pass through it but never starts in it.
    if (equalPairs == pairs) return CellClass::Constant;
    if (equalPairs + closePairs >= pairs * 45 / 100) return CellClass::Smooth;
    return CellClass::Rough;
}

std::size_t screenCells(std::span<const std::byte> bytes, int parity, std::vector<CellClass>& out) {
    const std::size_t size = bytes.size();
    const std::size_t p = static_cast<std::size_t>(parity);
    if (size < p + kCellBytes + 2) return 0;
    const std::size_t cells = (size - p - 2) / kCellBytes;
    out.resize(cells);
    const std::byte* base = bytes.data() + p;
    for (std::size_t k = 0; k < cells; ++k) {
        const std::byte* cell = base + k * kCellBytes;
        int equal = 0;
        int close = 0;
#if defined(__SSE2__)
        // Eight pairs at a time, each word against the one after it.
        const __m128i five = _mm_set1_epi16(31);
        const __m128i zero = _mm_setzero_si128();
        const __m128i limit = _mm_set1_epi16(kCloseDistance + 1);
        __m128i equalSum = zero, closeSum = zero;
        for (std::size_t v = 0; v < kCellWords / 8; ++v) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell + 16 * v));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell + 16 * v + 2));
            __m128i d = zero;
            for (int shift : {0, 5, 10}) {
                const __m128i ca = _mm_and_si128(_mm_srli_epi16(a, shift), five);
                const __m128i cb = _mm_and_si128(_mm_srli_epi16(b, shift), five);
                d = _mm_add_epi16(d, _mm_max_epi16(_mm_sub_epi16(ca, cb), _mm_sub_epi16(cb, ca)));
            }
            const __m128i same = _mm_cmpeq_epi16(d, zero);
            equalSum = _mm_sub_epi16(equalSum, same);
            closeSum = _mm_sub_epi16(closeSum, _mm_andnot_si128(same, _mm_cmplt_epi16(d, limit)));
        }
        alignas(16) std::uint16_t lanes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), equalSum);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 8), closeSum);
        for (int i = 0; i < 8; ++i) {
            equal += lanes[i];
            close += lanes[8 + i];
        }
#else
        std::uint16_t previous = wordAt(cell);
        for (std::size_t i = 1; i <= kCellWords; ++i) {
            const std::uint16_t word = wordAt(cell + 2 * i);
            const int d = colourDistance(previous, word);
            equal += d == 0;
            close += d != 0 && d <= kCloseDistance;
            previous = word;
        }
#endif
        out[k] = classifyCell(equal, close);
    }
    return cells;
}

void RegionBuilder::push(CellClass cell) {
    const std::uint64_t k = next_++;
    if (!open_) {
        if (cell == CellClass::Smooth) {
            open_ = true;
            first_ = k - std::min(constantRun_, kEdgeConstantCells);
            lastSmooth_ = lastKept_ = k;
            roughRun_ = 0;
            constantRun_ = 0;
        } else {
            constantRun_ = cell == CellClass::Constant ? constantRun_ + 1 : 0;
        }
        return;
    }
    switch (cell) {
        case CellClass::Smooth:
            lastSmooth_ = lastKept_ = k;
            roughRun_ = 0;
            constantRun_ = 0;
            break;
        case CellClass::Constant:
            lastKept_ = k;
            roughRun_ = 0;
            if (++constantRun_ > kInnerConstantCells) {
                close(lastSmooth_ + kEdgeConstantCells);
                constantRun_ = kInnerConstantCells;
            }
            break;
        case CellClass::Rough:
            constantRun_ = 0;
            if (++roughRun_ > kInnerRoughCells) {
                close(std::min(lastKept_, lastSmooth_ + kEdgeConstantCells));
                roughRun_ = 0;
            }
            break;
    }
}

void RegionBuilder::close(std::uint64_t lastCell) {
    open_ = false;
    const std::uint64_t begin = first_ > kMarginCells ? first_ - kMarginCells : 0;
    const std::uint64_t end = lastCell + 1 + kMarginCells;
    closed_.push_back({begin * kCellWords, std::min(end * kCellWords, totalWords_)});
}

void RegionBuilder::finish(std::uint64_t totalWords) {
    totalWords_ = totalWords;
    // The words after the last whole cell belong to the region that reaches them.
    if (open_) {
        open_ = false;
        const std::uint64_t begin = first_ > kMarginCells ? first_ - kMarginCells : 0;
        closed_.push_back({begin * kCellWords, totalWords});
    }
}

std::vector<RegionBuilder::Range> RegionBuilder::take() {
    std::vector<Range> taken;
    taken.swap(closed_);
    return taken;
}

}  // namespace pixvue::find
