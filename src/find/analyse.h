// The costly half of the finder: given a stretch of words that screening marked, find the
// pictures in it (width, first word, rows), or say why it holds none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pixvue::find {

// The three 5-bit channels of each word, apart, so distances sum over bytes.
struct Channels {
    std::vector<std::uint8_t> r, g, b;

    explicit Channels(std::span<const std::uint16_t> words);
    std::size_t size() const { return r.size(); }
    int distance(std::size_t i, std::size_t j) const;
};

struct WidthFit {
    int width = 0;         // 0: no width fits
    double vertical = 0;   // mean distance to the word a row below, over the better-fitting half
    double unrelated = 0;  // typical distance between words of the stretch that are not related
};

// The width in [minWidth, maxWidth] at which words look most like the word a row below them,
// on a sample of words [lo, hi). Prefers a divisor of the best width that fits as well, so a
// picture is never found twice or three times as wide as it is.
WidthFit searchWidth(const Channels& c, std::size_t lo, std::size_t hi, int minWidth, int maxWidth);

// Why words that look smooth are some other kind of data (interleaved samples or channels,
// audio, 16-bit colour of another layout, 8-bit or 4-bit indexed pixels), or null when they may
// be 15-bit pixels. `raw` keeps bit 15.
const char* otherKind(std::span<const std::uint16_t> raw, const Channels& c);

// Whether words read as rows of `width` are 64-bit numbers or addresses (a program's tables):
// each word is closer to the word four on than to the next, the step to the next word differs
// by its place among the four (the high words of small numbers and addresses hardly change),
// and rows fit no closer than to a quarter of that step (a picture's stripes four words apart fit
// their rows far closer). Dithered pictures step alike at every place.
bool fourWordNumbers(std::span<const std::uint16_t> raw, int width);

// The share of bright words that are a byte and a zero byte: small numbers, as in a program's
// fields, sound, or 8-bit and 4-bit indexed pixels. (Dark colours are small numbers as well.)
double smallNumberShare(std::span<const std::uint16_t> raw);
// Whether most words are nothing (seven in ten) and the rest many small numbers: a program's
// sparse records, field under field, however well they repeat.
bool sparseRecords(std::span<const std::uint16_t> raw);

// The mean colour distance from word `from` on to the word `lag` further on, over about
// `samples` of them spread evenly (all, where there are fewer). Needs from + lag < size.
double meanDistance(std::span<const std::uint16_t> words, std::size_t lag, std::size_t from,
                    std::size_t samples);

// A table of records read a record a row: most of its words other than zero are small numbers
// (no red: under 0x400), and three in ten or more, in columns of words other than zero in most
// rows (fields), repeat the word below while differing from both beside it (each field holds
// its own number from record to record). A picture's word that repeats the one below is mostly
// of a colour that spreads sideways too, and a stroke that holds a colour down while it changes
// sideways crosses a column in a few rows only.
bool recordColumns(std::span<const std::uint16_t> raw, int width);

// Rows that fit the row two on about as well as the next (not better with nearness, as a
// picture's rows do) and some rows further on clearly better than the rows either side of
// that: the tiles of a map or the frames of a strip read a tile wide, a picture that many
// times as wide, or other data repeating so. The rows looked at must hold four such repeats.
bool rowsRepeatFurtherOn(std::span<const std::uint16_t> raw, int width);
// Whether more than one word in 50 (black and white aside) has two equal bytes, as runs of
// 8-bit indexed pixels do.
bool bytesAlikeAsIndexed(std::span<const std::uint16_t> raw);
// Whether a tenth of the words or more (black and white aside) have two equal bytes, of eight
// values or more: runs of many indices of 8-bit indexed pixels, or grey 24-bit pixels. A
// picture's words agree so only in a colour or two that happen to (its ground, say).
bool runsOfManyIndices(std::span<const std::uint16_t> raw);
// Whether bit 15 is set on some words only (2% to 35% in each quarter), a few at a time (fewer than
// six in a row on average): the high words of negative numbers and of -1 among a program's small
// numbers. A picture keeps bit 15 clear, set or at random, or marks whole areas with it (an
// alpha bit: long runs).
bool topBitAsInNumbers(std::span<const std::uint16_t> raw);

// A picture found in a stretch: its first word (from the stretch's start), width and rows.
struct Found {
    std::size_t first = 0;
    int width = 0;
    int rows = 0;
    double confidence = 0;
    // Mean distance to the neighbours right and below: between two readings of the same bytes
    // (one byte apart), the true one is the smoother.
    double roughness = 0;
    std::string reason;
    bool other = false;  // rows that fit, in data of another kind
    // How close rows are against unrelated words and against the diagonal neighbours (wholeRows).
    double quality = 1, dip = 1;
};

// Every picture in the stretch, in order. `raw` holds the words with bit 15.
std::vector<Found> analyseStretch(std::span<const std::uint16_t> raw, int minWidth, int minHeight);

// Hands back the memory the calling thread's analyses kept for the next one (some 14 bytes a
// word of the longest stretch).
void releaseScratch();

// The pictures of one known width in the stretch, in order, and the rows that fit there in
// data of another kind.
std::vector<Found> analyseAtWidth(std::span<const std::uint16_t> raw, int width, int minHeight);

// Words that are whole rows of `width` (a gap between two pictures) judged as one picture: its
// confidence and reason, or a confidence of 0 where they are none.
Found wholeRows(std::span<const std::uint16_t> raw, int width);

// How closely words read as rows of `width` fit: the mean distance to the word a row below, to
// the words beside that one, and the typical distance between words not related by a row
// (all 0 where there are fewer than two rows or too few other lags to tell).
struct RowFit {
    double vertical = 0, beside = 0, unrelated = 0;
};
RowFit rowFit(std::span<const std::uint16_t> raw, int width);

// How much the words of a reading change from each to the next and to the one a row below.
struct ReadingCost {
    double changes = 0;       // share of neighbours that differ
    double roughness = 0;     // mean distance between neighbours
    std::size_t colours = 0;  // how many values the words take
    std::size_t words = 0;
};
ReadingCost readingCost(std::span<const std::uint16_t> raw, int width);

// Of two readings of the same bytes, one byte apart, whether `a` is the picture. Read a byte
// off, each edge between two flat colours becomes two changes with a mixed word between, and
// fine detail of a photograph becomes rougher; a few mixed words can be closer in distance
// than the edge itself, so flat pictures are judged by how often their words change, and a
// drawing of few colours (softened letters included) by how many more the mixed words make.
bool truerReading(const ReadingCost& a, const ReadingCost& b);

}  // namespace pixvue::find
