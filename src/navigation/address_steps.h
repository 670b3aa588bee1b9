// The arithmetic of the zoom buttons and of the buttons that move the start address. All of it
// is in double precision on the field texts; the loader rounds when it converts them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pixvue {

inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 11;

constexpr int zoomIn(int zoom) {
    return zoom <= kMaxZoom - 1 ? zoom + 1 : kMaxZoom;
}
constexpr int zoomOut(int zoom) {
    return zoom > kMinZoom ? zoom - 1 : kMinZoom;
}

// "Fix colors": the address one byte further, written with a leading blank. Empty when the
// result is not finite; the text then stays as it is.
std::optional<std::string> fixColorsAddress(std::string_view address);

// "Page down": the address one picture (width x height x 2 bytes) further. Empty when the
// address does not read strictly or the result is not finite.
std::optional<std::string> pageDownAddress(std::string_view address, std::string_view width,
                                           std::string_view height);

// "Page up": one picture back, and "0" when that falls below 0. Empty as for page down.
std::optional<std::string> pageUpAddress(std::string_view address, std::string_view width,
                                         std::string_view height);

// One byte back, the mirror of "Fix colors": "0" when that falls below 0.
std::optional<std::string> byteBackAddress(std::string_view address);

// `rows` picture rows (2 x width bytes each) forward, or back when negative, as the page steps
// move: "0" when that falls below 0, empty when the address does not read strictly.
std::optional<std::string> rowStepAddress(std::string_view address, std::string_view width,
                                          double rows);

// The width text one pixel wider or narrower, kept within 1 to 1024, written plainly.
std::string widthStepText(std::string_view width, int delta);

}  // namespace pixvue
