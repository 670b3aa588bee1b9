#include "shared/number_text.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace pixvue {
namespace {

struct StrictCase {
    std::string text;
    std::optional<double> value;
};

class StrictReading : public ::testing::TestWithParam<StrictCase> {};

TEST_P(StrictReading, ReadsOnlyWholeNumbers) {
    const auto& c = GetParam();
    EXPECT_EQ(readStrict(c.text), c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrictReading,
    ::testing::Values(
        StrictCase{"320", 320.0}, StrictCase{" 320 ", 320.0}, StrictCase{"\t-2\t", -2.0},
        StrictCase{"+5", 5.0}, StrictCase{"5.", 5.0}, StrictCase{".5", 0.5},
        StrictCase{"1e3", 1000.0}, StrictCase{"1E+3", 1000.0}, StrictCase{"2.5e-1", 0.25},
        StrictCase{"319.5", 319.5}, StrictCase{"3000000000", 3e9}, StrictCase{"0010", 10.0},
        // hexadecimal
        StrictCase{"0x10", 16.0}, StrictCase{" 0XfF ", 255.0}, StrictCase{"-0x3d090", -250000.0},
        StrictCase{"0x77359400", 2e9}, StrictCase{"0x1e5", 485.0}, StrictCase{"0x", std::nullopt},
        StrictCase{"0x1g", std::nullopt}, StrictCase{"0x1.8", std::nullopt},
        StrictCase{"x10", std::nullopt}, StrictCase{"0 x10", std::nullopt},
        StrictCase{"0x" + std::string(300, 'f'), std::nullopt},
        // failures
        StrictCase{"", std::nullopt}, StrictCase{"   ", std::nullopt},
        StrictCase{"12abc", std::nullopt}, StrictCase{"1 024", std::nullopt},
        StrictCase{"abc", std::nullopt}, StrictCase{".", std::nullopt},
        StrictCase{"-", std::nullopt}, StrictCase{"- 5", std::nullopt},
        StrictCase{"1e", std::nullopt}, StrictCase{"1,024", std::nullopt},
        StrictCase{"\n5", std::nullopt}, StrictCase{"1e309", std::nullopt},
        StrictCase{"-1e309", std::nullopt}, StrictCase{"nan", std::nullopt},
        StrictCase{"inf", std::nullopt}, StrictCase{std::string("5\0", 2), std::nullopt}));

TEST(StrictReading, KeepsTinyAndHugeFiniteValues) {
    EXPECT_EQ(readStrict("1e308"), 1e308);
    const auto tiny = readStrict("1e-320");
    ASSERT_TRUE(tiny);
    EXPECT_GT(*tiny, 0.0);
    EXPECT_EQ(readStrict("1e-400"), 0.0);               // underflow reads as zero, not as a failure
    EXPECT_FALSE(readStrict(std::string(10000, '9')));  // beyond any double
    EXPECT_EQ(readStrict("0." + std::string(400, '0') + "1e400"), 0.1);
}

struct LenientCase {
    std::string text;
    double value;
};

class LenientReading : public ::testing::TestWithParam<LenientCase> {};

TEST_P(LenientReading, TakesTheLongestLeadingNumber) {
    const auto& c = GetParam();
    EXPECT_EQ(readLenient(c.text), c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LenientReading,
    ::testing::Values(LenientCase{"320", 320}, LenientCase{"12abc", 12}, LenientCase{"1 024", 1024},
                      LenientCase{"", 0}, LenientCase{"letters", 0}, LenientCase{" 640", 640},
                      LenientCase{"- 5", -5}, LenientCase{"\t1\n2", 12}, LenientCase{"1e3x", 1000},
                      LenientCase{"1e", 1}, LenientCase{"1e+", 1}, LenientCase{".5", 0.5},
                      LenientCase{"5.", 5}, LenientCase{"-", 0}, LenientCase{"0x10", 16},
                      LenientCase{"1,024", 1}, LenientCase{"+7", 7}, LenientCase{"1.2.3", 1.2},
                      LenientCase{"0X1Fzz", 31}, LenientCase{"0 x 1 0", 16}, LenientCase{"0x", 0},
                      LenientCase{"0xg", 0}, LenientCase{"-0xA.5", -10}));

TEST(LenientReading, OverflowIsInfiniteAndUnderflowZero) {
    EXPECT_EQ(readLenient("1e309"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readLenient("-1e309"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(readLenient("1e-400"), 0.0);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundToInt32(318.5), 318);
    EXPECT_EQ(roundToInt32(319.5), 320);
    EXPECT_EQ(roundToInt32(-0.5), 0);
    EXPECT_EQ(roundToInt32(-1.5), -2);
    EXPECT_EQ(roundToInt32(2.4999), 2);
}

TEST(Rounding, RejectsWhatLeavesThe32BitRange) {
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_FALSE(roundToInt32(2147483647.5));
    EXPECT_EQ(roundToInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_FALSE(roundToInt32(3e9));
    EXPECT_FALSE(roundToInt32(std::nan("")));
    EXPECT_FALSE(roundToInt32(std::numeric_limits<double>::infinity()));
}

TEST(Writing, WholeNumbersAsDigitsWithOrWithoutTheBlank) {
    EXPECT_EQ(writeWithBlank(640), " 640");
    EXPECT_EQ(writeWithBlank(-2), "-2");
    EXPECT_EQ(writeWithBlank(0), " 0");
    EXPECT_EQ(writeWithBlank(-0.0), " 0");
    EXPECT_EQ(writePlain(640), "640");
    EXPECT_EQ(writePlain(153600), "153600");
    EXPECT_EQ(writePlain(2000153599), "2000153599");
    EXPECT_EQ(writePlain(1e20), "100000000000000000000");
}

TEST(Writing, FractionsInTheShortestFormUpToFifteenDigits) {
    EXPECT_EQ(writeWithBlank(0.5), " 0.5");
    EXPECT_EQ(writePlain(-0.25), "-0.25");
    EXPECT_EQ(writePlain(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(writePlain(0.1 + 0.2), "0.3");  // 0.30000000000000004 cut to 15 digits
    EXPECT_EQ(writePlain(1e-5), "0.00001");
    EXPECT_EQ(writePlain(123.456), "123.456");
}

TEST(Writing, ReadsBackThroughTheLenientReading) {
    for (double v : {0.0, 1.0, -1.0, 0.5, 1e-300, 1e300, 153600.0, -2.5e-7, 1234567.125})
        EXPECT_EQ(readLenient(writeWithBlank(v)), v) << v;
}

}  // namespace
}  // namespace pixvue
