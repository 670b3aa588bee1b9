#include "pointer.h"

#include <cmath>

#include "shared/number_text.h"

namespace pixvue {
namespace {

std::optional<std::string> written(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return writeWithBlank(value);
}

}  // namespace

double pointerCell(double position, int zoom) {
    return std::floor(position / zoom);
}

std::optional<std::string> addColumnStep(std::string_view addressText, double column) {
    return written(readLenient(addressText) + 2 * column);
}

std::optional<std::string> addRowStep(std::string_view addressText, double row,
                                      std::int32_t picWidth) {
    const double width = static_cast<double>(picWidth) + 1;
    return written(readLenient(addressText) + row * width * 2);
}

}  // namespace pixvue
