// Written numbers at the ends of double precision must read back as finite numbers: a text that
// reads as infinity would make a step command empty the address field.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shared/number_text.h"

namespace pixvue {
namespace {

TEST(NumberTextLimits, LargestDoublesReadBackFinite) {
    for (double value :
         {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
          std::nextafter(std::numeric_limits<double>::max(), 0.0), 1.7976931348623151e308}) {
        const std::string text = writePlain(value);
        const double back = readLenient(text);
        ASSERT_TRUE(std::isfinite(back)) << text;
        EXPECT_LE(std::fabs(back - value), 1e-14 * std::fabs(value)) << text;
        EXPECT_TRUE(readStrict(text).has_value()) << text;
    }
}

TEST(NumberTextLimits, FifteenDigitsRoundTripExactly) {
    // 16 and 17 digit values come back within 1e-14, then stay put.
    for (double value : {0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0 * 1e300, 123456789012345.67}) {
        const double once = readLenient(writePlain(value));
        EXPECT_LE(std::fabs(once - value), 1e-14 * std::fabs(value));
        EXPECT_EQ(readLenient(writePlain(once)), once);
    }
    for (double value : {5e-324, 1e-320, 0.5, 1e308, 2000000000.0, 153600.0})
        EXPECT_EQ(readLenient(writePlain(value)), value) << writePlain(value);
}

}  // namespace
}  // namespace pixvue
