// The matching rules of pixvue-eval: when a proposed picture counts as found, and where a false
// one lies. Plain C++ so the rules are tested on their own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "truth.h"

namespace pixvue::corpus {

struct Proposal {
    std::uint64_t address = 0;
    int width = 0;
    int height = 0;
    double confidence = 0;
    std::string reason;
};

enum class Fit { None, Usable, Strict };

// Strict: the same address and width, the height within max(2, 2%) rows. Usable: the same width,
// the address a whole number of rows away, the proposal's rows covering at least 90% of the
// picture's with at most max(2, 10%) rows outside it.
Fit fitOf(std::uint64_t address, int width, int height, const Proposal& p);

struct PictureOutcome {
    Segment picture;
    bool strict = false;
    bool usable = false;
};

struct ProposalOutcome {
    std::string file;
    Proposal proposal;
    bool onPicture = false;  // matched a true picture (or frames of a sheet) one to one
    // False ones: the filler kind most of its bytes lie in, "header", "outside", "invalid" (no
    // width or height), or what is
    // wrong when on a picture: picture-part (right width and rows, a piece or a duplicate),
    // picture-misaligned, picture-width-multiple or picture-width-other.
    std::string kind;
};

// Everything one evaluation found, added up file by file.
struct Tally {
    std::vector<PictureOutcome> pictures;
    std::vector<ProposalOutcome> proposals;
    std::map<std::string, std::uint64_t> fillerBytes;  // by filler kind
    std::uint64_t totalBytes = 0;
};

// Scores one file: `truth` holds that file's rows (file, picture, filler and header records),
// `proposals` what the finder proposed in it. A sheet of frames counts as found whole or frame
// by frame.
void scoreFile(const std::string& file, const std::vector<Segment>& truth,
               const std::vector<Proposal>& proposals, Tally& tally);

}  // namespace pixvue::corpus
