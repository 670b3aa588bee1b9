// Banks placed by the size headers before their pictures.
#include <gtest/gtest.h>

#include "find/bank.h"
#include "support/synthetic_picture.h"

namespace pixvue::find {
namespace {

using testing::randomBytes;
using testing::syntheticPicture;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::vector<BankPicture>> banksIn(const Bytes& bytes, int width) {
    return banksAfterHeaders(std::as_bytes(std::span(bytes)), width);
}

struct Layout {
    std::size_t headerBytes;  // 2: the width alone; 3: and the height's low byte
    bool bigEndian;
};

// The width, the height and then other fields, cut to the header's length.
Bytes header(const Layout& l, int width, int height) {
    Bytes h;
    for (const int v : {width, height, 0x1234, 0x5678, 0x9ABC, 0xDEF0}) {
        const auto lo = static_cast<std::uint8_t>(v & 0xFF), hi = static_cast<std::uint8_t>(v >> 8);
        h.insert(h.end(), l.bigEndian ? std::initializer_list<std::uint8_t>{hi, lo}
                                      : std::initializer_list<std::uint8_t>{lo, hi});
    }
    h.resize(l.headerBytes);
    return h;
}

// Each layout of header: every picture at its byte; the last one's height, where no header
// after it gives it, from how far its rows fit, up to filler of any kind.
TEST(Banks, EveryPictureAfterItsHeader) {
    const int width = 24;
    const int heights[] = {12, 20, 9, 16};
    for (const bool zeros : {false, true})
        for (const Layout l : {Layout{2, false}, Layout{3, false}, Layout{4, false},
                               Layout{4, true}, Layout{7, false}, Layout{12, true}}) {
            Bytes file = randomBytes(65537, 3);
            // A word of the width's value, far before the bank's first header but whole rows
            // from it, as a header of the width alone would be: no part of the bank.
            if (l.headerBytes < 4) {
                const Bytes decoy = header(l, width, 0);
                std::copy_n(decoy.begin(), 2, file.end() - l.headerBytes - 2 * width * 1000);
            }
            std::vector<BankPicture> expected;
            for (int k = 0; k < 4; ++k) {
                const Bytes h = header(l, width, heights[k]);
                file.insert(file.end(), h.begin(), h.end());
                expected.push_back({file.size(), heights[k]});
                const Bytes p = syntheticPicture(width, heights[k], 40u + static_cast<unsigned>(k));
                file.insert(file.end(), p.begin(), p.end());
            }
            const Bytes after = zeros ? Bytes(65536, 0) : randomBytes(65536, 4);
            file.insert(file.end(), after.begin(), after.end());

            const auto banks = banksIn(file, width);
            ASSERT_EQ(banks.size(), 1u) << l.headerBytes << " " << l.bigEndian;
            ASSERT_EQ(banks[0].size(), 4u) << l.headerBytes;
            for (std::size_t k = 0; k < 4; ++k) {
                EXPECT_EQ(banks[0][k].address, expected[k].address) << l.headerBytes << " " << k;
                EXPECT_NEAR(banks[0][k].height, expected[k].height, 2) << l.headerBytes << " " << k;
            }
            EXPECT_TRUE(banksIn(file, width + 1).empty()) << l.headerBytes;
            // With both sizes in the headers (or the height's byte, under 256 rows), the bank
            // is found without being told its width.
            if (l.headerBytes >= 3) {
                const auto any = banksOfAnyWidth(std::as_bytes(std::span(file)), 8);
                ASSERT_EQ(any.size(), 1u) << l.headerBytes;
                EXPECT_EQ(any[0].width, width);
                EXPECT_EQ(any[0].pictures, expected) << l.headerBytes;
            }
        }
}

// Pictures all of one height, headers of the width alone, and a picture of that width right
// after the last: the last is as tall as the others, not as far as rows fit.
TEST(Banks, TheLastOfPicturesOfOneHeightIsAsTall) {
    const int width = 24, height = 16;
    Bytes file = randomBytes(4097, 7);
    for (unsigned k = 0; k < 4; ++k) {
        file.insert(file.end(), {width, 0});
        const Bytes p = syntheticPicture(width, height, 60 + k);
        file.insert(file.end(), p.begin(), p.end());
    }
    const Bytes next = syntheticPicture(width, 40, 70);
    file.insert(file.end(), next.begin(), next.end());
    const auto banks = banksIn(file, width);
    ASSERT_EQ(banks.size(), 1u);
    ASSERT_EQ(banks[0].size(), 4u);
    EXPECT_EQ(banks[0][3].height, height);
}

// Where the width is a common word (a flat area of that colour, a table of small numbers),
// headers line up by chance: no bank.
TEST(Banks, NoneWhereTheWidthIsACommonWord) {
    const int width = 16;
    Bytes flat;
    for (int k = 0; k < 20000; ++k) flat.insert(flat.end(), {width, 0});
    EXPECT_TRUE(banksIn(flat, width).empty());

    Bytes table = randomBytes(1 << 20, 5);
    for (std::size_t i = 0; i + 1 < table.size(); i += 2) {
        const int pick = table[i] % 3;
        table[i] = static_cast<std::uint8_t>(pick == 0 ? width : pick == 1 ? 9 : 12);
        table[i + 1] = 0;
    }
    EXPECT_TRUE(banksIn(table, width).empty());

    // Music: smooth samples, of which those of the width's value link into long chains, of
    // links as long as chance makes them.
    Bytes sound;
    double level = 0, step = 0;
    const Bytes noise = randomBytes(1 << 19, 6);
    for (std::size_t i = 0; i < noise.size(); i += 2) {
        step = 0.95 * step + (noise[i] - 127.5) / 4;
        level = 0.99 * level + step;
        const auto v = static_cast<std::uint16_t>(static_cast<int>(level) / 8);
        sound.insert(sound.end(),
                     {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    EXPECT_TRUE(banksIn(sound, 8).empty());
    // Two numbers in turn, each a header giving the other as height: every link is there.
    Bytes pairs;
    for (int k = 0; k < 200000; ++k) pairs.insert(pairs.end(), {8, 0, 9, 0});
    for (const Bytes* data : {&table, &sound, &pairs})
        EXPECT_TRUE(banksOfAnyWidth(std::as_bytes(std::span(*data)), 8).empty());
}

// A program's table of 48-byte records, two of whose fields read as a header of 8 x 8 every
// three records: a chain of "pictures" follows by itself (as in a compiler's library). Its
// bytes repeat a record on, as a bank's pictures do not.
TEST(Banks, RecordsThatReadAsHeadersAreNoBank) {
    Bytes table;
    for (unsigned k = 0; k < 600; ++k)
        for (const unsigned word : {0x0300u, 0x0008u, 0x1C00u, 0x8BC9u, 0x0004u,
                                    0u,      0u,      0u,      0u,      0u,
                                    0xC000u, 0x8BCFu, 0x0004u, 0u,      0xB500u + (k % 64) * 0x100u,
                                    0x0803u, 0u,      0x0308u, 0x0800u, 0x0800u,
                                    0u,      0u,      0u,      0x0200u})
            table.insert(table.end(),
                         {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
    std::vector<BankPicture> chained;
    for (std::uint64_t at = 52; at + 128 <= table.size(); at += 144) chained.push_back({at, 8});
    EXPECT_TRUE(repeatsAsRecords(std::as_bytes(std::span(table)), chained, 8));

    // Sprites after their headers, on one ground and of one height: no such repeat.
    Bytes bank = randomBytes(3001, 7);
    std::vector<BankPicture> pictures;
    for (std::uint32_t k = 0; k < 8; ++k) {
        const Bytes h = header({4, false}, 24, 20), sprite = syntheticPicture(24, 20, 30 + k);
        bank.insert(bank.end(), h.begin(), h.end());
        pictures.push_back({bank.size(), 20});
        bank.insert(bank.end(), sprite.begin(), sprite.end());
    }
    EXPECT_FALSE(repeatsAsRecords(std::as_bytes(std::span(bank)), pictures, 24));
}

}  // namespace
}  // namespace pixvue::find
