#include "loader.h"

#include <algorithm>

#include "pixel_rows.h"
#include "shared/number_text.h"

namespace pixvue {

LoadVerdict convertFields(std::string_view width, std::string_view height, std::string_view address,
                          PictureFields& fields) {
    auto convert = [](std::string_view text, double offset) -> std::optional<std::int32_t> {
        const std::optional<double> value = readStrict(text);
        if (!value) return std::nullopt;
        return roundToInt32(*value - offset);
    };
    const auto w = convert(width, 1);
    if (!w) return LoadVerdict::NotANumber;
    fields.PicWidth = *w;
    const auto h = convert(height, 1);
    if (!h) return LoadVerdict::NotANumber;
    fields.PicHeight = *h;
    const auto a = convert(address, 0);
    if (!a) return LoadVerdict::NotANumber;
    fields.PicAddress = *a;

    // Widened: PicWidth + 1 overflows for the largest 32-bit value.
    const std::int64_t pictureWidth = std::int64_t{fields.PicWidth} + 1;
    const std::int64_t pictureHeight = std::int64_t{fields.PicHeight} + 1;
    if (pictureWidth < 1 || pictureWidth > kMaxSide) return LoadVerdict::WidthOutOfRange;
    if (pictureHeight < 1 || pictureHeight > kMaxSide) return LoadVerdict::HeightOutOfRange;
    if (fields.PicAddress < 0 || fields.PicAddress > kMaxAddress)
        return LoadVerdict::AddressOutOfRange;
    return LoadVerdict::Accepted;
}

bool fieldsInRange(const PictureFields& f) {
    const std::int64_t w = std::int64_t{f.PicWidth} + 1;
    const std::int64_t h = std::int64_t{f.PicHeight} + 1;
    return w >= 1 && w <= kMaxSide && h >= 1 && h <= kMaxSide && f.PicAddress >= 0 &&
           f.PicAddress <= kMaxAddress;
}

std::optional<Message> messageFor(LoadVerdict verdict) {
    switch (verdict) {
        case LoadVerdict::Accepted:
            return std::nullopt;
        case LoadVerdict::NotANumber:
            return Message{"Are you sure you entered only numbers ?", "Something went wrong",
                           MessageIcon::Critical};
        case LoadVerdict::WidthOutOfRange:
            return Message{"The width must be between 1 and 1024", "Invalid value",
                           MessageIcon::Information};
        case LoadVerdict::HeightOutOfRange:
            return Message{"The height must be between 1 and 1024", "Invalid value",
                           MessageIcon::Information};
        case LoadVerdict::AddressOutOfRange:
            return Message{"The address must be between 0 and 2000000000", "Invalid value",
                           MessageIcon::Information};
    }
    return std::nullopt;
}

void readPicture(DataFile& file, const PictureFields& fields, PictureSurface& surface,
                 std::vector<std::byte>& scratch, const std::function<void(int row)>& rowDone) {
    const int width = fields.PicWidth + 1;
    const int height = fields.PicHeight + 1;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    scratch.resize(pixels * 2);
    file.seek(fields.PicAddress);
    const std::size_t arrived = file.read(scratch);

    // Pixels [0, whole) come straight from the data; every later pixel holds `tail`, the word
    // left behind by the last read that delivered anything.
    const std::size_t whole = arrived / 2;
    auto wordAt = [&](std::size_t k) {
        return static_cast<std::uint16_t>(std::to_integer<unsigned>(scratch[2 * k]) |
                                          std::to_integer<unsigned>(scratch[2 * k + 1]) << 8);
    };
    std::uint16_t tail = whole > 0 ? wordAt(whole - 1) : 0;
    if (arrived % 2 == 1)
        tail = static_cast<std::uint16_t>((tail & 0xFF00u) |
                                          std::to_integer<unsigned>(scratch[arrived - 1]));
    const std::uint32_t tailPixel = argbFromWord(tail);

    for (int y = 0; y < height; ++y) {
        const std::size_t first = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const std::size_t decoded =
            std::min(static_cast<std::size_t>(width), whole > first ? whole - first : 0);
        std::uint32_t* out = surface.row(y);
        decodePixelRow(std::span(scratch).subspan(2 * first, 2 * decoded), out);
        std::fill(out + decoded, out + width, tailPixel);
        if (rowDone) rowDone(y);
    }
}

}  // namespace pixvue
