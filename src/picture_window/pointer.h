// Arithmetic of the picture window's pointer: the picture cell under it, and the move of the
// start address that makes a pressed pixel the new first pixel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixvue {

// The picture column (or row) under pointer coordinate `position`: position / zoom rounded
// toward minus infinity, not limited to the picture.
double pointerCell(double position, int zoom);

// The column step of a press: the address text read leniently, plus 2 x column, written with a
// leading blank. Empty when the sum is not finite (the text is then left alone).
std::optional<std::string> addColumnStep(std::string_view addressText, double column);

// The row step: the address text read leniently, plus row x W x 2 with W = picWidth + 1.
std::optional<std::string> addRowStep(std::string_view addressText, double row,
                                      std::int32_t picWidth);

}  // namespace pixvue
