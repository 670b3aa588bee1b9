#include "finder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numeric>
#include <optional>
#include <thread>
#include <utility>

#include "decode/data_file.h"
#include "find/analyse.h"
#include "find/bank.h"
#include "find/screen.h"

namespace pixvue::find {
namespace {

// The reason of a picture a bank's header places: its size is known.
constexpr const char* kAfterHeader = "after a header giving its size";

// Blocks read in turn; a multiple of the cell size.
constexpr std::size_t kBlockBytes = 4 << 20;
// A stretch is analysed at most this many words at once, room for the largest picture and
// more; longer ones in pieces that overlap where a picture runs past a piece's end, at least
// by the rows a picture needs to be told, and that move on at least a step each.
constexpr std::uint64_t kPieceWords = 1280 * 1024;
constexpr std::uint64_t kPieceStep = kPieceWords - 1024 * 1024;
constexpr std::uint64_t kPieceOverlapWords = 32 * 1024;
// Stretches longer than this are analysed one at a time (some 21 bytes a word each).
constexpr std::uint64_t kLongStretchWords = 640 * 1024;

class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const = 0;
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::byte> out) const = 0;
};

class FileSource final : public Source {
  public:
    explicit FileSource(const DataFile& file) : file_(file) {}
    std::uint64_t size() const override { return static_cast<std::uint64_t>(file_.size()); }
    std::size_t readAt(std::uint64_t offset, std::span<std::byte> out) const override {
        return file_.readAt(static_cast<std::int64_t>(offset), out);
    }

  private:
    const DataFile& file_;
};

class MemorySource final : public Source {
  public:
    explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::byte> out) const override {
        if (offset >= bytes_.size()) return 0;
        const std::size_t n = std::min<std::size_t>(out.size(), bytes_.size() - offset);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
        return n;
    }

  private:
    std::span<const std::byte> bytes_;
};

// Runs job(i, worker) for i in [0, count) on up to `threads` threads.
template <class Job>
void parallelFor(std::size_t count, int threads, Job job) {
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; ++i) job(i, 0);
        return;
    }
    std::atomic<std::size_t> next{0};
    auto run = [&](std::size_t worker) {
        for (std::size_t i = next++; i < count; i = next++) job(i, worker);
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < workers; ++t) pool.emplace_back(run, t);
    run(0);
    for (auto& t : pool) t.join();
}

struct Stretch {
    int parity;
    std::uint64_t begin, end;  // words of that parity's stream
};

struct Ranked {
    Candidate candidate;
    double roughness;
};

// What one stretch holds: pictures found by their rows, and banks found by their headers.
struct Analysed {
    std::vector<Ranked> ranked;
    std::vector<std::vector<Candidate>> banks;
};

// `alongside`: the bank search runs on a thread of its own beside the search by rows, for a
// long stretch that has the cores to itself.
Analysed analyse(const Source& source, const Stretch& s, const FindOptions& o,
                 std::vector<std::byte>& bytes, std::vector<std::uint16_t>& words,
                 bool alongside = false) {
    const std::uint64_t offset = static_cast<std::uint64_t>(s.parity) + 2 * s.begin;
    bytes.resize(static_cast<std::size_t>(2 * (s.end - s.begin)));
    const std::size_t got = source.readAt(offset, bytes);
    Analysed out;
    // A bank of small sprites may fit rows too loosely to be found by them, while its headers
    // chain plainly.
    const std::span<const std::byte> read(bytes.data(), got);
    auto findBanks = [&] {
        for (const Bank& bank : banksOfAnyWidth(read, o.minWidth)) {
            // Four pictures or more chain by chance hardly ever: their rows need only fit
            // better than words far apart (small textured sprites fit loosely).
            if (!rowsFit(read, bank.pictures, bank.width,
                         bank.pictures.size() >= 4 ? 1 : 2.0 / 3) ||
                repeatsAsRecords(read, bank.pictures, bank.width))
                continue;
            auto& listed = out.banks.emplace_back();
            for (const BankPicture& p : bank.pictures)
                listed.push_back({offset + p.address, bank.width, p.height, 0.9, kAfterHeader});
        }
    };
    // Joined however the search by rows ends.
    std::jthread banks;
    if (alongside)
        banks = std::jthread(findBanks);
    else
        findBanks();
    words.resize(got / 2);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[2 * i]) |
                                              std::to_integer<unsigned>(bytes[2 * i + 1]) << 8);
    for (const Found& f : analyseStretch(words, o.minWidth, o.minHeight)) {
        if (f.confidence < o.minConfidence) continue;
        out.ranked.push_back(
            {{offset + 2 * f.first, f.width, f.rows, f.confidence, f.reason}, f.roughness});
    }
    if (banks.joinable()) banks.join();
    return out;
}

std::vector<std::uint16_t> wordsFrom(std::span<const std::byte> bytes) {
    std::vector<std::uint16_t> words(bytes.size() / 2);
    // Words are little-endian in the file, as in memory here: a copy (the passes over what was
    // found read every candidate's words again).
    if constexpr (std::endian::native == std::endian::little) {
        if (!words.empty()) std::memcpy(words.data(), bytes.data(), 2 * words.size());
    } else {
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[2 * i]) |
                                                  std::to_integer<unsigned>(bytes[2 * i + 1]) << 8);
    }
    return words;
}

// Up to `count` words of the file from byte `at`, read straight into them (little-endian in
// the file): fewer where the file ends.
std::vector<std::uint16_t> wordsUpTo(const Source& source, std::uint64_t at, std::size_t count) {
    std::vector<std::uint16_t> words(count);
    words.resize(source.readAt(at, std::as_writable_bytes(std::span(words))) / 2);
    if constexpr (std::endian::native != std::endian::little)
        for (auto& x : words) x = static_cast<std::uint16_t>(x << 8 | x >> 8);
    return words;
}

// The words of `count` from byte `at`, with bit 15; empty where the file ends before.
std::vector<std::uint16_t> wordsAt(const Source& source, std::uint64_t at, std::uint64_t count) {
    auto words = wordsUpTo(source, at, static_cast<std::size_t>(count));
    if (words.size() != count) words.clear();
    return words;
}

// Up to `count` words of the file from byte `at`, bit 15 dropped: fewer where the file ends.
std::vector<std::uint16_t> coloursAt(const Source& source, std::uint64_t at, std::size_t count) {
    auto words = wordsUpTo(source, at, count);
    for (auto& x : words) x &= 0x7FFF;
    return words;
}

// How closely a picture's words fit the word below: twice as much as four in five of the words
// [from, from + count) of `colours` do, rows `width` long (rows drawn twice included), 3 at least.
int closeFit(std::span<const std::uint16_t> colours, std::size_t from, std::size_t count,
             std::size_t width) {
    std::vector<int> own;
    for (std::size_t k = from; k < from + count; ++k)
        own.push_back(colourDistance(colours[k], colours[k + width]));
    if (own.empty()) return 3;
    const auto fifth = static_cast<std::ptrdiff_t>(own.size() * 8 / 10);
    std::nth_element(own.begin(), own.begin() + fifth, own.end());
    return std::max(3, 2 * own[static_cast<std::size_t>(fifth)]);
}

// The run of one value (bit 15 aside) that word `k` of `v` lies in: [from, to).
std::pair<std::size_t, std::size_t> runAround(std::span<const std::uint16_t> v, std::size_t k) {
    auto same = [](std::uint16_t x, std::uint16_t y) { return ((x ^ y) & 0x7FFF) == 0; };
    std::size_t from = k, to = k + 1;
    while (from > 0 && same(v[from - 1], v[k])) --from;
    while (to < v.size() && same(v[to], v[k])) ++to;
    return {from, to};
}

bool inFileOrder(const Candidate& a, const Candidate& b) {
    return a.address != b.address ? a.address < b.address : a.width < b.width;
}

std::uint64_t endOf(const Candidate& c) {
    return c.address +
           2ull * static_cast<std::uint64_t>(c.width) * static_cast<std::uint64_t>(c.height);
}

// The step from each word of a row to the next (the last to the next row's first), for up
// to 128 rows spread over a candidate from `address`, each passed to `row`. False where a row
// cannot be read. `known` may hold the steps from each word from `address` to the next, worked
// out already (for several widths).
template <class Row>
bool sampledRowSteps(const Source& source, std::uint64_t address, int width, int height, Row row,
                     std::span<const std::uint8_t> known = {}) {
    const auto w = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> steps(w);
    const int rows = std::min(height, 128);
    auto rowAt = [&](int k) {
        return static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(height) /
               static_cast<std::uint64_t>(rows);
    };
    // From the row's first word on, w + 1 words.
    auto stepsFrom = [&](const std::uint16_t* words) {
        colourDistances(words, words + 1, w, steps.data());
        row(std::span<const std::uint8_t>(steps));
    };
    // A candidate of up to 256 K words in one read; rows one by one where it runs past the
    // file's end, or is larger.
    if (const std::uint64_t span = w * static_cast<std::uint64_t>(height) + 1; span <= 1u << 18) {
        if (span - 1 <= known.size()) {
            for (int k = 0; k < rows; ++k) row(known.subspan(w * rowAt(k), w));
            return true;
        }
        if (const auto words = wordsAt(source, address, span); !words.empty()) {
            for (int k = 0; k < rows; ++k) stepsFrom(&words[w * rowAt(k)]);
            return true;
        }
    }
    std::vector<std::byte> bytes(2 * (w + 1));
    for (int k = 0; k < rows; ++k) {
        if (source.readAt(address + 2 * w * rowAt(k), bytes) != bytes.size()) return false;
        stepsFrom(wordsFrom(bytes).data());
    }
    return true;
}

// The step from each word to the next, summed by column over up to 128 rows of a candidate
// from `address`: where rows wrap, the column of each row's last word stands out. Empty where
// the rows cannot be read.
std::vector<double> seamColumns(const Source& source, std::uint64_t address, int width, int height,
                                std::span<const std::uint8_t> known = {}) {
    std::vector<double> column(static_cast<std::size_t>(width), 0);
    if (!sampledRowSteps(
            source, address, width, height,
            [&](std::span<const std::uint8_t> steps) {
                for (std::size_t i = 0; i < steps.size(); ++i) column[i] += steps[i];
            },
            known))
        return {};
    return column;
}

// Two parts of one picture, split where rows did not fit the next (a horizon, a line, a band
// of noise): same width, rows on one grid, at most two rows or a sixth of their rows apart. So
// are two parts on one grid with only rows of one value between them: a flat band of a
// drawing or a screenshot, taken for filler. So, nearer still, are two parts a few words off
// each other's grid where the wrap seam says so. `kept` is in file order.
std::vector<Candidate> joinParts(const Source& source, std::vector<Candidate> kept) {
    auto flatBetween = [&](std::uint64_t from, std::uint64_t to) {
        if (to - from > 2ull * kMaxSide * kMaxSide) return false;
        std::vector<std::byte> bytes(static_cast<std::size_t>(to - from));
        if (source.readAt(from, bytes) != bytes.size() || bytes.size() < 2) return false;
        // One colour, whatever bit 15 holds.
        const auto words = wordsFrom(bytes);
        return std::all_of(words.begin(), words.end(),
                           [&](std::uint16_t x) { return ((x ^ words[0]) & 0x7FFF) == 0; });
    };
    // Rows between two parts on one grid that, though they fit too loosely to be followed (a
    // noisy texture), are closer to the row below than to its words beside: the picture's own.
    auto rowsBetween = [&](std::uint64_t from, std::uint64_t to, int width) {
        const auto w = static_cast<std::size_t>(width);
        if (to - from > 2ull * kMaxSide * kMaxSide || width < 2) return false;
        std::vector<std::byte> bytes(static_cast<std::size_t>(to - from + 2 * (w + 1)));
        if (source.readAt(from, bytes) != bytes.size()) return false;
        const auto words = wordsFrom(bytes);
        double below = 0, beside = 0;
        for (std::size_t i = 1; i + w + 1 < words.size(); ++i) {
            below += colourDistance(words[i] & 0x7FFF, words[i + w] & 0x7FFF);
            beside += (colourDistance(words[i] & 0x7FFF, words[i + w - 1] & 0x7FFF) +
                       colourDistance(words[i] & 0x7FFF, words[i + w + 1] & 0x7FFF)) /
                      2.0;
        }
        return below < 0.9 * beside;
    };
    // Rows between two parts on one grid, no more of them than either part has, that step
    // along from word to word about as smoothly as the parts do: bands of a sprite's own (a
    // stripe of grain, rows of bricks), each row unlike the one above.
    auto bandsBetween = [&](const Candidate& p, const Candidate& c) {
        const std::uint64_t from = endOf(p), to = c.address;
        const auto row = 2ull * static_cast<std::uint64_t>(c.width);
        if ((to - from) / row > static_cast<std::uint64_t>(std::max(p.height, c.height)) ||
            to - from > 2ull * kMaxSide * kMaxSide)
            return false;
        auto along = [&](std::uint64_t a, std::uint64_t b) {
            std::vector<std::byte> bytes(
                static_cast<std::size_t>(std::min<std::uint64_t>(b - a, 1u << 16)));
            if (source.readAt(a, bytes) != bytes.size() || bytes.size() < 4) return -1.0;
            const auto words = wordsFrom(bytes);
            double sum = 0;
            for (std::size_t i = 0; i + 1 < words.size(); ++i)
                sum += colourDistance(words[i] & 0x7FFF, words[i + 1] & 0x7FFF);
            return sum / static_cast<double>(words.size() - 1);
        };
        const double between = along(from, to);
        const double parts = std::max(along(p.address, endOf(p)), along(c.address, endOf(c)));
        return between >= 0 && parts >= 0 && between <= 1.5 * parts + 1;
    };
    // How sharply a part's rows wrap on its own grid and on the other's, against its typical
    // column.
    struct Seams {
        double own = 0, theirs = 0, typical = 0;
        // Rows that wrap clearly: the part's own grid is the picture's.
        bool clear() const { return typical >= 1 && own >= 6 * typical + 1; }
        // Neither grid shows (a sprite on one background, whose rows meet the next on it).
        bool vague() const { return own <= 4 * typical + 1 && theirs <= 4 * typical + 1; }
    };
    auto seams = [&](const Candidate& part, const Candidate& other) {
        std::vector<double> column = seamColumns(source, part.address, part.width, part.height);
        Seams out;
        if (column.empty()) return out;
        const auto w = static_cast<std::uint64_t>(part.width);
        const std::uint64_t lo = std::min(part.address, other.address);
        const std::uint64_t phase = (std::max(part.address, other.address) - lo) / 2 % w;
        const std::uint64_t shift = part.address < other.address ? phase : w - phase;
        out.own = column[w - 1];
        out.theirs = column[(shift + w - 1) % w];
        std::nth_element(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(w / 2),
                         column.end());
        out.typical = column[w / 2];
        return out;
    };
    // The part whose grid both share, or null. Off each other's grid, one part's rows wrap more
    // sharply on the other's grid than on their own: that grid is the picture's. The shorter
    // part (started or ended at a band across the picture, where its grid is least clear) is
    // asked first. Where a part shows nothing either way, the other's grid if its rows wrap
    // clearly, or the earlier one's (whose first row follows other data) if neither shows;
    // unless they lie a header apart.
    auto sharedGrid = [&](const Candidate& p, const Candidate& c) -> const Candidate* {
        if (c.width < 8) return nullptr;
        // Parts a header's length apart: pictures of a bank, which its headers place.
        const bool bankLike = c.address >= endOf(p) && c.address - endOf(p) <= 16;
        const Seams ofP = seams(p, c), ofC = seams(c, p);
        const bool pShorter = c.height > p.height;
        const Seams& shorter = pShorter ? ofP : ofC;
        const Seams& taller = pShorter ? ofC : ofP;
        auto wraps = [](const Seams& x) { return x.theirs > 2 * x.own + 1; };
        if (wraps(shorter)) return pShorter ? &c : &p;
        if (wraps(taller)) return pShorter ? &p : &c;
        if (bankLike) return nullptr;
        if (ofC.vague() && (ofP.vague() || ofP.clear())) return &p;
        if (ofP.vague() && ofC.clear()) return &c;
        return nullptr;
    };
    // Whether `c` joins `p`, and how: moves `p` over both.
    auto join = [&](Candidate& p, const Candidate& c) {
        const std::uint64_t row = 2ull * static_cast<std::uint64_t>(c.width);
        const bool onGrid = (c.address - p.address) % row == 0;
        const std::uint64_t near =
            row * std::max<std::uint64_t>(2, static_cast<std::uint64_t>(p.height + c.height) / 6);
        const Candidate* grid = nullptr;
        // Off the grid, parts may share part of a row, or overlap: the seams choose.
        const bool offGridNear =
            !onGrid && c.address > p.address && (c.address - p.address) % 2 == 0 &&
            (c.address + row > endOf(p) ? c.address + row - endOf(p) <= near / 2 + row
                                        : c.address < endOf(p));
        // On one grid, parts that overlap are rows of one picture.
        if (p.width != c.width ||
            !((onGrid && c.address > p.address && c.address < endOf(p)) ||
              (onGrid && c.address >= endOf(p) &&
               (c.address - endOf(p) <= near || flatBetween(endOf(p), c.address) ||
                rowsBetween(endOf(p), c.address, c.width) || bandsBetween(p, c))) ||
              (offGridNear && (grid = sharedGrid(p, c)) != nullptr)))
            return false;
        const std::uint64_t from =
            grid == &c ? p.address + (c.address - p.address) % row : p.address;
        // To the nearest row, but within the data.
        const std::uint64_t end = std::max(endOf(c), endOf(p));
        const auto rows =
            static_cast<int>(std::min(end - from + row / 2, source.size() - from) / row);
        if (rows > kMaxSide) return false;
        p.confidence = (p.confidence * p.height + c.confidence * c.height) / (p.height + c.height);
        p.address = from;
        p.height = rows;
        return true;
    };
    // Smaller, less sure candidates that lie wholly between two parts of a picture are rows of
    // it (fitting loosely at a width of their own), not pictures: the parts join over them.
    auto slight = [](const Candidate& x, const Candidate& p, const Candidate& c) {
        const auto area = [](const Candidate& y) { return 1ll * y.width * y.height; };
        // A band of the picture's own, found a word or two off its grid: no larger than a part.
        const bool band = x.width == p.width && (x.address - p.address) % (2ull * p.width) != 0;
        return x.address >= endOf(p) && endOf(x) <= c.address &&
               (band ? 1 : 4) * area(x) <= std::min(area(p), area(c)) &&
               x.confidence < std::min(p.confidence, c.confidence);
    };
    // A part joined may then meet the one before it (parts of one picture a word off each
    // other's grid, the later one moved onto the first's by the part after it): again, until
    // nothing joins.
    for (;;) {
        std::vector<Candidate> joined;
        for (Candidate& c : kept) {
            if (!joined.empty() && join(joined.back(), c)) continue;
            bool over = false;
            for (std::size_t k = joined.size(); k-- > 0 && joined.size() - k <= 3;) {
                if (!std::all_of(joined.begin() + static_cast<std::ptrdiff_t>(k) + 1, joined.end(),
                                 [&](const Candidate& x) { return slight(x, joined[k], c); }))
                    continue;
                Candidate p = joined[k];
                if (k + 1 < joined.size() && join(p, c)) {
                    joined.resize(k + 1);
                    joined.back() = p;
                    over = true;
                    break;
                }
            }
            if (!over) joined.push_back(std::move(c));
        }
        if (joined.size() == kept.size()) return joined;
        kept = std::move(joined);
    }
}

// The pictures found where `length` bytes from `from` are searched again on their own, clearly
// enough to stand beside what was found before them (raw confidence 0.75 at least).
std::vector<Ranked> searchedAgain(const Source& source, std::uint64_t from, std::uint64_t length,
                                  const FindOptions& o) {
    std::vector<std::byte> bytes(static_cast<std::size_t>(length / 2 * 2));
    bytes.resize(source.readAt(from, bytes));
    std::vector<Ranked> found;
    for (const Found& f : analyseStretch(wordsFrom(bytes), o.minWidth, o.minHeight))
        if (!f.other && f.confidence >= std::max(o.minConfidence, 0.75))
            found.push_back(
                {{from + 2 * f.first, f.width, f.rows, f.confidence, f.reason}, f.roughness});
    return found;
}

// One candidate per picture: where two overlap much, the more confident one stays, and of two
// about as confident the smoother (the other is mostly the same bytes read a byte off).
std::vector<Candidate> keepBest(const Source& source, std::vector<Ranked> all,
                                const FindOptions& o) {
    const int minHeight = o.minHeight;
    // How many of the first `rows` rows of a candidate, looked at alone, are a picture of its
    // width from its first row on (0: none).
    auto rowsOnTheirOwn = [&](const Candidate& c, int rows) {
        std::vector<std::byte> bytes(2 * static_cast<std::size_t>(c.width) *
                                     static_cast<std::size_t>(rows));
        if (rows < 8 || source.readAt(c.address, bytes) != bytes.size()) return 0;
        int most = 0;
        for (const Found& f : analyseAtWidth(wordsFrom(bytes), c.width, 8))
            if (!f.other && f.confidence >= 0.5 && f.first < static_cast<std::size_t>(c.width))
                most = std::max(most, std::min(f.rows, rows));
        return most;
    };
    // Whether they are a picture from the first row to about the last.
    auto pictureOnItsOwn = [&](const Candidate& c, int rows) {
        return rowsOnTheirOwn(c, rows) * 10 >= rows * 9;
    };
    // The same picture read from the other byte is about as regular, but rougher: of two
    // readings of one stretch at one width, the smoother is the picture.
    std::sort(all.begin(), all.end(), [](const Ranked& a, const Ranked& b) {
        return a.candidate.address < b.candidate.address;
    });
    std::vector<bool> rival(all.size(), false);
    // Bytes a losing reading covered beyond the picture that won (it ran on over a picture of
    // its own byte after or before it, whose rows fit its width loosely): searched again.
    struct Beyond {
        std::uint64_t from, to;
        int width;  // of the readings
    };
    std::vector<Beyond> beyond;
    struct Earlier {
        std::size_t winner;
        std::uint64_t start;
        int rows;
    };
    std::vector<Earlier> earlier;
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size(); ++j) {
            const Candidate &a = all[i].candidate, &b = all[j].candidate;
            if (b.address >= endOf(a)) break;
            if (a.width != b.width || ((a.address ^ b.address) & 1) == 0) continue;
            const std::uint64_t overlap = std::min(endOf(a), endOf(b)) - b.address;
            const std::uint64_t smaller = std::min(endOf(a) - a.address, endOf(b) - b.address);
            if (overlap * 2 < smaller) continue;
            // Judged on the bytes both cover, each in its own reading.
            const std::uint64_t len =
                std::min<std::uint64_t>(overlap, 2ull * static_cast<std::uint64_t>(a.width) * 256);
            std::vector<std::byte> bytes(static_cast<std::size_t>(len + 2));
            bytes.resize(source.readAt(b.address - 1, bytes));
            if (bytes.size() < len + 2) {
                (all[i].roughness <= all[j].roughness ? rival[j] : rival[i]) = true;
                continue;
            }
            // From the byte before b: a's reading at byte 0, b's at byte 1.
            const auto span = std::span<const std::byte>(bytes);
            const auto wa = wordsFrom(span.subspan(0, static_cast<std::size_t>(len)));
            const auto wb = wordsFrom(span.subspan(1, static_cast<std::size_t>(len)));
            const bool aTruer = truerReading(readingCost(wa, a.width), readingCost(wb, a.width));
            const std::size_t loser = aTruer ? j : i;
            Candidate& l = all[loser].candidate;
            const Candidate& w = aTruer ? a : b;
            // Where only the loser's end reaches into the other picture, the loser keeps its
            // own rows.
            const std::uint64_t row = 2ull * static_cast<std::uint64_t>(l.width);
            if (overlap * 2 < endOf(l) - l.address) {
                if (l.address < w.address) {
                    l.height = static_cast<int>((w.address - l.address) / row);
                } else {
                    const auto skip = static_cast<int>((endOf(w) - l.address + row - 1) / row);
                    l.address += static_cast<std::uint64_t>(skip) * row;
                    l.height -= skip;
                }
                if (l.height >= std::max(2, minHeight)) continue;
            }
            rival[loser] = true;
            // Rows the loser holds before the winner, read from the winner's byte on its grid,
            // may be the same picture's (a flat title bar fits either reading): where nine in
            // ten of their words fit the word below as closely as most of the winner's first
            // rows do, and they are more than one colour, the winner starts there.
            if (l.address + 8 * row < w.address) {
                const std::uint64_t rows = (w.address - l.address) / row;
                const std::uint64_t start = w.address - rows * row;
                const auto width = static_cast<std::size_t>(w.width);
                const std::size_t ownRows =
                    std::min<std::size_t>(static_cast<std::size_t>(w.height) - 1, 8);
                std::vector<std::byte> above(static_cast<std::size_t>(rows * row) +
                                             2 * width * (ownRows + 1));
                if (ownRows >= 4 && source.readAt(start, above) == above.size()) {
                    auto words = wordsFrom(above);
                    for (auto& x : words) x &= 0x7FFF;
                    const auto added = static_cast<std::size_t>(rows) * width;
                    const int close = closeFit(words, added, ownRows * width, width);
                    std::size_t fitting = 0;
                    for (std::size_t k = 0; k < added; ++k)
                        fitting += colourDistance(words[k], words[k + width]) <= close;
                    const bool oneColour = std::all_of(words.begin(), words.begin() + added,
                                                       [&](auto x) { return x == words[0]; });
                    if (fitting * 10 >= added * 9 && !oneColour)
                        earlier.push_back({aTruer ? i : j, start, static_cast<int>(rows)});
                }
            }
            // Whole words of the loser's byte, at least 16 of its rows.
            if (endOf(l) > endOf(w) + 16 * row) beyond.push_back({endOf(w) + 1, endOf(l), l.width});
            if (l.address + 16 * row < w.address)
                beyond.push_back({l.address, w.address - 1, l.width});
        }
    for (const Earlier& e : earlier) {
        Candidate& w = all[e.winner].candidate;
        if (e.start < w.address && w.height + e.rows <= kMaxSide) {
            w.height += e.rows;
            w.address = e.start;
        }
    }
    for (const Beyond& b : beyond)
        for (Ranked& r :
             searchedAgain(source, b.from, std::min<std::uint64_t>(b.to - b.from, 1u << 20), o))
            // Not a word or two off the width those readings had (the rest of the same
            // picture, which the winner's rows may still take).
            if (std::abs(r.candidate.width - b.width) > 2) all.push_back(std::move(r));
    if (!beyond.empty()) releaseScratch();
    rival.resize(all.size(), false);
    std::vector<Ranked> kept0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (!rival[i]) kept0.push_back(std::move(all[i]));
    all.swap(kept0);

    auto tier = [](const Ranked& r) { return std::lround(r.candidate.confidence * 5); };
    auto area = [](const Ranked& r) { return endOf(r.candidate) - r.candidate.address; };
    std::sort(all.begin(), all.end(), [&](const Ranked& a, const Ranked& b) {
        if (tier(a) != tier(b)) return tier(a) > tier(b);
        if (area(a) != area(b)) return area(a) > area(b);
        if (a.roughness != b.roughness) return a.roughness < b.roughness;
        if (a.candidate.address != b.candidate.address)
            return a.candidate.address < b.candidate.address;
        return a.candidate.width < b.candidate.width;
    });
    std::vector<Candidate> kept;
    for (const Ranked& r : all) {
        Candidate c = r.candidate;
        bool clash = false;
        for (Candidate& k : kept) {
            const std::uint64_t lo = std::max(c.address, k.address);
            const std::uint64_t hi = std::min(endOf(c), endOf(k));
            if (hi <= lo) continue;
            // A picture whose later rows run on into a better one (after it or within it) ends
            // where that one begins, if most of it is left, or if the rows left are a picture on
            // their own (a photograph whose rows ran on over the flat colours of a drawing).
            const std::uint64_t row = 2ull * static_cast<std::uint64_t>(c.width);
            if (k.address > c.address) {
                const auto rows = static_cast<int>((k.address - c.address) / row);
                if (rows >= std::max(2, minHeight)) {
                    // Or where its first rows are a picture on their own (a small picture whose
                    // rows ran on over the flat ground of a wider one), those rows.
                    const int own = rows * 3 >= c.height * 2 ? rows : rowsOnTheirOwn(c, rows);
                    if (own * 10 >= rows * 9 || own >= std::max(16, minHeight)) {
                        c.height = own * 10 >= rows * 9 ? rows : own;
                        continue;
                    }
                }
            }
            // A picture whose first rows were taken from a better one before it starts where
            // that one ends, where the rows after it are a picture on their own (rows of a
            // smooth picture's width ran back over a drawing before it, read a byte off).
            const std::uint64_t smaller = std::min(endOf(c) - c.address, endOf(k) - k.address);
            const bool clashes = (hi - lo) * 10 > smaller * 3;
            if (clashes && c.address >= k.address && endOf(c) > endOf(k)) {
                const auto skip = static_cast<int>((endOf(k) - c.address + row - 1) / row);
                Candidate tail = c;
                tail.address += static_cast<std::uint64_t>(skip) * row;
                tail.height -= skip;
                // Its first 64 K words at most, so that memory stays bounded.
                const int looked = std::min(tail.height, std::max(8, 65536 / c.width));
                if (tail.height >= std::max(8, minHeight) && pictureOnItsOwn(tail, looked)) {
                    c = tail;
                    continue;
                }
            }
            // Likewise one kept whose last rows run on into this one as confident (an icon's
            // flat margin, taken for more rows of a drawing before it), where most is left.
            const std::uint64_t keptRow = 2ull * static_cast<std::uint64_t>(k.width);
            if (c.address > k.address && endOf(c) >= endOf(k) &&
                std::lround(c.confidence * 5) == std::lround(k.confidence * 5)) {
                const auto rows = static_cast<int>((c.address - k.address) / keptRow);
                if (rows >= std::max(2, minHeight) && rows * 3 >= k.height * 2) {
                    k.height = rows;
                    continue;
                }
            }
            // A part kept (more confident, as a part of even rows may be) before the whole
            // picture it lies in, on that one's grid: the whole one is kept in its place.
            if (clashes && c.width == k.width && c.address <= k.address && endOf(c) >= endOf(k) &&
                (k.address - c.address) % row == 0) {
                k = c;
                clash = true;
                break;
            }
            if (clashes) {
                clash = true;
                break;
            }
        }
        if (!clash) kept.push_back(c);
    }
    std::sort(kept.begin(), kept.end(), inFileOrder);
    return joinParts(source, std::move(kept));
}

// A picture may be found only from the byte beside it, where that reading of its bytes fitted
// rows too (flat colours keep their rows either way). Where the other reading of a candidate's
// bytes is the truer, the pictures of that width are searched again in it.
std::vector<Candidate> settleParity(const Source& source, std::vector<Candidate> all,
                                    const FindOptions& o) {
    const std::uint64_t size = source.size();
    std::vector<std::byte> bytes;
    for (Candidate& c : all) {
        const std::uint64_t row = 2ull * static_cast<std::uint64_t>(c.width);
        // Only the candidate's own rows: a row of rough data below a short, flat picture can
        // outweigh the picture itself.
        std::uint64_t len = row * static_cast<std::uint64_t>(c.height) + 2;
        // The other reading starts a byte on; at the end of the file, a byte before. Near the
        // end, both are compared on the bytes there are.
        const bool before = c.address + 1 + len > size;
        if (before && c.address == 0) continue;
        const std::uint64_t other = before ? c.address - 1 : c.address + 1;
        const std::uint64_t from = std::min(c.address, other);
        len = std::min(len, size - from - 1);
        bytes.resize(static_cast<std::size_t>(len + 1));
        bytes.resize(source.readAt(from, bytes));
        if (bytes.size() < len + 1) continue;
        const auto span = std::span<const std::byte>(bytes);
        const auto mine = wordsFrom(span.subspan(static_cast<std::size_t>(c.address - from), len));
        const auto theirs = wordsFrom(span.subspan(static_cast<std::size_t>(other - from), len));
        if (!truerReading(readingCost(theirs, c.width), readingCost(mine, c.width))) continue;

        const std::uint64_t margin =
            row * static_cast<std::uint64_t>(std::clamp(c.height / 4, 4, 64));
        const std::uint64_t start = other >= margin ? other - margin : other % 2;
        const std::uint64_t end = std::min(size, endOf(c) + margin + 1);
        bytes.resize(static_cast<std::size_t>(end - start));
        bytes.resize(source.readAt(start, bytes));
        const auto words = wordsFrom(bytes);
        Candidate best;
        std::uint64_t bestOverlap = 0;
        bool otherData = false;
        for (const Found& f : analyseAtWidth(words, c.width, o.minHeight)) {
            Candidate t{start + 2 * f.first, f.width, f.rows, f.confidence, f.reason};
            const std::uint64_t lo = std::max(t.address, c.address);
            const std::uint64_t hi = std::min(endOf(t), endOf(c));
            if (hi > lo + bestOverlap && (f.other || t.confidence >= o.minConfidence)) {
                bestOverlap = hi - lo;
                best = t;
                otherData = f.other;
            }
        }
        // Read from its true byte, it is some other kind of data (16-bit colour of another
        // layout, say): no picture at all.
        if (bestOverlap * 2 >= endOf(c) - c.address) {
            c = best;
            if (otherData) c.width = 0;
        } else {
            // Found again nowhere (too smooth to show its rows that way): the same rows, read
            // from the truer byte.
            c.address = other;
        }
    }
    std::erase_if(all, [](const Candidate& c) { return c.width == 0; });
    std::sort(all.begin(), all.end(), inFileOrder);
    // Moved onto a picture that was found as well: one of them stays.
    std::vector<Candidate> kept;
    for (Candidate& c : all) {
        if (!kept.empty()) {
            Candidate& p = kept.back();
            const std::uint64_t hi = std::min(endOf(p), endOf(c));
            const std::uint64_t smaller = std::min(endOf(p) - p.address, endOf(c) - c.address);
            if (hi > c.address && (hi - c.address) * 2 > smaller) {
                if (c.confidence > p.confidence) p = std::move(c);
                continue;
            }
        }
        kept.push_back(std::move(c));
    }
    return kept;
}

// Rows at a candidate's ends that are a picture of another width, smooth enough to fit this
// one loosely (a photograph or a drawing packed right before or after it): a block of rows
// there whose words fit clearly better at another width is cut off, and the next block looked
// at, while they do. The rows cut off its end are searched again on their own, for that
// picture.
std::vector<Candidate> trimForeignEnds(const Source& source, std::vector<Candidate> all,
                                       const FindOptions& o, int threads) {
    // The pictures found again in the rows cut off, for each candidate.
    std::vector<std::vector<Candidate>> foundAgain(all.size());
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        const int blockRows = std::max(8, static_cast<int>((511 + w) / w));
        int other = 0;  // the width the last block cut off fits
        // The channels of the bytes [from, to) of the file (empty where they cannot be read).
        auto channelsOf = [&](std::uint64_t from, std::uint64_t to) {
            auto words = coloursAt(source, from, static_cast<std::size_t>(to - from) / 2);
            if (2 * words.size() != to - from) words.clear();
            return Channels(words);
        };
        auto foreign = [&](std::uint64_t at) {
            const Channels ch = channelsOf(at, at + 2 * w * static_cast<std::uint64_t>(blockRows));
            if (ch.size() == 0) return false;
            auto meanAt = [&](std::size_t lag) {
                double sum = 0;
                for (std::size_t i = 0; i + lag < ch.size(); ++i) sum += ch.distance(i, i + lag);
                return sum / static_cast<double>(ch.size() - lag);
            };
            const double here = meanAt(w);
            // Rows that fit far closer than words far apart: this width's own (the search is
            // costly).
            if (here <= 0.25 * meanAt(ch.size() / 2)) return false;
            WidthFit fit = searchWidth(ch, 0, ch.size(), 8, kMaxSide);
            // Or the width the block before it fitted (a texture of tiles fits every multiple
            // of its tile's width about alike, and the search may take any of them).
            if (other != 0 && static_cast<std::size_t>(other) < ch.size() &&
                meanAt(static_cast<std::size_t>(other)) < 0.75 * here && here > 0.3 * fit.unrelated)
                return true;
            auto clearlyOther = [&](const WidthFit& f) {
                return f.width != 0 && f.width % c.width != 0 && c.width % f.width != 0 &&
                       static_cast<std::size_t>(f.width) < ch.size() &&
                       meanAt(static_cast<std::size_t>(f.width)) < 0.75 * here &&
                       here > 0.3 * f.unrelated;
            };
            // A block too small to show a wider picture's rows three times over: its width is
            // searched on more of the candidate's rows beside it, towards its middle.
            constexpr std::uint64_t kWindowWords = 2048;
            if (!clearlyOther(fit) && ch.size() < kWindowWords) {
                const std::uint64_t span = 2 * kWindowWords, blockEnd = at + 2 * ch.size();
                const std::uint64_t from =
                    at == c.address ? at
                                    : std::max(c.address, blockEnd > span ? blockEnd - span : 0);
                const std::uint64_t to = at == c.address ? std::min(endOf(c), at + span) : blockEnd;
                const Channels window = channelsOf(from, to);
                if (window.size() != 0) fit = searchWidth(window, 0, window.size(), 8, kMaxSide);
            }
            if (!clearlyOther(fit)) return false;
            other = fit.width;
            return true;
        };
        const std::uint64_t block = 2ull * w * static_cast<std::uint64_t>(blockRows);
        // Whether row `r` of the block from `at` fits this width at least as well as the other.
        auto fitsHere = [&](std::uint64_t at, int r) {
            const auto lag = static_cast<std::size_t>(other);
            const auto words = coloursAt(source, at + 2ull * w * static_cast<std::uint64_t>(r),
                                         w + std::max(w, lag));
            if (words.size() != w + std::max(w, lag)) return false;
            const Channels ch(words);
            double here = 0, there = 0;
            for (std::size_t i = 0; i < w; ++i) {
                here += ch.distance(i, i + w);
                there += ch.distance(i, i + lag);
            }
            return here <= there;
        };
        bool cut = false;
        const std::uint64_t uncut = endOf(c);
        while (c.height >= 2 * blockRows && foreign(endOf(c) - block)) {
            c.height -= blockRows;
            cut = true;
        }
        // The rows of the last block cut off that still fit this width better are this
        // picture's: the other one begins where they stop.
        if (cut) {
            const std::uint64_t from = endOf(c);
            for (int r = 0; r < blockRows && fitsHere(from, r); ++r) ++c.height;
            // The other picture there, searched on its own: the rows cut off, and as many
            // words after them (64 K words at most), for pictures that start in them.
            const std::uint64_t start = endOf(c);
            for (const Ranked& r : searchedAgain(
                     source, start, std::min<std::uint64_t>(2 * (uncut - start), 128u << 10), o))
                if (r.candidate.address < uncut) foundAgain[i].push_back(r.candidate);
        }
        // Likewise at its start, for a picture packed right before it (not searched again:
        // what lies before a candidate was searched before it).
        cut = false;
        other = 0;
        while (c.height >= 2 * blockRows && foreign(c.address)) {
            c.address += block;
            c.height -= blockRows;
            cut = true;
        }
        if (cut) {
            const std::uint64_t from = c.address - block;
            for (int r = blockRows - 1; r >= 0 && fitsHere(from, r); --r) {
                c.address -= 2 * w;
                ++c.height;
            }
        }
    });
    for (auto& found : foundAgain) all.insert(all.end(), found.begin(), found.end());
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// The rows after a picture's end that still fit the row below them better than the words
// beside it there (the coarser lower half of a photograph, whose rows the first pass, its
// scores drawn down by rough detail, stopped following) are its own; filler after a picture,
// of whatever kind, fits the row below no better than its diagonal neighbours. Blocks of 8
// rows are added while they do, up to the next candidate; so, before its start, back to the
// one before.
std::vector<Candidate> extendWhileRowsHold(const Source& source, std::vector<Candidate> all,
                                           int threads) {
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    // Where each candidate lay before any moved: the bounds of its neighbours' growth.
    std::vector<std::uint64_t> starts, ends;
    for (const Candidate& c : all) starts.push_back(c.address), ends.push_back(endOf(c));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        if (w < 8 || c.height < 16) return;
        const std::uint64_t limit = i + 1 < all.size() ? starts[i + 1] : source.size();
        std::vector<std::byte>& bytes = buffers[worker];
        constexpr int kBlock = 8;
        // Mean distance to the word below, and its share of that to the two diagonal ones, over
        // the rows from `at` (one row more is read, for the words below).
        auto rowsFrom = [&](std::uint64_t at, int rows, double& below) {
            bytes.resize(2 * w * static_cast<std::size_t>(rows + 1) + 2);
            if (source.readAt(at - 2, bytes) != bytes.size()) return 2.0;
            const auto words = wordsFrom(bytes);
            double down = 0, diagonal = 0, next = 0, second = 0, third = 0;
            for (std::size_t k = 1; k + w + 1 < words.size(); ++k) {
                const auto x = static_cast<std::uint16_t>(words[k] & 0x7FFF);
                down += colourDistance(x, words[k + w] & 0x7FFF);
                diagonal += (colourDistance(x, words[k + w - 1] & 0x7FFF) +
                             colourDistance(x, words[k + w + 1] & 0x7FFF)) /
                            2.0;
                next += colourDistance(x, words[k + 1] & 0x7FFF);
                second += colourDistance(x, words[k + 2] & 0x7FFF);
                if (k + 3 < words.size()) third += colourDistance(x, words[k + 3] & 0x7FFF);
            }
            const auto pairs = static_cast<double>(words.size() - w - 2);
            below = down / pairs;
            // Rows of nearly one value (filler of zeros, a flat margin) tell nothing, and words
            // closer to the second or third word on than to the next are interleaved data
            // (32-bit pixels, or 24-bit pixels: two of them in three words), which fits any
            // even width, or any width in its flat areas.
            return diagonal < pairs || second < 0.7 * next || third < 0.7 * next ? 2.0
                                                                                 : down / diagonal;
        };
        // Whether the seam where rows wrap stands out in the last column of the rows from `at`
        // (the rows of a photograph scaled smoothly fit their diagonal neighbours as well as
        // the word below, but still wrap there).
        auto seamHolds = [&](std::uint64_t at, int rows, double ratio) {
            const std::vector<double> column = seamColumns(source, at, c.width, rows);
            if (column.empty()) return false;
            std::vector<double> sorted(column);
            std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(w / 2),
                             sorted.end());
            return column.back() >= ratio * std::max(1.0, sorted[w / 2]);
        };
        double own = 0;
        if (c.address < 2) return;
        // The rows before it, as its last ones below (a grainy upper half of a photograph):
        // blocks, then fewer rows than a block, that fit the row below nearly as closely as
        // its own first rows do, and better than their diagonal neighbours.
        double ownTop = 0;
        if (rowsFrom(c.address, kBlock - 1, ownTop) < 0.95) {
            const std::uint64_t floor = i > 0 ? ends[i - 1] : 0;
            auto fitsBefore = [&](int rows) {
                const std::uint64_t from = 2 * w * static_cast<std::uint64_t>(rows);
                if (c.height + rows > kMaxSide || c.address < from + 2 || c.address - from < floor)
                    return false;
                double below = 0;
                const double ratio = rowsFrom(c.address - from, rows, below);
                if (below > 1.5 * ownTop + 1 || ratio >= 0.95) return false;
                c.address -= from;
                c.height += rows;
                return true;
            };
            while (fitsBefore(kBlock)) {
            }
            for (int rows = kBlock - 1; rows > 0 && !fitsBefore(rows); --rows) {
            }
        }
        const bool bySeam = rowsFrom(endOf(c) - 2 * w * kBlock, kBlock - 1, own) >= 0.95;
        if (bySeam && (w < 32 || !seamHolds(c.address, c.height, 2.5))) return;
        while (c.height + kBlock <= kMaxSide && endOf(c) + 2 * w * (kBlock + 1) <= limit) {
            double below = 0;
            const double ratio = rowsFrom(endOf(c), kBlock, below);
            // The seam over these rows and the block before, as a band of rows may blur it, and
            // still showing in these.
            if (below > (bySeam ? 2 * own + 2 : 3 * own + 3) ||
                (bySeam ? !seamHolds(endOf(c) - 2 * w * kBlock, 2 * kBlock, 2.5) ||
                              !seamHolds(endOf(c), kBlock, 1.5)
                        : ratio >= 0.95))
                break;
            c.height += kBlock;
        }
        // Then fewer rows than a block, where the picture ends within one: as many as still
        // fit the row above nearly as closely as its own rows do, and better than their
        // diagonal neighbours.
        for (int rows = kBlock - 1; rows > 0; --rows) {
            if (c.height + rows > kMaxSide ||
                endOf(c) + 2 * w * static_cast<std::uint64_t>(rows + 1) > limit)
                continue;
            double below = 0;
            const double ratio = rowsFrom(endOf(c) - 2 * w, rows, below);
            if (below <= 1.5 * own + 1 && ratio < 0.95) {
                c.height += rows;
                break;
            }
        }
        // Padding after a picture (a run of one value, a row long or more) within a few rows
        // of its end: the rows before it that fit the row above as its own do are its rows,
        // however they fit their diagonal neighbours (a dark, grainy bottom).
        {
            constexpr int kPadReach = 2 * kBlock;
            bytes.resize(2 * w * static_cast<std::size_t>(kPadReach + 1));
            const std::size_t got = source.readAt(endOf(c), bytes) / 2;
            const auto words = wordsFrom(std::span(bytes.data(), 2 * got));
            std::size_t run = 0, padAt = got;
            for (std::size_t k = 0; k < got; ++k) {
                run = k > 0 && words[k] == words[k - 1] ? run + 1 : 1;
                if (run >= w) {
                    padAt = k + 1 - run;
                    break;
                }
            }
            const auto rows = static_cast<int>(padAt / w);
            double below = 0;
            if (padAt < got && rows > 0 && c.height + rows <= kMaxSide &&
                endOf(c) + 2 * w * static_cast<std::uint64_t>(rows) <= limit) {
                rowsFrom(endOf(c) - 2 * w, rows, below);
                if (below <= 2 * own + 2) c.height += rows;
            }
        }
        // A sheet's last rows may be mostly its ground, with small sprites here and there:
        // blocks that are mostly the value most common in its last rows, and close to the row
        // above, are its rows; blocks of ground alone only up to one with something on it (a run
        // of filler of that value, zeros or erased flash, is none of it).
        auto groundShare = [&](std::uint64_t at, std::uint16_t& value) {
            auto words = coloursAt(source, at, w * kBlock);
            if (words.size() != w * kBlock) return 0.0;
            if (value == 0xFFFF) {
                std::sort(words.begin(), words.end());
                std::size_t most = 0;
                for (std::size_t k = 0, e = 0; k < words.size(); k = e) {
                    for (e = k; e < words.size() && words[e] == words[k]; ++e) {
                    }
                    if (e - k > most) most = e - k, value = words[k];
                }
            }
            return static_cast<double>(std::count(words.begin(), words.end(), value)) /
                   static_cast<double>(words.size());
        };
        std::uint16_t ground = 0xFFFF;
        if (w < 16 || groundShare(endOf(c) - 2 * w * kBlock, ground) < 0.5) return;
        constexpr int kBareBlocks = 4;
        for (;;) {
            int bare = 0;
            double share = 0, below = 0;
            for (; bare <= kBareBlocks; ++bare) {
                const std::uint64_t at =
                    endOf(c) + 2 * w * kBlock * static_cast<std::uint64_t>(bare);
                if (c.height + kBlock * (bare + 1) > kMaxSide || at + 2 * w * (kBlock + 1) > limit)
                    return;
                share = groundShare(at, ground);
                if (share < 0.99) break;
            }
            if (share < 0.5 || bare > kBareBlocks) return;
            // The block with something on it, against the row above it.
            const std::uint64_t block =
                endOf(c) + 2 * w * kBlock * static_cast<std::uint64_t>(bare);
            rowsFrom(block - 2 * w, kBlock, below);
            if (below > 2 * own + 2) return;
            c.height += kBlock * (bare + 1);
        }
    });
    return all;
}

// Whether the step after column `column` stands out (twice the row's typical step) in three
// in five of a candidate's rows or more, as a wrap does: an edge of a drawing's figure only
// in the rows it crosses.
bool stepsInMostRows(const Source& source, const Candidate& c, std::size_t column) {
    const std::size_t middle = static_cast<std::size_t>(c.width) / 2;
    int rows = 0, standing = 0;
    std::vector<int> sorted;
    if (!sampledRowSteps(source, c.address, c.width, c.height,
                         [&](std::span<const std::uint8_t> steps) {
                             sorted.assign(steps.begin(), steps.end());
                             std::nth_element(sorted.begin(),
                                              sorted.begin() + static_cast<std::ptrdiff_t>(middle),
                                              sorted.end());
                             ++rows;
                             if (steps[column] > std::max(2 * sorted[middle], 3)) ++standing;
                         }))
        return false;
    return 5 * standing >= 3 * rows;
}

// Where each row wraps to the next, the step from one word to the next stands out in one
// column of every row. Where, over a candidate's rows, one column stands out far above all
// others (three times the typical one and any other, or, in rows of 64 words or more, twice
// any other where it stands out in most rows: sharp detail may step half as much) but is not
// the last, the rows start after it: the start was taken from words that fit the row below by
// chance, or a first row unlike the rest.
std::vector<Candidate> settleSeams(const Source& source, std::vector<Candidate> all, int threads) {
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        if (w < 16 || c.height < 8) return;
        const std::vector<double> column = seamColumns(source, c.address, c.width, c.height);
        if (column.empty()) return;
        const auto top = static_cast<std::size_t>(std::max_element(column.begin(), column.end()) -
                                                  column.begin());
        double second = 0;
        for (std::size_t i = 0; i < w; ++i)
            if (i + 1 < top || i > top + 1) second = std::max(second, column[i]);
        std::vector<double> sorted = column;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(w / 2),
                         sorted.end());
        const double typical = std::max(1.0, sorted[w / 2]);
        if (top + 1 == w || column[top] < 3 * typical || column[top] < 2 * second) return;
        if (column[top] < 3 * second && (w < 64 || !stepsInMostRows(source, c, top))) return;
        auto shift = static_cast<std::ptrdiff_t>(top + 1);
        if (shift > static_cast<std::ptrdiff_t>(w / 2)) shift -= static_cast<std::ptrdiff_t>(w);
        const auto moved = static_cast<std::int64_t>(c.address) + 2 * shift;
        if (moved < 0 || static_cast<std::uint64_t>(moved) + (endOf(c) - c.address) > source.size())
            return;
        c.address = static_cast<std::uint64_t>(moved);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// The column where a candidate's words, read in rows `width` long, step most sharply from one
// word to the next, and how far that step stands out against the typical column's.
std::pair<std::size_t, double> sharpestColumn(const Source& source, const Candidate& c, int width,
                                              std::span<const std::uint8_t> known = {}) {
    const std::uint64_t words =
        static_cast<std::uint64_t>(c.width) * static_cast<std::uint64_t>(c.height);
    const auto height = static_cast<int>(words / static_cast<std::uint64_t>(width)) - 1;
    if (height < 4) return {0, 0};
    std::vector<double> column = seamColumns(source, c.address, width, height, known);
    if (column.empty()) return {0, 0};
    const auto top = std::max_element(column.begin(), column.end());
    const auto at = static_cast<std::size_t>(top - column.begin());
    const double step = *top;
    const auto middle = static_cast<std::ptrdiff_t>(column.size() / 2);
    std::nth_element(column.begin(), column.begin() + middle, column.end());
    return {at, step / std::max(1.0, column[static_cast<std::size_t>(middle)])};
}

// A smooth picture fits its diagonal neighbour about as well as the word below, and the
// window its width was searched in may have held other data that blurred the seam. Over the
// candidate's own words, a width a word or two off whose seam stands out clearly (two and a
// half times the typical step, half as much again as at any width beside), within a few words
// of where its rows would wrap (an edge on the slant, read a word off, stands out too, but
// anywhere along the row), and whose rows fit not much worse, is its own.
std::vector<Candidate> settleWidthsBySeam(const Source& source, std::vector<Candidate> all,
                                          int threads) {
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        if (c.width < 16 || c.height < 8 || c.reason == kAfterHeader) return;
        const auto w = static_cast<std::size_t>(c.width);
        const std::size_t count = w * static_cast<std::size_t>(c.height);
        // The steps along the candidate's words, worked out once for all five widths.
        std::vector<std::uint8_t> steps;
        if (count < 1u << 18)
            if (const auto words = wordsAt(source, c.address, count + 1); !words.empty()) {
                steps.resize(count);
                colourDistances(words.data(), words.data() + 1, count, steps.data());
            }
        auto sharpest = [&](std::size_t width) {
            return sharpestColumn(source, c, static_cast<int>(width), steps);
        };
        const double ownPeak = sharpest(w).second;
        int best = 0;
        double sharpestPeak = 0, next = ownPeak;
        std::array<double, 5> peaks{};
        for (const int d : {-2, -1, 1, 2}) {
            if (c.width + d > kMaxSide) continue;
            const auto wd = static_cast<std::size_t>(c.width + d);
            const auto [at, peak] = sharpest(wd);
            peaks[static_cast<std::size_t>(d + 2)] = peak;
            const bool wraps = at + 4 >= wd || at <= 2;
            if (peak > sharpestPeak && wraps) {
                next = std::max(next, sharpestPeak);
                best = d, sharpestPeak = peak;
            } else {
                next = std::max(next, peak);
            }
        }
        if (best == 0 || sharpestPeak < 2.5 || sharpestPeak < 1.5 * next) return;
        // Two words off, the seam stands out at that width alone: a texture on the slant
        // sharpens step by step towards its own.
        if ((best == 2 || best == -2) && peaks[static_cast<std::size_t>(best / 2 + 2)] >= 2.5)
            return;
        const std::size_t sampled = std::min<std::size_t>(count, std::size_t{1} << 16);
        const auto colours = coloursAt(source, c.address, sampled + w + 2);
        if (colours.size() < sampled + w + 2) return;
        auto fit = [&](std::size_t lag) {
            return meanDistance(std::span(colours).first(sampled + lag), lag, 0, 1 << 14);
        };
        if (fit(static_cast<std::size_t>(c.width + best)) > 2 * fit(w) + 0.5) return;
        c.height = static_cast<int>(count / static_cast<std::size_t>(c.width + best));
        c.width += best;
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A picture's top rows of one colour (a black sky, a white margin) fit like any rows but look
// like filler to the first pass, which keeps only so much of one value beside a picture. Where
// whole rows above a candidate hold only the value its first word holds, and other data lies
// above them within a quarter of its rows (within three times its rows, for rows of 32 words
// or more, where the other data ends just where a row would), those rows are its top.
std::vector<Candidate> extendFlatTops(const Source& source, std::vector<Candidate> all) {
    std::vector<std::byte> bytes;
    for (Candidate& c : all) {
        const auto w = static_cast<std::size_t>(c.width);
        const std::uint64_t row = 2 * w;
        const int limit = std::min(std::max(2, c.height / 4), kMaxSide - c.height);
        const int aligned = w >= 32 ? std::min(3 * c.height, kMaxSide - c.height) : limit;
        if (limit <= 0 || c.address < row) continue;
        const auto rows = static_cast<int>(std::min<std::uint64_t>(aligned + 1, c.address / row));
        bytes.resize(static_cast<std::size_t>(row) * static_cast<std::size_t>(rows) + 2);
        const std::uint64_t from = c.address - row * static_cast<std::uint64_t>(rows);
        if (source.readAt(from, bytes) != bytes.size()) continue;
        const auto words = wordsFrom(bytes);
        const std::uint16_t value = words.back() & 0x7FFF;  // the candidate's first word
        int flat = 0;
        for (int r = rows - 1; r >= 0; --r) {
            const auto first = static_cast<std::size_t>(r) * w;
            if (!std::all_of(words.begin() + static_cast<std::ptrdiff_t>(first),
                             words.begin() + static_cast<std::ptrdiff_t>(first + w),
                             [&](std::uint16_t x) { return (x & 0x7FFF) == value; }))
                break;
            ++flat;
        }
        // Rows whose bit 15 varies, though their colour does not, are no filler's (filler of
        // one value repeats one word): a picture's with bit 15 at random, however far.
        int mixed = 0;
        for (int r = rows - 1; r >= rows - flat; --r) {
            const auto first = words.begin() + static_cast<std::ptrdiff_t>(r) * c.width;
            if (std::all_of(first, first + c.width, [&](std::uint16_t x) { return x == *first; }))
                break;
            ++mixed;
        }
        if (mixed > 0) {
            c.address -= row * static_cast<std::uint64_t>(mixed);
            c.height += mixed;
            continue;
        }
        // Run on past the limit, or to the start of the file: filler of that value, unless,
        // past the limit, the word before the run differs (filler of that value ends just
        // where a row would once in as many words as a row has).
        if (flat == 0 || flat == rows) continue;
        if (flat > limit &&
            (flat > aligned ||
             (words[static_cast<std::size_t>(rows - flat) * w - 1] & 0x7FFF) == value))
            continue;
        c.address -= row * static_cast<std::uint64_t>(flat);
        c.height += flat;
    }
    return all;
}

// A screenshot's border, a cartoon's sky: a picture whose first and last words lie in runs of
// one value, each bounded by other data, starts where the first run starts and ends where the
// last one ends. Where a candidate's first and last words lie in such runs of 8 words or more,
// and those runs' outer ends lie within a row of its ends and a whole number of rows apart,
// they are its ends. Where only one end's word lies in such a run (the other end lies in the
// picture after or before it), and moved to that run's outer end, less than a row, the other
// end meets the outer end of a run too, so it moves. Where instead one or two whole rows of
// one value lie just outside it, bounded by other data, they are its rows (a border's line,
// unlike the rows it meets); so are up to four, in rows of 16 words or more, where neither end
// moved (a title or status bar of one colour).
std::vector<Candidate> frameByFlatEnds(const Source& source, std::vector<Candidate> all,
                                       int threads) {
    constexpr std::uint64_t kBorderRows = 2;
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::uint64_t>(c.width);
        const std::uint64_t reach = kBorderRows * w + 1;  // words read beyond each end
        if (w < 8 || c.height < 4 || c.address < 2 * reach || endOf(c) + 2 * reach > source.size())
            return;
        std::vector<std::byte>& bytes = buffers[worker];
        bytes.resize(static_cast<std::size_t>(2 * (reach + w)));
        if (source.readAt(c.address - 2 * reach, bytes) != bytes.size()) return;
        const auto head = wordsFrom(bytes);
        if (source.readAt(endOf(c) - 2 * w, bytes) != bytes.size()) return;
        const auto tail = wordsFrom(bytes);
        const std::size_t first = reach, last = w - 1;  // in `head` and `tail`
        const auto [a, headRun] = runAround(head, first);
        const auto [tailRun, b] = runAround(tail, last);
        // Whether a run of 8 words or more, bounded by other data, ends with word k of `v`
        // (starts with it).
        auto endsRun = [](std::span<const std::uint16_t> v, std::size_t k) {
            const auto [from, to] = runAround(v, k);
            return to == k + 1 && to < v.size() && to - from >= 8;
        };
        auto startsRun = [](std::span<const std::uint16_t> v, std::size_t k) {
            const auto [from, to] = runAround(v, k);
            return from == k && from > 0 && to - from >= 8;
        };
        std::uint64_t start = c.address, end = endOf(c);
        if (a > 0 && b < tail.size() && headRun - a >= 8 && b - tailRun >= 8 &&
            (first - a + b - last - 1) % w == 0) {
            start -= 2 * (first - a);
            end += 2 * (b - last - 1);
        } else if (const std::size_t early = first - a; a > 0 && headRun - a >= 8 && early > 0 &&
                                                        early < w && endsRun(tail, last - early)) {
            start -= 2 * early;
            end -= 2 * early;
        } else if (const std::size_t late = b - last - 1; b < tail.size() && b - tailRun >= 8 &&
                                                          late > 0 && late < w &&
                                                          startsRun(head, first + late)) {
            start += 2 * late;
            end += 2 * late;
        } else {
            // Whole rows of one value just before the first word, and just after the last.
            const auto [ra, rb] = runAround(head, first - 1);
            if (ra > 0 && rb == first && (rb - ra) % w == 0) start -= 2 * (rb - ra);
            const auto [sa, sb] = runAround(tail, last + 1);
            if (sb < tail.size() && sa == last + 1 && (sb - sa) % w == 0) end += 2 * (sb - sa);
        }
        // A band of a few whole rows of one value just outside it, bounded by other data, rows 16
        // words long or more (filler ends on a row's end once in as many runs as a row has
        // words), where neither end moved.
        constexpr std::uint64_t kBandRows = 4;
        const std::uint64_t most = kBandRows * w + 1;
        if (w >= 16 && start == c.address && end == endOf(c)) {
            if (c.address >= 2 * most)
                if (const auto before = wordsAt(source, c.address - 2 * most, most);
                    !before.empty()) {
                    const auto [from, to] = runAround(before, most - 1);
                    if (from > 0 && (to - from) % w == 0) start -= 2 * (to - from);
                }
            if (endOf(c) + 2 * most <= source.size())
                if (const auto after = wordsAt(source, endOf(c), most); !after.empty()) {
                    const auto [from, to] = runAround(after, 0);
                    if (to < after.size() && to % w == 0) end += 2 * to;
                }
        }
        if (start == c.address && end == endOf(c)) return;
        const auto rows = static_cast<int>((end - start) / (2 * w));
        if (rows > kMaxSide) return;
        c.address = start;
        c.height = rows;
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A first or last row of one value that goes on past the candidate for 4 rows more (a band
// of zeros or 0xFF) is filler the rows took in: a dark or pale row of the picture fits it
// closely. (A sprite's margin may go on into the next sprite's, but hardly for 4 rows.)
std::vector<Candidate> dropFillerRows(const Source& source, std::vector<Candidate> all) {
    constexpr int kBeyond = 4;
    std::vector<std::byte> bytes;
    // Whether `rows` rows from byte `at` hold one value.
    auto flat = [&](std::uint64_t at, std::size_t w, int rows) {
        bytes.resize(2 * w * static_cast<std::size_t>(rows));
        if (source.readAt(at, bytes) != bytes.size()) return false;
        const auto v = wordsFrom(bytes);
        return std::all_of(v.begin(), v.end(), [&](std::uint16_t x) { return x == v[0]; });
    };
    for (Candidate& c : all) {
        const auto w = static_cast<std::size_t>(c.width);
        const std::uint64_t band = 2 * w * kBeyond;
        for (int k = 0; k < kBeyond && c.height > 4 && c.address >= band &&
                        flat(c.address - band, w, kBeyond + 1);
             ++k) {
            c.address += 2 * w;
            --c.height;
        }
        for (int k = 0; k < kBeyond && c.height > 4 && endOf(c) + band <= source.size() &&
                        flat(endOf(c) - 2 * w, w, kBeyond + 1);
             ++k)
            --c.height;
    }
    return all;
}

// Whether rows wrap plainly where they end, from the steps summed by column (seamColumns):
// the last column steps three times as much as the typical one and twice as much as any other.
bool wrapsClearly(std::span<const double> column) {
    const std::size_t w = column.size();
    if (w < 4) return false;
    std::vector<double> sorted(column.begin(), column.end() - 2);
    std::nth_element(sorted.begin(), sorted.end() - 1, sorted.end());
    const double second = sorted.back();
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(w / 2),
                     sorted.end());
    return column[w - 1] >= 3 * std::max(1.0, sorted[w / 2]) && column[w - 1] >= 2 * second;
}

// A picture whose words all hold one value in bit 15 (clear, as most are, or set) lies between
// words that hold the other. Rows at a candidate's ends that hold such words, around the longest
// run of rows without, are cut but the one nearest that run. Where such words then lie only in
// its first row, it starts after them; where only in its last row, it starts that many words
// earlier if the words it then takes fit the row below as its first row does, or those it leaves
// are all of the other value (else they are rows past its end); in both, as many rows between.
// As tall as before where it moves, or a row shorter where the words it takes at its end do not
// hold the picture's value. It does not move where the words after the first row's last of the
// other value fit the row below far worse than the next row does (filler still: the first row
// goes), nor from a grid whose rows wrap plainly to where they would not (the last row goes).
std::vector<Candidate> keepToOneTopBit(const Source& source, std::vector<Candidate> all,
                                       int threads) {
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        if (c.height < 4) return;
        std::size_t n = w * static_cast<std::size_t>(c.height);
        // The candidate and a row either side.
        const std::uint64_t from = c.address >= 2 * w ? c.address - 2 * w : c.address;
        const std::size_t before = static_cast<std::size_t>(c.address - from) / 2;
        std::vector<std::byte>& bytes = buffers[worker];
        bytes.resize(2 * (before + n + w));
        bytes.resize(source.readAt(from, bytes) & ~std::size_t{1});
        if (bytes.size() < 2 * (before + n)) return;
        const auto words = wordsFrom(bytes);
        std::size_t base = before;  // the candidate's first word in `words`
        auto top = [&](std::size_t k) { return static_cast<unsigned>(words[base + k] >> 15); };
        std::size_t set = 0;
        for (std::size_t k = 0; k < n; ++k) set += top(k);
        const unsigned bit = set * 2 > n ? 1u : 0u;
        // Rows that hold words of the other value, at either end of the longest run of rows
        // without, a quarter of the rows there or more and a word in 32: rows past the picture
        // (filler of mixed values, with rows of one now and then; not a speck of that value
        // in a picture). All but the one nearest the run go.
        const auto h = static_cast<std::size_t>(c.height);
        std::vector<std::size_t> others(h, 0);
        for (std::size_t k = 0; k < n; ++k)
            if (top(k) != bit) ++others[k / w];
        std::size_t lead = 0, trail = h;  // the longest run: rows [lead, h - trail)
        for (std::size_t r = 0; r < h;) {
            std::size_t e = r;
            while (e < h && others[e] == 0) ++e;
            if (e - r > h - trail - lead) lead = r, trail = h - e;
            r = e + 1;
        }
        std::size_t mixedRows = 0, otherWords = 0;
        for (std::size_t r = 0; r < h; ++r)
            if (r < lead || r >= h - trail) {
                mixedRows += others[r] > 0;
                otherWords += others[r];
            }
        if (lead + trail == 0 || (lead + trail) * 2 > h || mixedRows * 4 < lead + trail ||
            (lead + trail > 2 && otherWords * 32 < (lead + trail) * w))
            return;
        // Past a quarter of the rows, only where the rows kept change along a row at least once
        // a row on average: not a picture whose bit 15 varies, run on into zeros.
        if ((lead + trail) * 4 > h) {
            std::size_t changes = 0;
            for (std::size_t k = (lead + 1) * w; k < (h - trail) * w; ++k)
                changes += (words[base + k] ^ words[base + k - 1]) & 0x7FFF ? 1 : 0;
            if (changes < (h - lead - trail) * w / 8) return;
        }
        const std::size_t cutTop = lead > 0 ? lead - 1 : 0, cutEnd = trail > 0 ? trail - 1 : 0;
        base += cutTop * w;
        const std::size_t rows = h - cutTop - cutEnd;
        n = rows * w;
        std::size_t start = 0, end = n;
        for (std::size_t k = 0; k < n; ++k)
            if (top(k) != bit) {
                if (k < w)
                    start = k + 1;
                else
                    end = std::min(end, k);
            }
        // Between such words at both ends: the picture is what lies between.
        if (start > 0 && end < n && (end - start) / w < 4) return;
        c.address += 2 * w * cutTop;
        c.height = static_cast<int>(rows);
        if (start > 0 && end < n) {
            c.address += 2 * start;
            c.height = static_cast<int>((end - start) / w);
            return;
        }
        std::vector<std::uint16_t> colours = words;
        for (auto& x : colours) x &= 0x7FFF;
        const Channels ch(colours);
        // How well words [a, b) of the candidate fit the row below.
        auto fit = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
            double sum = 0;
            for (std::ptrdiff_t k = a; k < b; ++k) sum += ch.distance(base + k, base + k + w);
            return sum / static_cast<double>(b - a);
        };
        std::ptrdiff_t shift = 0;
        if (start > 0) {
            // The words after the last of the other value may be filler still (a program's
            // zeros and small numbers): unless they fit the row below as the next row fits its
            // own, the whole first row goes and the grid stays.
            const auto sw = static_cast<std::ptrdiff_t>(w);
            if (rows > 4 &&
                fit(static_cast<std::ptrdiff_t>(start), sw) > 1.5 * fit(sw, 2 * sw) + 1) {
                c.address += 2 * w;
                --c.height;
                return;
            }
            shift = static_cast<std::ptrdiff_t>(start);
        } else {
            // Rows a few words late, or rows past the picture's end: the words that would come
            // in at the top tell, fitting the row below them as the first row does; or all the
            // words past `end` hold the other value (filler of it, not one more row at random).
            const auto back = static_cast<std::ptrdiff_t>(n - end);
            // A whole last row of the other value is a row past the picture.
            if (back == static_cast<std::ptrdiff_t>(w)) {
                --c.height;
                return;
            }
            bool clean = true;
            for (std::size_t k = end; k < n; ++k) clean = clean && top(k) != bit;
            if (back > static_cast<std::ptrdiff_t>(base) ||
                (!clean && fit(-back, 0) > 1.5 * fit(0, static_cast<std::ptrdiff_t>(w)) + 1))
                return;
            shift = -back;
            // A grid that wraps plainly where its rows end, far more than where the move would
            // wrap them, is the picture's own: words of the other value a few words into its
            // last row are filler after it (data after a run of pictures that hold it too).
            const auto column = seamColumns(source, c.address, c.width, c.height);
            const auto sw = static_cast<std::ptrdiff_t>(w);
            const auto moved = static_cast<std::size_t>(((sw - 1 + shift) % sw + sw) % sw);
            if (wrapsClearly(column) && column[w - 1] >= 3 * std::max(1.0, column[moved])) {
                if (end / w >= 4) c.height = static_cast<int>(end / w);
                return;
            }
        }
        // The words then taken at either end hold the picture's value too; moved on, it
        // ends a row earlier where they do not (it cannot start before the first row's last
        // word of the other value).
        const std::ptrdiff_t lo = shift < 0 ? shift : static_cast<std::ptrdiff_t>(n);
        const std::ptrdiff_t hi = shift < 0 ? 0 : static_cast<std::ptrdiff_t>(n) + shift;
        bool held =
            static_cast<std::size_t>(static_cast<std::ptrdiff_t>(base) + hi) <= words.size();
        for (std::ptrdiff_t k = lo; held && k < hi; ++k)
            held = top(static_cast<std::size_t>(k)) == bit;
        if (!held && shift < 0) return;
        if (!held) --c.height;
        c.address = static_cast<std::uint64_t>(static_cast<std::int64_t>(c.address) + 2 * shift);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// Whether a candidate's rows wrap plainly where they end (as above).
bool wrapsClearly(const Source& source, const Candidate& c) {
    return wrapsClearly(seamColumns(source, c.address, c.width, c.height));
}

// A picture whose bit 15 is at random, beside data whose bit 15 holds one value for a while
// (zeros, 0xFF, text, a picture that keeps it clear or set): where such a run ends before it,
// the picture starts there or a word or two before (its first words may hold that value by
// chance), and where one starts after it, it ends there or a little after. Likewise a picture
// whose bit 15 holds one value, beside words at random: it starts after the last word of the
// other value before it (or a word or two later) and ends at the first after it. The nearest
// ends on the candidate's grid are its ends, where the rows they add fit as its own do.
std::vector<Candidate> frameByTopBitNoise(const Source& source, std::vector<Candidate> all,
                                          int threads) {
    constexpr std::size_t kRun = 24;   // one value this long in a row: not bits at random
    constexpr std::size_t kSlack = 6;  // picture words at an end that may match it by chance
    std::sort(all.begin(), all.end(), inFileOrder);
    // Not over another candidate: the picture beside may have bit 15 at random too.
    const std::vector<Candidate> was = all;
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        const auto h = static_cast<std::size_t>(c.height);
        const std::size_t n = w * h;
        if (w < 8 || h < 4 || n < 256) return;
        const std::uint64_t floor = i > 0 ? endOf(was[i - 1]) : 0;
        const std::uint64_t ceiling = i + 1 < was.size() ? was[i + 1].address : source.size();
        // Rows either side to look in, and a third of the candidate.
        const std::size_t reach = w * 64 + 2 * kRun;
        const std::size_t inside = n / 3;
        const std::uint64_t from = c.address >= 2 * reach ? c.address - 2 * reach : c.address % 2;
        const auto before = static_cast<std::size_t>((c.address - from) / 2);
        std::vector<std::byte>& bytes = buffers[worker];
        bytes.resize(2 * (before + n + reach));
        bytes.resize(source.readAt(from, bytes) & ~std::size_t{1});
        if (bytes.size() < 2 * (before + n)) return;
        const auto words = wordsFrom(bytes);
        std::vector<std::uint8_t> top(words.size());
        for (std::size_t k = 0; k < top.size(); ++k)
            top[k] = static_cast<std::uint8_t>(words[k] >> 15);
        // Bit 15 at random in the candidate: about half set, changing about every other word.
        std::size_t set = 0, changes = 0;
        for (std::size_t k = before; k < before + n; ++k) {
            set += top[k];
            changes += k > before && top[k] != top[k - 1];
        }
        const bool noise = set * 10 >= n * 3 && set * 10 <= n * 7 && changes * 20 >= n * 7 &&
                           changes * 20 <= n * 13;
        // Or one value throughout (a speck of the other aside), beside words at random.
        const bool held = set * 200 <= n || set * 200 >= n * 199;
        if (!noise && !held) return;
        const bool bit = set * 2 > n;
        // The last word of the other value in [lo, hi) with many more just before it, and the
        // first with many more just after: the picture lies between.
        auto otherBefore = [&](std::size_t lo, std::size_t hi) -> std::optional<std::size_t> {
            for (std::size_t k = std::min(hi, top.size()); k-- > std::max<std::size_t>(lo, 32);) {
                if (top[k] == bit) continue;
                std::size_t others = 0;
                for (std::size_t j = k - 32; j < k; ++j) others += top[j] != bit;
                return others >= 8 ? std::optional(k + 1) : std::nullopt;
            }
            return std::nullopt;
        };
        auto otherAfter = [&](std::size_t lo, std::size_t hi) -> std::optional<std::size_t> {
            for (std::size_t k = lo; k < std::min(hi, top.size()); ++k) {
                if (top[k] == bit) continue;
                std::size_t others = 0;
                for (std::size_t j = k + 1; j < std::min(k + 33, top.size()); ++j)
                    others += top[j] != bit;
                return others >= 8 ? std::optional(k) : std::nullopt;
            }
            return std::nullopt;
        };
        // The last run of one value ending in [lo, hi), and the first starting in it: where the
        // random words begin, and where they end.
        auto runEndIn = [&](std::size_t lo, std::size_t hi) -> std::optional<std::size_t> {
            std::optional<std::size_t> found;
            std::size_t run = 1;
            for (std::size_t k = 1; k < std::min(hi, top.size()); ++k) {
                if (top[k] != top[k - 1]) {
                    if (run >= kRun && k >= lo) found = k;
                    run = 1;
                } else {
                    ++run;
                }
            }
            return found;
        };
        auto runStartIn = [&](std::size_t lo, std::size_t hi) -> std::optional<std::size_t> {
            std::size_t run = 1;
            for (std::size_t k = lo + 1; k < top.size(); ++k) {
                if (top[k] == top[k - 1]) {
                    if (++run >= kRun)
                        return k + 1 - run < hi ? std::optional(k + 1 - run) : std::nullopt;
                } else {
                    run = 1;
                }
            }
            return std::nullopt;
        };
        const std::size_t lo = before > reach ? before - reach : 0;
        const auto first = noise ? runEndIn(lo, before + inside) : otherBefore(lo, before + inside);
        const auto last = noise ? runStartIn(before + n - inside, before + n + reach)
                                : otherAfter(before + n - inside, before + n + reach);
        if (!first && !last) return;
        const std::size_t start = before, end = before + n;  // the candidate now
        std::size_t s = start, e = end;
        bool found = false;
        // Both places a whole number of rows apart, off the candidate's grid: its grid, where
        // all its rows fit at least as well so.
        const bool regrid = first && last && *last > *first + 4 * w && (*last - *first) % w == 0 &&
                            *first % w != start % w;
        if (regrid) s = *first, e = *last, found = true;
        // On the candidate's grid: where the words beside it are at random too (compressed
        // data, the end of a program's tables), those places lie off it. Words at random may
        // match the picture's value by chance: its ends lie inside those places for a picture
        // of one value, outside them for one at random.
        const std::ptrdiff_t in = noise ? -1 : 1;
        if (first && !regrid)
            for (std::ptrdiff_t a = 0; a <= static_cast<std::ptrdiff_t>(kSlack) && !found; ++a) {
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(*first) + in * a;
                if (at >= 0 && static_cast<std::size_t>(at) % w == start % w)
                    s = static_cast<std::size_t>(at), found = true;
            }
        if (last && !regrid)
            for (std::ptrdiff_t b = 0; b <= static_cast<std::ptrdiff_t>(kSlack); ++b) {
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(*last) - in * b;
                if (at > 0 && static_cast<std::size_t>(at) % w == start % w) {
                    e = static_cast<std::size_t>(at);
                    found = true;
                    break;
                }
            }
        if (!found || e <= s || e > top.size() || (e - s) / w > kMaxSide || (e - s) / w < 4) return;
        // Most of what the candidate held stays, and the rows it then has at either end fit the
        // row below about as well as its own did (not a picture of another width beside it).
        const std::size_t kept =
            std::min(e, end) > std::max(s, start) ? std::min(e, end) - std::max(s, start) : 0;
        if (kept * 2 < n) return;
        auto colour = [&](std::size_t k) { return static_cast<std::uint16_t>(words[k] & 0x7FFF); };
        // Mean distance to the word below over words [a, b).
        auto fit = [&](std::size_t a, std::size_t b) {
            double sum = 0;
            for (std::size_t k = a; k < b; ++k) sum += colourDistance(colour(k), colour(k + w));
            return sum / static_cast<double>(std::max<std::size_t>(b - a, 1));
        };
        if (regrid) {
            const std::size_t rows = std::min(h, (e - s) / w) - 1;
            if (fit(s, s + rows * w) > fit(start, start + rows * w)) return;
        }
        const std::size_t own = std::min<std::size_t>(8, h - 1) * w;
        const double ownFit = std::max(fit(start, start + own), fit(end - w - own, end - w));
        // Beside a picture of one value in bit 15, words of that value may be another picture's
        // of that width (a soft one fits loosely): only a band of one colour is taken, such as
        // its ground.
        auto flat = [&](std::size_t a, std::size_t b) {
            for (std::size_t k = a + 1; k < b; ++k)
                if (colour(k) != colour(a)) return false;
            return true;
        };
        if ((s < start && (fit(s, start) > 1.5 * ownFit + 1 || (held && !flat(s, start)))) ||
            (e > end && (fit(end - w, e - w) > 1.5 * ownFit + 1 || (held && !flat(end, e)))))
            return;
        if (from + 2 * s < std::min(floor, c.address) || from + 2 * e > std::max(ceiling, endOf(c)))
            return;
        c.address = from + 2 * s;
        c.height = static_cast<int>((e - s) / w);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// Rough data (compressed, random, text, code), or a picture of another width found next to a
// candidate, that ends just where the candidate's grid puts a row, or starts there, a few rows
// from its ends: the rows between are the picture's own that fitted too loosely, or were too
// flat, to be followed (a sky of a few colours, a shadow fading out, a white margin). Rough
// data and other pictures end anywhere, on a given row's boundary once in `width` times; the rows
// between must step along hardly more roughly than the candidate's own, hold no run of one value
// two rows long (filler's, or a margin's: no sign of which), and keep bit 15 as its rows do where
// they keep it one value. The passes after this one frame the candidate again, so rows of another
// picture of its width are still cut off.
std::vector<Candidate> reachEdgesOnGrid(const Source& source, std::vector<Candidate> all,
                                        int threads) {
    constexpr std::size_t kWindow = 64;  // steps, nine in ten of them rough: rough data
    constexpr std::size_t kEdge = 8;     // steps at the picture's side of the boundary
    constexpr int kOwnRows = 8;          // the candidate's rows the rows between are held to
    std::vector<std::uint64_t> starts, ends;
    for (const Candidate& c : all) starts.push_back(c.address), ends.push_back(endOf(c));
    // Words far from the next, as nearly all are in rough data, in [from, to) of `v`.
    auto rough = [](std::span<const std::uint16_t> v, std::size_t from, std::size_t to) {
        std::size_t n = 0;
        for (std::size_t k = from; k < to; ++k)
            n += colourDistance(v[k], v[k + 1]) > kCloseDistance;
        return n;
    };
    // Bit 15 of the words [from, to) of `v`: 0 all clear, 1 all set, 2 both.
    auto topBit = [](std::span<const std::uint16_t> v, std::size_t from, std::size_t to) {
        std::size_t set = 0;
        for (std::size_t k = from; k < to; ++k) set += v[k] >> 15;
        return set == 0 ? 0 : set == to - from ? 1 : 2;
    };
    // Whether the words [from, to) of `v`, between rough data and the candidate's rows
    // [own, own + ownWords), are the candidate's; at most one step of the eight from `edge`,
    // next to the boundary, is rough.
    auto between = [&](std::span<const std::uint16_t> v, std::size_t from, std::size_t to,
                       std::size_t own, std::size_t ownWords, std::size_t edge, std::size_t w) {
        const double share = static_cast<double>(rough(v, own, own + ownWords - 1)) /
                             static_cast<double>(ownWords - 1);
        std::size_t run = 1;
        for (std::size_t k = from + 1; k < to && run < 2 * w; ++k)
            run = ((v[k] ^ v[k - 1]) & 0x7FFF) == 0 ? run + 1 : 1;
        const int bit = topBit(v, own, own + ownWords);
        return run < 2 * w && (bit == 2 || topBit(v, from, to) == bit) &&
               rough(v, edge, edge + kEdge) <= 1 &&
               static_cast<double>(rough(v, from, to - 1)) <=
                   (std::max(share, 0.05) + 0.1) * static_cast<double>(to - 1 - from);
    };
    auto rowsAllowed = [](const Candidate& c) {
        return static_cast<std::size_t>(
            std::min(std::clamp(c.height / 2, 8, 64), kMaxSide - c.height));
    };
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        if (w < 8 || c.height < kOwnRows || c.reason == kAfterHeader) return;
        const std::size_t ownWords = w * kOwnRows;
        const std::uint64_t row = 2ull * w;
        // A picture of another width found next to it, ending or starting just on its grid
        // a few rows off: the rows between are its own.
        auto neighbourRows = [&](std::size_t k, std::uint64_t from, std::uint64_t to) {
            if (all[k].width == c.width || to <= from || (to - from) % row != 0)
                return std::size_t{0};
            const auto rows = static_cast<std::size_t>((to - from) / row);
            return rows <= rowsAllowed(c) ? rows : 0;
        };
        if (const std::size_t r = i > 0 ? neighbourRows(i - 1, ends[i - 1], c.address) : 0) {
            const auto v = wordsAt(source, c.address - row * r, r * w + ownWords);
            if (!v.empty() && between(v, 0, r * w, r * w, ownWords, 0, w)) {
                c.address -= row * r;
                c.height += static_cast<int>(r);
            }
        }
        if (const std::size_t r =
                i + 1 < all.size() ? neighbourRows(i + 1, endOf(c), starts[i + 1]) : 0) {
            const auto v = wordsAt(source, endOf(c) - 2 * ownWords, ownWords + r * w);
            if (!v.empty() && between(v, ownWords, ownWords + r * w, 0, ownWords,
                                      ownWords + r * w - 1 - kEdge, w))
                c.height += static_cast<int>(r);
        }
        // Above: rough words up to the boundary, then the rows to the candidate's first word.
        const std::uint64_t floor = i > 0 ? std::min(ends[i - 1], c.address) : 0;
        if (const std::size_t most = rowsAllowed(c);
            most > 0 && c.address >= floor + 2 * (w + kWindow + 1)) {
            const auto back = static_cast<std::size_t>(
                std::min<std::uint64_t>((c.address - floor) / 2, w * most + kWindow + 1));
            const auto v = wordsAt(source, c.address - 2 * back, back + ownWords);
            for (std::size_t r = 1;
                 v.size() == back + ownWords && r <= most && r * w + kWindow + 1 <= back; ++r) {
                const std::size_t b = back - r * w;
                if (10 * rough(v, b - kWindow - 1, b - 1) < 9 * kWindow) continue;
                if (between(v, b, back, back, ownWords, b, w)) {
                    c.address -= 2 * w * r;
                    c.height += static_cast<int>(r);
                }
                break;
            }
        }
        // Below: the rows from the candidate's last word, then rough words from the boundary.
        const std::uint64_t end = endOf(c);
        const std::uint64_t limit =
            i + 1 < all.size() ? std::max(starts[i + 1], end) : source.size();
        if (const std::size_t most = rowsAllowed(c);
            most > 0 && limit >= end + 2 * (w + kWindow + 1)) {
            const auto ahead = static_cast<std::size_t>(
                std::min<std::uint64_t>((limit - end) / 2, w * most + kWindow + 1));
            const auto v = wordsAt(source, end - 2 * ownWords, ownWords + ahead);
            for (std::size_t r = 1; v.size() == ownWords + ahead && r <= most &&
                                    ownWords + r * w + kWindow + 1 <= v.size();
                 ++r) {
                const std::size_t e = ownWords + r * w;
                if (10 * rough(v, e, e + kWindow) < 9 * kWindow) continue;
                if (between(v, ownWords, e, 0, ownWords, e - 1 - kEdge, w))
                    c.height += static_cast<int>(r);
                break;
            }
        }
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A candidate a word or two off its picture's grid holds, at one end, words that fit the row
// next to them far worse than the words it leaves out at the other: it moves by those words,
// unless its rows plainly wrap where they are (a sprite's last pixel may differ from the one
// above, and a word before it fit by chance).
std::vector<Candidate> settleEndWords(const Source& source, std::vector<Candidate> all,
                                      int threads) {
    constexpr std::size_t kReach = 2;
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::size_t>(c.width);
        if (w < 8 || c.height < 8) return;
        const std::size_t n = w * static_cast<std::size_t>(c.height);
        // The words around it, as far as the file goes: one more each way than it may move.
        // Of the candidate, only its first rows (for how closely its rows fit) and its last
        // row are read.
        const std::size_t before =
            static_cast<std::size_t>(std::min<std::uint64_t>(kReach + 1, c.address / 2));
        constexpr std::size_t kHeadRows = 32;
        const std::size_t headRows = std::min<std::size_t>(kHeadRows, c.height);
        const std::size_t first = before, end = first + n;  // the candidate in `words`
        // Words [0, head) and [tail, tail + rest) of the candidate and the words around it.
        const std::size_t head = first + headRows * w;
        const std::size_t tail = std::max(head, end - w - kReach);
        std::vector<std::byte>& bytes = buffers[worker];
        bytes.resize(2 * (head + (end + kReach + 1 - tail)));
        const std::span<std::byte> headBytes(bytes.data(), 2 * head),
            tailBytes(bytes.data() + 2 * head, bytes.size() - 2 * head);
        const std::uint64_t origin = c.address - 2 * before;
        if (source.readAt(origin, headBytes) != headBytes.size()) return;
        const std::size_t gotTail = source.readAt(origin + 2 * tail, tailBytes) / 2;
        if (tail + gotTail < end) return;
        auto words = wordsFrom(std::span(bytes.data(), 2 * (head + gotTail)));
        for (auto& x : words) x &= 0x7FFF;
        auto word = [&](std::size_t k) { return words[k < head ? k : k - tail + head]; };
        const std::size_t after = tail + gotTail - end;
        // A word near the start against the one below it; near the end, above it.
        auto atStart = [&](std::size_t k) { return colourDistance(word(k), word(k + w)); };
        auto atEnd = [&](std::size_t k) { return colourDistance(word(k), word(k - w)); };
        // How closely the candidate's own rows fit: a textured picture's words fit the row
        // next to them only so closely.
        double typical = 0;
        for (std::size_t k = first; k + w < head; ++k) typical += atStart(k);
        typical /= static_cast<double>(std::max<std::size_t>(1, head - first - w));
        const double close = std::max(1.0, 2 * typical);
        int best = 0;
        double bestGain = 0;
        for (int d = -static_cast<int>(kReach); d <= static_cast<int>(kReach); ++d) {
            const auto m = static_cast<std::size_t>(d < 0 ? -d : d);
            if (d == 0 || m > (d < 0 ? before : after)) continue;
            double in = 0, out = 0;
            for (std::size_t k = 0; k < m; ++k) {
                if (d < 0) {
                    in += atStart(first - 1 - k);
                    out += atEnd(end - 1 - k);
                } else {
                    in += atEnd(end + k);
                    out += atStart(first + k);
                }
            }
            const double gain = (out - in) / static_cast<double>(m);
            // Words taken that run on in one value past them may be filler of that value.
            if (d < 0 ? m < before && word(first - m) == word(first - m - 1)
                      : m < after && word(end + m - 1) == word(end + m))
                continue;
            if (in <= close * static_cast<double>(m) && out >= 8 * static_cast<double>(m) &&
                out >= 4 * in && gain > bestGain) {
                best = d;
                bestGain = gain;
            }
        }
        if (best != 0 && wrapsClearly(source, c)) return;
        c.address = static_cast<std::uint64_t>(static_cast<std::int64_t>(c.address) + 2 * best);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// Where words stop fitting the row next to them and other data starts: the split of `fits`
// (fits[k]: word k fits) that leaves the fewest words on the wrong side, fitting words after
// it and the others before. Returns it, or -1 where no clear split is seen: at least 12 of the
// 16 words on each side must be on their side.
std::ptrdiff_t fitSplit(std::span<const std::uint8_t> fits) {
    const auto n = static_cast<std::ptrdiff_t>(fits.size());
    auto fitting = [&](std::ptrdiff_t a, std::ptrdiff_t b) {
        return std::accumulate(fits.begin() + a, fits.begin() + b, std::ptrdiff_t{0});
    };
    std::ptrdiff_t wrong = n - fitting(0, n), best = wrong, at = 0;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        wrong += fits[static_cast<std::size_t>(i)] ? 1 : -1;
        if (wrong < best) best = wrong, at = i + 1;
    }
    if (at < 16 || n - at < 16 || 16 - fitting(at - 16, at) < 12 || fitting(at, at + 16) < 12)
        return -1;
    return at;
}

// A picture lying whole in other data starts at the first word that fits the row below it and
// ends after the last that fits the row above. Where both ends, found so, lie a whole number of
// rows apart but off the candidate's grid, that grid came from rows that fit at any start (a
// margin of one colour where rows wrap, with no seam to show it): the ends are the picture's.
// They are looked for near the candidate first, then as many rows away as it has: ends found
// that far off, where its rows plainly wrap on its grid after all, belong to other data. Where
// neither finds both, one clear end near the candidate, with the other in a run of one value
// that goes on past it, sets the grid on its own (see below).
std::vector<Candidate> frameByFitEdges(const Source& source, std::vector<Candidate> all,
                                       int threads) {
    constexpr std::int64_t kOwnRows = 8;  // rows read for how closely the candidate's rows fit
    const auto size = static_cast<std::int64_t>(source.size());
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        const std::int64_t w = c.width, h = c.height, n = w * h;
        if (w < 8 || h < kOwnRows + 1) return;
        const auto address = static_cast<std::int64_t>(c.address);
        const std::int64_t inFile = (size - address) / 2;  // words from the candidate's first
        // Words [lo, hi) counted from the candidate's first, within the file.
        auto read = [&](std::int64_t lo, std::int64_t hi) {
            return coloursAt(source, static_cast<std::uint64_t>(address + 2 * lo),
                             static_cast<std::size_t>(hi - lo));
        };
        int close = 0;
        // The ends looked for within `reach` words of the candidate's: true where they settle
        // it (moved, or found where it is).
        auto settle = [&](std::int64_t reach, bool nearBy, bool oneEnd = false) {
            const std::int64_t headLo = std::max(-reach, -(address / 2));
            const auto head = read(headLo, std::min(inFile, (kOwnRows + 1) * w));
            if (headLo + static_cast<std::int64_t>(head.size()) < (kOwnRows + 1) * w) return true;
            const std::int64_t tailLo = n - 2 * w, tailHi = std::min(inFile, n + reach);
            const auto tail = read(tailLo, tailHi);
            if (static_cast<std::int64_t>(tail.size()) != tailHi - tailLo) return true;
            auto at = [&](std::int64_t k) { return head[static_cast<std::size_t>(k - headLo)]; };
            auto atTail = [&](std::int64_t k) {
                return tail[static_cast<std::size_t>(k - tailLo)];
            };
            // How closely its rows fit: most words of a picture fit the row below so.
            if (close == 0)
                close =
                    closeFit(head, static_cast<std::size_t>(-headLo),
                             static_cast<std::size_t>(kOwnRows * w), static_cast<std::size_t>(w));
            // Whether each word fits, from the farthest looked at to the first and last rows.
            std::vector<std::uint8_t> before, after;
            for (std::int64_t k = headLo; k < w; ++k)
                before.push_back(colourDistance(at(k), at(k + w)) <= close);
            for (std::int64_t k = tailHi - 1; k >= n - w; --k)
                after.push_back(colourDistance(atTail(k), atTail(k - w)) <= close);
            const std::ptrdiff_t a = fitSplit(before), b = fitSplit(after);
            if (a < 0 && b < 0) return false;
            std::int64_t s = headLo + a, e = tailHi - b;
            if (a < 0 || b < 0) {
                if (!oneEnd || (a < 0 ? std::abs(e - n) : std::abs(s)) > w) return false;
                // One end only: the other lies in a run of one value that goes on past it (a
                // margin run together with the like end of what lies beside), where rows may
                // start at any word. The clear end, within a row of the candidate's and with
                // all 16 words on each side on their side, sets the grid, moved within that run.
                const bool startOpen = a < 0;
                const auto& fits = startOpen ? after : before;
                const std::ptrdiff_t split = startOpen ? b : a;
                if (std::accumulate(fits.begin() + split, fits.begin() + split + 16, 0) < 16 ||
                    std::accumulate(fits.begin() + split - 16, fits.begin() + split, 0) > 0)
                    return false;
                const std::int64_t old = startOpen ? 0 : n;
                const std::int64_t rows = ((startOpen ? e : n - s) + w / 2) / w;
                const std::int64_t moved = startOpen ? e - rows * w : s + rows * w;
                const std::int64_t lo = std::min(old, moved) - 1, hi = std::max(old, moved);
                auto word = [&](std::int64_t k) { return startOpen ? at(k) : atTail(k); };
                if (startOpen ? lo < headLo : hi >= tailHi) return false;
                for (std::int64_t k = lo; k < hi; ++k)
                    if (word(k) != word(k + 1)) return false;
                (startOpen ? s : e) = moved;
            }
            // Near the candidate, the end may be a word or two off, where the data after it
            // starts with words that fit; within two words of its grid, or far from it, both
            // ends must agree to the word.
            const std::int64_t rows = (e - s + 2) / w, phase = ((s % w) + w) % w;
            if (phase == 0) return e - s == rows * w;
            const bool exact = !nearBy || std::min(phase, w - phase) <= 2;
            if (rows < 8 || rows > kMaxSide || std::abs(e - s - rows * w) > (exact ? 0 : 2))
                return false;
            if (!nearBy && wrapsClearly(source, c)) return true;
            c.address = static_cast<std::uint64_t>(address + 2 * s);
            c.height = static_cast<int>(rows);
            return true;
        };
        // Near it first, then as many rows away as it has (64 K words at most).
        const std::int64_t nearBy = 5 * w + 16;
        if (!settle(nearBy, true) &&
            !settle(std::max(nearBy, std::min<std::int64_t>(h + 1, (64 << 10) / w) * w + 16),
                    false))
            settle(nearBy, true, true);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A sprite or an icon on a key colour has whole rows of that colour at its top and bottom, and
// no seam shows where its rows wrap: its content alone fits rows, on a grid the search may
// guess a few words off, or run on into what lies beside it. The margins tell the picture:
// from the first word of the top one's run of that colour to the last of the bottom one's, a
// whole number of rows. Where so, and those rows hold most of the candidate, they are the
// picture. The margins looked at are the runs a row long or more nearest the candidate's first
// and last words, on either side of each.
std::vector<Candidate> frameByMargins(const Source& source, std::vector<Candidate> all,
                                      int threads) {
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
        Candidate& c = all[i];
        const auto w = static_cast<std::uint64_t>(c.width);
        if (w < 4 || c.height < 2) return;
        // As many rows either side as the candidate has, within 256 K words (memory).
        const std::uint64_t reach = std::min<std::uint64_t>(
            {kMaxSide, static_cast<std::uint64_t>(std::max(16, c.height)), (256u << 10) / w});
        const std::uint64_t above = std::min(reach, c.address / (2 * w));
        const std::uint64_t from = c.address - 2 * w * above;
        std::vector<std::byte>& bytes = buffers[worker];
        bytes.resize(static_cast<std::size_t>(std::min(endOf(c) + 2 * w * reach, source.size()) -
                                              std::min(from, source.size())));
        bytes.resize(source.readAt(from, bytes));
        const auto words = wordsFrom(bytes);
        const std::size_t n = words.size(), first = static_cast<std::size_t>(above * w),
                          last = first +
                                 static_cast<std::size_t>(w) * static_cast<std::size_t>(c.height);
        if (last > n || last == first) return;
        // Runs of one colour a row long or more whose ends are known (within the words read,
        // or at the file's ends).
        struct Run {
            std::size_t a, b;
        };
        std::vector<Run> runs;
        for (std::size_t k = 0; k < n;) {
            std::size_t e = k + 1;
            while (e < n && ((words[e] ^ words[k]) & 0x7FFF) == 0) ++e;
            if (e - k >= w && (k > 0 || from == 0) && (e < n || from + 2 * n + 1 >= source.size()))
                runs.push_back({k, e});
            k = e;
        }
        const std::size_t middle = first + (last - first) / 2;
        // The nearest run starting at or before the first word, and the nearest after it
        // within the candidate's first half; likewise the runs ending about the last word.
        std::vector<const Run*> tops, bottoms;
        const Run* before = nullptr;
        for (const Run& r : runs) {
            if (r.a <= first)
                before = &r;
            else if (r.a <= middle) {
                tops.push_back(&r);
                break;
            }
        }
        if (before) tops.push_back(before);
        for (auto r = runs.rbegin(); r != runs.rend(); ++r)
            if (r->b < last && r->b >= middle) {
                bottoms.push_back(&*r);
                break;
            }
        for (const Run& r : runs)
            if (r.b >= last) {
                bottoms.push_back(&r);
                break;
            }
        auto key = [&](const Run* r) { return words[r->a] & 0x7FFF; };
        // Of the pairs of margins that frame whole rows, the one sharing most with the
        // candidate, if at least half of it.
        std::size_t bestShared = 0, top = 0, bottom = 0;
        for (const Run* t : tops)
            for (const Run* b : bottoms) {
                if (t == b || key(t) != key(b) || b->b <= t->a || (b->b - t->a) % w != 0 ||
                    b->b - t->a > w * kMaxSide)
                    continue;
                // Margins that are most of it: a band of filler of that value. Where they
                // leave out some of the candidate, no rows of their colour between them: those
                // would be a sheet's frames or a picture's stripes, not one picture's margins.
                if (3 * ((t->b - t->a) + (b->b - b->a)) > 2 * (b->b - t->a) ||
                    ((t->a > first || b->b < last) &&
                     std::any_of(t + 1, b, [&](const Run& r) { return key(&r) == key(t); })))
                    continue;
                const std::size_t lo = std::max(t->a, first), hi = std::min(b->b, last);
                if (hi > lo && 2 * (hi - lo) >= last - first && hi - lo > bestShared)
                    bestShared = hi - lo, top = t->a, bottom = b->b;
            }
        if (bestShared == 0) return;
        c.address = from + 2 * top;
        c.height = static_cast<int>((bottom - top) / w);
    });
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// For each of `rows` rows of `width` words, the mean step to the row above or below, whichever
// is closer (one of them, at either end of a picture, is its own).
std::vector<double> nearerRowSteps(std::span<const std::uint16_t> words, std::size_t width,
                                   std::size_t rows) {
    std::vector<double> below(rows, 1e9), nearer(rows);
    for (std::size_t r = 0; r + 1 < rows; ++r) {
        long sum = 0;
        for (std::size_t i = r * width; i < (r + 1) * width; ++i)
            sum += colourDistance(words[i], words[i + width]);
        below[r] = static_cast<double>(sum) / static_cast<double>(width);
    }
    for (std::size_t r = 0; r < rows; ++r)
        nearer[r] = std::min(below[r], r > 0 ? below[r - 1] : 1e9);
    return nearer;
}

// For each row, which of `parts` (1: the row's own width; k: a k-th of it) its words fit best:
// the row above or below (whichever is closer: one of them, at either end of a picture, is its
// own) or the part row on. Then the labelling that goes against the fewest rows, each change
// counting as two rows against it, so that a stray row does not split a picture.
std::vector<std::size_t> partOfRows(std::span<const std::uint16_t> words, std::size_t width,
                                    std::size_t rows, std::span<const std::size_t> parts) {
    const std::vector<double> nearer = nearerRowSteps(words, width, rows);
    std::vector<std::size_t> best(rows, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        double closest = nearer[r];
        for (std::size_t j = 1; j < parts.size(); ++j) {
            const std::size_t part = width / parts[j];
            long along = 0;
            for (std::size_t i = r * width; i + part < (r + 1) * width; ++i)
                along += colourDistance(words[i], words[i + part]);
            const double d = static_cast<double>(along) / static_cast<double>(width - part);
            if (d < closest) closest = d, best[r] = j;
        }
    }
    const std::size_t kinds = parts.size();
    std::vector<double> cost(kinds);
    std::vector<std::vector<std::uint8_t>> came(rows, std::vector<std::uint8_t>(kinds, 0));
    for (std::size_t j = 0; j < kinds; ++j) cost[j] = best[0] != j;
    for (std::size_t r = 1; r < rows; ++r) {
        std::vector<double> next(kinds);
        for (std::size_t j = 0; j < kinds; ++j) {
            std::size_t from = j;
            double least = cost[j];
            for (std::size_t i = 0; i < kinds; ++i)
                if (cost[i] + 2 < least) least = cost[i] + 2, from = i;
            next[j] = least + (best[r] != j);
            came[r][j] = static_cast<std::uint8_t>(from);
        }
        cost = next;
    }
    std::vector<std::size_t> label(rows);
    auto j = static_cast<std::size_t>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (std::size_t r = rows; r-- > 0;) {
        label[r] = parts[j];
        j = came[r][j];
    }
    return label;
}

// Pictures packed back to back, some a half, a third or a quarter as wide as others (sprites of
// 64, 32 and 16 pixels): a narrower one's rows, read at the wider width, fit its rows two or
// more on, and it was taken for rows of the wider picture. There each row fits its part row on
// better than the row above or below, where a picture's own rows do not: the candidate is split
// where its rows change from one kind to another, where every part then fits as a picture, the
// parts of the candidate's own width against their diagonal neighbours no more loosely than the
// whole did (a texture whose pattern repeats along part of a picture's rows fits both ways), and
// the narrower ones fit their rows clearly better than the rows after (a pattern repeating along
// a row fits both alike).
std::vector<Candidate> splitByPartRows(const Source& source, std::vector<Candidate> all,
                                       const FindOptions& o, int threads) {
    std::vector<std::vector<Candidate>> pieces(all.size());
    parallelFor(all.size(), threads, [&](std::size_t index, std::size_t) {
        const Candidate& c = all[index];
        pieces[index] = {c};
        const auto w = static_cast<std::size_t>(c.width), h = static_cast<std::size_t>(c.height);
        std::vector<std::size_t> parts{1};
        for (const std::size_t k : {2u, 3u, 4u})
            if (w % k == 0 && static_cast<int>(w / k) >= std::max(8, o.minWidth))
                parts.push_back(k);
        if (c.reason == kAfterHeader || h < 4 || parts.size() == 1) return;
        const auto words = wordsAt(source, c.address, w * h);
        if (words.empty()) return;
        const std::vector<std::size_t> label = partOfRows(words, w, h, parts);
        if (std::all_of(label.begin(), label.end(), [&](std::size_t k) { return k == label[0]; }))
            return;
        const Found whole = wholeRows(words, c.width);
        std::vector<Candidate> split;
        for (std::size_t from = 0, to = 0; from < h; from = to) {
            while (to < h && label[to] == label[from]) ++to;
            const std::size_t k = label[from], narrow = w / k, rows = (to - from) * k;
            if (rows < 8 || rows > static_cast<std::size_t>(kMaxSide)) return;
            const auto own = std::span(words).subspan(from * w, (to - from) * w);
            const Found fit = wholeRows(own, static_cast<int>(narrow));
            if (fit.confidence <= 0) return;
            if (k == 1 && whole.confidence > 0 && fit.dip > 1.05 * whole.dip) return;
            if (k > 1) {
                double next = 0, after = 0;
                for (std::size_t i = 0; i + 2 * narrow < own.size(); ++i) {
                    next += colourDistance(own[i], own[i + narrow]);
                    after += colourDistance(own[i], own[i + 2 * narrow]);
                }
                if (after < 1.4 * next) return;
            }
            split.push_back({c.address + 2 * w * from, static_cast<int>(narrow),
                             static_cast<int>(rows), c.confidence, c.reason});
        }
        pieces[index] = split;
    });
    std::vector<Candidate> out;
    for (auto& p : pieces) out.insert(out.end(), p.begin(), p.end());
    std::sort(out.begin(), out.end(), inFileOrder);
    return out;
}

// A gap of a few hundred words between two pictures found, whole rows of one width only as a
// picture's: too few words for a small picture's own fit to be clear (a rough sprite or a
// photograph scaled down fits the row below loosely), but the gap places it, so the width need
// only fit far better than any other that divides it does.
Candidate closestRows(std::span<const std::uint16_t> words, std::uint64_t from, int minWidth,
                      int minRows) {
    constexpr std::size_t kMostWords = 1024;
    const std::size_t n = words.size();
    if (n > kMostWords) return {};
    struct Fit {
        int width = 0;
        double quality = 0, dip = 0;
    };
    std::vector<Fit> fits;
    for (int w = minWidth; w <= kMaxSide && static_cast<std::size_t>(w * minRows) <= n; ++w) {
        if (n % static_cast<std::size_t>(w) != 0) continue;
        const RowFit f = rowFit(words, w);
        // Words that hardly differ at all (a flat margin) tell no width.
        if (f.unrelated >= 2)
            fits.push_back({w, f.vertical / f.unrelated, f.vertical / std::max(0.05, f.beside)});
    }
    if (fits.empty()) return {};
    const Fit best = *std::min_element(
        fits.begin(), fits.end(), [](const Fit& a, const Fit& b) { return a.quality < b.quality; });
    // Against any other width but its multiples, which fit partly because it does (a row two
    // rows on is a row too); with no other to choose, its own fit must be clear.
    double other = -1;
    for (const Fit& f : fits)
        if (f.width % best.width != 0 && (other < 0 || f.quality < other)) other = f.quality;
    const double against = other < 0 ? 0.5 : 0.8 * other;
    if (best.quality > 0.8 || best.dip > 0.92 || best.quality >= against) return {};
    std::vector<std::uint16_t> colours(words.begin(), words.end());
    for (auto& x : colours) x &= 0x7FFF;
    if (otherKind(words, Channels(colours)) || sparseRecords(words)) return {};
    char reason[128];
    std::snprintf(reason, sizeof reason,
                  "rows alike at width %d: %.2f of unrelated, %.2f of beside, between pictures",
                  best.width, best.quality, best.dip);
    return {from, best.width, static_cast<int>(n / static_cast<std::size_t>(best.width)), 0.5,
            reason};
}

// Pictures packed back to back: one of a few hundred words between two found is too small for
// the search to tell its width among theirs, but it is then the gap between them, whole rows of
// some width. Where, at one such width, the gap's words fit the row below as a picture's do,
// it is that picture, or rows of the one beside it where that one is as wide. Between two
// candidates of one width, the gap is theirs to join.
std::vector<Candidate> fillGaps(const Source& source, std::vector<Candidate> all,
                                const FindOptions& o) {
    std::vector<Candidate> added;
    const int minWidth = std::max(8, o.minWidth), minRows = std::max(8, o.minHeight);
    for (std::size_t k = 0; k + 1 < all.size(); ++k) {
        const std::uint64_t from = endOf(all[k]), to = all[k + 1].address;
        if (to <= from || (to - from) % 2 != 0 || all[k].width == all[k + 1].width) continue;
        const std::uint64_t n = (to - from) / 2;
        if (n < 64 || n > 32768) continue;
        const auto words = wordsAt(source, from, n);
        if (words.empty()) continue;
        Candidate best;
        for (int w = minWidth; w <= kMaxSide && static_cast<std::uint64_t>(w) * 8 <= n; ++w) {
            const std::uint64_t rows = n / static_cast<std::uint64_t>(w);
            if (n % static_cast<std::uint64_t>(w) != 0 || rows > kMaxSide ||
                rows < static_cast<std::uint64_t>(minRows))
                continue;
            const Found f = wholeRows(words, w);
            // Its own evidence is a small picture's, but it also starts and ends where others do.
            const double confidence = 0.5 + 0.4 * f.confidence;
            if (f.confidence > 0 && confidence >= o.minConfidence && confidence > best.confidence)
                best = {from, w, static_cast<int>(rows), confidence,
                        f.reason + " between pictures"};
        }
        if (best.width == 0 && o.minConfidence <= 0.5)
            best = closestRows(words, from, minWidth, minRows);
        if (best.width == 0) continue;
        // Rows of a neighbour's width are its own, which it started or ended too early.
        Candidate& before = all[k];
        Candidate& after = all[k + 1];
        if (best.width == before.width && before.height + best.height <= kMaxSide)
            before.height += best.height;
        else if (best.width == after.width && after.height + best.height <= kMaxSide)
            after = {from, after.width, after.height + best.height, after.confidence, after.reason};
        else
            added.push_back(best);
    }
    all.insert(all.end(), added.begin(), added.end());
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A picture found twice or three times as wide as it is (a sprite on a plain background fits a
// row two rows on about as well) fits as a picture at its own width too, where a picture read
// at half its width fits none: each row is unrelated to the half row after it.
std::vector<Candidate> narrowestWholeRows(const Source& source, std::vector<Candidate> all,
                                          const FindOptions& o, int threads) {
    parallelFor(all.size(), threads, [&](std::size_t i, std::size_t) {
        Candidate& c = all[i];
        const std::uint64_t n = (endOf(c) - c.address) / 2;
        auto narrower = [&](int k) {
            return c.width % k == 0 && c.width / k >= std::max(8, o.minWidth) &&
                   c.height * k <= kMaxSide;
        };
        if (n > 262144 || c.reason == kAfterHeader || !(narrower(2) || narrower(3))) return;
        const auto words = wordsAt(source, c.address, n);
        for (const int k : {2, 3})
            if (narrower(k) && !words.empty() && wholeRows(words, c.width / k).confidence > 0) {
                c = {c.address, c.width / k, c.height * k, c.confidence, c.reason};
                return;
            }
    });
    return all;
}

// Where a candidate's neighbours leave it a little more than its own rows (it started a few
// words off, or ended rows early, on a grid a word off), those words, where they are whole
// rows of its width or one beside that fit as a picture's, are the picture.
std::vector<Candidate> fillBetweenNeighbours(const Source& source, std::vector<Candidate> all,
                                             const FindOptions& o) {
    for (std::size_t k = 1; k + 1 < all.size(); ++k) {
        Candidate& c = all[k];
        const std::uint64_t from = endOf(all[k - 1]), to = all[k + 1].address;
        const std::uint64_t own = (endOf(c) - c.address) / 2, n = (to - from) / 2;
        if (c.reason == kAfterHeader || from > c.address || to < endOf(c) || (to - from) % 2 != 0 ||
            n == own || 4 * n > 5 * own || n > 262144)
            continue;
        const auto words = wordsAt(source, from, n);
        for (const int w : {c.width, c.width - 1, c.width + 1}) {
            const auto W = static_cast<std::uint64_t>(std::max(1, w));
            if (words.empty() || w < std::max(8, o.minWidth) || w > kMaxSide || n % W != 0 ||
                n / W > kMaxSide || wholeRows(words, w).confidence <= 0)
                continue;
            c = {from, w, static_cast<int>(n / W), c.confidence, c.reason};
            break;
        }
    }
    return all;
}

// Two sprites or icons on one key colour, back to back, share one run of it: the bottom margin
// of the first and the top margin of the second, where either may end or start (and the search
// cuts them apart anywhere, often off their grids). Their outer ends place both: the first
// starts where its top margin does (or where it starts, sharply), the second ends where its
// bottom margin does (or where it ends, sharply), and the two meet in the run at a word that
// is a whole number of rows of each from those ends. Where one word in the run is, it is.
std::vector<Candidate> splitSharedMargins(const Source& source, std::vector<Candidate> all) {
    // Two of the largest pictures and the margin looked at past them.
    constexpr std::int64_t kMostWords = 3 << 20;
    for (std::size_t k = 0; k + 1 < all.size(); ++k) {
        Candidate &p = all[k], &c = all[k + 1];
        // Margins are no larger than the pictures: two candidates farther apart share none
        // (and the words between them are not read).
        if (p.reason == kAfterHeader || c.reason == kAfterHeader || p.width == c.width ||
            c.address <= p.address || (c.address - p.address) % 2 != 0 ||
            (c.address > endOf(p) &&
             c.address - endOf(p) > (endOf(p) - p.address) + (endOf(c) - c.address)))
            continue;
        const std::int64_t w1 = p.width, w2 = c.width;
        // Words counted from `base`, reach words before the first candidate's first.
        const std::int64_t reach1 = std::max<std::int64_t>(16, p.height / 2) * w1;
        const std::int64_t reach2 = std::max<std::int64_t>(16, c.height / 2) * w2;
        const std::int64_t before =
            std::min<std::int64_t>(reach1, static_cast<std::int64_t>(p.address / 2));
        const std::uint64_t base = p.address - 2 * static_cast<std::uint64_t>(before);
        const std::int64_t a = before, e = static_cast<std::int64_t>(endOf(c) - base) / 2;
        const std::int64_t endP = static_cast<std::int64_t>(endOf(p) - base) / 2;
        const std::int64_t startC = static_cast<std::int64_t>(c.address - base) / 2;
        if (e + reach2 > kMostWords) continue;
        const auto words = coloursAt(source, base, static_cast<std::size_t>(e + reach2));
        const auto n = static_cast<std::int64_t>(words.size());
        if (n < e) continue;
        // The run of one value that word i lies in: [from, to).
        auto runOf = [&](std::int64_t i) {
            const auto [from, to] = runAround(words, static_cast<std::size_t>(i));
            return std::pair{static_cast<std::int64_t>(from), static_cast<std::int64_t>(to)};
        };
        // The longest run around where one ends and the other starts: the shared margins.
        const std::int64_t W = std::max(w1, w2);
        std::int64_t r0 = 0, r1 = 0;
        for (std::int64_t i = std::max<std::int64_t>(a, std::min(endP, startC) - W);
             i < std::min(e, std::max(endP, startC) + W);) {
            const auto [s0, s1] = runOf(i);
            if (s1 - s0 > r1 - r0) r0 = s0, r1 = s1;
            i = s1;
        }
        // Each candidate's inner end lies within a row of the run. A run that ends where the
        // first candidate does, the second starting a few words after it (a header between),
        // is the first one's margin only; so the other way round.
        if (r1 - r0 < W || r0 <= a || r1 >= e || startC > r1 + w2 || endP < r0 - w1 ||
            (r1 == endP && startC > r1 && startC - r1 <= 4) ||
            (r0 == startC && endP < r0 && r0 - endP <= 4))
            continue;
        const std::uint16_t key = words[static_cast<std::size_t>(r0)];
        // Filler of one value between two pictures is no margin: a margin is the key colour
        // of the rows beside it too (around a sprite's first and last lines), and one of the
        // candidates reaches into it already.
        auto keyIn = [&](std::int64_t from, std::int64_t to) {
            return std::find(words.begin() + std::max<std::int64_t>(0, from),
                             words.begin() + std::min(n, to),
                             key) != words.begin() + std::min(n, to);
        };
        if ((endP <= r0 && startC >= r1) || !keyIn(r0 - w1, r0 - 1) || !keyIn(r1 + 1, r1 + w2))
            continue;
        // The margin of the key colour nearest an outer end (a row long at least) sets it, or,
        // with none, that end where the word beside it differs.
        auto nearestMargin = [&](std::int64_t at, std::int64_t row, std::int64_t reach) {
            std::int64_t best0 = -1, best1 = -1, distance = reach + 1;
            for (std::int64_t i = std::max<std::int64_t>(0, at - reach);
                 i < std::min(n, at + reach);) {
                const auto [s0, s1] = runOf(i);
                if (s1 - s0 >= row && words[static_cast<std::size_t>(s0)] == key &&
                    (s0 < r0 || s0 >= r1)) {
                    const std::int64_t d = at < s0 ? s0 - at : at > s1 ? at - s1 : 0;
                    if (d < distance) distance = d, best0 = s0, best1 = s1;
                }
                i = s1;
            }
            return std::pair{best0, best1};
        };
        // A margin that reaches into the candidate before or after is shared with that one.
        const std::int64_t floor = k > 0 && endOf(all[k - 1]) > base
                                       ? static_cast<std::int64_t>(endOf(all[k - 1]) - base) / 2
                                       : 0;
        const std::int64_t ceiling =
            k + 2 < all.size() ? static_cast<std::int64_t>(all[k + 2].address - base) / 2 : n;
        std::int64_t first = a, last = e;
        if (const auto [s0, s1] = nearestMargin(a, w1, reach1); s0 >= floor && s0 > 0 && s1 <= r0)
            first = s0;
        else if (a == 0 ||
                 words[static_cast<std::size_t>(a - 1)] == words[static_cast<std::size_t>(a)])
            continue;
        if (const auto [s0, s1] = nearestMargin(e, w2, reach2); s0 >= r1 && s1 < n && s1 <= ceiling)
            last = s1;
        else if (e >= n ||
                 words[static_cast<std::size_t>(e - 1)] == words[static_cast<std::size_t>(e)])
            continue;
        // Where in the run a whole number of rows of each meet.
        std::int64_t meet = -1;
        int meets = 0;
        for (std::int64_t x = first + (r0 - first + w1 - 1) / w1 * w1; x <= r1; x += w1)
            if ((last - x) % w2 == 0 && x > first && last > x) meet = x, ++meets;
        // Each keeps most of its rows: a run deep inside one (a border of one colour) is none.
        auto mostlyKept = [](std::int64_t from, std::int64_t to, std::int64_t was0,
                             std::int64_t was1) {
            return 2 * (std::min(to, was1) - std::max(from, was0)) >= to - from;
        };
        if (meets != 1 || (meet - first) / w1 > kMaxSide || (last - meet) / w2 > kMaxSide ||
            !mostlyKept(first, meet, a, endP) || !mostlyKept(meet, last, startC, e))
            continue;
        p.address = base + 2 * static_cast<std::uint64_t>(first);
        p.height = static_cast<int>((meet - first) / w1);
        c.address = base + 2 * static_cast<std::uint64_t>(meet);
        c.height = static_cast<int>((last - meet) / w2);
    }
    return all;
}

// Where the pictures of a bank follow headers giving their sizes, the headers place each one
// exactly: those pictures replace what the search found there (parts, pictures run together,
// rows started a few words off) and join those too small for the search. A bank is looked for
// around each picture found, of its width, and around a small one that fits loosely, of any
// width its headers give.
std::vector<Candidate> followHeaders(const Source& source, std::vector<Candidate> all,
                                     const std::vector<std::vector<Candidate>>& banks,
                                     const FindOptions& o, int threads) {
    const std::uint64_t size = source.size();
    std::vector<Candidate> banked;
    auto overlap = [](const Candidate& a, const Candidate& b) {
        const std::uint64_t lo = std::max(a.address, b.address);
        const std::uint64_t hi = std::min(endOf(a), endOf(b));
        return hi > lo ? hi - lo : 0;
    };
    auto covered = [&](const std::vector<Candidate>& bank, const Candidate& c) {
        std::uint64_t sum = 0;
        for (const Candidate& b : bank) sum += overlap(b, c);
        return sum;
    };
    // The pictures of a bank found in bytes from `from`, if they hold most of the candidate's
    // bytes: the bank of that candidate.
    auto take = [&](const Candidate& c, std::uint64_t from, int width,
                    std::span<const BankPicture> pictures) {
        std::vector<Candidate> bank;
        for (const BankPicture& p : pictures)
            bank.push_back(
                {from + p.address, width, p.height, std::max(c.confidence, 0.9), kAfterHeader});
        if (covered(bank, c) * 2 <= endOf(c) - c.address) return;
        // Rows of that width that fit plainly from well before the first header go on over
        // it: the headers are pixels of a picture that happen to read as its width.
        if (width == c.width && c.confidence >= 0.95 &&
            bank.front().address >= c.address + 8ull * static_cast<std::uint64_t>(width))
            return;
        for (const Candidate& b : bank)
            if (b.height >= o.minHeight &&
                std::none_of(banked.begin(), banked.end(),
                             [&](const Candidate& k) { return k.address == b.address; }))
                banked.push_back(b);
    };
    // The banks around every candidate are looked for on every core first, then taken in
    // file order.
    struct Around {
        std::uint64_t from = 0;
        std::vector<Bank> banks;
    };
    std::vector<Around> around(all.size());
    std::vector<std::vector<std::byte>> buffers(static_cast<std::size_t>(threads));
    auto lookAround = [&](auto margin, auto look) {
        parallelFor(all.size(), threads, [&](std::size_t i, std::size_t worker) {
            const Candidate& c = all[i];
            around[i].banks.clear();
            const std::uint64_t m = margin(c);
            if (m == 0) return;
            const std::uint64_t from = c.address > m ? c.address - m : 0;
            const std::uint64_t to = std::min(size, endOf(c) + m);
            std::vector<std::byte>& bytes = buffers[worker];
            bytes.resize(static_cast<std::size_t>(to - from));
            bytes.resize(source.readAt(from, bytes));
            around[i] = {from, look(c, std::span<const std::byte>(bytes))};
        });
        buffers.assign(buffers.size(), {});
    };
    lookAround(
        [](const Candidate& c) {
            const std::uint64_t span = endOf(c) - c.address;
            return std::min<std::uint64_t>(4 << 20, 8 * span + (64 << 10));
        },
        [](const Candidate& c, std::span<const std::byte> bytes) {
            std::vector<Bank> found;
            for (auto& chain : banksAfterHeaders(bytes, c.width))
                found.push_back({c.width, std::move(chain)});
            return found;
        });
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Candidate& c = all[i];
        if (std::any_of(banked.begin(), banked.end(), [&](const Candidate& b) {
                return b.width == c.width && overlap(b, c) > 0;
            }))
            continue;
        for (const Bank& found : around[i].banks)
            take(c, around[i].from, found.width, found.pictures);
    }
    // A candidate of another width over the pictures of a bank: its headers tell the width.
    // Only small pictures, whose rows fit loosely at their width: a bank is of sprites and
    // icons, and a picture taken at a wrong width fits less well.
    lookAround(
        [](const Candidate& c) {
            const std::uint64_t span = endOf(c) - c.address;
            return span > (256u << 10) || c.confidence >= 0.95 ? 0 : span;
        },
        [&](const Candidate&, std::span<const std::byte> bytes) {
            return banksOfAnyWidth(bytes, o.minWidth);
        });
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Candidate& c = all[i];
        if (std::any_of(banked.begin(), banked.end(),
                        [&](const Candidate& b) { return overlap(b, c) > 0; }))
            continue;
        for (const Bank& found : around[i].banks)
            take(c, around[i].from, found.width, found.pictures);
    }
    // Banks whose headers chained where nothing was found by its rows. Three pictures at
    // least: within a picture, a colour may recur where its rows repeat a pattern, as two
    // headers would.
    auto overlapsAny = [&](const std::vector<Candidate>& bank, const std::vector<Candidate>& in) {
        return std::any_of(in.begin(), in.end(),
                           [&](const Candidate& k) { return covered(bank, k) > 0; });
    };
    // The longest first: a stretch may end within a bank that the next one holds whole.
    std::vector<const std::vector<Candidate>*> longestFirst;
    for (const auto& chain : banks) longestFirst.push_back(&chain);
    std::stable_sort(longestFirst.begin(), longestFirst.end(),
                     [](const auto* a, const auto* b) { return a->size() > b->size(); });
    for (const auto* chain : longestFirst) {
        std::vector<Candidate> bank;
        std::copy_if(chain->begin(), chain->end(), std::back_inserter(bank),
                     [&](const Candidate& b) { return b.height >= o.minHeight; });
        if (bank.size() < 3 || overlapsAny(bank, banked) || overlapsAny(bank, all)) continue;
        banked.insert(banked.end(), bank.begin(), bank.end());
    }
    if (banked.empty()) return all;
    // What else was found there was the same bytes, taken wrongly.
    std::erase_if(
        all, [&](const Candidate& c) { return covered(banked, c) * 2 > endOf(c) - c.address; });
    all.insert(all.end(), banked.begin(), banked.end());
    std::sort(all.begin(), all.end(), inFileOrder);
    return all;
}

// A few short or narrow rows fit in filler by chance far more often than a picture's rows
// fail to: the smaller the picture, the clearer its fit must be to stay above the middle.
// So must the fit of words that repeat a byte more often than colours do (both bytes alike:
// two 8-bit indexed pixels of one colour).
std::vector<Candidate> calibrated(const Source& source, std::vector<Candidate> all,
                                  double minConfidence) {
    std::vector<std::byte> bytes;
    for (Candidate& c : all) {
        const double middle = c.height < 16 ? 0.8 : c.height < 32 || c.width < 16 ? 0.6 : 0.5;
        c.confidence = std::clamp(0.5 + (c.confidence - middle) * 0.5 / (1 - middle), 0.0, 1.0);
        // Up to 32 K words where the confidence is low enough to question, else the first 8 K
        // words and a row (a program's table shows as much at once).
        const bool low = c.confidence < 0.75;
        const std::uint64_t most = low ? 65536 : 2 * (8192 + static_cast<std::uint64_t>(c.width));
        bytes.resize(static_cast<std::size_t>(std::min(endOf(c) - c.address, most)));
        bytes.resize(source.readAt(c.address, bytes));
        const auto words = wordsFrom(bytes);
        if ((low && bytesAlikeAsIndexed(words)) || runsOfManyIndices(words)) c.confidence = 0;
        // A header placing a picture is evidence enough; rows alone, in a program's tables of
        // numbers, are not.
        const auto first = std::span(words).first(
            std::min<std::size_t>(words.size(), 8192 + static_cast<std::size_t>(c.width)));
        if (c.reason != kAfterHeader &&
            (fourWordNumbers(first, c.width) || topBitAsInNumbers(words) ||
             recordColumns(first, c.width) ||
             (c.width <= 128 && rowsRepeatFurtherOn(words, c.width)) ||
             (c.width * c.height < 65536 && sparseRecords(words))))
            c.confidence = 0;
        // What the passes after the search framed anew, and a bank's pictures placed by their
        // headers alone, may be 16-bit colour of another layout (a sprite of a few hundred
        // words, or of a few colours, tells too little).
        if (first.size() >= 1024) {
            std::vector<std::uint16_t> colours(first.begin(), first.end());
            for (auto& x : colours) x &= 0x7FFF;
            std::vector<std::uint8_t> seen(32768);
            std::size_t distinct = 0;
            for (std::size_t k = 0; k < colours.size() && distinct < 64; ++k)
                distinct += seen[colours[k]] == 0, seen[colours[k]] = 1;
            const char* kind = distinct >= 64 ? otherKind(first, Channels(colours)) : nullptr;
            if (kind && std::strcmp(kind, "16-bit colour of another layout") == 0) c.confidence = 0;
        }
        // Rows under 16 words fit by chance in a program's tables and in sound far more often
        // than a picture that narrow fits so loosely: only a clearer fit counts.
        if (c.width < 16 && c.confidence < 0.7) c.confidence = 0;
    }
    std::erase_if(all, [&](const Candidate& c) { return c.confidence < minConfidence; });
    return all;
}

FindResult search(const Source& source, const FindOptions& options, const ProgressFn& progress) {
    FindResult result;
    result.readable = true;
    FindOptions o = options;
    o.minWidth = std::clamp(o.minWidth, 1, kMaxSide);
    o.minHeight = std::clamp(o.minHeight, 1, kMaxSide);
    int threads = o.threads > 0 ? o.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 64);

    const std::uint64_t size = source.size();
    result.size = size;
    std::vector<std::byte> block(kBlockBytes + 4);
    std::vector<CellClass> cells[2];
    RegionBuilder builders[2];
    std::vector<std::vector<std::byte>> bytes(static_cast<std::size_t>(threads));
    std::vector<std::vector<std::uint16_t>> words(static_cast<std::size_t>(threads));
    std::vector<Ranked> all;
    std::vector<std::vector<Candidate>> banks;

    // A region longer than a piece, piece after piece, each taking some tens of MiB: the next
    // piece starts at the first picture that may run on past this one (so that it lies whole in
    // the next), or a little before this piece's end.
    auto analysePieces = [&](const Stretch& region) {
        Analysed out;
        for (std::uint64_t b = region.begin;;) {
            const std::uint64_t e = std::min(region.end, b + kPieceWords);
            Analysed a = analyse(source, {region.parity, b, e}, o, bytes[0], words[0], threads > 1);
            std::uint64_t next = e - std::min(e, kPieceOverlapWords);
            for (const Ranked& r : a.ranked) {
                const std::uint64_t first =
                    (r.candidate.address - static_cast<std::uint64_t>(region.parity)) / 2;
                const std::uint64_t last =
                    first + static_cast<std::uint64_t>(r.candidate.width) *
                                static_cast<std::uint64_t>(r.candidate.height);
                if (last + 2 * kMaxSide >= e) next = std::min(next, first);
            }
            out.ranked.insert(out.ranked.end(), a.ranked.begin(), a.ranked.end());
            for (auto& bank : a.banks) out.banks.push_back(std::move(bank));
            if (e == region.end) return out;
            b = std::max(b + kPieceStep, next);
        }
    };
    auto analyseClosed = [&] {
        std::vector<Stretch> regions;
        for (int p = 0; p < 2; ++p)
            for (const auto& r : builders[p].take()) {
                const std::uint64_t limit = size > static_cast<std::uint64_t>(p)
                                                ? (size - static_cast<std::uint64_t>(p)) / 2
                                                : 0;
                const std::uint64_t end = std::min(r.end, limit);
                if (end > r.begin) regions.push_back({p, r.begin, end});
            }
        // Short regions on every core; long ones one at a time, so that memory stays bounded
        // however much of the file looks smooth.
        std::vector<Analysed> found(regions.size());
        std::vector<std::size_t> shortOnes, longOnes;
        for (std::size_t i = 0; i < regions.size(); ++i)
            (regions[i].end - regions[i].begin > kLongStretchWords ? longOnes : shortOnes)
                .push_back(i);
        parallelFor(shortOnes.size(), threads, [&](std::size_t k, std::size_t worker) {
            const std::size_t i = shortOnes[k];
            found[i] = analyse(source, regions[i], o, bytes[worker], words[worker]);
        });
        for (const std::size_t i : longOnes) found[i] = analysePieces(regions[i]);
        for (auto& f : found) {
            all.insert(all.end(), f.ranked.begin(), f.ranked.end());
            for (auto& bank : f.banks) banks.push_back(std::move(bank));
        }
    };

    for (std::uint64_t at = 0; at < size; at += kBlockBytes) {
        const std::size_t got = source.readAt(at, block);
        const std::span<const std::byte> data(block.data(), got);
        // A block of one byte value throughout (a sparse file's holes, erased flash) is all
        // constant cells, known at memory speed.
        if (got > 1 && std::memcmp(data.data(), data.data() + 1, got - 1) == 0) {
            for (int p = 0; p < 2; ++p)
                cells[p].assign(got > static_cast<std::size_t>(p) + 2
                                    ? (got - static_cast<std::size_t>(p) - 2) / kCellBytes
                                    : 0,
                                CellClass::Constant);
        } else {
            parallelFor(2, threads, [&](std::size_t p, std::size_t) {
                screenCells(data, static_cast<int>(p), cells[p]);
            });
        }
        for (int p = 0; p < 2; ++p) {
            // Only the cells this block owns; the bytes past it are only for the last pairs.
            const std::size_t own = std::min(cells[p].size(), kBlockBytes / kCellBytes);
            for (std::size_t k = 0; k < own; ++k) builders[p].push(cells[p][k]);
        }
        analyseClosed();
        if (progress) {
            const std::uint64_t done = std::min(size, at + kBlockBytes);
            if (!progress({done, size, all.size()})) {
                result.cancelled = true;
                break;
            }
        }
        if (got < kBlockBytes) break;
    }
    if (!result.cancelled) {
        for (int p = 0; p < 2; ++p)
            builders[p].finish(size > static_cast<std::uint64_t>(p) ? (size - p) / 2 : 0);
        analyseClosed();
    }
    // What the analysis kept for the next stretch makes room for the passes below.
    releaseScratch();
    bytes = {};
    words = {};
    // Parts moved to the truer byte may be parts of one picture as well.
    result.candidates =
        joinParts(source, settleParity(source, keepBest(source, std::move(all), o), o));
    result.candidates = reachEdgesOnGrid(source, std::move(result.candidates), threads);
    result.candidates = trimForeignEnds(source, std::move(result.candidates), o, threads);
    result.candidates = extendWhileRowsHold(source, std::move(result.candidates), threads);
    result.candidates = settleWidthsBySeam(source, std::move(result.candidates), threads);
    result.candidates = settleSeams(source, std::move(result.candidates), threads);
    result.candidates = extendFlatTops(source, std::move(result.candidates));
    result.candidates = frameByMargins(source, std::move(result.candidates), threads);
    result.candidates = frameByFlatEnds(source, std::move(result.candidates), threads);
    result.candidates = dropFillerRows(source, std::move(result.candidates));
    result.candidates = keepToOneTopBit(source, std::move(result.candidates), threads);
    result.candidates = settleEndWords(source, std::move(result.candidates), threads);
    result.candidates = frameByFitEdges(source, std::move(result.candidates), threads);
    result.candidates = frameByTopBitNoise(source, std::move(result.candidates), threads);
    // Parts those passes moved or grew onto one grid, end to end, are one picture too.
    result.candidates = joinParts(source, std::move(result.candidates));
    result.candidates = followHeaders(source, std::move(result.candidates), banks, o, threads);
    result.candidates = calibrated(source, std::move(result.candidates), o.minConfidence);
    result.candidates = splitByPartRows(source, std::move(result.candidates), o, threads);
    result.candidates = fillGaps(source, std::move(result.candidates), o);
    result.candidates = narrowestWholeRows(source, std::move(result.candidates), o, threads);
    result.candidates = fillBetweenNeighbours(source, std::move(result.candidates), o);
    result.candidates = splitSharedMargins(source, std::move(result.candidates));
    result.candidates = dropContainedParts(std::move(result.candidates));
    return result;
}

}  // namespace

std::vector<Candidate> dropContainedParts(std::vector<Candidate> all) {
    std::vector<bool> drop(all.size(), false);
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size() && all[j].address < endOf(all[i]); ++j) {
            const Candidate &a = all[i], &b = all[j];
            const std::uint64_t row = 2ull * static_cast<std::uint64_t>(a.width);
            if (a.width != b.width || (b.address - a.address) % row != 0) continue;
            const std::uint64_t shared = std::min(endOf(a), endOf(b)) - b.address;
            const bool aSmaller = endOf(a) - a.address < endOf(b) - b.address;
            const Candidate& smaller = aSmaller ? a : b;
            if (10 * shared >= 9 * (endOf(smaller) - smaller.address))
                drop[aSmaller ? i : j] = true;
        }
    std::vector<Candidate> kept;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (!drop[i]) kept.push_back(std::move(all[i]));
    return kept;
}

FindResult findPictures(const std::string& path, const FindOptions& options,
                        const ProgressFn& progress) {
    DataFile file;
    if (!file.open(path)) return {};
    return search(FileSource(file), options, progress);
}

std::vector<Candidate> findInBytes(std::span<const std::byte> bytes, const FindOptions& options,
                                   std::uint64_t base) {
    auto found = search(MemorySource(bytes), options, {}).candidates;
    for (Candidate& c : found) c.address += base;
    return found;
}

std::string bookmarkName(std::size_t number, const Candidate& c) {
    char text[96];
    std::snprintf(text, sizeof text, "Picture %zu %d x %d (%.2f)", number, c.width, c.height,
                  c.confidence);
    return text;
}

std::vector<Candidate> listedCandidates(std::span<const Candidate> candidates, std::size_t limit) {
    std::vector<Candidate> listed;
    for (const Candidate& c : candidates)
        if (c.address <= kMaxBookmarkAddress) listed.push_back(c);
    if (listed.size() > limit) {
        std::stable_sort(listed.begin(), listed.end(), [](const Candidate& a, const Candidate& b) {
            return a.confidence > b.confidence;
        });
        listed.resize(limit);
        std::sort(listed.begin(), listed.end(),
                  [](const Candidate& a, const Candidate& b) { return a.address < b.address; });
    }
    return listed;
}

}  // namespace pixvue::find
