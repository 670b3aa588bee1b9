// The scorer's matching rules: when a proposal counts as a strict or usable find, when it is false,
// and where a false one is said to lie.
#include "scoring.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pixvue::corpus {
namespace {

// A 100 x 50 picture at the odd address 1001 (rows of 200 bytes).
constexpr std::uint64_t kAt = 1001;

struct FitCase {
    const char* what;
    std::int64_t address;  // relative to the picture
    int width, height;
    Fit expected;
};

TEST(ScoringTest, FitOfFollowsTheStrictAndUsableRules) {
    const FitCase cases[] = {
        {"exact", 0, 100, 50, Fit::Strict},
        {"two rows short", 0, 100, 48, Fit::Strict},
        {"three rows short", 0, 100, 47, Fit::Usable},
        {"one byte off", 1, 100, 50, Fit::None},
        {"width one more", 0, 101, 50, Fit::None},
        {"half the width", 0, 50, 100, Fit::None},
        {"a row late", 200, 100, 50, Fit::Usable},
        {"a row early", -200, 100, 50, Fit::Usable},
        {"five rows late, 90% covered", 1000, 100, 50, Fit::Usable},
        {"six rows late", 1200, 100, 50, Fit::None},
        {"six rows too many below", 0, 100, 56, Fit::None},
        {"five rows too many below", 0, 100, 55, Fit::Usable},
    };
    for (const FitCase& c : cases) {
        Proposal p{kAt + c.address, c.width, c.height, 0.9, {}};
        EXPECT_EQ(fitOf(kAt, 100, 50, p), c.expected) << c.what;
    }
}

Segment row(const char* record, std::uint64_t start, std::uint64_t end, const char* kind,
            int width = 0, int height = 0, int frameHeight = 0) {
    Segment s;
    s.record = record;
    s.file = "f.bin";
    s.start = start;
    s.end = end;
    s.kind = kind;
    s.width = width;
    s.height = height;
    s.frameHeight = frameHeight;
    return s;
}

// One file: zeros, a 10 x 10 photo at 101, text, then a 16-wide sheet of four 8-row frames.
std::vector<Segment> fileTruth() {
    return {row("filler", 0, 101, "zeros"), row("picture", 101, 301, "photo", 10, 10),
            row("filler", 301, 1001, "text"), row("picture", 1001, 2025, "sprite", 16, 32, 8),
            row("file", 0, 2025, "-")};
}

TEST(ScoringTest, MatchesOneToOneAndFramesOfSheets) {
    Tally tally;
    scoreFile("f.bin", fileTruth(),
              {{101, 10, 10, 0.9, {}},         // the photo
               {101, 10, 10, 0.5, {}},         // the photo again: false
               {1001, 16, 8, 0.8, {}},         // sheet frame 0
               {1001 + 256, 16, 24, 0.8, {}},  // sheet frames 1-3 at once
               {400, 20, 10, 0.7, {}},         // in the text
               {0, 8, 6, 0.7, {}},             // in the zeros
               {0, 8, -6, 0.7, {}}},           // nonsense
              tally);
    ASSERT_EQ(tally.pictures.size(), 2u);
    EXPECT_TRUE(tally.pictures[0].strict);
    EXPECT_TRUE(tally.pictures[1].usable);
    EXPECT_FALSE(tally.pictures[1].strict);  // frames 1-3 were not found one by one
    ASSERT_EQ(tally.proposals.size(), 7u);
    const bool onPicture[] = {true, false, true, true, false, false, false};
    const char* kind[] = {"", "picture-part", "", "", "text", "zeros", "invalid"};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(tally.proposals[i].onPicture, onPicture[i]) << i;
        EXPECT_EQ(tally.proposals[i].kind, kind[i]) << i;
    }
    EXPECT_EQ(tally.fillerBytes["text"], 700u);
    EXPECT_EQ(tally.totalBytes, 2025u);
}

TEST(ScoringTest, SheetFoundWholeOrEveryFrameIsStrict) {
    Tally whole, frames;
    scoreFile("f.bin", fileTruth(), {{1001, 16, 32, 0.9, {}}}, whole);
    EXPECT_TRUE(whole.pictures[1].strict);
    std::vector<Proposal> each;
    for (int f = 0; f < 4; ++f) each.push_back({1001 + 256u * f, 16, 8, 0.9, {}});
    scoreFile("f.bin", fileTruth(), each, frames);
    EXPECT_TRUE(frames.pictures[1].strict);
    for (const auto& p : frames.proposals) EXPECT_TRUE(p.onPicture);
}

TEST(ScoringTest, TruthReadsBackAndRejectsBrokenLines) {
    std::stringstream written;
    written << kTruthHeader << '\n';
    for (const Segment& s : fileTruth()) writeSegment(written, s);
    std::vector<Segment> read;
    std::string error;
    ASSERT_TRUE(readTruth(written, read, error)) << error;
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[3].frameHeight, 8);
    EXPECT_EQ(read[3].end, 2025u);

    for (const char* broken :
         {"picture\tf.bin\t10\t5\tphoto\t1\t1\t-\t-\t0\t0\t-",  // ends first
          "picture\tf.bin\tten\t20\tphoto\t1\t1\t-\t-\t0\t0\t-", "filler\tf.bin\t0\t9"}) {
        std::stringstream in(broken);
        EXPECT_FALSE(readTruth(in, read, error)) << broken;
    }
}

}  // namespace
}  // namespace pixvue::corpus
