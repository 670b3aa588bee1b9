#include "pixel_rows.h"

namespace pixvue {

void decodePixelRow(std::span<const std::byte> bytes, std::uint32_t* out) {
    decodePixelRowPlain(bytes, out);
}

}  // namespace pixvue
