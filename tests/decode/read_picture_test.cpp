// readPicture against the literal per-pixel procedure: one two-byte read per pixel into a word
// that starts at 0 and keeps the bytes a short read did not deliver.
#include "decode/loader.h"
#include "decode/pixel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace pixvue {
namespace {

class ReadPictureTest : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(path_.c_str()); }

    void writeFile(std::size_t size) {
        bytes_.resize(size);
        std::mt19937 random(static_cast<unsigned>(size));
        for (auto& b : bytes_) b = static_cast<std::byte>(random());
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes_.data()),
                  static_cast<std::streamsize>(bytes_.size()));
    }

    // The picture as one two-byte read per pixel makes it.
    std::vector<std::uint32_t> perPixel(int width, int height, std::int64_t address) {
        std::vector<std::uint32_t> out;
        DataFile file;
        file.open(path_);
        file.seek(address);
        std::array<std::byte, 2> word{};
        for (int i = 0; i < width * height; ++i) {
            file.read(word);
            out.push_back(argbFromWord(static_cast<std::uint16_t>(
                std::to_integer<unsigned>(word[0]) | std::to_integer<unsigned>(word[1]) << 8)));
        }
        return out;
    }

    // Loads into `surface` and checks every pixel of the rectangle against the per-pixel
    // procedure, each row already complete when its rowDone runs.
    void expectLoad(int width, int height, std::int32_t address) {
        const auto expected = perPixel(width, height, address);
        DataFile file;
        file.open(path_);
        int rowsDone = 0;
        readPicture(file, {width - 1, height - 1, address}, surface_, scratch_, [&](int row) {
            ASSERT_EQ(row, rowsDone++);
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(surface_.pixel(x, row), expected[std::size_t(row) * width + x])
                    << "x " << x << " y " << row << ", " << bytes_.size() << " bytes at "
                    << address;
        });
        EXPECT_EQ(rowsDone, height);
    }

    // One file per test and process: ctest runs the tests side by side.
    std::string path_ = ::testing::TempDir() + "read_picture_" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                        std::to_string(::getpid()) + ".bin";
    std::vector<std::byte> bytes_;
    PictureSurface surface_;
    std::vector<std::byte> scratch_;
};

TEST_F(ReadPictureTest, WholeFilesAndFilesThatEndInsideThePicture) {
    const std::size_t picture = 2 * 320 * 240;
    for (std::size_t size : {picture, picture + 7, picture - 2, picture - 1, std::size_t{3},
                             std::size_t{1}, std::size_t{0}}) {
        writeFile(size);
        expectLoad(320, 240, 0);
    }
    writeFile(3);  // the second pixel: the third byte low, the second byte high
    expectLoad(2, 1, 0);
    EXPECT_EQ(surface_.pixel(1, 0),
              argbFromWord(static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes_[2]) |
                                                      std::to_integer<unsigned>(bytes_[1]) << 8)));
}

TEST_F(ReadPictureTest, EndsAroundLargeReadBoundaries) {
    // Wide pictures whose file ends at, or one byte past, multiples of 64 KiB and 4 KiB, so a
    // loader that reads in blocks carries the last word over from one block to the next.
    for (std::size_t size : {std::size_t{65536}, std::size_t{65537}, std::size_t{65535},
                             std::size_t{131072 + 1}, std::size_t{4096 * 3 + 1}}) {
        writeFile(size);
        expectLoad(1024, 80, 0);
        expectLoad(1000, 90, 1);
    }
}

TEST_F(ReadPictureTest, AddressesInsideAndBeyondTheFile) {
    writeFile(5000);
    expectLoad(17, 13, 1);
    expectLoad(17, 13, 4999);  // one byte left: the low byte of the only pixel that reads
    expectLoad(17, 13, 5000);
    expectLoad(17, 13, 2000000000);
    EXPECT_EQ(surface_.pixel(16, 12), 0xFF000000u);
}

TEST_F(ReadPictureTest, FullSurfaceAndAFileThatDoesNotOpen) {
    writeFile(2 * 1024 * 1024 - 1);
    expectLoad(1024, 1024, 0);

    // Only the rectangle is written; an unopened file reads nothing and gives black.
    const std::uint32_t outside = surface_.pixel(5, 4);
    DataFile closed;
    readPicture(closed, {4, 3, 0}, surface_, scratch_, {});
    EXPECT_EQ(surface_.pixel(4, 3), 0xFF000000u);
    EXPECT_EQ(surface_.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(surface_.pixel(5, 4), outside);
    EXPECT_NE(surface_.pixel(5, 3), 0xFF000000u);
}

}  // namespace
}  // namespace pixvue
