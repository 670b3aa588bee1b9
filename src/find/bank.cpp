#include "bank.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>

#include "find/screen.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixvue::find {
namespace {

constexpr unsigned kMaxSide = 1024;
// Bytes from a header's first byte to its picture's: the width, and perhaps the height and
// more fields.
constexpr std::size_t kLeastHeader = 2, kMostHeader = 16;

unsigned number(std::span<const std::byte> b, std::size_t at, bool bigEndian) {
    const unsigned first = std::to_integer<unsigned>(b[at]);
    const unsigned second = std::to_integer<unsigned>(b[at + 1]);
    return bigEndian ? first << 8 | second : second << 8 | first;
}

// Mean distance from each word of row r of the picture at `start` to the word above it.
double rowStep(std::span<const std::byte> bytes, std::size_t start, std::size_t w, std::size_t r) {
    const std::byte* above = bytes.data() + start + 2 * w * (r - 1);
    const std::byte* p = above + 2 * w;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < w; ++i)
        sum += static_cast<std::uint64_t>(colourDistance(wordAt(p + 2 * i), wordAt(above + 2 * i)));
    return static_cast<double>(sum) / static_cast<double>(w);
}

// How many rows from `start` fit each other as the rows of the `known` pictures do: up to the
// first two rows in a row that step further than halfway to unrelated words.
std::size_t fittingRows(std::span<const std::byte> bytes, std::size_t start, std::size_t w,
                        std::span<const BankPicture> known) {
    double within = 0, rows = 0;
    for (const BankPicture& p : known)
        for (std::size_t r = 1; r < static_cast<std::size_t>(p.height); ++r, ++rows)
            within += rowStep(bytes, p.address, w, r);
    within /= std::max(1.0, rows);
    // Unrelated: rows of one picture against another's.
    double apart = 0;
    std::size_t pairs = 0;
    for (std::size_t a = 0; a + 1 < known.size(); ++a) {
        const std::byte* x = bytes.data() + known[a].address;
        const std::byte* y = bytes.data() + known[a + 1].address;
        for (std::size_t i = 0; i < w; ++i, ++pairs)
            apart += colourDistance(wordAt(x + 2 * i), wordAt(y + 2 * ((i + w / 2) % w)));
    }
    apart /= static_cast<double>(std::max<std::size_t>(1, pairs));
    const double limit = (within + apart) / 2;
    // Rows of one value, the same as the row above, are filler after the picture (zeros, say).
    auto filler = [&](std::size_t r) {
        const std::byte* above = bytes.data() + start + 2 * w * (r - 1);
        const std::byte* p = above + 2 * w;
        for (std::size_t i = 0; i < 2 * w; ++i)
            if (p[i] != p[i % 2] || p[i] != above[i]) return false;
        return true;
    };
    std::size_t h = 1;
    while (h < kMaxSide && start + 2 * w * (h + 2) <= bytes.size()) {
        if (filler(h) && filler(h + 1)) break;
        if (rowStep(bytes, start, w, h) > limit && rowStep(bytes, start, w, h + 1) > limit) break;
        ++h;
    }
    return h;
}

}  // namespace

bool repeatsAsRecords(std::span<const std::byte> bytes, std::span<const BankPicture> pictures,
                      int width) {
    if (pictures.empty()) return false;
    const std::size_t lo = pictures.front().address;
    const std::size_t hi = std::min<std::size_t>(
        bytes.size(),
        pictures.back().address +
            2 * static_cast<std::size_t>(width) * static_cast<std::size_t>(pictures.back().height));
    if (hi <= lo) return false;
    const std::size_t n = hi - lo;
    // The share of bytes like the one `lag` bytes on, over up to 4000 of them.
    auto alike = [&](std::size_t lag) {
        if (lag >= n) return 0.0;
        const std::size_t step = std::max<std::size_t>(1, (n - lag) / 4000);
        std::size_t same = 0, counted = 0;
        for (std::size_t i = lo; i + lag < hi; i += step, ++counted)
            same += bytes[i] == bytes[i + lag];
        return static_cast<double>(same) / static_cast<double>(counted);
    };
    const std::size_t row = 2 * static_cast<std::size_t>(width);
    const double natural = std::max(alike(4), alike(row));
    for (std::size_t lag = 6; lag <= 200 && 4 * lag <= n; lag += 2) {
        if (lag == row) continue;
        const double share = alike(lag);
        if (share >= 0.85 && share >= natural + 0.15) return true;
    }
    return false;
}

bool rowsFit(std::span<const std::byte> bytes, std::span<const BankPicture> pictures, int width,
             double within) {
    const auto w = static_cast<std::size_t>(width);
    std::uint64_t below = 0, apart = 0;
    for (const BankPicture& p : pictures) {
        const std::size_t words = w * static_cast<std::size_t>(p.height);
        const std::size_t far = words / 2 + w / 2;
        const std::size_t step = std::max<std::size_t>(1, words / 4096);
        const std::byte* first = bytes.data() + p.address;
        for (std::size_t i = 0; i + w < words; i += step) {
            const std::uint16_t x = wordAt(first + 2 * i);
            below += static_cast<std::uint64_t>(colourDistance(x, wordAt(first + 2 * (i + w))));
            apart += static_cast<std::uint64_t>(
                colourDistance(x, wordAt(first + 2 * ((i + far) % words))));
        }
    }
    return static_cast<double>(below) < within * static_cast<double>(apart);
}

std::vector<std::vector<BankPicture>> banksAfterHeaders(std::span<const std::byte> bytes,
                                                        int width) {
    struct Chain {
        std::vector<BankPicture> pictures;
        bool sized;
        double chance;  // how likely its links are by chance
    };
    std::vector<Chain> chains;
    std::vector<std::vector<BankPicture>> out;
    if (width < 1 || width > static_cast<int>(kMaxSide)) return out;
    const auto w = static_cast<std::size_t>(width);
    const std::size_t row = 2 * w;
    const std::size_t n = bytes.size();
    for (const bool big : {false, true}) {
        // Where a header may start: the width, not within a run of that number (a flat area
        // whose colour happens to read as the width). Found by the byte of the width that is
        // not zero, zero bytes being common.
        const auto first = static_cast<unsigned char>(big ? w >> 8 : w & 0xFF);
        const auto second = static_cast<unsigned char>(big ? w & 0xFF : w >> 8);
        const bool bySecond = first == 0;
        const unsigned char key = bySecond ? second : first;
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        std::vector<std::size_t> at;
        for (std::size_t p = 0; n >= 4 && p < n;) {
            const void* hit = std::memchr(data + p, key, n - p);
            if (!hit) break;
            const auto q = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
            p = q + 1;
            if (bySecond && q == 0) continue;
            const std::size_t x = bySecond ? q - 1 : q;
            if (x + 4 <= n && number(bytes, x, big) == w &&
                (x < 2 || number(bytes, x - 2, big) != w))
                at.push_back(x);
        }
        // More than one every few dozen bytes: no pictures of any size between them.
        if (at.size() < 2 || at.size() > n / 32) continue;
        auto index = [&](std::size_t y) {
            const auto it = std::lower_bound(at.begin(), at.end(), y);
            return it != at.end() && *it == y ? it - at.begin() : std::ptrdiff_t{-1};
        };
        for (std::size_t k = kLeastHeader; k <= kMostHeader; ++k) {
            // With the height in the header, the next header lies where it says: a chance
            // match of a few bytes twice over is unlikely. A header of the width alone (or
            // with the height's low byte) leads to the next one whole rows on, which a pixel
            // of that value may also be: only a longer chain tells.
            const bool sized = k >= 4;
            // How likely a header links to another by chance: for a header with the height,
            // the one place it leads to; without, one of the next h rows' starts, for a
            // picture of h rows. (Headers may all lie at one parity: twice the share of bytes
            // they start at.)
            const double density = 2 * static_cast<double>(at.size()) / static_cast<double>(n);
            auto byChance = [&](std::size_t rows) {
                return sized ? density
                             : std::min(1.0, density * static_cast<double>(rows) /
                                                 (k == 3 ? 256.0 : 1.0));
            };
            std::vector<std::ptrdiff_t> next(at.size(), -1);
            std::vector<char> reached(at.size(), 0);
            for (std::size_t i = 0; i < at.size(); ++i) {
                if (sized) {
                    const std::size_t h = number(bytes, at[i] + 2, big);
                    if (h >= 1 && h <= kMaxSide) next[i] = index(at[i] + k + row * h);
                } else {
                    const std::size_t limit = at[i] + k + row * kMaxSide;
                    for (std::size_t j = i + 1; j < at.size() && at[j] <= limit && j < i + 256;
                         ++j) {
                        if (at[j] < at[i] + k + row || (at[j] - at[i] - k) % row != 0) continue;
                        const std::size_t h = (at[j] - at[i] - k) / row;
                        if (k == 3 && std::to_integer<std::size_t>(bytes[at[i] + 2]) != (h & 255))
                            continue;
                        // A link as long as chance makes them is none: a header by chance
                        // before a bank must not take the bank's chain with it.
                        if (byChance(h) >= 0.05) break;
                        next[i] = static_cast<std::ptrdiff_t>(j);
                        break;
                    }
                }
                if (next[i] >= 0) reached[static_cast<std::size_t>(next[i])] = 1;
            }
            for (std::size_t i = 0; i < at.size(); ++i) {
                if (reached[i] || next[i] < 0) continue;
                std::vector<BankPicture> chain;
                // The last picture's first byte, where its height is not given.
                std::size_t tail = n;
                for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i); j >= 0;
                     j = next[static_cast<std::size_t>(j)]) {
                    const std::size_t x = at[static_cast<std::size_t>(j)];
                    const std::ptrdiff_t to = next[static_cast<std::size_t>(j)];
                    std::size_t h = 0;
                    if (to >= 0)
                        h = (at[static_cast<std::size_t>(to)] - x - k) / row;
                    else if (sized)
                        h = number(bytes, x + 2, big);
                    else
                        tail = x + k;
                    if (h < 1 || h > kMaxSide || x + k + row * h > n) break;
                    chain.push_back({x + k, static_cast<int>(h)});
                }
                // Where the width is a common word here (a dark colour in a photograph, a
                // small number in a table), headers line up by chance: a chain counts only if
                // its links would hardly ever happen so anywhere here. (A chain of headers
                // without the height must show rows too, below.)
                double chance =
                    static_cast<double>(at.size() * (kMostHeader - kLeastHeader + 1) * 2);
                // Followed to the first header whole rows on, links in other data come out as
                // long as chance makes them, links of a bank as its pictures are tall: each
                // must be far shorter than chance would make it.
                bool allShort = true;
                for (std::size_t p = 0; p + (sized ? 1 : 0) < chain.size(); ++p) {
                    const double link = byChance(static_cast<std::size_t>(chain[p].height));
                    chance *= link;
                    allShort = allShort && (sized || link < 0.05);
                }
                if (!allShort) continue;
                if (chain.empty() || chance > (sized ? 0.01 : 0.1)) continue;
                if (!sized) {
                    // Rows must fit, unless the links are far too many for any chance.
                    if (chain.size() < 2 || (chance > 1e-6 && !rowsFit(bytes, chain, width)))
                        continue;
                    // The last picture has no header after it: its rows go on while they fit
                    // each other about as well as those of the pictures before it do.
                    if (tail < n) {
                        // No taller than twice the others, lest it run on over a picture of
                        // about the same width.
                        std::size_t tallest = 0;
                        for (const BankPicture& p : chain)
                            tallest = std::max(tallest, static_cast<std::size_t>(p.height));
                        std::size_t h = std::min(2 * tallest, fittingRows(bytes, tail, w, chain));
                        // Pictures all of one height (icons, tiles, glyphs): the last one too,
                        // where its rows go on at least that far (into what follows it).
                        if (chain.size() >= 2 && h >= tallest &&
                            std::all_of(chain.begin(), chain.end(), [&](const BankPicture& p) {
                                return static_cast<std::size_t>(p.height) == tallest;
                            }))
                            h = tallest;
                        if (k == 3 && h > 0) {
                            const std::size_t low = std::to_integer<std::size_t>(bytes[tail - 1]);
                            std::size_t best = low;
                            for (std::size_t c = low; c <= kMaxSide; c += 256)
                                if ((c > h ? c - h : h - c) < (best > h ? best - h : h - best))
                                    best = c;
                            h = best;
                        }
                        if (h >= 1 && tail + row * h <= n)
                            chain.push_back({tail, static_cast<int>(h)});
                    }
                }
                if (!chain.empty()) chains.push_back({std::move(chain), sized, chance});
            }
        }
    }
    // Two chains over the same bytes: headers matched by chance in one of them at least (a
    // header read a byte off, a pixel of the width's value). Headers with the height hold over
    // those without, then the longer chain, then the one less likely by chance (of two chains
    // that meet, the one whose links before they do are the shorter); of two alike, neither.
    auto rank = [](const Chain& c) { return std::pair{c.sized, c.pictures.size()}; };
    auto crosses = [&](const Chain& a, const Chain& b) {
        const auto end = [&](const Chain& c) {
            return c.pictures.back().address +
                   2 * w * static_cast<std::size_t>(c.pictures.back().height);
        };
        return a.pictures.front().address < end(b) && b.pictures.front().address < end(a);
    };
    for (std::size_t i = 0; i < chains.size(); ++i) {
        bool beaten = false;
        for (std::size_t j = 0; j < chains.size() && !beaten; ++j)
            beaten = j != i && crosses(chains[i], chains[j]) &&
                     (rank(chains[j]) > rank(chains[i]) ||
                      (rank(chains[j]) == rank(chains[i]) && chains[j].chance <= chains[i].chance));
        if (!beaten) out.push_back(chains[i].pictures);
    }
    return out;
}

std::vector<Bank> banksOfAnyWidth(std::span<const std::byte> bytes, int minWidth) {
    // Small: in a table of small numbers nearly every word pair reads as one.
    struct Header {
        std::uint32_t at;
        std::uint16_t width, height;
    };
    bytes = bytes.first(std::min<std::size_t>(bytes.size(), INT32_MAX));
    struct Found {
        Bank bank;
        std::size_t end;
    };
    std::vector<Found> found;
    const std::size_t n = bytes.size();
    const auto least = static_cast<unsigned>(std::max(8, minWidth));
    // Headers of two 16-bit sizes, or of the width and one byte of height (pictures under 256
    // rows), in either byte order.
    for (int layout = 0; layout < 4; ++layout) {
        const bool big = (layout & 1) != 0, heightByte = layout >= 2;
        // Sizes up to 1024 have a high byte of at most 4.
        const std::size_t high = big ? 0 : 1;
        auto headerAt = [&](std::size_t x, unsigned& w, unsigned& h) {
            if (std::to_integer<unsigned>(bytes[x + high]) > 4 ||
                (!heightByte && std::to_integer<unsigned>(bytes[x + 2 + high]) > 4))
                return false;
            w = number(bytes, x, big);
            h = heightByte ? std::to_integer<unsigned>(bytes[x + 2]) : number(bytes, x + 2, big);
            return w >= least && w <= kMaxSide && h >= 1 && h <= kMaxSide &&
                   (x < 2 || number(bytes, x - 2, big) != w);
        };
        // Every header, to `found(x, w, h)`: sixteen places at a time are first told apart by
        // their high bytes, as most bytes of any data are over 4.
        auto forEachHeader = [&](auto found) {
            std::size_t x = 0;
            unsigned w = 0, h = 0;
#if defined(__SSE2__)
            const std::byte* p = bytes.data() + high;
            const __m128i four = _mm_set1_epi8(4), zero = _mm_setzero_si128();
            for (; x + 20 <= n; x += 16) {
                auto small = [&](const std::byte* at) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
                    return _mm_cmpeq_epi8(_mm_subs_epu8(v, four), zero);
                };
                // A height byte of zero is none: black pixels are common.
                auto mask = static_cast<unsigned>(_mm_movemask_epi8(
                    heightByte
                        ? _mm_andnot_si128(
                              _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                 bytes.data() + x + 2)),
                                             zero),
                              small(p + x))
                        : _mm_and_si128(small(p + x), small(p + x + 2))));
                for (; mask != 0; mask &= mask - 1) {
                    const std::size_t at = x + static_cast<std::size_t>(std::countr_zero(mask));
                    if (headerAt(at, w, h)) found(at, w, h);
                }
            }
#endif
            for (; x + 4 <= n; ++x)
                if (headerAt(x, w, h)) found(x, w, h);
        };
        std::vector<std::size_t> count(kMaxSide + 1, 0);
        std::vector<Header> at;
        auto header = [](std::size_t x, unsigned w, unsigned h) {
            return Header{static_cast<std::uint32_t>(x), static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(h)};
        };
        if (heightByte) {
            // Far more places read as such a header: counted, but kept only where one leads
            // to another or is led to (the links are all a chain is made of).
            forEachHeader([&](std::size_t x, unsigned w, unsigned h) {
                ++count[w];
                const std::size_t y = x + 3 + 2 * std::size_t{w} * h;
                unsigned w2 = 0, h2 = 0;
                if (y + 4 <= n && number(bytes, y, big) == w && headerAt(y, w2, h2)) {
                    at.push_back(header(x, w, h));
                    at.push_back(header(y, w2, h2));
                }
            });
            std::sort(at.begin(), at.end(),
                      [](const Header& a, const Header& b) { return a.at < b.at; });
            at.erase(std::unique(at.begin(), at.end(),
                                 [](const Header& a, const Header& b) { return a.at == b.at; }),
                     at.end());
        }
        // Headers of a width closer together than its smallest picture would be, with its
        // header, are no bank's: data full of that number (small numbers of a table, say).
        // Left out, they cannot make the search slow or large either.
        if (!heightByte) forEachHeader([&](std::size_t, unsigned w, unsigned) { ++count[w]; });
        for (std::size_t v = 0; v <= kMaxSide; ++v)
            if (count[v] * (2 * v + 4) > n) count[v] = 0;
        // Where a header may start every few bytes (a table of small numbers, every word a
        // size), no chain could be told from chance, nor the search held small.
        if (std::accumulate(count.begin(), count.end(), std::size_t{0}) * 8 > n) continue;
        if (heightByte)
            std::erase_if(at, [&](const Header& hd) { return count[hd.width] == 0; });
        else {
            at.reserve(std::accumulate(count.begin(), count.end(), std::size_t{0}));
            forEachHeader([&](std::size_t x, unsigned w, unsigned h) {
                if (count[w] > 0) at.push_back(header(x, w, h));
            });
        }
        const auto widths = static_cast<std::size_t>(
            std::count_if(count.begin(), count.end(), [](std::size_t c) { return c >= 2; }));
        // Which bytes a header starts at, a bit each, with the headers before each 64 counted:
        // a header's index from its place at once, however many there are.
        std::vector<std::uint64_t> starts((n + 63) / 64, 0);
        for (const Header& hd : at) starts[hd.at / 64] |= std::uint64_t{1} << (hd.at % 64);
        std::vector<std::uint32_t> before(starts.size(), 0);
        for (std::size_t k = 1; k < starts.size(); ++k)
            before[k] = before[k - 1] + static_cast<std::uint32_t>(std::popcount(starts[k - 1]));
        auto index = [&](std::size_t y, unsigned w) {
            if (y + 4 > n || number(bytes, y, big) != w) return std::ptrdiff_t{-1};
            const std::uint64_t bit = std::uint64_t{1} << (y % 64);
            if ((starts[y / 64] & bit) == 0) return std::ptrdiff_t{-1};
            const auto i = static_cast<std::size_t>(before[y / 64]) +
                           static_cast<std::size_t>(std::popcount(starts[y / 64] & (bit - 1)));
            return at[i].width == w ? static_cast<std::ptrdiff_t>(i) : std::ptrdiff_t{-1};
        };
        // For each header length: the header each one leads to, and whether one leads to it
        // (marked with the length, so the marks need no clearing).
        std::vector<std::int32_t> next(at.size());
        std::vector<unsigned char> reached(at.size(), 0);
        for (std::size_t k = heightByte ? 3 : 4; k <= (heightByte ? 3 : kMostHeader); ++k) {
            for (std::size_t i = 0; i < at.size(); ++i) {
                next[i] = static_cast<std::int32_t>(
                    index(at[i].at + k + 2 * std::size_t{at[i].width} * at[i].height, at[i].width));
                if (next[i] >= 0)
                    reached[static_cast<std::size_t>(next[i])] = static_cast<unsigned char>(k);
            }
            for (std::size_t i = 0; i < at.size(); ++i) {
                if (reached[i] == k || next[i] < 0) continue;
                const unsigned w = at[i].width;
                // Chains of a link or two are common by chance where headers are: counted
                // before they are gathered.
                std::size_t links = 0;
                for (std::ptrdiff_t j = next[i]; j >= 0 && links < 64;
                     j = next[static_cast<std::size_t>(j)])
                    ++links;
                const double density = 2 * static_cast<double>(count[w]) / static_cast<double>(n);
                if (static_cast<double>(count[w] * (kMostHeader - 3) * 2 * widths) *
                        std::pow(density, static_cast<double>(links)) >
                    0.01)
                    continue;
                Bank bank{static_cast<int>(w), {}};
                std::size_t end = 0;
                for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i); j >= 0;
                     j = next[static_cast<std::size_t>(j)]) {
                    const Header& hd = at[static_cast<std::size_t>(j)];
                    end = hd.at + k + 2 * std::size_t{w} * hd.height;
                    if (end > n) break;
                    bank.pictures.push_back({hd.at + k, static_cast<int>(hd.height)});
                }
                // As for one width, with the headers of this width, and as many times over
                // as there are widths to chain by chance.
                double chance = static_cast<double>(count[w] * (kMostHeader - 3) * 2 * widths);
                for (std::size_t p = 1; p < bank.pictures.size(); ++p) chance *= density;
                if (bank.pictures.size() < 2 || chance > 0.01) continue;
                end = bank.pictures.back().address +
                      2 * std::size_t{w} * static_cast<std::size_t>(bank.pictures.back().height);
                found.push_back({std::move(bank), end});
            }
        }
    }
    std::vector<Bank> out;
    for (std::size_t i = 0; i < found.size(); ++i) {
        bool beaten = false;
        for (std::size_t j = 0; j < found.size() && !beaten; ++j)
            beaten = j != i && found[i].bank.pictures.front().address < found[j].end &&
                     found[j].bank.pictures.front().address < found[i].end &&
                     found[j].bank.pictures.size() >= found[i].bank.pictures.size();
        if (!beaten) out.push_back(found[i].bank);
    }
    return out;
}

}  // namespace pixvue::find
