#include "export/arguments.h"

#include <gtest/gtest.h>

namespace pixvue::exporter {
namespace {

ExportOptions accepted(const std::vector<std::string>& args) {
    const ParseResult result = parseArguments(args);
    EXPECT_TRUE(std::holds_alternative<ExportOptions>(result));
    return std::holds_alternative<ExportOptions>(result) ? std::get<ExportOptions>(result)
                                                         : ExportOptions{};
}

bool refused(const std::vector<std::string>& args) {
    return std::holds_alternative<UsageError>(parseArguments(args));
}

TEST(ExportArguments, OnePictureKeepsTheTextsAsTyped) {
    const ExportOptions o =
        accepted({"--zoom", "3", "d.bin", " 4096", "320.5", "-5", "-o", "x.png"});
    EXPECT_FALSE(o.bookmarkMode());
    EXPECT_EQ(o.dataPath, "d.bin");
    EXPECT_EQ(o.address, " 4096");
    EXPECT_EQ(o.width, "320.5");
    EXPECT_EQ(o.height, "-5");  // a negative number is a value, for the loader to reject
    EXPECT_EQ(o.outputPath, "x.png");
    EXPECT_EQ(o.zoom, 3);
    EXPECT_FALSE(o.force);
}

TEST(ExportArguments, BookmarkFileAndLongOptionForms) {
    const ExportOptions o =
        accepted({"d.bin", "--bookmarks=marks.txt", "--output=out", "--zoom=11", "--force"});
    EXPECT_TRUE(o.bookmarkMode());
    EXPECT_EQ(o.bookmarksPath, "marks.txt");
    EXPECT_EQ(o.outputPath, "out");
    EXPECT_EQ(o.zoom, 11);
    EXPECT_TRUE(o.force);
    // After "--" a name that starts with a minus sign is a file name.
    EXPECT_EQ(accepted({"-o", "out", "--bookmarks", "m", "--", "-data"}).dataPath, "-data");
}

TEST(ExportArguments, HelpWinsAnywhere) {
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parseArguments({"--help"})));
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parseArguments({"d", "--zoom", "0", "-h"})));
    EXPECT_TRUE(std::holds_alternative<VersionRequested>(parseArguments({"--version"})));
    EXPECT_TRUE(std::holds_alternative<VersionRequested>(parseArguments({"--fast", "--version"})));
    // After "--" they are file names.
    EXPECT_EQ(accepted({"-o", "x", "--", "--help", "-5", "--version", "7"}).dataPath, "--help");
}

TEST(ExportArguments, NegativeNumbersAndOddNamesAreValuesInTheirPlace) {
    const ExportOptions o = accepted({"-o", "-5.png", "-", "-.5", "--force", "-5", "-0"});
    EXPECT_EQ(o.outputPath, "-5.png");  // an option's value, even when it looks like a number
    EXPECT_EQ(o.dataPath, "-");
    EXPECT_EQ(o.address, "-.5");
    EXPECT_EQ(o.width, "-5");
    EXPECT_EQ(o.height, "-0");
    EXPECT_TRUE(o.force);
    // Negative and plain values keep their order around the options.
    const ExportOptions mixed = accepted({"d", "-1", "--zoom", "2", "7", "-o", "x", "-2"});
    EXPECT_EQ(mixed.address + "|" + mixed.width + "|" + mixed.height, "-1|7|-2");
    // Bytes that are no UTF-8 pass through unchanged, as file names may hold them.
    const std::string name = "d\xff\xfe.bin";
    EXPECT_EQ(accepted({name, "0", "1", "1", "-o", name}).outputPath, name);
}

TEST(ExportArguments, BadCommandLinesAreRefused) {
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240"}));                      // no -o
    EXPECT_TRUE(refused({"d.bin", "0", "320", "-o", "x.png"}));              // a value short
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "9", "-o", "x.png"}));  // one too many
    EXPECT_TRUE(refused({"d.bin", "0", "--bookmarks", "m", "-o", "out"}));   // values with a list
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o"}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", "--", "--zoom"}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", ""}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", "a", "-o", "b"}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", "x", "--fast"}));
    EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", "x", "-f"}));
    EXPECT_TRUE(refused({"", "0", "320", "240", "-o", "x"}));
    for (const char* zoom : {"0", "12", "-1", "3.5", "2x", "", " 2", "99999999999"})
        EXPECT_TRUE(refused({"d.bin", "0", "320", "240", "-o", "x", "--zoom", zoom})) << zoom;
}

}  // namespace
}  // namespace pixvue::exporter
