#include "analyse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "screen.h"

namespace pixvue::find {
namespace {

constexpr int kMaxSide = 1024;
// Words compared per sample run; the sums below vectorise over a run.
constexpr std::size_t kRun = 32;
constexpr std::size_t kMaxRuns = 96;

unsigned sumAbs(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<unsigned>(std::abs(a[i] - b[i]));
    return s;
}

unsigned runDistance(const Channels& c, std::size_t at, std::size_t lag, std::size_t n) {
    return sumAbs(&c.r[at], &c.r[at + lag], n) + sumAbs(&c.g[at], &c.g[at + lag], n) +
           sumAbs(&c.b[at], &c.b[at + lag], n);
}

// Sample runs spread evenly over [lo, hi - reach).
std::vector<std::size_t> sampleRuns(std::size_t lo, std::size_t hi, std::size_t reach) {
    std::vector<std::size_t> runs;
    if (hi < lo + reach + kRun) return runs;
    const std::size_t span = hi - reach - kRun - lo;
    const std::size_t count = std::min(kMaxRuns, span / kRun + 1);
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

WidthFit searchWidth(const Channels& c, std::size_t lo, std::size_t hi, int minWidth,
                     int maxWidth) {
    WidthFit fit;
    if (hi > c.size()) hi = c.size();
    if (hi <= lo) return fit;
    maxWidth = std::min<int>(maxWidth, static_cast<int>((hi - lo) / 3));
    if (maxWidth < minWidth) return fit;
    const auto runs = sampleRuns(lo, hi, static_cast<std::size_t>(maxWidth));
    if (runs.size() < 2) return fit;

    std::vector<double> mean(static_cast<std::size_t>(maxWidth) + 1, 0);
    std::vector<double> better(mean.size(), 0);
    std::vector<unsigned> perRun(runs.size());
    const double perSample = 1.0 / kRun;
    for (int w = minWidth; w <= maxWidth; ++w) {
        unsigned total = 0;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            perRun[k] = runDistance(c, runs[k], static_cast<std::size_t>(w), kRun);
            total += perRun[k];
        }
        mean[w] = total * perSample / static_cast<double>(runs.size());
        // The better-fitting half: a stretch may hold another picture, or filler, beside this one.
        const std::size_t half = (runs.size() + 1) / 2;
        std::nth_element(perRun.begin(), perRun.begin() + half - 1, perRun.end());
        better[w] = std::accumulate(perRun.begin(), perRun.begin() + half, 0.0) * perSample /
                    static_cast<double>(half);
    }
    int best = minWidth;
    for (int w = minWidth; w <= maxWidth; ++w)
        if (better[w] < better[best]) best = w;
    // A picture also matches itself two or three rows down; take the narrowest width that
    // fits as well as the best one.
    for (int k = best / minWidth; k >= 2; --k) {
        if (best % k != 0) continue;
        const int w = best / k;
        if (better[w] <= better[best] * 1.1 + 0.1) {
            best = w;
            break;
        }
    }
    fit.width = best;
    fit.vertical = better[best];
    fit.unrelated = median(std::vector<double>(mean.begin() + minWidth, mean.end()));
    double horizontal = 0;
    for (std::size_t at : runs) horizontal += runDistance(c, at, 1, kRun);
    fit.horizontal = horizontal * perSample / static_cast<double>(runs.size());
    return fit;
}

const char* otherKind(std::span<const std::uint16_t> raw, const Channels& c) {
    const std::size_t n = raw.size();
    const auto runs = sampleRuns(0, n, 4);
    if (runs.empty()) return nullptr;
    double lag[5] = {};
    for (std::size_t at : runs)
        for (std::size_t k = 1; k <= 4; ++k) lag[k] += runDistance(c, at, k, kRun);
    // Interleaved data (two or three words a pixel or a sample frame) matches best a few
    // words on, not at the next word.
    if (std::min({lag[2], lag[3], lag[4]}) < 0.7 * lag[1]) return "interleaved data";

    int carries = 0, jumps = 0, mirrored = 0, counted = 0;
    double smooth555 = 0, smooth565 = 0;
    for (std::size_t at : runs) {
        for (std::size_t i = at; i < at + kRun; ++i) {
            const std::uint16_t a = raw[i], b = raw[i + 1];
            const int d = c.distance(i, i + 1);
            // A sampled wave: the words are close as numbers while the low channel wraps.
            const int step = static_cast<std::int16_t>(static_cast<std::uint16_t>(b - a));
            if (d >= 20) {
                ++jumps;
                if (std::abs(step) < 64) ++carries;
            }
            // 16-bit colour with six bits of green: far smoother read that way.
            const int r5 = std::abs((a >> 11) - (b >> 11));
            const int g6 = std::abs((a >> 5 & 63) - (b >> 5 & 63));
            const int b5 = std::abs((a & 31) - (b & 31));
            smooth565 += r5 + g6 / 2.0 + b5;
            smooth555 += d;
            // Bytes of 8-bit or 4-bit indexed pixels: in flat areas both bytes of a word agree.
            if ((a & 0x7FFF) != 0 && (a & 0x7FFF) != 0x7FFF) {
                ++counted;
                if ((a & 0x7F) == (a >> 8 & 0x7F)) ++mirrored;
            }
        }
    }
    if (jumps >= 16 && carries * 10 >= jumps * 3) return "sampled wave";
    if (smooth565 < 0.7 * smooth555) return "16-bit colour of another layout";
    if (counted >= 64 && mirrored * 4 >= counted) return "indexed pixels";
    return nullptr;
}

namespace {

struct Segment {
    std::size_t first;  // the picture's first word
    std::size_t last;   // one past its last word
    double quality;     // mean distance to the row below, as a share of unrelated distance
    double roughness;
};

// Finds the pictures of width w among words [lo, hi), given a fit.
std::vector<Segment> segmentsAt(const Channels& c, std::size_t lo, std::size_t hi,
                                const WidthFit& fit, int minHeight) {
    std::vector<Segment> out;
    const std::size_t w = static_cast<std::size_t>(fit.width);
    if (hi < lo + 2 * w) return out;
    const std::size_t n = hi - w - lo;  // vertical pairs j, j + w with j in [lo, hi - w)
    const double tau = std::max(2.0, (fit.vertical + fit.unrelated) / 2);
    // Prefix sums of the clipped score (positive where a word fits the one below, in quarters)
    // and of the count of fitting words.
    const int tau4 = static_cast<int>(std::lround(4 * tau));
    std::vector<std::int32_t> score(n + 1, 0);
    std::vector<std::uint32_t> good(n + 1, 0);
    std::vector<std::uint8_t> vd(n);
    for (std::size_t j = 0; j < n; ++j) {
        const int d = c.distance(lo + j, lo + j + w);
        vd[j] = static_cast<std::uint8_t>(d);
        score[j + 1] = score[j] + tau4 - std::min(4 * d, 2 * tau4);
        good[j + 1] = good[j] + (4 * d <= tau4);
    }
    const std::size_t window = std::max<std::size_t>(w, 32);
    if (n < window) return out;
    auto core = [&](std::size_t j) { return (good[j + window] - good[j]) * 10 >= window * 6; };
    auto scoreIn = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
        a = std::clamp<std::ptrdiff_t>(a, 0, static_cast<std::ptrdiff_t>(n));
        b = std::clamp<std::ptrdiff_t>(b, 0, static_cast<std::ptrdiff_t>(n));
        return static_cast<double>(score[static_cast<std::size_t>(b)]) -
               score[static_cast<std::size_t>(a)];
    };
    const auto L = static_cast<std::ptrdiff_t>(window);
    std::size_t j = 0;
    const std::size_t last = n - window;
    while (j <= last) {
        if (!core(j)) {
            ++j;
            continue;
        }
        std::size_t k = j;
        while (k + 1 <= last && core(k + 1)) ++k;
        // The picture's pairs begin where fitting words begin, and end where they end: the
        // sharpest change of the score within a window of the run's ends.
        const auto c0 = static_cast<std::ptrdiff_t>(j), c1 = static_cast<std::ptrdiff_t>(k);
        std::ptrdiff_t s = c0;
        double bestS = -1e300;
        for (std::ptrdiff_t t = std::max<std::ptrdiff_t>(0, c0 - L / 2); t <= c0 + L; ++t) {
            const double f = scoreIn(t, t + L) - scoreIn(t - L, t);
            if (f > bestS) bestS = f, s = t;
        }
        std::ptrdiff_t e = c1 + L;
        double bestE = -1e300;
        for (std::ptrdiff_t t = c1 + L / 2; t <= c1 + 2 * L; ++t) {
            if (t > static_cast<std::ptrdiff_t>(n)) break;
            const double f = scoreIn(t - L, t) - scoreIn(t, t + L);
            if (f > bestE) bestE = f, e = t;
        }
        j = k + 1;
        if (e <= s) continue;
        const double rows = static_cast<double>(e - s) / static_cast<double>(w) + 1;
        const auto first = lo + static_cast<std::size_t>(s);
        const auto count = static_cast<std::size_t>(std::lround(rows));
        if (count < static_cast<std::size_t>(std::max(2, minHeight))) continue;
        double sum = 0, across = 0;
        for (std::ptrdiff_t t = s; t < e; ++t) {
            sum += vd[static_cast<std::size_t>(t)];
            across +=
                c.distance(lo + static_cast<std::size_t>(t), lo + static_cast<std::size_t>(t) + 1);
        }
        const double pairs = static_cast<double>(e - s);
        const double quality = sum / pairs / std::max(1.0, fit.unrelated);
        out.push_back({first, std::min(hi, first + count * w), quality, (sum + across) / pairs});
    }
    // A row unlike the one above it (a border line, the seam between frames of a sheet) splits
    // the run; parts whose rows stay on one grid are one picture.
    std::vector<Segment> merged;
    for (const Segment& seg : out) {
        if (!merged.empty()) {
            Segment& prev = merged.back();
            const std::size_t gap = seg.first > prev.last ? seg.first - prev.last : 0;
            if ((seg.first - prev.first) % w == 0 && gap <= 2 * w) {
                const double a = static_cast<double>(prev.last - prev.first);
                const double b = static_cast<double>(seg.last - seg.first);
                prev.quality = (prev.quality * a + seg.quality * b) / (a + b);
                prev.roughness = (prev.roughness * a + seg.roughness * b) / (a + b);
                prev.last = std::max(prev.last, seg.last);
                continue;
            }
        }
        merged.push_back(seg);
    }
    return merged;
}

double confidenceFor(double quality, int width, int rows) {
    double c = std::clamp((0.75 - quality) / 0.6, 0.0, 1.0);
    if (rows < 16) c *= 0.85 + 0.01 * rows;
    if (width < 16) c *= 0.9;
    return std::clamp(c, 0.0, 1.0);
}

}  // namespace

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
    if (otherKind(raw, c) != nullptr) return found;

    struct Span {
        std::size_t lo, hi;
    };
    std::vector<Span> pending{{0, n}};
    for (int round = 0; round < 32 && !pending.empty(); ++round) {
        const Span sp = pending.back();
        pending.pop_back();
        const WidthFit fit = searchWidth(c, sp.lo, sp.hi, searchFrom, kMaxSide);
        if (fit.width == 0 || fit.vertical > 0.8 * fit.unrelated) continue;
        const auto segs = segmentsAt(c, sp.lo, sp.hi, fit, minHeight);
        std::size_t cursor = sp.lo;
        const std::size_t leftover = static_cast<std::size_t>(minWidth) * minHeight + 256;
        for (const Segment& seg : segs) {
            const int rows = static_cast<int>((seg.last - seg.first) / fit.width);
            if (seg.first > cursor + leftover) pending.push_back({cursor, seg.first});
            cursor = std::max(cursor, seg.last);
            if (fit.width < minWidth || rows < minHeight) continue;
            const double conf = confidenceFor(seg.quality, fit.width, rows);
            char reason[96];
            std::snprintf(reason, sizeof reason, "rows alike at width %d (%.2f of unrelated)",
                          fit.width, seg.quality);
            // Taller than the viewer shows: one picture per 1024 rows.
            for (int top = 0; top < rows; top += kMaxSide) {
                const int h = std::min(kMaxSide, rows - top);
                if (h < minHeight) break;
                found.push_back({seg.first + static_cast<std::size_t>(top) * fit.width, fit.width,
                                 h, conf, seg.roughness, reason});
            }
        }
        if (!segs.empty() && sp.hi > cursor + leftover) pending.push_back({cursor, sp.hi});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.first < b.first; });
    return found;
}

}  // namespace pixvue::find
