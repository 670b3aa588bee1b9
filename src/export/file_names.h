// File names for the pictures of a bookmark file. Bookmark names are arbitrary bytes, so only
// a small safe set of characters is kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pixvue::exporter {

// At most this many bytes of the name are kept, so a long name stays a valid file name.
inline constexpr std::size_t kMaxNameLength = 80;

// "NNN-name": the entry's index in three digits, then the name with every character other than
// an ASCII letter, digit, '-', '_' or '.' replaced by '_'. An empty name gives "NNN". The
// index prefix keeps names unique and keeps the result from being "..", hidden or a path.
std::string entryStem(int index, std::string_view name);

// entryStem with ".png".
std::string entryFileName(int index, std::string_view name);

}  // namespace pixvue::exporter
