// The finder's primitives on small made-up cases, and the whole search on made-up files.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "find/analyse.h"
#include "find/finder.h"
#include "find/screen.h"
#include "support/synthetic_picture.h"
#include "support/temp_file.h"

namespace pixvue::find {
namespace {

using testing::Bit15;
using testing::randomBytes;
using testing::syntheticPicture;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint16_t> wordsOf(const Bytes& bytes) {
    std::vector<std::uint16_t> words(bytes.size() / 2);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return words;
}

std::vector<Candidate> find(const Bytes& bytes, int threads = 0) {
    FindOptions options;
    options.threads = threads;
    return findInBytes(std::as_bytes(std::span(bytes)), options);
}

std::uint64_t endOf(const Candidate& c) {
    return c.address + 2ull * c.width * c.height;
}

// Whether a candidate lies at `address`, `width` wide, its height within 2 rows of `height`.
bool foundAt(const std::vector<Candidate>& found, std::uint64_t address, int width, int height) {
    return std::any_of(found.begin(), found.end(), [&](const Candidate& f) {
        return f.address == address && f.width == width && std::abs(f.height - height) <= 2;
    });
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(Screen, CellClassesFromNeighbourCounts) {
    struct Case {
        int equal, close;
        CellClass expected;
    } cases[] = {
        {64, 0, CellClass::Constant},  // one value throughout
        {63, 0, CellClass::Smooth},    // a flat part of a picture with one edge
        {20, 20, CellClass::Smooth},  {0, 30, CellClass::Smooth},
        {0, 10, CellClass::Rough},  // random data has about one close pair in fifty
        {5, 5, CellClass::Rough},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyCell(c.equal, c.close), c.expected) << c.equal << " " << c.close;
}

// Counted eight pairs at a time, the cells come out as counted one pair at a time.
TEST(Screen, CellsOfAnyDataAsCountedPairByPair) {
    const Bytes data = concat({randomBytes(3000, 7), syntheticPicture(50, 40, 2, Bit15::Random),
                               testing::flatPicture(30, 20, 3), Bytes(500, 0xFF)});
    for (int parity : {0, 1}) {
        std::vector<CellClass> cells;
        const std::size_t count = screenCells(std::as_bytes(std::span(data)), parity, cells);
        ASSERT_EQ(count, (data.size() - static_cast<std::size_t>(parity) - 2) / kCellBytes);
        for (std::size_t k = 0; k < count; ++k) {
            int equal = 0, close = 0;
            for (std::size_t i = 0; i < kCellWords; ++i) {
                const std::size_t at = static_cast<std::size_t>(parity) + k * kCellBytes + 2 * i;
                const auto word = [&](std::size_t b) {
                    return static_cast<std::uint16_t>((data[b] | data[b + 1] << 8) & 0x7FFF);
                };
                const int d = colourDistance(word(at), word(at + 2));
                equal += d == 0;
                close += d != 0 && d <= kCloseDistance;
            }
            EXPECT_EQ(cells[k], classifyCell(equal, close)) << parity << " " << k;
        }
    }
}

// Eight words at a time, a tail of fewer, and sums over more words than one pass of lanes holds:
// each as the distance of one pair would give, whatever bit 15 holds, at any lag; and the mean
// distance taken over every word that way.
TEST(Screen, DistancesOfManyWordsAsOfEachPair) {
    const auto words = wordsOf(randomBytes(2 * 6100, 11));
    for (const std::size_t lag : {1, 37})
        for (const std::size_t n : {0, 1, 7, 8, 9, 512, 513, 5999}) {
            std::vector<std::uint8_t> out(n);
            colourDistances(words.data(), words.data() + lag, n, out.data());
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const int d = colourDistance(words[i], words[i + lag]);
                EXPECT_EQ(out[i], d) << lag << " " << n << " " << i;
                sum += static_cast<std::uint64_t>(d);
            }
            EXPECT_EQ(colourDistanceSum(words.data(), words.data() + lag, n), sum) << n;
            if (n == 0) continue;
            double mean = 0;  // over words 5 to n + 4, all of them taken
            for (std::size_t i = 5; i < n + 5; ++i)
                mean += colourDistance(words[i], words[i + lag]);
            EXPECT_DOUBLE_EQ(meanDistance(std::span(words).first(n + lag + 5), lag, 5, n),
                             mean / static_cast<double>(n));
        }
    // Far apart in every channel: the largest distance, 93, in every lane.
    const std::vector<std::uint16_t> dark(600, 0x8000), light(600, 0x7FFF);
    EXPECT_EQ(colourDistanceSum(dark.data(), light.data(), 600), 600u * 93);
}

TEST(Screen, RegionsSpanSmoothCellsWithMarginsAndStopAtRoughRuns) {
    RegionBuilder builder;
    for (int k = 0; k < 40; ++k) builder.push(CellClass::Rough);
    for (int k = 0; k < 10; ++k) builder.push(CellClass::Smooth);
    for (int k = 0; k < 20; ++k) builder.push(CellClass::Rough);
    builder.finish(100 * kCellWords);
    const auto regions = builder.take();
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_LE(regions[0].begin, 40 * kCellWords);
    EXPECT_GE(regions[0].end, 50 * kCellWords);
    EXPECT_LT(regions[0].end, 60 * kCellWords);
}

// A picture between margins of background (magenta unless told), a quarter of the width each,
// and `rows` rows of it above and below.
Bytes spriteOnBackground(int width, int height, std::uint32_t seed, int rows = 0,
                         std::uint16_t background = 0x7C1F) {
    const Bytes inner = syntheticPicture(width / 2, height - 2 * rows, seed);
    Bytes out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int ix = x - width / 4, iy = y - rows;
            const bool in = ix >= 0 && ix < width / 2 && iy >= 0 && iy < height - 2 * rows;
            const std::size_t at = 2 * static_cast<std::size_t>(iy * (width / 2) + ix);
            out.push_back(in ? inner[at] : static_cast<std::uint8_t>(background));
            out.push_back(in ? inner[at + 1] : static_cast<std::uint8_t>(background >> 8));
        }
    return out;
}

// A picture of soft colour changes only: its rows fit their diagonal neighbours about as well
// as the word below, and any width near its own loosely.
Bytes mistyPicture(int width, int height) {
    Bytes misty;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double t = std::sin(x / 9.0 + y / 13.0), u = std::cos(y / 11.0 - x / 17.0);
            const auto r = static_cast<unsigned>(15 + 2 * t), g = static_cast<unsigned>(15 + 2 * u);
            const auto word = static_cast<std::uint16_t>(r | g << 5 | 16u << 10);
            misty.insert(misty.end(),
                         {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
        }
    return misty;
}

class WidthSearch : public ::testing::TestWithParam<int> {};

TEST_P(WidthSearch, FindsTheExactWidthNotAMultiple) {
    const int width = GetParam();
    const auto words = wordsOf(syntheticPicture(width, std::max(24, 8192 / width), 7u + width));
    std::vector<std::uint16_t> masked(words);
    for (auto& w : masked) w &= 0x7FFF;
    const Channels c(masked);
    EXPECT_EQ(searchWidth(c, 0, c.size(), 8, 1024).width, width);
}

INSTANTIATE_TEST_SUITE_P(Widths, WidthSearch, ::testing::Values(8, 13, 31, 64, 97, 255, 640));

// A misty picture that steps less than one level a word most of the way.
TEST(WidthSearchSmooth, FindsTheWidthOfAVerySmoothPicture) {
    const int width = 151, height = 80;
    std::vector<std::uint16_t> words;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double t = std::sin(x / 23.0 + y / 31.0), u = std::cos(y / 17.0 - x / 41.0);
            const auto r = static_cast<unsigned>(15 + 6 * t), g = static_cast<unsigned>(15 + 6 * u);
            const auto b = static_cast<unsigned>(16 + 5 * t * u);
            words.push_back(static_cast<std::uint16_t>(r | g << 5 | b << 10));
        }
    EXPECT_EQ(searchWidth(Channels(words), 0, words.size(), 8, 1024).width, width);
}

// Frames of a sheet, one under another and nearly alike, match the same row of the next frame
// more closely than the row below: the width is still the frame's, not its area.
TEST(WidthSearchSheet, FramesOfASheetGiveTheFramesWidthNotTheirArea) {
    for (const int side : {24, 32}) {
        Bytes sheet;
        const Bytes frame = spriteOnBackground(side, side, 5, 2);
        for (int k = 0; k < 14; ++k) {
            Bytes moved = frame;
            // A few words change from frame to frame, as an animation's do.
            const Bytes changes = randomBytes(8, static_cast<std::uint32_t>(k));
            for (const std::uint8_t at : changes) moved[2 * (at % frame.size() / 2)] ^= 0x05;
            sheet.insert(sheet.end(), moved.begin(), moved.end());
        }
        const auto words = wordsOf(sheet);
        EXPECT_EQ(searchWidth(Channels(words), 0, words.size(), 8, 1024).width, side);
    }
}

// Words judged as whole rows of one width: a picture's at its own width, small or large, and
// not at half of it (each row unrelated to the half row after it), nor random or flat words.
TEST(WholeRows, APictureFitsAtItsWidthOnly) {
    for (const auto& [width, height] : {std::array{22, 22}, {64, 40}, {320, 200}}) {
        const auto words = wordsOf(syntheticPicture(width, height, 9u + width));
        const Found own = wholeRows(words, width);
        EXPECT_GT(own.confidence, 0) << width;
        EXPECT_EQ(own.rows, height);
        EXPECT_EQ(wholeRows(words, width / 2).confidence, 0) << width;
        EXPECT_EQ(wholeRows(wordsOf(randomBytes(words.size() * 2, 3)), width).confidence, 0);
        EXPECT_EQ(wholeRows(std::vector<std::uint16_t>(words.size(), 0x1234), width).confidence, 0);
    }
}

TEST(OtherKinds, SmoothDataOfOtherLayoutsIsRecognised) {
    // 32-bit pixels: two words a pixel, alike two words on, not one.
    Bytes rgb32;
    for (int i = 0; i < 4096; ++i)
        for (std::uint8_t b :
             {std::uint8_t(i / 40), std::uint8_t(100), std::uint8_t(i % 200), std::uint8_t(255)})
            rgb32.push_back(b);
    // Stereo: left and right samples alternate.
    Bytes stereo;
    const Bytes tone = testing::toneSamples(8192, 73.3, 3000);
    for (std::size_t i = 0; i + 1 < tone.size(); i += 2)
        for (int channel = 0; channel < 2; ++channel) {
            stereo.push_back(tone[i]);
            stereo.push_back(static_cast<std::uint8_t>(tone[i + 1] ^ (channel ? 0x40 : 0)));
        }
    // 16-bit colour with six bits of green, all below its middle, and blue changing most: read
    // as 15-bit words about as smooth, but red's lowest bit (green's highest) never changes.
    Bytes rgb565;
    {
        const Bytes noise = randomBytes(2 * 4096, 7);
        for (int i = 0; i < 4096; ++i) {
            const auto at = 2 * static_cast<std::size_t>(i);
            const int r = 2 + i % 64 / 8 + noise[at] % 2, g = 6 + i / 512;
            const int b = 10 + noise[at + 1] % 3;
            const int v = r << 11 | g << 5 | b;
            rgb565.insert(rgb565.end(),
                          {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
        }
    }
    for (const Bytes* data : std::array<const Bytes*, 3>{&rgb32, &stereo, &rgb565}) {
        const auto words = wordsOf(*data);
        std::vector<std::uint16_t> masked(words);
        for (auto& w : masked) w &= 0x7FFF;
        EXPECT_NE(otherKind(words, Channels(masked)), nullptr);
    }
    const auto words = wordsOf(syntheticPicture(100, 80, 3));
    EXPECT_EQ(otherKind(words, Channels(words)), nullptr);
    // A picture of greens alone, with bit 15 set: read with six bits of green (which weigh half)
    // it looks twice as smooth, but nothing else tells that layout.
    std::vector<std::uint16_t> greens;
    for (const std::uint16_t w : wordsOf(syntheticPicture(100, 80, 5)))
        greens.push_back(static_cast<std::uint16_t>(0x8000 | (w & 0x03E0)));
    std::vector<std::uint16_t> masked(greens);
    for (auto& w : masked) w &= 0x7FFF;
    EXPECT_EQ(otherKind(greens, Channels(masked)), nullptr);
}

// Sound read a byte over changes from each word to the next, as numbers close by; a sprite of
// a few dark reds on one ground keeps the ground's value for most of a row, with steps as small
// as sound's where two reds meet.
TEST(OtherKinds, SoundAByteOverIsNoSpriteOfFewColours) {
    Bytes tone = testing::toneSamples(8192, 91.7, 1000);
    std::mt19937 hiss(3);
    for (std::size_t i = 0; i < tone.size(); i += 2)
        tone[i] = static_cast<std::uint8_t>(tone[i] + hiss() % 16);
    const auto over = wordsOf(Bytes(tone.begin() + 1, tone.end()));
    std::vector<std::uint16_t> masked(over);
    for (auto& w : masked) w &= 0x7FFF;
    EXPECT_NE(otherKind(over, Channels(masked)), nullptr);
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        const int width = 192, height = 64;
        std::vector<std::uint16_t> sprite(width * height, 0xBEC1);
        const std::uint16_t reds[] = {0x801B, 0x8002, 0x8009, 0x8436};
        for (int blob = 0; blob < 150; ++blob) {
            const int x0 = static_cast<int>(rng() % width), y0 = static_cast<int>(rng() % height);
            const std::uint16_t red = reds[rng() % 4];
            for (int y = y0; y < std::min(height, y0 + 4); ++y)
                for (int x = x0; x < std::min(width, x0 + 5); ++x) sprite[y * width + x] = red;
        }
        std::vector<std::uint16_t> words(sprite);
        for (auto& w : words) w &= 0x7FFF;
        EXPECT_EQ(otherKind(sprite, Channels(words)), nullptr) << seed;
    }
}

// Indexed pixels repeat an index in runs, whatever it is; a sprite's colour whose two bytes
// agree but for the low byte's top bit is no such run.
TEST(OtherKinds, WordsOfTwoEqualBytesAreRunsOfIndexedPixels) {
    const struct {
        std::uint16_t alike;  // 1 word in 20 of the sprite's colours
        bool indexed;
    } cases[] = {{0x4B4B, true}, {0x8D8D, true}, {0x0282, false}, {0x1A9A, false}};
    for (const auto& c : cases) {
        std::vector<std::uint16_t> words = wordsOf(syntheticPicture(40, 30, 9));
        for (std::size_t i = 0; i < words.size(); i += 20) words[i] = c.alike;
        EXPECT_EQ(bytesAlikeAsIndexed(words), c.indexed) << std::hex << c.alike;
    }
    // Judged whatever the confidence: many indices in runs, not a ground whose bytes agree.
    for (const int values : {1, 3, 12}) {
        std::vector<std::uint16_t> words = wordsOf(syntheticPicture(40, 30, 9));
        for (std::size_t i = 0; i < words.size(); i += 4)
            words[i] = static_cast<std::uint16_t>(0x4141 + 0x0101 * (i / 4 % values));
        EXPECT_EQ(runsOfManyIndices(words), values >= 8) << values;
    }
}

// A program's table of 64-bit addresses and small numbers, read as rows, against pictures
// that repeat every four words too: ordered dithering and stripes four pixels apart.
TEST(OtherKinds, TablesOf64BitNumbersAreNoPicture) {
    std::vector<std::uint16_t> table;
    std::mt19937 rng(5);
    for (int i = 0; i < 2048; ++i) {
        const std::uint64_t value = i % 3 == 0 ? rng() % 200 : 0x410000 + (rng() % 0x8000) * 8;
        for (int k = 0; k < 4; ++k) table.push_back(static_cast<std::uint16_t>(value >> 16 * k));
    }
    constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<std::uint16_t> dithered, striped;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            // A ramp of one level over 64 pixels, dithered: words four on are alike.
            const int level = (3 * 64 + x + kBayer[y % 4][x % 4] * 4) / 64;
            dithered.push_back(static_cast<std::uint16_t>(level * 0x421));
            striped.push_back(static_cast<std::uint16_t>(x % 4 == 0 ? 0x7C00 : (x + y) / 8 * 0x21));
        }
    for (const int width : {12, 24, 116}) EXPECT_TRUE(fourWordNumbers(table, width)) << width;
    EXPECT_FALSE(fourWordNumbers(dithered, 64));
    EXPECT_FALSE(fourWordNumbers(striped, 64));
    EXPECT_FALSE(fourWordNumbers(wordsOf(syntheticPicture(64, 48, 3)), 64));
}

// Bit 15 on a few words at a time, as on -1 and the high words of negative numbers in a
// program's records, against pictures that keep it clear, set, at random (from some row on
// too), or on whole areas as an alpha bit.
TEST(OtherKinds, TopBitOfNumbersIsNoPicturesTopBit) {
    std::mt19937 rng(8);
    std::vector<std::uint16_t> records, numbers;
    for (int i = 0; i < 400; ++i) {
        // Zero, one, -1 as 64 bits, a length and a name's letters.
        for (const std::uint16_t w : {0, 0, 1, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF})
            records.push_back(w);
        records.push_back(static_cast<std::uint16_t>(rng() % 40));
        for (int k = 0; k < 7; ++k)
            records.push_back(static_cast<std::uint16_t>(0x6161 + rng() % 0x1A1A));
        const auto value = static_cast<std::int32_t>(rng() % 2000) - 400;
        numbers.push_back(static_cast<std::uint16_t>(value));
        numbers.push_back(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) >> 16));
    }
    EXPECT_TRUE(topBitAsInNumbers(records));
    EXPECT_TRUE(topBitAsInNumbers(numbers));
    const auto picture = wordsOf(syntheticPicture(64, 48, 2));
    auto withTop = [&](auto set) {
        auto words = picture;
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<std::uint16_t>((words[i] & 0x7FFF) | (set(i) ? 0x8000 : 0));
        return words;
    };
    EXPECT_FALSE(topBitAsInNumbers(withTop([](std::size_t) { return false; })));
    EXPECT_FALSE(topBitAsInNumbers(withTop([](std::size_t) { return true; })));
    EXPECT_FALSE(topBitAsInNumbers(withTop([&](std::size_t) { return rng() % 2 == 1; })));
    EXPECT_FALSE(topBitAsInNumbers(withTop([&](std::size_t i) { return i > 1000 && rng() % 2; })));
    // An alpha bit on a sprite a quarter of the picture.
    EXPECT_FALSE(topBitAsInNumbers(withTop([](std::size_t i) {
        const std::size_t x = i % 64, y = i / 64;
        return x >= 16 && x < 48 && y >= 12 && y < 36;
    })));
}

// A program's table of 58-byte records as a compiler keeps them: twelve empty fields, a field
// that holds one number throughout, a count running down, fields that hold one number for a
// few records, and a list of small numbers close to each other, of a few lengths, after them.
Bytes recordTable(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    auto below = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const unsigned pool[] = {0x279, 0x27A, 0x270, 0x26D, 0x272, 0x273,
                             0x26E, 0x275, 0x271, 0x26B, 0x277};
    const unsigned kinds[] = {0x1317, 0x0D17, 0x0A17}, steps[] = {0x1C1, 0x1C6, 0x1C8, 0x1CC};
    unsigned down = 0x390F, kind = 0, field = 0x1DB;
    std::size_t first = 0, listed = 6;
    Bytes out;
    auto put = [&](unsigned v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    for (int i = 0, left = 0; i < count; ++i, --left) {
        down -= 3 + below(3);
        if (left == 0) {
            left = 5 + static_cast<int>(below(5));
            down += 0x40;
            kind = kinds[below(3)];
            field = steps[below(4)];
            first = below(5);
            listed = 5 + below(3);
        }
        out.insert(out.end(), 24, 0);
        for (const unsigned v :
             {0x216Du, down, kind, field + below(3), steps[below(4)], 0x16Bu + below(3)})
            put(v);
        for (std::size_t k = 0; k < 11; ++k)
            put(k < listed ? pool[first + k] + (k % 4 ? below(6) - 2 : 0) : 0);
    }
    return out;
}

// A table's fields hold their numbers record under record, each its own; pictures without red
// (words under 0x400, as small numbers are) hold a colour sideways as well as down.
TEST(OtherKinds, FieldsUnderFieldsAreNoPicture) {
    EXPECT_TRUE(recordColumns(wordsOf(recordTable(300, 5)), 29));
    for (const Bytes& picture : {syntheticPicture(64, 48, 2), testing::flatPicture(64, 48, 3)}) {
        auto words = wordsOf(picture);
        EXPECT_FALSE(recordColumns(words, 64));
        for (auto& x : words) x &= 0x3FF;
        EXPECT_FALSE(recordColumns(words, 64));
    }
}

// A map of 16 x 16 tiles, 10 to a row, read a tile wide: each row fits the next (the tile
// beside) no better than the one after, and the row ten on (the row below) clearly better.
// Read at its own width it is a picture; so are a sheet's frames at theirs.
TEST(OtherKinds, TilesReadATileWideRepeatFurtherOn) {
    std::vector<std::vector<std::uint16_t>> tiles;
    for (std::uint32_t seed = 1; seed <= 3; ++seed)
        tiles.push_back(wordsOf(syntheticPicture(16, 16, seed)));
    std::vector<std::uint16_t> map;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 160; ++x)
            map.push_back(tiles[static_cast<std::size_t>((x / 16 + y / 16 * 2) % 3)]
                               [static_cast<std::size_t>(y % 16 * 16 + x % 16)]);
    EXPECT_TRUE(rowsRepeatFurtherOn(map, 16));
    EXPECT_FALSE(rowsRepeatFurtherOn(map, 160));
    Bytes sheet;
    for (int k = 0; k < 14; ++k) {
        const Bytes frame = spriteOnBackground(24, 24, 5, 2);
        sheet.insert(sheet.end(), frame.begin(), frame.end());
    }
    EXPECT_FALSE(rowsRepeatFurtherOn(wordsOf(sheet), 24));
    EXPECT_FALSE(rowsRepeatFurtherOn(wordsOf(syntheticPicture(64, 200, 6)), 64));
}

// A drawing between two pictures of other widths, whose rows, at its own width, run on back over
// the first (listed already at its width): it is found beside that one, on its own rows.
TEST(Stretch, APictureWhoseRowsRunOnOverOneListedIsFoundBesideIt) {
    for (const int before : {700, 1019}) {
        const auto first = wordsOf(syntheticPicture(before, 120, 7));
        const auto drawing = wordsOf(testing::flatPicture(59, 60, 3));
        const auto after = wordsOf(syntheticPicture(67, 200, 5));
        std::vector<std::uint16_t> stretch = first;
        stretch.insert(stretch.end(), drawing.begin(), drawing.end());
        stretch.insert(stretch.end(), after.begin(), after.end());
        const auto found = analyseStretch(stretch, 8, 8);
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const Found& f) {
            return f.first == first.size() && f.width == 59 && std::abs(f.rows - 60) <= 2;
        })) << before;
    }
}

// Read a byte off, a picture is rougher or changes more often, flat drawings included.
TEST(Reading, TheTrueReadingOfAPictureIsTheSmoother) {
    struct Case {
        int width;
        Bytes bytes;
    } cases[] = {{97, syntheticPicture(97, 60, 4)},
                 {40, syntheticPicture(40, 40, 5, Bit15::Random)},
                 {120, testing::flatPicture(120, 80, 6)},
                 {33, testing::flatPicture(33, 50, 7)}};
    for (const Case& c : cases) {
        const Bytes shifted(c.bytes.begin() + 1, c.bytes.end());
        const auto right = readingCost(wordsOf(c.bytes), c.width);
        const auto wrong = readingCost(wordsOf(shifted), c.width);
        EXPECT_TRUE(truerReading(right, wrong)) << c.width;
        EXPECT_FALSE(truerReading(wrong, right)) << c.width;
    }
}

// Readings of real pictures as measured, the true one first: a window's title bar with soft
// letters (its mixed words are a few more changes, and closer than its edges, but four times
// the colours); a font of 32 greys, whose mixed words happen to take only 16 values.
TEST(Reading, ADrawingOfFewColoursIsTheReadingWithFewerColours) {
    const std::pair<ReadingCost, ReadingCost> cases[] = {
        {{0.105, 3.01, 82, 11200}, {0.122, 2.88, 304, 11200}},
        {{0.49, 3.37, 32, 198656}, {0.47, 5.67, 16, 198656}}};
    for (const auto& [right, wrong] : cases) {
        EXPECT_TRUE(truerReading(right, wrong)) << right.colours;
        EXPECT_FALSE(truerReading(wrong, right)) << right.colours;
    }
}

// A picture at a known place in random filler, read as the viewer would: address, width and
// height are what matter, whatever bit 15 holds.
TEST(Finder, FindsPictureInFillerAtEitherParityWhateverBit15) {
    struct Case {
        std::size_t before;
        int width, height;
        Bit15 bit15;
        bool flat = false, zeros = false;
        int blackWords = 0;
    } cases[] = {
        {5000, 120, 90, Bit15::Clear},
        {5001, 120, 90, Bit15::Set},
        {7777, 61, 140, Bit15::Random},
        {4096, 300, 40, Bit15::Clear},
        {6001, 24, 200, Bit15::Set},
        // A short picture that fits clearly is listed, short as it is.
        {5001, 64, 12, Bit15::Random, true},
        // A drawing of flat colours, which a byte off keeps its rows too.
        {5003, 160, 100, Bit15::Clear, true},
        // A small picture at the end of what looks like pictures, after zeros.
        {3001, 20, 16, Bit15::Clear, false, true},
        // Black rows on top, right after other data: the picture starts with them.
        {5001, 188, 120, Bit15::Random, false, false, 10 * 188},
        // More black rows than the first pass keeps beside a picture, and a few words more.
        {5001, 300, 400, Bit15::Clear, false, false, 80 * 300 + 17},
    };
    for (const Case& c : cases) {
        Bytes picture = c.flat ? testing::flatPicture(c.width, c.height, 12)
                               : syntheticPicture(c.width, c.height, 11, c.bit15);
        for (std::size_t i = 0; i < 2u * c.blackWords; ++i) picture[i] &= i % 2 ? 0x80 : 0;
        const Bytes file = concat({c.zeros ? Bytes(c.before, 0) : randomBytes(c.before, 1), picture,
                                   randomBytes(6000, 2)});
        const auto found = find(file);
        EXPECT_TRUE(foundAt(found, c.before, c.width, c.height))
            << c.before << " " << c.width << "x" << c.height;
        for (const Candidate& f : found) {
            EXPECT_GE(f.confidence, 0.5);
            EXPECT_LE(f.address + 2ull * f.width * f.height, file.size());
        }
    }
}

// Sprites of one width on one background, each after a header giving its size: only the
// header tells where one ends and the next begins. Sprites a few pixels across fit rows too
// loosely to be found by them; their headers still place them.
TEST(Finder, SpritesOfABankOnOneBackgroundAreFoundOneByOne) {
    // Sprites whose rows are each a shade of their own fit no rows, but four headers chained
    // are no chance.
    const struct {
        int width;
        std::vector<int> heights;
        bool noise;
    } banks[] = {
        {90, {60, 75, 50, 70}, false}, {9, {8, 8, 9, 8, 8, 10}, false}, {16, {8, 8, 16, 31}, true}};
    for (const auto& bank : banks) {
        Bytes file = randomBytes(3001, 5);
        std::vector<std::size_t> starts;
        for (std::size_t k = 0; k < bank.heights.size(); ++k) {
            const int h = bank.heights[k];
            for (int v : {bank.width, h}) {
                file.push_back(static_cast<std::uint8_t>(v));
                file.push_back(0);
            }
            starts.push_back(file.size());
            const auto seed = 20u + static_cast<unsigned>(k);
            Bytes sprite = spriteOnBackground(bank.width, h, seed);
            if (bank.noise) {
                // Each row a smooth run of a shade of its own, unlike the row above.
                const Bytes shades = randomBytes(static_cast<std::size_t>(h), seed);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < bank.width; ++x) {
                        const auto v = static_cast<unsigned>(shades[y] % 16 + x / 4);
                        const auto word = static_cast<std::uint16_t>(v | v << 5 | (31 - v) << 10);
                        const auto at = 2 * static_cast<std::size_t>(y * bank.width + x);
                        sprite[at] = static_cast<std::uint8_t>(word);
                        sprite[at + 1] = static_cast<std::uint8_t>(word >> 8);
                    }
            }
            file.insert(file.end(), sprite.begin(), sprite.end());
        }
        const Bytes after = randomBytes(4000, 6);
        file.insert(file.end(), after.begin(), after.end());
        const auto found = find(file);
        for (std::size_t k = 0; k < starts.size(); ++k) {
            EXPECT_TRUE(foundAt(found, starts[k], bank.width, bank.heights[k]))
                << bank.width << " wide, sprite " << k << " at " << starts[k];
        }
    }
}

// An icon's first row is all background, and fits the row below only beside the object:
// the background runs on back to the header before it, where the icon starts. Where a quarter
// of the icon or more is background above and below its object, which shows no seam, the
// background's first and last words tell its rows, headers or not.
TEST(Finder, ABackgroundRowStartsAnIcon) {
    const struct {
        int width, margin;
        bool headers;
    } cases[] = {{20, 1, true}, {24, 1, true}, {40, 1, true}, {72, 18, false}, {61, 15, false}};
    for (const auto& c : cases) {
        const Bytes icon =
            spriteOnBackground(c.width, c.width, 31u + static_cast<unsigned>(c.width), c.margin);
        const Bytes header = c.headers ? Bytes{20, 0, 20, 0} : Bytes{};
        const Bytes file =
            concat({randomBytes(3001, 7), header, icon, header, randomBytes(2000, 8)});
        const std::uint64_t at = 3001 + header.size();
        EXPECT_TRUE(foundAt(find(file), at, c.width, c.width)) << c.width;
    }
    // Right after soft rows of its width, which the search takes for its top rows.
    for (const int width : {33, 48}) {
        const Bytes file = concat({randomBytes(3001, 7), mistyPicture(width, 13),
                                   spriteOnBackground(width, width, 40, 6), randomBytes(2000, 8)});
        const std::uint64_t at = 3001 + 2 * 13 * static_cast<std::uint64_t>(width);
        EXPECT_TRUE(foundAt(find(file), at, width, width)) << width << " after soft rows";
    }
    // White rows above, more than a quarter of the rest, after zeros.
    Bytes white(2 * 200 * 130, 0xFF);
    for (std::size_t k = 1; k < white.size(); k += 2) white[k] = 0x7F;
    const Bytes file = concat(
        {Bytes(4000, 0), white, spriteOnBackground(200, 150, 41, 0, 0x7FFF), randomBytes(2000, 8)});
    EXPECT_TRUE(foundAt(find(file), 4000, 200, 280)) << "white top";
}

// A board's top line, unlike every row below it, fits the next row only in the margins
// beside the board: the picture still starts with it, where its last row ends on the grid.
TEST(Finder, AFirstRowUnlikeTheRestStartsThePicture) {
    const struct { int width, margin; } cases[] = {{120, 8}, {293, 34}};
    for (const auto& c : cases)
        for (const bool flat : {false, true}) {
            const int inner = c.width - 2 * c.margin;
            const Bytes board =
                flat ? testing::flatPicture(inner, 79, 46) : syntheticPicture(inner, 79, 46);
            Bytes framed;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < c.width; ++x) {
                    const bool in = x >= c.margin && x < c.width - c.margin;
                    const auto at = 2 * static_cast<std::size_t>((y - 1) * inner + x - c.margin);
                    framed.push_back(!in ? 0xFF : y == 0 ? 0x10 : board[at]);
                    framed.push_back(!in ? 0x7F : y == 0 ? 0x02 : board[at + 1]);
                }
            const Bytes file = concat({randomBytes(4001, 44), framed, randomBytes(3000, 45)});
            EXPECT_TRUE(foundAt(find(file), 4001, c.width, 80)) << c.width << (flat ? " flat" : "");
        }
}

// Soft stripes on the slant, after a picture of another width, fit the word below and to
// the left better than the word below; the border, where each row wraps to the next, shows
// the true width.
TEST(Finder, StripesOnTheSlantKeepTheWidthTheBorderShows) {
    for (const int width : {116, 75}) {
        Bytes picture;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < width; ++x) {
                const int t = (x + y) % 32, level = t < 16 ? t : 31 - t;
                const int u = y % 32, shade = u < 16 ? u : 31 - u;
                const int v = x < 3 ? 0x001F : level | (level + 8) << 5 | (shade + 8) << 10;
                picture.push_back(static_cast<std::uint8_t>(v));
                picture.push_back(static_cast<std::uint8_t>(v >> 8));
            }
        const Bytes file = concat(
            {randomBytes(3001, 47), syntheticPicture(200, 60, 49), picture, randomBytes(3000, 48)});
        EXPECT_TRUE(foundAt(find(file), 3001 + 2 * 200 * 60, width, 90)) << width;
    }
}

// A picture whose left and right edges are alike (here: mirrored) shows no seam where its
// rows wrap: its first and last rows, fitting the rows beside them where the filler around
// does not, still place it to the word.
// A made-up picture whose rows are mirrored about their middle: no seam shows where they wrap.
// `top` and `bottom`, where not 0, fill its first and last rows (a border's lines).
Bytes mirrored(int width, int height, std::uint32_t seed, std::uint16_t top = 0,
               std::uint16_t bottom = 0) {
    const Bytes half = syntheticPicture(width, height, seed);
    Bytes picture;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto from = 2 * static_cast<std::size_t>(y * width + std::min(x, width - 1 - x));
            const std::uint16_t line = y == 0 ? top : y == height - 1 ? bottom : 0;
            if (line != 0)
                picture.insert(picture.end(), {static_cast<std::uint8_t>(line),
                                               static_cast<std::uint8_t>(line >> 8)});
            else
                picture.insert(picture.end(), {half[from], half[from + 1]});
        }
    return picture;
}

TEST(Finder, RowsWithoutASeamStartWhereTheirEndsAreSharpest) {
    // `echo`: words before the picture that repeat the end of its first row, bit 15 set where
    // the picture keeps it clear: they fit as well as the picture's own, and only bit 15 tells.
    const struct {
        int width, height;
        std::uint32_t seed;
        bool ones;
        int echo;
    } cases[] = {{134, 66, 2, false, 0}, {174, 86, 22, false, 0}, {311, 149, 73, true, 0},
                 {134, 66, 2, false, 5}, {174, 86, 22, true, 9},  {134, 66, 2, false, -5},
                 {174, 86, 22, true, -9}};
    for (const auto& c : cases) {
        const Bytes picture = mirrored(c.width, c.height, c.seed);
        // Before the picture, or (negative) after it, repeating the start of its last row.
        const std::size_t lastRow = picture.size() - 2 * static_cast<std::size_t>(c.width);
        Bytes echo =
            c.echo >= 0
                ? Bytes(picture.begin() + 2 * (c.width - c.echo), picture.begin() + 2 * c.width)
                : Bytes(picture.begin() + lastRow, picture.begin() + lastRow + 2 * -c.echo);
        for (std::size_t k = 1; k < echo.size(); k += 2) echo[k] |= 0x80;
        const Bytes file = concat({c.ones ? Bytes(5000, 0xFF) : randomBytes(5000, c.seed + 1),
                                   c.echo >= 0 ? echo : Bytes{}, picture,
                                   c.echo < 0 ? echo : Bytes{}, randomBytes(3000, c.seed + 2)});
        EXPECT_TRUE(foundAt(find(file), 5000 + (c.echo > 0 ? echo.size() : 0), c.width, c.height))
            << c.width << " " << c.echo;
    }
}

// A grainy picture without a seam, its first word at the file's start or after filler: words
// of its own fit the row next to them only as closely as its grain lets them, still far more
// closely than the filler's.
TEST(Finder, AGrainyPictureWithoutASeamStartsAtItsFirstWord) {
    for (const auto& [seed, lead] : {std::pair{3u, 3}, {12u, 3}, {10u, 3001}}) {
        const int width = 60 + static_cast<int>(seed * 7 % 90);
        const int height = 50 + static_cast<int>(seed % 40);
        Bytes picture = mirrored(width, height, seed);
        const Bytes grain = randomBytes(picture.size(), seed + 9);
        for (std::size_t k = 0; k < picture.size(); k += 2) {
            const unsigned w = picture[k] | picture[k + 1] << 8;
            const int r = std::clamp(static_cast<int>(w & 31) + grain[k] % 3 - 1, 0, 31);
            const int g = std::clamp(static_cast<int>(w >> 5 & 31) + grain[k + 1] % 3 - 1, 0, 31);
            const int b =
                std::clamp(static_cast<int>(w >> 10 & 31) + (grain[k] >> 4) % 3 - 1, 0, 31);
            const auto word = static_cast<unsigned>(r | g << 5 | b << 10);
            picture[k] = static_cast<std::uint8_t>(word);
            picture[k + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        const Bytes file = concat({randomBytes(static_cast<std::size_t>(lead), seed + 50), picture,
                                   randomBytes(3000, seed + 1)});
        EXPECT_TRUE(foundAt(find(file), static_cast<std::uint64_t>(lead), width, height)) << seed;
    }
}

// A panel on black with narrow black margins left and right and a light top edge: its rows
// wrap in black, so no seam shows where they start, and its content fits rows at any start
// within the margins. The filler before and after it places it.
TEST(Finder, APictureWhoseRowsWrapInAMarginStartsWhereTheFillerEnds) {
    for (const auto& [width, height] : {std::pair{300, 120}, {600, 200}, {800, 100}}) {
        Bytes panel;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto shade = static_cast<unsigned>(14 + 8 * y / height + (y < 2 ? 6 : 0));
                const auto word = x < 19 || x >= width - 10 ? 0u : shade | shade << 5 | 18u << 10;
                panel.insert(panel.end(), {static_cast<std::uint8_t>(word),
                                           static_cast<std::uint8_t>(word >> 8)});
            }
        const Bytes file = concat({randomBytes(4001, 1), panel, randomBytes(3000, 2)});
        EXPECT_TRUE(foundAt(find(file), 4001, width, height)) << width;
    }
}

// A border's lines, one colour each, as first and last rows: unlike the rows they meet, they
// are the picture's all the same where other data lies beyond them.
TEST(Finder, ABordersLinesArePartOfThePicture) {
    for (const int width : {150, 300}) {
        const Bytes file = concat(
            {randomBytes(3001, 1), mirrored(width, 60, 101, 0x25B9, 0x77BD), Bytes(3000, 0)});
        EXPECT_TRUE(foundAt(find(file), 3001, width, 60)) << width;
    }
}

// A title or status bar of one colour, three or four rows, between the picture and rough data.
TEST(Finder, ABarOfOneColourAtAnEndIsPartOfThePicture) {
    for (const int rows : {3, 4})
        for (const bool atTop : {false, true}) {
            const int width = 200, height = 60;
            Bytes picture = syntheticPicture(width, height, 77);
            const std::size_t bar = 2 * static_cast<std::size_t>(width * rows);
            const std::size_t from = atTop ? 0 : picture.size() - bar;
            for (std::size_t i = from; i < from + bar; i += 2)
                picture[i] = 0xBD, picture[i + 1] = 0x77;
            const Bytes file = concat({randomBytes(3001, 5), picture, randomBytes(3000, 6)});
            EXPECT_TRUE(foundAt(find(file), 3001, width, height)) << rows << " " << atTop;
        }
}

// A picture on a flat background has no seam; a word before it close to the background, on a
// row that fits no better, is not its first word while its last word fits the row above.
TEST(Finder, AWordBeforeAPictureThatFitsWorseThanItsLastIsNotItsFirst) {
    const Bytes file = concat({randomBytes(3001, 3), Bytes{0x00, 0x00},
                               spriteOnBackground(150, 60, 1071, 0, 0x1084), Bytes{0xFD, 0xFC},
                               randomBytes(2000, 53)});
    EXPECT_TRUE(foundAt(find(file), 3003, 150, 60));
}

// A word before a picture just like the last of its first row, and a last word unlike the one
// above it (a sprite's last pixel; the word after it fits): where its rows plainly wrap, the
// picture stays on its grid.
TEST(Finder, AWordThatFitsBeforeAPictureWhoseRowsWrapIsNotItsFirst) {
    const int width = 120, height = 60;
    Bytes picture = syntheticPicture(width, height, 50);
    picture[picture.size() - 1] ^= 0x7C;
    const Bytes echo(picture.begin() + 2 * width - 2, picture.begin() + 2 * width);
    const Bytes fits(picture.end() - 2 * width, picture.end() - 2 * width + 2);
    const Bytes file = concat({randomBytes(3001, 3), echo, picture, fits, randomBytes(2000, 53)});
    EXPECT_TRUE(foundAt(find(file), 3003, width, height));
}

// Wood grain: each row its own shade, changing slowly along it, beside a background of one
// colour. The diagonal neighbours fit about as well as the word below; the seam, where each
// row wraps from the background to the grain, tells the width.
TEST(Finder, RowsStreakedAlongAreFoundByTheirSeam) {
    const int width = 200, height = 80;
    std::mt19937 rng(17);
    Bytes picture;
    double shade = 12;
    for (int y = 0; y < height; ++y) {
        shade = std::clamp(shade + static_cast<double>(rng() % 9) - 4, 4.0, 27.0);
        const double slope = (static_cast<double>(rng() % 200) - 100) / 2000;
        const int edge = 3 * width / 4 + static_cast<int>(rng() % 21) - 10;
        for (int x = 0; x < width; ++x) {
            const auto level = static_cast<unsigned>(std::clamp(shade + slope * x, 0.0, 31.0));
            const auto word = static_cast<std::uint16_t>(
                x < edge ? level | (level * 3 / 4) << 5 | (level / 2) << 10 : 0x7FE0);
            picture.insert(picture.end(),
                           {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
        }
    }
    EXPECT_TRUE(foundAt(find(concat({randomBytes(3000, 5), picture, randomBytes(2000, 6)})), 3000,
                        width, height));
}

// Words just before a picture that happen to match the end of its first row fit the row
// below as well as its own: the seam where each row wraps to the next says where rows start,
// even where a few columns of sharp detail (trunks, a fence) step half as much.
TEST(Finder, RowsStartWhereTheyWrapNotWhereWordsBeforeFit) {
    const std::array<std::array<int, 2>, 3> cases = {{{120, 0}, {300, 0}, {300, 8}}};
    for (const auto& [width, stripes] : cases) {
        Bytes picture = syntheticPicture(width, 60, 50);
        for (int y = 0; y < 60; ++y)
            for (int x = width / 2; x < width / 2 + stripes; x += 2)
                picture[2 * static_cast<std::size_t>(y * width + x) + 1] ^= 0x4C;
        const Bytes echo(picture.begin() + 2 * (width - 40), picture.begin() + 2 * width);
        const Bytes file = concat({randomBytes(3001, 51), echo, picture, randomBytes(3000, 52)});
        EXPECT_TRUE(foundAt(find(file), 3081, width, 60)) << width << ' ' << stripes;
    }
}

// A band across a picture that does not fit the rows around it (a wide band of one colour, a
// few rows of noise, a coarse texture) parts it only for a while: it is found whole.
TEST(Finder, ABandAcrossAPictureKeepsItWhole) {
    const int width = 40;
    Bytes flat;
    // Of one colour, with bit 15 at random.
    for (int k = 0; k < width * 30; ++k)
        flat.insert(flat.end(), {0x1F, static_cast<std::uint8_t>(k * 7 % 3 ? 0x7C : 0xFC)});
    const Bytes noise = randomBytes(2 * width * 4, 11);
    // A coarse texture of columns, each word off the one above by more than rows that fit, yet
    // nearer to it than to the words beside it; longer than the parts around it would bridge.
    Bytes texture;
    {
        const Bytes columns = randomBytes(width, 12), grain = randomBytes(width * 30, 13);
        for (int k = 0; k < width * 30; ++k) {
            const unsigned level = 4u + columns[static_cast<std::size_t>(k % width)] % 14u +
                                   grain[static_cast<std::size_t>(k)] % 13u;
            const auto word = static_cast<std::uint16_t>(level | level << 5 | level << 10);
            texture.insert(texture.end(),
                           {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
        }
    }
    for (const Bytes* band : std::array<const Bytes*, 3>{&flat, &noise, &texture}) {
        const Bytes picture =
            concat({syntheticPicture(width, 40, 41), *band, syntheticPicture(width, 40, 42)});
        const auto found = find(concat({randomBytes(3001, 9), picture, randomBytes(3000, 10)}));
        ASSERT_EQ(found.size(), 1u) << band->size();
        EXPECT_EQ(found[0].address, 3001u);
        EXPECT_EQ(found[0].width, width);
        EXPECT_NEAR(found[0].height, 80 + band->size() / (2 * width), 2);
    }
}

// A sheet of frames of a coarse texture between rows of background: the finder parts it where
// the frames meet, some parts off the grid, whose rows show no clear seam where they wrap.
// They are joined on the grid of the first.
TEST(Finder, FramesOfASheetAreOnePicture) {
    for (const int width : {48, 64, 96}) {
        Bytes sheet;
        for (int k = 0; k < 6; ++k) {
            const Bytes columns = randomBytes(width, 12),
                        grain = randomBytes(width * 17, 13u + static_cast<unsigned>(k));
            for (int i = 0; i < width * 17; ++i) {
                const unsigned level = 4u + columns[static_cast<std::size_t>(i % width)] % 14u +
                                       grain[static_cast<std::size_t>(i)] % 9u;
                const auto word = static_cast<std::uint16_t>(level | level << 5 | 3u << 10);
                sheet.insert(sheet.end(), {static_cast<std::uint8_t>(word),
                                           static_cast<std::uint8_t>(word >> 8)});
            }
            for (int i = 0; i < 4 * width; ++i) sheet.insert(sheet.end(), {0x1F, 0x7C});
        }
        const auto found = find(concat({randomBytes(3001, 9), sheet, randomBytes(3000, 10)}));
        int covering = 0;
        for (const Candidate& f : found)
            covering += f.width == width && f.address == 3001 && f.height >= 6 * 21 * 9 / 10;
        EXPECT_EQ(covering, 1) << width << " wide, " << found.size() << " found";
    }
}

// An icon of another width right after a picture fits the picture's width where its
// background is: the picture still ends at its last row.
TEST(Finder, APictureEndsWhereAnIconOfAnotherWidthBegins) {
    for (const int width : {150, 437}) {
        const Bytes file = concat({randomBytes(3001, 12), syntheticPicture(width, 60, 13),
                                   spriteOnBackground(64, 64, 14, 10), randomBytes(3000, 15)});
        EXPECT_TRUE(foundAt(find(file), 3001, width, 60)) << width;
    }
    // A misty picture a word wider fits the picture's rows too, and more closely than they
    // fit each other: the picture is cut where it begins, not dropped.
    const Bytes file = concat({randomBytes(3001, 12), syntheticPicture(39, 300, 72),
                               mistyPicture(40, 40), randomBytes(3000, 74)});
    EXPECT_TRUE(foundAt(find(file), 3001, 39, 300));
    // A picture half as wide after it, its rows two of this one's less a word, fits this
    // one's rows loosely: they are cut where it begins, and it is found on its own.
    for (const std::uint32_t seed : {3u, 4u, 5u, 6u}) {
        const Bytes after = concat({randomBytes(3001, seed), syntheticPicture(59, 86, seed + 20),
                                    syntheticPicture(29, 50, seed + 40), randomBytes(3000, seed)});
        const auto found = find(after);
        EXPECT_TRUE(foundAt(found, 3001, 59, 86) && foundAt(found, 3001 + 2 * 59 * 86, 29, 50))
            << seed;
    }
    // A misty picture after it, too wide for a block of its rows to show the misty one's
    // rows three times over: its width is searched on more rows, and the picture cut.
    const auto misty = find(concat({randomBytes(3001, 4), syntheticPicture(116, 120, 4),
                                    mistyPicture(320, 64), randomBytes(3000, 9)}));
    EXPECT_TRUE(foundAt(misty, 3001, 116, 120));
    // So, packed before it, a picture half as wide: the rows found hold few of its rows.
    for (const std::uint32_t seed : {3u, 4u})
        for (const auto& [width, height, before, rows] :
             {std::array{59, 86, 29, 50}, {120, 60, 59, 40}, {90, 70, 44, 60}}) {
            const std::uint64_t at = 3001 + 2ull * before * rows;
            const auto found = find(
                concat({randomBytes(3001, seed), syntheticPicture(before, rows, seed + 40),
                        syntheticPicture(width, height, seed + 20), randomBytes(3000, seed + 30)}));
            EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                    [&](const Candidate& c) {
                                        const auto row = 2ull * static_cast<std::uint64_t>(width);
                                        return c.width == width && c.address <= at &&
                                               at - c.address <= row * height / 10 &&
                                               endOf(c) >= at + row * (height - height / 10);
                                    }))
                << seed << " " << width;
        }
}

// Pictures packed back to back: an icon between two larger ones, too small to be told among
// them, is the gap they leave, whole rows of its width; in the same gap of filler nothing starts.
// A sprite on a plain background there, which fits a row two rows on about as well, is as wide
// as it is, not twice; found a few words off its grid, it is the words they leave.
// Two sprites on one background colour back to back: the bottom margin of the first and the
// top margin of the second are one run, where either may end or start; the ends away from it
// place each.
TEST(Finder, SpritesSharingABackgroundRunAreFoundWhereTheirOtherEndsPlaceThem) {
    const struct {
        int first, second, margin;
        bool header;  // a word between them, as a bank's header giving the next one's width
    } cases[] = {{85, 64, 10, false}, {48, 83, 6, false}, {64, 45, 5, false}, {40, 57, 4, false},
                 {85, 64, 10, true},  {48, 83, 6, true},  {64, 45, 5, true}};
    for (const auto& c : cases) {
        const Bytes a = spriteOnBackground(c.first, c.first, 11u + c.first, c.margin);
        const Bytes b = spriteOnBackground(c.second, c.second, 12u + c.second, c.margin);
        // With a header between, each margin is its own.
        const Bytes header = c.header ? Bytes{static_cast<std::uint8_t>(c.second), 0} : Bytes{};
        const auto found = find(concat({randomBytes(3001, 7), a, header, b, randomBytes(3000, 8)}));
        EXPECT_TRUE(foundAt(found, 3001, c.first, c.first) &&
                    foundAt(found, 3001 + a.size() + header.size(), c.second, c.second))
            << c.first << " then " << c.second << (c.header ? " after a header" : "");
    }
}

TEST(Finder, APictureBetweenTwoFoundIsTheGapTheyLeave) {
    for (const auto& [width, height, margin, seed] : {std::array{18, 14, 2, 3},
                                                      {22, 22, 2, 5},
                                                      {12, 10, 2, 7},
                                                      {67, 64, 0, 1},
                                                      {65, 62, 1, 12}}) {
        const auto u = static_cast<std::uint32_t>(seed);
        const Bytes before = syntheticPicture(150, 40, u + 1),
                    after = syntheticPicture(97, 50, u + 2);
        const std::uint64_t at = 3001 + before.size();
        const Bytes icon = spriteOnBackground(width, height, u, margin);
        auto packed = [&](const Bytes& gap) {
            return find(concat({randomBytes(3001, u), before, gap, after, randomBytes(3000, u)}));
        };
        const auto found = packed(icon);
        EXPECT_TRUE(foundAt(found, 3001, 150, 40) && foundAt(found, at, width, height) &&
                    foundAt(found, at + icon.size(), 97, 50))
            << width;
        for (const Bytes& gap : {randomBytes(icon.size(), u), Bytes(icon.size(), 0)})
            for (const Candidate& c : packed(gap))
                EXPECT_FALSE(c.address >= at && c.address < at + gap.size()) << width;
    }
}

// Pictures packed back to back, some a half, a third or a quarter as wide as others (sprites of
// 128, 64 and 32 pixels): a narrower one's rows, read at the wider width, fit too, but each is
// found at its own.
TEST(Finder, PicturesBesideOnesTwiceAsWideAreFoundAtTheirOwnWidths) {
    using Sizes = std::vector<std::array<int, 2>>;
    const std::pair<Sizes, std::uint32_t> cases[] = {{{{128, 40}, {64, 30}}, 1},
                                                     {{{64, 40}, {128, 30}}, 1},
                                                     {{{150, 40}, {50, 47}}, 1},
                                                     {{{64, 40}, {128, 30}, {64, 20}}, 1},
                                                     {{{96, 40}, {48, 30}, {24, 40}}, 2}};
    for (const auto& [sizes, seed] : cases) {
        Bytes file = randomBytes(3001, seed);
        std::vector<std::uint64_t> at;
        for (const auto& [width, height] : sizes) {
            at.push_back(file.size());
            const Bytes picture =
                syntheticPicture(width, height, seed * 10 + static_cast<std::uint32_t>(at.size()));
            file.insert(file.end(), picture.begin(), picture.end());
        }
        const Bytes tail = randomBytes(3000, seed);
        file.insert(file.end(), tail.begin(), tail.end());
        const auto found = find(file);
        for (std::size_t i = 0; i < sizes.size(); ++i)
            EXPECT_TRUE(foundAt(found, at[i], sizes[i][0], sizes[i][1])) << sizes[0][0] << " " << i;
    }
}

// A picture of reds alone is words of a byte and a zero byte, as a program's small numbers
// are: where its rows fit clearly, it is found all the same.
TEST(Finder, APictureOfRedsIsFound) {
    Bytes reds = syntheticPicture(120, 90, 16);
    for (std::size_t i = 0; i < reds.size(); i += 2) reds[i] &= 0x1F, reds[i + 1] = 0;
    EXPECT_TRUE(
        foundAt(find(concat({randomBytes(4001, 17), reds, randomBytes(3000, 18)})), 4001, 120, 90));
}

// A picture's words as 24-bit pixels, 8 bits a channel, and with `alpha` an alpha byte (32-bit).
Bytes asWiderPixels(const Bytes& picture, bool alpha) {
    Bytes out;
    for (const unsigned w : wordsOf(picture)) {
        out.insert(out.end(), {std::uint8_t((w & 31) << 3), std::uint8_t((w >> 5 & 31) << 3),
                               std::uint8_t((w >> 10 & 31) << 3)});
        if (alpha) out.push_back(255);
    }
    return out;
}

// 24- and 32-bit pixels fit any even width, so rows run on into them: rows of a sprite set's
// width through an icon of 32-bit pixels and over a small photograph after it (judged whole to
// be 32-bit pixels); a small photograph before 24-bit pixels, where the width search finds a
// width a word off whose rows lie only in those; rows of 32-bit pixels after a picture, taken
// for its own. The photograph is found, exactly, all the same.
TEST(Finder, APictureBesideWiderPixelsIsFound) {
    struct Case {
        Bytes before;
        int width, height;
        std::uint32_t seed;  // of the filler; the picture's is 7 more
        Bit15 bit15;
        Bytes after;
    };
    std::vector<Case> cases;
    for (std::uint32_t seed = 4; seed < 14; ++seed)
        cases.push_back({concat({spriteOnBackground(12, 48, seed),
                                 asWiderPixels(syntheticPicture(16, 12, seed + 100), true)}),
                         20 + static_cast<int>(seed % 20),
                         40 + static_cast<int>(seed % 25),
                         seed,
                         Bit15::Random,
                         {}});
    cases.push_back(
        {{}, 55, 24, 25, Bit15::Clear, asWiderPixels(testing::flatPicture(450, 60, 28), false)});
    for (const std::uint32_t seed : {2u, 20u, 25u})
        cases.push_back({{},
                         16 + static_cast<int>(seed % 20) * 2,
                         30 + static_cast<int>(seed % 25),
                         seed,
                         Bit15::Set,
                         asWiderPixels(testing::flatPicture(32, 24, seed + 100), true)});
    for (const Case& c : cases) {
        const Bytes file = concat({randomBytes(3001, c.seed), c.before,
                                   syntheticPicture(c.width, c.height, c.seed + 7, c.bit15),
                                   c.after, randomBytes(3000, c.seed + 1)});
        EXPECT_TRUE(foundAt(find(file), 3001 + c.before.size(), c.width, c.height))
            << c.width << " x " << c.height;
    }
}

// A misty picture beside a bank of icons: the icons' texture decides the first width search.
TEST(Finder, AMistyPictureBesideIconsIsFound) {
    const int width = 89, height = 38;
    const Bytes misty = mistyPicture(width, height);
    Bytes file = concat({randomBytes(4001, 61), misty, randomBytes(60, 62)});
    for (int k = 0; k < 7; ++k)
        file = concat({file, Bytes{14, 0, 14, 0},
                       spriteOnBackground(14, 14, 70u + static_cast<unsigned>(k))});
    file = concat({file, randomBytes(3000, 63)});
    EXPECT_TRUE(foundAt(find(file), 4001, width, height));
}

// A sprite's background whose two bytes happen to agree, as 8-bit indexed pixels' do in flat
// areas: the sprite's own words change whole from the background, not a byte at a time.
TEST(Finder, ABackgroundWhoseBytesAgreeIsNoSignOfIndexedPixels) {
    const Bytes file = concat({randomBytes(3001, 67), spriteOnBackground(300, 120, 68, 0, 0x4B4B),
                               randomBytes(3000, 69)});
    EXPECT_TRUE(foundAt(find(file), 3001, 300, 120));
    // Smaller, on magenta with bit 15 set (0xB8B8): read a byte over, it is far rougher, which
    // indexed pixels never are.
    for (const std::uint32_t seed : {1u, 2u, 3u})
        EXPECT_TRUE(foundAt(
            find(concat({randomBytes(3001, 67), spriteOnBackground(120, 90, seed, 0, 0xB8B8),
                         randomBytes(3000, 69)})),
            3001, 120, 90))
            << seed;
}

// A band of stripes across a picture, each row its own shade, smooth along: its rows fit the
// row below no better than anything, yet the parts either side, on one grid, are one picture.
TEST(Finder, AStripedBandAcrossAPictureKeepsItWhole) {
    for (const std::uint32_t seed : {4u, 10u, 17u}) {
        const int width = 60 + static_cast<int>(seed * 3), band = 10 + static_cast<int>(seed % 12);
        Bytes stripes;
        std::mt19937 rng(seed);
        for (int y = 0; y < band; ++y) {
            const int red = 8 + static_cast<int>(rng() % 20), green = static_cast<int>(rng() % 8);
            for (int x = 0; x < width; ++x) {
                const int r = std::clamp(red + static_cast<int>(rng() % 3) - 1, 0, 31);
                const auto word = static_cast<unsigned>(r | green << 5 | 2 << 10);
                stripes.insert(stripes.end(), {static_cast<std::uint8_t>(word),
                                               static_cast<std::uint8_t>(word >> 8)});
            }
        }
        const Bytes file =
            concat({randomBytes(3001, seed), syntheticPicture(width, 40, seed), stripes,
                    syntheticPicture(width, 40, seed + 50), randomBytes(3000, seed + 1)});
        EXPECT_TRUE(foundAt(find(file), 3001, width, 80 + band)) << seed;
    }
}

// A picture whose lower or upper half is grainy (rows that fit the row below far better than
// their diagonal neighbours, yet loosely) is found whole, not only its smooth half. Rows are
// followed in blocks, the last ones (fewer than a block) too.
TEST(Finder, AGrainyHalfIsPartOfThePicture) {
    const struct {
        int height;
        bool upper;
    } cases[] = {{200, false}, {199, false}, {200, true}};
    for (const auto& [height, upper] : cases) {
        const int width = 150;
        Bytes picture = syntheticPicture(width, height, 80);
        const Bytes grain = randomBytes(width, 81), drift = randomBytes(width * height, 82);
        for (int y = upper ? 0 : height / 2; y < (upper ? height / 2 : height); ++y)
            for (int x = 0; x < width; ++x) {
                const auto at = 2 * static_cast<std::size_t>(y * width + x);
                const int g = grain[static_cast<std::size_t>(x)] % 24 +
                              drift[static_cast<std::size_t>(y * width + x)] % 3 - 12;
                const unsigned word = picture[at] | picture[at + 1] << 8;
                const auto r =
                    static_cast<unsigned>(std::clamp(static_cast<int>(word & 31) + g, 0, 31));
                const auto gr =
                    static_cast<unsigned>(std::clamp(static_cast<int>(word >> 5 & 31) + g, 0, 31));
                const unsigned grainy = (word & 0x7C00) | gr << 5 | r;
                picture[at] = static_cast<std::uint8_t>(grainy);
                picture[at + 1] = static_cast<std::uint8_t>(grainy >> 8);
            }
        const Bytes file = concat({randomBytes(3001, 83), picture, randomBytes(3000, 84)});
        EXPECT_TRUE(foundAt(find(file), 3001, width, height)) << height << (upper ? " upper" : "");
    }
}

// A picture's last rows, dark and grainy (no closer to the row below than to its diagonal
// neighbours), before padding of one value: they fit the row above as its own rows do, and
// the picture ends where the padding begins.
TEST(Finder, APictureEndsWherePaddingBegins) {
    for (const std::uint32_t seed : {1u, 4u, 7u}) {
        const int width = 100 + static_cast<int>(seed * 7),
                  height = 60 + static_cast<int>(seed * 3);
        Bytes picture = syntheticPicture(width, height, seed);
        const Bytes grain = randomBytes(picture.size(), seed + 5);
        for (std::size_t at = 2 * static_cast<std::size_t>((height - 12) * width);
             at < picture.size(); at += 2) {
            const unsigned word = (2u + grain[at] % 4) | (2u + grain[at + 1] % 4) << 5 | 3u << 10;
            picture[at] = static_cast<std::uint8_t>(word);
            picture[at + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        const Bytes file = concat(
            {randomBytes(3001, seed), picture, Bytes(2000, 0xFF), randomBytes(3000, seed + 1)});
        EXPECT_TRUE(foundAt(find(file), 3001, width, height)) << seed;
    }
}

// White rows of a picture whose bit 15 is at random (and a white word down its left), beside
// filler of 0xFF bytes: however many, they are the picture's, where the filler's words are all
// one.
TEST(Finder, WhiteRowsWithBit15AtRandomAreNoFillerOfOnes) {
    for (const std::uint32_t seed : {2u, 3u}) {
        Bytes picture = syntheticPicture(71, 120, seed);
        const Bytes bits = randomBytes(picture.size(), seed + 9);
        for (std::size_t at = 0; at < picture.size(); at += 2) {
            const std::size_t row = at / 142;
            if (row < 22 || row >= 116 || at % 142 < 2) picture[at] = 0xFF, picture[at + 1] = 0x7F;
            picture[at + 1] =
                static_cast<std::uint8_t>((picture[at + 1] & 0x7F) | (bits[at] & 0x80));
        }
        const Bytes file = concat({randomBytes(3001, seed), Bytes(9000, 0xFF), picture,
                                   Bytes(9000, 0xFF), randomBytes(3000, seed + 1)});
        EXPECT_TRUE(foundAt(find(file), 12001, 71, 120)) << seed;
    }
}

// A picture with bit 15 at random, whose top rows are black, after zeros and before text:
// where bit 15 stops holding one value, the picture starts, and where it holds one again, it
// ends; and one with bit 15 set where random bytes start and end.
TEST(Finder, FlatRowsAreThePicturesWhereBit15IsItsOwn) {
    for (const std::uint32_t seed : {4u, 5u}) {
        Bytes picture = syntheticPicture(80, 100, seed);
        const Bytes bits = randomBytes(picture.size(), seed + 9);
        for (std::size_t at = 0; at < picture.size(); at += 2) {
            if (at < 2 * 80 * 15) picture[at] = picture[at + 1] = 0;
            picture[at + 1] =
                static_cast<std::uint8_t>((picture[at + 1] & 0x7F) | (bits[at] & 0x80));
        }
        Bytes text;
        while (text.size() < 4000) text.insert(text.end(), {'r', 'o', 'w', 's', ' '});
        const Bytes file = concat(
            {randomBytes(3001, seed), Bytes(6000, 0), picture, text, randomBytes(3000, seed)});
        EXPECT_TRUE(foundAt(find(file), 9001, 80, 100)) << seed;
        // So a sprite with bit 15 set whose ground takes a third of its rows above and below it,
        // among random bytes.
        Bytes sprite = spriteOnBackground(29, 120, seed, 40, 0x7FE0);
        for (std::size_t at = 1; at < sprite.size(); at += 2) sprite[at] |= 0x80;
        EXPECT_TRUE(
            foundAt(find(concat({randomBytes(3001, seed), sprite, randomBytes(3000, seed)})), 3001,
                    29, 120))
            << seed << " sprite";
    }
}

// Rows of zeros after a picture are filler, whatever follows them.
TEST(Finder, WhatFollowsAPictureIsNotPartOfIt) {
    const Bytes file =
        concat({randomBytes(2001, 3), syntheticPicture(12, 10, 8), Bytes(12 * 2 * 200, 0),
                syntheticPicture(48, 40, 9), randomBytes(3000, 4)});
    for (const Candidate& f : find(file))
        EXPECT_TRUE(endOf(f) <= 2001 + 12 * 2 * 14 || f.address >= 2001 + 12 * 2 * 206)
            << f.address << " " << f.width << "x" << f.height;
    // Padding far longer than the picture before it, though followed by more rows of nearly
    // nothing (a sprite on a wide background of black with bit 15 set).
    const Bytes padded =
        concat({randomBytes(2001, 3), syntheticPicture(18, 60, 8), Bytes(18 * 2 * 500, 0),
                spriteOnBackground(600, 40, 9, 16, 0x8000), randomBytes(3000, 4)});
    for (const Candidate& f : find(padded))
        EXPECT_TRUE(endOf(f) <= 2001 + 18 * 2 * 64 || f.address >= 2001 + 18 * 2 * 556)
            << f.address << " " << f.width << "x" << f.height;
    // Fewer rows of zeros than a quarter of the picture, met along a row unlike them.
    const Bytes few = concat({randomBytes(2001, 3), syntheticPicture(55, 55, 8),
                              Bytes(55 * 2 * 13 + 20, 0), randomBytes(3000, 4)});
    const auto found = find(few);
    for (const Candidate& f : found) EXPECT_LE(endOf(f), 2001 + 55 * 2 * 57) << f.height;
    EXPECT_TRUE(foundAt(found, 2001, 55, 55));
    // Between zeros and 0xFF (erased flash): a row of either fits a dark or pale row closely.
    for (const std::uint32_t seed : {1u, 3u, 5u}) {
        const int width = 60 + static_cast<int>(seed * 7),
                  height = 50 + static_cast<int>(seed * 13);
        EXPECT_TRUE(foundAt(find(concat({Bytes(2000, 0), syntheticPicture(width, height, seed),
                                         Bytes(3000, 0xFF)})),
                            2000, width, height))
            << width << " between zeros and 0xFF";
    }
    // Rows before it that fit as well, bit 15 set in a few words of most rows (a program's
    // table), clear in all of a row now and then.
    {
        std::mt19937 rng(12);
        Bytes rows = syntheticPicture(32, 160, 11);
        for (std::size_t k = 1; k < 2 * 32 * 60; k += 2)
            if (k / 64 % 5 != 0 && rng() % 8 == 0) rows[k] |= 0x80;
        rows[2 * 32 * 60 - 1] |= 0x80;  // the last word before the picture
        EXPECT_TRUE(foundAt(find(concat({randomBytes(2001, 3), rows, randomBytes(3000, 4)})),
                            2001 + 2 * 32 * 60, 32, 100))
            << "after a table";
    }
    // Rows that go on smoothly at that width, bit 15 clear where the picture's is set; fewer
    // or more than a quarter of all.
    for (const int rows : {60, 50}) {
        Bytes ending = syntheticPicture(80, 80, 10, Bit15::Set);
        for (std::size_t k = 2 * 80 * static_cast<std::size_t>(rows) + 1; k < ending.size(); k += 2)
            ending[k] &= 0x7F;
        EXPECT_TRUE(foundAt(find(concat({randomBytes(2001, 3), ending, randomBytes(3000, 4)})),
                            2001, 80, rows))
            << rows;
    }
}

// A picture after another, then two rows and most of a third like its last row (a drawing's
// flat ground running on), then text: its fitting rows end off its grid.
Bytes rowsRunOnPastAPicture(int width, std::uint32_t seed, Bit15 bit15) {
    const Bytes picture = syntheticPicture(width, 80, seed, bit15);
    Bytes after;
    for (int r = 0; r < 2; ++r) after.insert(after.end(), picture.end() - 2 * width, picture.end());
    after.insert(after.end(), picture.end() - 2 * width,
                 picture.end() - 30 - 10 * static_cast<int>(seed));
    return concat({randomBytes(3001, seed), syntheticPicture(64, 30, seed + 3, bit15), picture,
                   after, Bytes(3000, 0x20)});
}

// Where rows run on past a picture's last, its grid holds: the seam where its rows wrap, on
// most rows, outweighs the sharpest ends; and, with bit 15 set, words of it clear late in the
// last row (the text after) are no sign of rows a few words off.
TEST(Finder, RowsRunningOnPastAPictureKeepItsGrid) {
    for (const auto& [seed, bit15] : {std::pair{2u, Bit15::Clear},
                                      {4u, Bit15::Clear},
                                      {5u, Bit15::Clear},
                                      {1u, Bit15::Set},
                                      {3u, Bit15::Set}}) {
        const int width = 120 + static_cast<int>(seed) * 17;
        EXPECT_TRUE(
            foundAt(find(rowsRunOnPastAPicture(width, seed, bit15)), 3001 + 2 * 64 * 30, width, 82))
            << width;
    }
}

// Where bit 15 changes a few words into the row before a picture, that row is other data, not
// the sign of rows a few words off: before a picture with it clear, a row like its first with
// it set here and there, ending in small numbers.
TEST(Finder, BitFifteenAFewWordsIntoTheRowBeforeAPictureKeepsItsGrid) {
    for (const std::uint32_t seed : {2u, 3u, 4u, 5u}) {
        const int width = 120 + static_cast<int>(seed) * 17, height = 80;
        const Bytes picture = syntheticPicture(width, height, seed);
        const int numbersFrom = width * (4 + static_cast<int>(seed) % 3) / 10;
        std::mt19937 rng(seed);
        Bytes row(picture.begin(), picture.begin() + 2 * width);
        for (int k = 0; k < width; ++k) {
            if (k < numbersFrom && k % 8 == 0) row[2 * k + 1] |= 0x80;
            if (k >= numbersFrom) {
                row[2 * k] = static_cast<std::uint8_t>(rng() % 2 ? 0 : rng() % 40);
                row[2 * k + 1] = 0;
            }
        }
        EXPECT_TRUE(foundAt(
            find(concat({randomBytes(3001, seed), row, picture, randomBytes(3000, seed + 9)})),
            static_cast<std::uint64_t>(3001 + 2 * width), width, height))
            << width;
    }
}

// A screenshot's white margin with a grey strip down its right, under a line, at the bottom
// or (mirrored) the top of a picture between rough data, or at its bottom before a picture of
// another width: rows of nearly one value fit any width, but the rough data or the other
// picture meets them just where a row of the picture's grid begins or ends. (Rows of one
// value between two pictures' rows could be either's: after a picture, the margin here goes
// to the earlier one as well.)
TEST(Finder, AMarginBetweenAPictureAndRoughDataIsItsOwn) {
    for (const auto& [atTop, nextToPicture] :
         {std::pair{false, false}, {true, false}, {false, true}})
        for (const std::uint32_t seed : {1u, 2u, 3u}) {
            const int width = 40 + 26 * static_cast<int>(seed), body = 33, margin = 6;
            Bytes rows;
            for (int r = 0; r < margin; ++r)
                for (int k = 0; k < width; ++k) {
                    const unsigned word = k + 4 >= width                  ? 0x77BDu
                                          : r == (atTop ? margin - 1 : 0) ? 0x40C6u
                                                                          : 0x7FFFu;
                    rows.push_back(static_cast<std::uint8_t>(word));
                    rows.push_back(static_cast<std::uint8_t>(word >> 8));
                }
            const Bytes picture = syntheticPicture(width, body, seed);
            const Bytes other = nextToPicture ? syntheticPicture(37, 60, seed + 7) : Bytes{};
            const Bytes file = concat({randomBytes(3001, seed), atTop ? rows : picture,
                                       atTop ? picture : rows, other, randomBytes(3000, seed + 1)});
            EXPECT_TRUE(foundAt(find(file), 3001, width, body + margin))
                << width << (atTop ? " at the top" : " at the bottom")
                << (nextToPicture ? " next to a picture" : "");
        }
}

// A smooth picture on the slant (a soft gradient across it) fits the diagonal neighbour as
// well as the word below, or better, so the width search lands a word narrower; the seam where
// its rows wrap, in the last column of the true width alone, sets the width.
TEST(Finder, ASoftGradientOnTheSlantTakesTheWidthOfItsSeam) {
    const struct { int width, period; } cases[] = {{61, 70}, {75, 53}, {90, 70}, {116, 120}};
    for (const auto& c : cases) {
        auto level = [&](int t) {
            return static_cast<unsigned>(16 + 12 * std::sin(6.2832 * t / c.period));
        };
        Bytes picture;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < c.width; ++x) {
                const unsigned v = level(x + y) | level(x + y + 7) << 5 | 10u << 10;
                picture.push_back(static_cast<std::uint8_t>(v));
                picture.push_back(static_cast<std::uint8_t>(v >> 8));
            }
        const Bytes file = concat({randomBytes(3001, 47), picture, randomBytes(3000, 48)});
        EXPECT_TRUE(foundAt(find(file), 3001, c.width, 60)) << c.width;
    }
}

// Asked for pictures of any size, the finder still finds the ordinary ones, in bounded time.
TEST(Finder, SmallestSizesAskedForStillFindWiderPictures) {
    const Bytes file =
        concat({randomBytes(5001, 9), syntheticPicture(90, 70, 12), randomBytes(4000, 10)});
    FindOptions options;
    options.minWidth = 1;
    options.minHeight = 1;
    options.minConfidence = 0;
    EXPECT_TRUE(foundAt(findInBytes(std::as_bytes(std::span(file)), options), 5001, 90, 70));
}

// A program's symbol table: records of 24 bytes, each field much like the one a record below
// and nothing like the field beside it.
Bytes symbolTable(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    auto put = [&](std::uint64_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    };
    std::uint64_t name = 1, value = 0x401000;
    for (int i = 0; i < count; ++i) {
        put(name += 8 + rng() % 24, 4);
        put(rng() % 2 ? 0x12 : 0x11, 1);
        put(0, 1);
        put(10 + rng() % 6, 2);
        put(value += 16 * (1 + rng() % 40), 8);
        put(rng() % 3 ? 8 * (1 + rng() % 64) : 0, 8);
    }
    return out;
}

// A program's sparse records of 32 bytes: mostly zeros, a count that runs down slowly and a
// small kind, field under field.
Bytes sparseRecords(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    int left = 0xF0;
    for (int i = 0; i < count; ++i) {
        Bytes record(32, 0);
        left -= rng() % 3 == 0;
        record[0] = static_cast<std::uint8_t>(left),
        record[1] = static_cast<std::uint8_t>(left >> 8);
        record[16] = rng() % 4 ? 2 : 4;
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

// A smooth picture in 16-bit colour with six bits of green: read as 15-bit words it is smooth
// too, but for the words where green steps over its middle.
Bytes rgb565Picture(int width, int height) {
    Bytes out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = 4 + 20 * x / width;
            const int g = 8 + 48 * (x + y) / (width + height);
            const int b = 24 - 16 * y / height;
            const int v = r << 11 | g << 5 | b;
            out.push_back(static_cast<std::uint8_t>(v));
            out.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    return out;
}

// A drawing of pure red and pure blue strokes on black: words of nothing and words of one
// byte, as a program's sparse records are, and steps from black to red as small as a wave's.
TEST(Finder, StrokesOfRedAndBlueOnBlackAreAPicture) {
    const int width = 320, height = 240;
    Bytes drawing;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned word = 0;
            if (std::abs((x + 2 * y) % 90 - 45) < 4) word = 20u + static_cast<unsigned>(x % 7);
            if (std::abs((3 * x - y) % 120 - 60) < 5)
                word = (18u + static_cast<unsigned>(y % 9)) << 10;
            drawing.push_back(static_cast<std::uint8_t>(word));
            drawing.push_back(static_cast<std::uint8_t>(word >> 8));
        }
    const auto found = find(concat({randomBytes(3001, 81), drawing, randomBytes(3000, 82)}));
    EXPECT_TRUE(foundAt(found, 3001, width, height));
}

TEST(Finder, NothingInDataOfOtherKinds) {
    const Bytes zeros(1 << 20, 0), ones(1 << 20, 0xFF);
    for (const Bytes* data : {&zeros, &ones}) EXPECT_TRUE(find(*data).empty());
    EXPECT_TRUE(find(randomBytes(1 << 20, 5)).empty());
    for (const double amplitude : {300.0, 3000.0, 12000.0, 30000.0})
        EXPECT_TRUE(find(testing::toneSamples(1 << 19, 73.3, amplitude)).empty()) << amplitude;
    EXPECT_TRUE(find(symbolTable(20000, 3)).empty());
    EXPECT_TRUE(find(concat({randomBytes(3001, 15), recordTable(1500, 16), randomBytes(3000, 17)}))
                    .empty());
    for (const std::size_t at : {3000u, 3001u})
        EXPECT_TRUE(
            find(concat({randomBytes(at, 53), sparseRecords(400, 54), randomBytes(3000, 55)}))
                .empty())
            << at;
    for (const std::size_t at : {3000u, 3001u})
        EXPECT_TRUE(find(concat({randomBytes(at, 12), rgb565Picture(300, 200)})).empty()) << at;
    // So in a bank, placed by headers giving their sizes: pictures of six bits of green.
    Bytes bank = randomBytes(3001, 12);
    for (const int height : {60, 90, 70, 80}) {
        bank.insert(bank.end(), {64, 0, static_cast<std::uint8_t>(height), 0});
        const auto words =
            wordsOf(syntheticPicture(64, height, static_cast<std::uint32_t>(height)));
        for (std::size_t i = 0; i < words.size(); ++i) {
            const unsigned v = words[i], g = (v >> 5 & 31) * 2 + (i % 3 == 0);
            const unsigned word = (v >> 10 & 31) << 11 | g << 5 | (v & 31);
            bank.insert(bank.end(),
                        {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
        }
    }
    EXPECT_TRUE(find(concat({bank, randomBytes(3000, 13)})).empty());
    // Tiles of 8 x 8 4-bit pixels, most of one colour throughout, a few of others: read 16
    // words wide, tile under tile, they fit rows closely.
    Bytes tiles;
    for (int t = 0; t < 2048; ++t) {
        const int index = t % 37 == 5 ? 10 : t % 53 == 7 ? 9 : 5;
        tiles.insert(tiles.end(), 32, static_cast<std::uint8_t>(index << 4 | index));
    }
    for (const std::size_t at : {3000u, 3001u})
        EXPECT_TRUE(find(concat({randomBytes(at, 13), tiles, randomBytes(3000, 14)})).empty())
            << at;
}

// Pictures, and a bank whose headers place its sprites (looked for around each picture on
// every core, then taken in file order).
TEST(Finder, SameCandidatesWhateverTheThreads) {
    Bytes bank;
    for (int k = 0; k < 4; ++k) {
        for (int v : {40, 30 + k}) bank.insert(bank.end(), {static_cast<std::uint8_t>(v), 0});
        const Bytes sprite = spriteOnBackground(40, 30 + k, 40u + static_cast<unsigned>(k));
        bank.insert(bank.end(), sprite.begin(), sprite.end());
    }
    const Bytes file = concat({randomBytes(9000, 3), syntheticPicture(200, 120, 4),
                               randomBytes(3001, 4), syntheticPicture(45, 60, 5, Bit15::Random),
                               randomBytes(5000, 6), bank, randomBytes(4000, 7)});
    const auto found = find(file, 1);
    EXPECT_GE(
        std::count_if(found.begin(), found.end(), [](const Candidate& c) { return c.width == 40; }),
        4);
    EXPECT_EQ(found, find(file, 2));
    EXPECT_EQ(found, find(file, 5));
}

// A picture of more words than the finder analyses at once: found on its grid from its first
// row to its last, a picture per 1024 rows, whatever the number of threads.
TEST(Finder, APictureLongerThanAPieceIsFoundWhole) {
    const int width = 600, height = 2600;
    const Bytes file =
        concat({randomBytes(3001, 21), syntheticPicture(width, height, 22), randomBytes(3000, 23)});
    const auto found = find(file, 2);
    EXPECT_EQ(found, find(file, 1));
    std::uint64_t next = 3001;
    for (const Candidate& f : found) {
        if (f.width != width) continue;
        EXPECT_EQ(f.address, next);
        next = endOf(f);
    }
    EXPECT_NEAR(static_cast<double>(next), 3001.0 + 2.0 * width * height, 2.0 * 2 * width);
}

TEST(Finder, FilesThatCannotBeReadOrHoldNothing) {
    testing::TempDir dir;
    EXPECT_FALSE(findPictures((dir.path() / "missing").string(), {}).readable);
    EXPECT_FALSE(findPictures(dir.path().string(), {}).readable);
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(findPictures(fifo, {}).readable);
    EXPECT_FALSE(findPictures("/dev/zero", {}).readable);
    for (const Bytes& bytes : {Bytes{}, Bytes{0x41}}) {
        const auto result = findPictures(dir.write("small", bytes), {});
        EXPECT_TRUE(result.readable);
        EXPECT_TRUE(result.candidates.empty());
    }
    // A sparse file past 4 GiB reads as zeros: nothing, and the progress reaches its end.
    const std::string sparse = (dir.path() / "sparse").string();
    { std::ofstream(sparse) << ""; }
    ASSERT_EQ(::truncate(sparse.c_str(), 5'000'000'000LL), 0);
    std::uint64_t last = 0;
    const auto result = findPictures(sparse, {}, [&](const Progress& p) {
        last = p.bytesDone;
        return true;
    });
    EXPECT_TRUE(result.candidates.empty());
    EXPECT_EQ(last, 5'000'000'000ull);
}

TEST(Finder, CancelStopsTheSearch) {
    const Bytes file = concat({randomBytes(9 << 20, 8)});
    testing::TempDir dir;
    int calls = 0;
    const auto result = findPictures(dir.write("big", file), {}, [&](const Progress&) {
        ++calls;
        return false;
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(calls, 1);
}

// A part lying on a picture's grid, nine in ten of its rows inside it, is the picture's; a
// part off its grid, of another width, or reaching further out, is a candidate of its own.
TEST(Listing, PartsListedTwiceAreDropped) {
    const Candidate picture{1001, 50, 100, 1.0, ""};
    const struct {
        Candidate other;
        bool kept;
    } cases[] = {{{1001, 50, 30, 0.9, ""}, false},
                 {{1001 + 100 * 40, 50, 60, 0.9, ""}, false},
                 {{1001 + 100 * 60, 50, 42, 0.9, ""}, false},
                 {{1001 + 100 * 95, 50, 60, 0.9, ""}, true},
                 {{1001 + 100 * 40 + 2, 50, 30, 0.9, ""}, true},
                 {{1001 + 100 * 40, 49, 30, 0.9, ""}, true}};
    for (const auto& c : cases) {
        std::vector<Candidate> all{picture, c.other};
        std::sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
            return a.address < b.address || (a.address == b.address && a.height > b.height);
        });
        const auto kept = dropContainedParts(all);
        EXPECT_EQ(kept.size(), c.kept ? 2u : 1u) << c.other.address << " " << c.other.width;
        EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [&](const Candidate& k) {
            return k.address == picture.address && k.height == picture.height;
        }));
    }
}

TEST(Listing, MostConfidentWithinTheAddressLimitInFileOrder) {
    std::vector<Candidate> all;
    for (int i = 0; i < 200; ++i)
        all.push_back({static_cast<std::uint64_t>(i) * 1000, 16, 16, (i % 10) / 10.0, ""});
    all.push_back({kMaxBookmarkAddress + 2, 16, 16, 1.0, ""});
    const auto listed = listedCandidates(all);
    ASSERT_EQ(listed.size(), kMaxListed);
    for (std::size_t i = 1; i < listed.size(); ++i)
        EXPECT_LT(listed[i - 1].address, listed[i].address);
    for (const Candidate& c : listed) {
        EXPECT_GE(c.confidence, 0.3);
        EXPECT_LE(c.address, kMaxBookmarkAddress);
    }
    EXPECT_EQ(bookmarkName(3, {0, 265, 166, 0.934, ""}), "Picture 3 265 x 166 (0.93)");
}

// A small rough picture packed between two found (a texture scaled down: rows fit the next one
// only loosely) is placed by them: its width is the one dividing the gap whose rows fit far
// better than at any other. Rough bytes there are no picture.
TEST(Finder, ARoughSmallPictureBetweenTwoIsFoundByTheGap) {
    struct Case {
        int width, height;
        bool picture;
    } cases[] = {{21, 16, true}, {13, 8, true}, {16, 16, true}, {21, 16, false}};
    for (const Case& c : cases) {
        std::mt19937 rng(static_cast<std::uint32_t>(c.width * c.height));
        Bytes small = syntheticPicture(c.width, c.height, 90);
        for (std::size_t i = 0; i < small.size(); i += 2) {
            // Each channel moved at random by up to 3 either way.
            auto word = static_cast<unsigned>(small[i] | small[i + 1] << 8);
            for (const int shift : {0, 5, 10}) {
                const int v = std::clamp(
                    static_cast<int>(word >> shift & 31u) + static_cast<int>(rng() % 7) - 3, 0, 31);
                word = (word & ~(31u << shift)) | static_cast<unsigned>(v) << shift;
            }
            small[i] = static_cast<std::uint8_t>(word),
            small[i + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        if (!c.picture) small = randomBytes(small.size(), 91);
        const Bytes file = concat({randomBytes(3001, 5), syntheticPicture(120, 50, 92), small,
                                   syntheticPicture(77, 40, 93), randomBytes(3000, 6)});
        const std::uint64_t at = 3001 + 2 * 120 * 50;
        const auto found = find(file);
        EXPECT_EQ(foundAt(found, at, c.width, c.height), c.picture) << c.width << "x" << c.height;
        EXPECT_TRUE(foundAt(found, 3001, 120, 50) && foundAt(found, at + small.size(), 77, 40));
    }
}

}  // namespace
}  // namespace pixvue::find
