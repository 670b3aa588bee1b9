// Any bytes as a field text. Reading never fails; whatever reads strictly reads the same leniently;
// a written number reads back as itself. Writing keeps at most 15 significant digits, so a value
// whose shortest exact form needs 16 or 17 digits comes back only within a relative 1e-14 (and
// exactly from the second round on).
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "shared/number_text.h"

namespace {

using namespace pixvue;

// Significant digits of the shortest text that reads back to exactly `value`.
int shortestDigits(double value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    int digits = 0;
    for (const char* p = buf; p < res.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') ++digits;
    return digits;
}

void checkWritten(double value) {
    const std::string plain = writePlain(value);
    FUZZ_CHECK(!plain.empty());
    // Plain positional notation: an optional minus sign, digits, at most one period.
    int periods = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c == '-')
            FUZZ_CHECK(i == 0 && value < 0);
        else if (c == '.')
            ++periods;
        else
            FUZZ_CHECK(c >= '0' && c <= '9');
    }
    FUZZ_CHECK(periods <= 1);
    FUZZ_CHECK(plain.size() <= 400);

    const std::string blank = writeWithBlank(value);
    FUZZ_CHECK(blank == (plain.front() == '-' ? plain : " " + plain));

    const auto strict = readStrict(plain);
    FUZZ_CHECK(strict.has_value());
    const double back = readLenient(plain);
    FUZZ_CHECK(*strict == back);
    FUZZ_CHECK(std::isfinite(back));
    if (shortestDigits(value) <= 15) {
        FUZZ_CHECK(back == value);
    } else {
        FUZZ_CHECK(std::fabs(back - value) <= 1e-14 * std::fabs(value));
    }
    // A number that has been through the text once is kept exactly by the next round.
    FUZZ_CHECK(readLenient(writePlain(back)) == back);
}

void checkRounding(double value) {
    const auto rounded = roundToInt32(value);
    // Halves go to the even neighbour: -2147483648.5 still gives -2147483648, 2147483647.5 gives
    // 2147483648, which is out of range.
    if (!(value >= -2147483648.5 && value < 2147483647.5)) {
        FUZZ_CHECK(!rounded);
        return;
    }
    FUZZ_CHECK(rounded.has_value());
    const double error = std::fabs(double(*rounded) - value);
    FUZZ_CHECK(error <= 0.5);
    if (error == 0.5) FUZZ_CHECK(*rounded % 2 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto strict = readStrict(text);
    const double lenient = readLenient(text);
    if (strict) {
        FUZZ_CHECK(std::isfinite(*strict));
        FUZZ_CHECK(*strict == lenient);
        FUZZ_CHECK(std::signbit(*strict) == std::signbit(lenient));
        checkRounding(*strict);
    }
    FUZZ_CHECK(!std::isnan(lenient));
    if (std::isfinite(lenient)) checkWritten(lenient);

    // The same bytes taken as a double reach values no text above would spell.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        if (std::isfinite(raw)) checkWritten(raw);
        checkRounding(raw);
    }
    return 0;
}
