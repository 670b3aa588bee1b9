#include "navigation/address_steps.h"

#include <gtest/gtest.h>

namespace pixvue {
namespace {

TEST(Zoom, StaysBetweenOneAndEleven) {
    int zoom = 1;
    EXPECT_EQ(zoomOut(zoom), 1);
    for (int i = 0; i < 10; ++i) zoom = zoomIn(zoom);
    EXPECT_EQ(zoom, 11);
    EXPECT_EQ(zoomIn(zoom), 11);
    for (int i = 0; i < 10; ++i) zoom = zoomOut(zoom);
    EXPECT_EQ(zoom, 1);
    EXPECT_EQ(zoomIn(10), 11);
}

struct StepCase {
    const char* address;
    const char* width;
    const char* height;
    std::optional<std::string> down;
    std::optional<std::string> up;
};

class PageSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(PageSteps, MoveOnePictureOfTheTypedSize) {
    const auto& c = GetParam();
    EXPECT_EQ(pageDownAddress(c.address, c.width, c.height), c.down);
    EXPECT_EQ(pageUpAddress(c.address, c.width, c.height), c.up);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, PageSteps,
    ::testing::Values(
        StepCase{"0", "320", "240", " 153600", "0"},
        StepCase{" 153600", "320", "240", " 307200", " 0"},  // exactly 0 keeps its blank
        StepCase{"1000", "320", "240", " 154600", "0"}, StepCase{"0", "160", "240", " 76800", "0"},
        StepCase{"0", "-320", "240", "-153600", " 153600"},
        StepCase{"1999999999", "320", "240", " 2000153599", " 1999846399"},
        StepCase{"0", "letters", "240", " 0", " 0"},  // a page of 0 rewrites the text only
        StepCase{"0", "12abc", "10", " 240", "0"}, StepCase{"0.5", "1", "1", " 2.5", "0"},
        StepCase{" 10 ", "1", "1", " 12", " 8"},
        // Addresses that do not read strictly move nothing.
        StepCase{"", "320", "240", std::nullopt, std::nullopt},
        StepCase{"12abc", "320", "240", std::nullopt, std::nullopt},
        StepCase{"abc", "320", "240", std::nullopt, std::nullopt},
        // Arithmetic beyond double precision moves nothing either.
        StepCase{"1e308", "1e308", "1e308", std::nullopt, std::nullopt}));

TEST(PageSteps, TwoPagesDownFromZero) {
    const auto once = pageDownAddress("0", "320", "240");
    ASSERT_TRUE(once);
    EXPECT_EQ(pageDownAddress(*once, "320", "240"), " 307200");
}

TEST(FixColors, OneByteForwardFromAnyText) {
    EXPECT_EQ(fixColorsAddress("0"), " 1");
    EXPECT_EQ(fixColorsAddress(""), " 1");
    EXPECT_EQ(fixColorsAddress("letters"), " 1");
    EXPECT_EQ(fixColorsAddress("12abc"), " 13");
    EXPECT_EQ(fixColorsAddress(" 251904"), " 251905");
    EXPECT_EQ(fixColorsAddress("-5"), "-4");
    EXPECT_EQ(fixColorsAddress("0.5"), " 1.5");
    EXPECT_FALSE(fixColorsAddress("1e309"));
}

// The keyboard's steps: a row (2 x width bytes) either way, a byte back, the width by one.
TEST(KeySteps, RowsBytesAndWidths) {
    EXPECT_EQ(rowStepAddress("0", "320", 1), " 640");
    EXPECT_EQ(rowStepAddress(" 1000", "320", -1), " 360");
    EXPECT_EQ(rowStepAddress("1000", "320", -3), "0");  // never below 0
    EXPECT_EQ(rowStepAddress("640", "320", -1), " 0");
    EXPECT_EQ(rowStepAddress("0x100", "0x10", 3), " 352");
    EXPECT_EQ(rowStepAddress("abc", "320", 1), std::nullopt);
    EXPECT_EQ(byteBackAddress(" 251905"), " 251904");
    EXPECT_EQ(byteBackAddress("0"), "0");
    EXPECT_EQ(byteBackAddress("letters"), "0");
    EXPECT_FALSE(byteBackAddress("-1e309"));
    EXPECT_EQ(widthStepText("320", -1), "319");
    EXPECT_EQ(widthStepText(" 320", 1), "321");
    EXPECT_EQ(widthStepText("1", -1), "1");
    EXPECT_EQ(widthStepText("1024", 1), "1024");
    EXPECT_EQ(widthStepText("letters", 1), "1");
    EXPECT_EQ(widthStepText("1e309", -1), "1024");
}

}  // namespace
}  // namespace pixvue
