#include "bookmark_reader.h"

#include <algorithm>

namespace pixvue {
namespace {

enum class State { Name, Address, Width, Height, LineEnd };

constexpr char kComma = 0x2C;
constexpr char kCarriageReturn = 0x0D;
constexpr char kLineFeed = 0x0A;

}  // namespace

BookmarkTable readBookmarks(std::span<const std::byte> bytes) {
    BookmarkTable table;
    State state = State::Name;
    // Ends the record being filled; false once the table is full and reading must stop.
    auto endRecord = [&table] { return ++table.counter < kBookmarkEntries; };

    for (std::byte b : bytes.first(std::min(bytes.size(), kBookmarkFileLimit))) {
        const char c = static_cast<char>(b);
        if (state == State::LineEnd) {
            if (!endRecord()) return table;
            state = State::Name;
            if (c == kLineFeed) continue;  // the line end's second byte is dropped
            // Any other byte is read as the first byte of the next record.
        }
        BookmarkEntry& entry = table.entries[table.counter];
        switch (state) {
            case State::LineEnd:
                break;
            case State::Name:
                if (c == kComma)
                    state = State::Address;
                else
                    entry.BmName.push_back(c);
                break;
            case State::Address:
                if (c == kComma)
                    state = State::Width;
                else
                    entry.BmAddress.push_back(c);
                break;
            case State::Width:
                if (c == kComma)
                    state = State::Height;
                else
                    entry.BmWidth.push_back(c);
                break;
            case State::Height:
                if (c == kCarriageReturn) {
                    state = State::LineEnd;
                } else if (c == kLineFeed) {
                    if (!endRecord()) return table;
                    state = State::Name;
                } else {
                    entry.BmHeight.push_back(c);
                }
                break;
        }
    }
    return table;
}

}  // namespace pixvue
