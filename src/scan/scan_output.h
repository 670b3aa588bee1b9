// What pixvue-scan writes: a bookmark file the viewer loads as it is, or JSON with every
// candidate's confidence and reason. Plain C++, so it is checked without Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "find/finder.h"

namespace pixvue::scan {

struct BookmarkText {
    std::string text;      // one "name,address,width,height" line per picture, each ended by CR LF
    std::size_t left = 0;  // pictures past the viewer's address limit, not written
};

BookmarkText bookmarkText(std::span<const find::Candidate> candidates);

std::string jsonText(const std::string& file, std::uint64_t size,
                     std::span<const find::Candidate> candidates);

}  // namespace pixvue::scan
