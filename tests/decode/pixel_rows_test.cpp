#include "decode/pixel_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace pixvue {
namespace {

constexpr std::uint32_t kGuard = 0x12345678u;

std::vector<std::byte> littleEndian(const std::vector<std::uint16_t>& words) {
    std::vector<std::byte> bytes;
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<std::byte>(w & 0xFF));
        bytes.push_back(static_cast<std::byte>(w >> 8));
    }
    return bytes;
}

// Decodes `bytes` both ways into buffers with a guard pixel on either side, so a kernel that
// writes one pixel too many (or one too few) shows.
void expectSameAsPlain(std::span<const std::byte> bytes) {
    const std::size_t words = bytes.size() / 2;
    std::vector<std::uint32_t> fast(words + 2, kGuard), plain(words + 2, kGuard);
    decodePixelRow(bytes, fast.data() + 1);
    decodePixelRowPlain(bytes, plain.data() + 1);
    ASSERT_EQ(fast.front(), kGuard);
    ASSERT_EQ(fast.back(), kGuard) << "wrote past " << words << " pixels";
    for (std::size_t i = 0; i < fast.size(); ++i)
        ASSERT_EQ(fast[i], plain[i]) << "pixel " << i - 1 << " of " << words;
}

TEST(DecodePixelRow, EveryWordDecodesAsThePlainLoop) {
    std::vector<std::uint16_t> all(65536);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint16_t>(i);
    const auto bytes = littleEndian(all);
    expectSameAsPlain(bytes);

    // The same words in shuffled order, so each lane of a vector step sees every value.
    std::shuffle(all.begin(), all.end(), std::mt19937(7));
    expectSameAsPlain(littleEndian(all));
}

TEST(DecodePixelRow, ChannelsLandInTheirBytes) {
    // A run long enough for the vector path; pixel 17 sits inside its second step.
    std::vector<std::uint32_t> out(40);
    auto decodeRun = [&](std::uint16_t word) {
        decodePixelRow(littleEndian(std::vector<std::uint16_t>(40, word)), out.data());
        return out[17];
    };
    EXPECT_EQ(decodeRun(0x7FFF), 0xFFF8F8F8u);
    EXPECT_EQ(decodeRun(0x001F), 0xFFF80000u);
    EXPECT_EQ(decodeRun(0x03E0), 0xFF00F800u);
    EXPECT_EQ(decodeRun(0x7C00), 0xFF0000F8u);
    EXPECT_EQ(decodeRun(0x8000), 0xFF000000u);  // bit 15 is ignored
    EXPECT_EQ(decodeRun(0x0000), 0xFF000000u);
}

TEST(DecodePixelRow, AnyLengthStartAndOddByte) {
    std::mt19937 random(1);
    std::vector<std::byte> data(2 * 1024 + 64);
    for (auto& b : data) b = static_cast<std::byte>(random());
    // Every run length around the vector step, at every alignment of the input, and with a
    // trailing odd byte that is no word and must be left alone.
    for (std::size_t start = 0; start < 33; ++start)
        for (std::size_t length = 0; length <= 2 * 70 + 1; ++length)
            expectSameAsPlain(std::span(data).subspan(start, length));
    for (std::size_t length : {2046u, 2047u, 2048u, 2049u})
        expectSameAsPlain(std::span(data).subspan(3, length));
}

TEST(DecodePixelRow, TheVectorKernelRunsWhereTheProcessorHasIt) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    EXPECT_EQ(decodePixelRowIsVectorised(), bool(__builtin_cpu_supports("avx2")));
#else
    EXPECT_FALSE(decodePixelRowIsVectorised());
#endif
}

}  // namespace
}  // namespace pixvue
