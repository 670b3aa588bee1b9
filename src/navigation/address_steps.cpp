#include "address_steps.h"

#include <algorithm>
#include <cmath>

#include "shared/number_text.h"

namespace pixvue {
namespace {

// The page step: the new address passes through its plain text and is read back before it is
// written with its leading blank.
std::optional<std::string> pageStep(std::string_view address, std::string_view width,
                                    std::string_view height, double direction) {
    const double w = readLenient(width);
    const double h = readLenient(height);
    const std::optional<double> a = readStrict(address);
    if (!a) return std::nullopt;
    const double n = *a + direction * (w * h * 2);
    if (!std::isfinite(n)) return std::nullopt;
    return writeWithBlank(readLenient(writePlain(n)));
}

// The steps that go back stop at 0, written plainly, as "Page up" does.
std::optional<std::string> notBelowZero(std::optional<std::string> text) {
    if (text && readLenient(*text) < 0) return std::string("0");
    return text;
}

}  // namespace

std::optional<std::string> fixColorsAddress(std::string_view address) {
    const double next = readLenient(address) + 1;
    if (!std::isfinite(next)) return std::nullopt;
    return writeWithBlank(next);
}

std::optional<std::string> pageDownAddress(std::string_view address, std::string_view width,
                                           std::string_view height) {
    return pageStep(address, width, height, +1);
}

std::optional<std::string> pageUpAddress(std::string_view address, std::string_view width,
                                         std::string_view height) {
    return notBelowZero(pageStep(address, width, height, -1));
}

std::optional<std::string> byteBackAddress(std::string_view address) {
    const double back = readLenient(address) - 1;
    if (!std::isfinite(back)) return std::nullopt;
    return notBelowZero(writeWithBlank(back));
}

std::optional<std::string> rowStepAddress(std::string_view address, std::string_view width,
                                          double rows) {
    // A row is a page one pixel high.
    return notBelowZero(pageStep(address, width, "1", rows));
}

std::string widthStepText(std::string_view width, int delta) {
    const double w = readLenient(width) + delta;
    return writePlain(std::isnan(w) ? 1.0 : std::clamp(w, 1.0, 1024.0));
}

}  // namespace pixvue
