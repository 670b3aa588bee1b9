// Any file contents, length, address, width and height: the block loader and the plain
// per-pixel loader must leave the same pixels in the picture, the end of the file included, must
// not write beside it, and must report every row once, in order.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "decode/data_file.h"
#include "decode/loader.h"
#include "decode/picture_surface.h"
#include "fuzz_check.h"
#include "support/reference_loader.h"

namespace {

using namespace pixvue;

// A pixel value decoding never produces (decoded pixels are opaque), written beside the picture.
constexpr std::uint32_t kBeside = 0x00123456u;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint32_t take(int bytes) {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v = v << 8 | (size ? *data : 0);
            if (size) ++data, --size;
        }
        return v;
    }
};

int memoryFile() {
    static const int fd = ::memfd_create("pixvue-fuzz", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    return fd;
}

void markBeside(PictureSurface& surface, int width, int height) {
    for (int y = 0; y <= height && y < PictureSurface::kSide; ++y)
        surface.setPixel(width, y, kBeside);
    for (int x = 0; x <= width && x < PictureSurface::kSide; ++x)
        surface.setPixel(x, height, kBeside);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static PictureSurface expected, actual;
    static std::vector<std::byte> scratch;

    Reader in{data, size};
    const std::uint32_t steer = in.take(1);
    int width = 1 + static_cast<int>(in.take(2) % kMaxSide);
    int height = 1 + static_cast<int>(in.take(2) % kMaxSide);
    // Most pictures stay small so that many run each second; with the three top bits set, a side
    // may reach the edge of the surface (the whole surface is left to the unit tests).
    const int limit = (steer & 0xE0) == 0xE0 ? 64 * 1024 : 1024;
    if (width * height > limit) height = std::max(1, limit / width);
    const std::uint32_t placeBits = in.take(4);
    const std::uint32_t addressBits = in.take(4);
    const std::uint8_t* contents = in.data;
    const std::size_t length = in.size;

    // The contents sit at the start of the file, a little later, or close to the largest
    // address; the bytes before them read as zeros.
    std::int64_t place = 0;
    switch (steer & 3) {
        case 0:
            place = 0;
            break;
        case 1:
            place = placeBits % 4096;
            break;
        default:
            place = kMaxAddress - std::int64_t(placeBits % 8192);
            break;
    }
    // The address lands anywhere from a little before the contents to a little past their end.
    const std::int64_t span = std::int64_t(length) + 64;
    std::int64_t address = place - 32 + std::int64_t(addressBits % std::uint32_t(span + 32));
    address = std::clamp<std::int64_t>(address, 0, kMaxAddress);

    const int fd = memoryFile();
    FUZZ_CHECK(::ftruncate(fd, 0) == 0);
    FUZZ_CHECK(::ftruncate(fd, place) == 0);
    if (length) FUZZ_CHECK(::pwrite(fd, contents, length, place) == ssize_t(length));
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    const PictureFields fields{width - 1, height - 1, static_cast<std::int32_t>(address)};
    markBeside(expected, width, height);
    markBeside(actual, width, height);

    DataFile plain;
    FUZZ_CHECK(plain.open(path));
    testing::referenceLoad(plain, fields, expected);

    DataFile block;
    FUZZ_CHECK(block.open(path));
    int nextRow = 0;
    readPicture(block, fields, actual, scratch, [&nextRow](int row) {
        FUZZ_CHECK(row == nextRow);
        ++nextRow;
    });
    FUZZ_CHECK(nextRow == height);

    for (int y = 0; y <= height && y < PictureSurface::kSide; ++y) {
        const int columns = std::min(width + 1, PictureSurface::kSide);
        FUZZ_CHECK(std::memcmp(actual.row(y), expected.row(y), sizeof(std::uint32_t) * columns) ==
                   0);
    }
    if (width < PictureSurface::kSide) FUZZ_CHECK(actual.pixel(width, 0) == kBeside);
    if (height < PictureSurface::kSide) FUZZ_CHECK(actual.pixel(0, height) == kBeside);
    return 0;
}
