// The screening pass: a cheap look at every cell of 64 words, for both byte parities, that
// tells where picture-like data may lie. Only what it marks gets the costly width search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixvue::find {

// A data word with bit 15 dropped: pictures may keep it clear, set or random.
inline std::uint16_t wordAt(const std::byte* p) {
    return static_cast<std::uint16_t>(
        (std::to_integer<unsigned>(p[0]) | std::to_integer<unsigned>(p[1]) << 8) & 0x7FFFu);
}

// How far apart two colours are: the sum of the three 5-bit channel differences (0..93).
inline int colourDistance(std::uint16_t a, std::uint16_t b) {
    const int dr = static_cast<int>(a & 31u) - static_cast<int>(b & 31u);
    const int dg = static_cast<int>(a >> 5 & 31u) - static_cast<int>(b >> 5 & 31u);
    const int db = static_cast<int>(a >> 10 & 31u) - static_cast<int>(b >> 10 & 31u);
    return (dr < 0 ? -dr : dr) + (dg < 0 ? -dg : dg) + (db < 0 ? -db : db);
}

// colourDistance of a[i] and b[i] for each i < n, into out[i]; and their sum. Bit 15 is
// ignored. Eight words at a time: the passes over what was found step along every word.
void colourDistances(const std::uint16_t* a, const std::uint16_t* b, std::size_t n,
                     std::uint8_t* out);
std::uint64_t colourDistanceSum(const std::uint16_t* a, const std::uint16_t* b, std::size_t n);

inline constexpr std::size_t kCellWords = 64;
inline constexpr std::size_t kCellBytes = 2 * kCellWords;
// Neighbours this close count as alike; in random data about one pair in fifty is.
inline constexpr int kCloseDistance = 12;

enum class CellClass : std::uint8_t { Rough, Constant, Smooth };

// Classifies the cells of `bytes` at one parity: cell k holds the words that start at bytes
// parity + 128k ... parity + 128k + 126, each compared with the word after it, so a cell needs
// two bytes past its end. Writes one class per whole cell and returns how many it wrote.
std::size_t screenCells(std::span<const std::byte> bytes, int parity, std::vector<CellClass>& out);

// One cell from its counts of equal and of close (but not equal) neighbour pairs.
CellClass classifyCell(int equalPairs, int closePairs);

// Runs of cells that may hold a picture, in word indices of one parity's stream. Fed the cells
// in order, across as many blocks as the file needs.
class RegionBuilder {
  public:
    struct Range {
        std::uint64_t begin = 0;  // first word
        std::uint64_t end = 0;    // one past the last word
    };

    void push(CellClass cell);
    // Ends the region in progress at the end of the data (`totalWords` words in this stream).
    void finish(std::uint64_t totalWords);
    // The regions closed so far, handed over once.
    std::vector<Range> take();

  private:
    void close(std::uint64_t lastCell);

    std::uint64_t next_ = 0;  // index of the next cell
    bool open_ = false;
    std::uint64_t first_ = 0;  // first cell of the open region
    std::uint64_t lastSmooth_ = 0;
    std::uint64_t lastKept_ = 0;  // last cell that was not rough
    std::uint64_t constantRun_ = 0;
    std::uint64_t roughRun_ = 0;
    std::uint64_t totalWords_ = UINT64_MAX;
    std::vector<Range> closed_;
};

}  // namespace pixvue::find
