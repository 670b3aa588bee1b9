#include "export/file_names.h"

#include <gtest/gtest.h>

namespace pixvue::exporter {
namespace {

TEST(ExportFileNames, IndexAndCleanedName) {
    EXPECT_EQ(entryFileName(3, "Rings off by a byte"), "003-Rings_off_by_a_byte.png");
    EXPECT_EQ(entryFileName(128, "v1.2_final-cut"), "128-v1.2_final-cut.png");
    EXPECT_EQ(entryFileName(7, ""), "007.png");
}

TEST(ExportFileNames, NothingUnsafeSurvives) {
    // Slashes, control bytes, an escape sequence, Latin-1 bytes, quotes and a zero byte.
    const std::string name = std::string("../a/b\\c\x01\r\n\x1b[2J\xe9\"*?:|<> ") + '\0' + "z";
    EXPECT_EQ(entryFileName(0, name), "000-.._a_b_c_____2J__________z.png");
    EXPECT_EQ(entryFileName(1, ".."), "001-...png");  // the number keeps it from being a path
}

TEST(ExportFileNames, LongNamesAreCut) {
    const std::string stem = entryStem(42, std::string(5000, 'x'));
    EXPECT_EQ(stem.size(), 4 + kMaxNameLength);
    EXPECT_EQ(stem.substr(0, 5), "042-x");
}

}  // namespace
}  // namespace pixvue::exporter
