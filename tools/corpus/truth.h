// The truth of a corpus: which bytes of each corpus file are pictures (and of what kind) and
// which are filler. Written by pixvue-make-corpus as truth.tsv, read by pixvue-eval.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace pixvue::corpus {

// One row of truth.tsv. `record` is "file", "picture", "filler" or "header" (the few bytes
// before each picture of a sprite bank).
struct Segment {
    std::string record;
    std::string file;         // the corpus file's name, without folder
    std::uint64_t start = 0;  // first byte
    std::uint64_t end = 0;    // one past the last byte
    std::string kind;         // picture: its category; filler: its kind
    int width = 0;            // pictures only
    int height = 0;
    std::string bit15;  // clear, set or random
    std::string group;  // single, run, bank or sheet
    int groupId = 0;
    int frameHeight = 0;  // sheets: the height of one frame; otherwise 0
    std::string source;   // where it came from, for people reading a miss
};

inline constexpr const char* kTruthHeader =
    "record\tfile\tstart\tend\tkind\twidth\theight\tbit15\tgroup\tgroup_id\tframe_height\tsource";

void writeSegment(std::ostream& out, const Segment& s);

// Reads truth.tsv; false with `error` set on a malformed line.
bool readTruth(std::istream& in, std::vector<Segment>& segments, std::string& error);

}  // namespace pixvue::corpus
