// The bookmark file: one record per line, "name,address,width,height", read byte by byte into
// a table of 129 entries. Every byte is kept as the character of its value (Latin-1); nothing is
// trimmed, converted or checked here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pixvue {

struct BookmarkEntry {
    std::string BmName;
    std::string BmAddress;
    std::string BmWidth;
    std::string BmHeight;

    friend bool operator==(const BookmarkEntry&, const BookmarkEntry&) = default;
};

inline constexpr int kBookmarkEntries = 129;

// A real bookmark file is a few kilobytes; a larger file is read only this far, as if it ended
// there, so any file chosen by mistake costs bounded memory and time.
inline constexpr std::size_t kBookmarkFileLimit = 64 * 1024;

struct BookmarkTable {
    std::array<BookmarkEntry, kBookmarkEntries> entries;
    // The index of the entry being filled when reading stopped.
    std::uint8_t counter = 0;

    // How many list items the table gives: entries 0 up to the counter, never past the last.
    int listCount() const { return counter < kBookmarkEntries ? counter + 1 : kBookmarkEntries; }
};

// Reads records until the bytes run out or 129 records have ended. A record ends at a carriage
// return and the line feed after it, at a carriage return followed by any other byte (which then
// starts the next name), or at a line feed alone in the height.
BookmarkTable readBookmarks(std::span<const std::byte> bytes);

}  // namespace pixvue
