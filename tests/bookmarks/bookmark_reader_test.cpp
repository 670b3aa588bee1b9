#include "bookmarks/bookmark_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pixvue {
namespace {

BookmarkTable read(const std::string& text) {
    return readBookmarks(std::as_bytes(std::span(text.data(), text.size())));
}

struct ReaderCase {
    std::string label;
    std::string file;
    int listCount;
    std::vector<BookmarkEntry> entries;  // the first entries, in order
};

class Reader : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(Reader, ReadsRecordsByTheStateTable) {
    const auto& c = GetParam();
    const BookmarkTable table = read(c.file);
    EXPECT_EQ(table.listCount(), c.listCount);
    for (std::size_t i = 0; i < c.entries.size(); ++i)
        EXPECT_EQ(table.entries[i], c.entries[i]) << "entry " << i;
    for (std::size_t i = std::size_t(table.listCount()); i < table.entries.size(); ++i)
        EXPECT_EQ(table.entries[i], BookmarkEntry{}) << "entry " << i << " should be empty";
}

const BookmarkEntry kIntro{"Intro", "1024", "32", "16"};

INSTANTIATE_TEST_SUITE_P(
    Files, Reader,
    ::testing::Values(
        ReaderCase{"OneLine", "Intro,1024,32,16\r\n", 2, {kIntro, {}}},
        ReaderCase{"ThreeLines",
                   "a,1,2,3\r\nb,4,5,6\r\nc,7,8,9\r\n",
                   4,
                   {{"a", "1", "2", "3"}, {"b", "4", "5", "6"}, {"c", "7", "8", "9"}, {}}},
        ReaderCase{"NoLastLineEnd",
                   "a,1,2,3\r\nb,4,5,6\r\nc,7,8,9",
                   3,
                   {{"a", "1", "2", "3"}, {"b", "4", "5", "6"}, {"c", "7", "8", "9"}}},
        ReaderCase{"Empty", "", 1, {{}}},
        ReaderCase{"CarriageReturnLast", "a,1,2,3\r", 1, {{"a", "1", "2", "3"}}},
        ReaderCase{"TwoCommas", "a,1,2\r\nb,4,5,6\r\n", 2, {{"a", "1", "2\r\nb", "4,5,6"}, {}}},
        ReaderCase{"FiveValues", "a,1,2,3,4\r\n", 2, {{"a", "1", "2", "3,4"}, {}}},
        ReaderCase{"BlankLineFirst", "\r\na,1,2,3\r\n", 2, {{"\r\na", "1", "2", "3"}, {}}},
        ReaderCase{"BlanksStay", "x, 1 , 2,3 \r\n", 2, {{"x", " 1 ", " 2", "3 "}, {}}},
        ReaderCase{"CarriageReturnInName", "a\rb,1,2,3", 1, {{"a\rb", "1", "2", "3"}}},
        // Line feeds alone end records too.
        ReaderCase{
            "LineFeeds", "a,1,2,3\nb,4,5,6\n", 3, {{"a", "1", "2", "3"}, {"b", "4", "5", "6"}, {}}},
        // A carriage return alone ends the record and keeps the next name whole.
        ReaderCase{"CarriageReturns",
                   "a,1,2,3\rbc,4,5,6\r",
                   2,
                   {{"a", "1", "2", "3"}, {"bc", "4", "5", "6"}}},
        ReaderCase{"CarriageReturnThenComma",
                   "a,1,2,3\r,4,5,6",
                   2,
                   {{"a", "1", "2", "3"}, {"", "4", "5", "6"}}},
        ReaderCase{"BinaryBytes",
                   std::string("\xFF\0,\x80,,\0\r\n", 9),
                   2,
                   {{std::string("\xFF\0", 2), "\x80", "", std::string("\0", 1)}, {}}}),
    [](const auto& info) { return info.param.label; });

std::string records(int count, const std::string& ending = "\r\n") {
    std::string text;
    for (int i = 0; i < count; ++i) text += "n" + std::to_string(i) + ",1,2,3" + ending;
    return text;
}

TEST(ReaderLimits, AtMost129Records) {
    EXPECT_EQ(read(records(128)).listCount(), 129);
    EXPECT_EQ(read(records(128)).entries[128], BookmarkEntry{});

    const BookmarkTable full = read(records(129));
    EXPECT_EQ(full.listCount(), 129);
    EXPECT_EQ(full.entries[128].BmName, "n128");

    const BookmarkTable more = read(records(130) + "tail");
    EXPECT_EQ(more.listCount(), 129);
    EXPECT_EQ(more.entries[128].BmName, "n128");
    EXPECT_EQ(more.counter, 129);

    EXPECT_EQ(read(records(200, "\n")).listCount(), 129);
}

TEST(ReaderLimits, AFileWithoutLineEndsIsReadOnlyUpToTheBound) {
    const std::string huge = "name,1,2," + std::string(10 * 1024 * 1024, '7');
    const BookmarkTable table = read(huge);
    EXPECT_EQ(table.listCount(), 1);
    EXPECT_EQ(table.entries[0].BmHeight.size(), kBookmarkFileLimit - 9);
}

TEST(ReaderLimits, WithinTheBoundEveryByteIsRead) {
    const std::string longName(40000, 'x');
    const BookmarkTable table = read(longName + ",1,2,3\r\nlast,4,5,6");
    EXPECT_EQ(table.entries[0].BmName, longName);
    EXPECT_EQ(table.entries[1].BmHeight, "6");
}

}  // namespace
}  // namespace pixvue
