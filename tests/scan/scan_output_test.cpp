// What pixvue-scan writes: bookmark lines the viewer's reader takes back as they are.
#include <gtest/gtest.h>

#include "bookmarks/bookmark_reader.h"
#include "scan/scan_output.h"

namespace pixvue::scan {
namespace {

TEST(ScanOutput, BookmarkLinesReadBackAndLeaveOutWhatTheViewerCannotReach) {
    const std::vector<find::Candidate> found = {
        {265, 31, 9, 0.934, "a"},
        {find::kMaxBookmarkAddress, 8, 8, 0.5, "b"},
        {find::kMaxBookmarkAddress + 1, 8, 8, 0.9, "c"},
    };
    const BookmarkText out = bookmarkText(found);
    EXPECT_EQ(out.left, 1u);
    EXPECT_EQ(out.text,
              "Picture 1 31 x 9 (0.93),265,31,9\r\nPicture 2 8 x 8 (0.50),2000000000,8,8\r\n");
    const BookmarkTable table = readBookmarks(std::as_bytes(std::span(out.text)));
    EXPECT_EQ(table.entries[1].BmAddress, "2000000000");
    EXPECT_EQ(table.entries[0].BmName, "Picture 1 31 x 9 (0.93)");
    EXPECT_TRUE(bookmarkText({}).text.empty());
}

TEST(ScanOutput, JsonEscapesTheFileName) {
    const std::string json = jsonText("a\"b\\c\n", 7, {{{1, 2, 3, 0.5, "why"}}});
    EXPECT_EQ(
        json,
        "{\"file\":\"a\\\"b\\\\c\\u000a\",\"size\":7,\"candidates\":[\n"
        "{\"address\":1,\"width\":2,\"height\":3,\"confidence\":0.500,\"reason\":\"why\"}]}\n");
}

}  // namespace
}  // namespace pixvue::scan
