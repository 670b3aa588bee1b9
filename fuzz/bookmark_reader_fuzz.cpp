// Any bytes as a bookmark file. The table has 129 entries and the list shows entries 0 to the
// counter (all 129 once the counter reaches 129), every later entry empty; the fields hold no
// byte that ends them; nothing past the read bound matters, so memory stays bounded; and reading
// a shorter part of the same file gives a table that the whole file only extends.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bookmarks/bookmark_reader.h"
#include "fuzz_check.h"

namespace {

using namespace pixvue;

bool isPrefix(const std::string& part, const std::string& whole) {
    return whole.compare(0, part.size(), part) == 0 && part.size() <= whole.size();
}

std::size_t storedBytes(const BookmarkTable& table) {
    std::size_t total = 0;
    for (const BookmarkEntry& e : table.entries)
        total += e.BmName.size() + e.BmAddress.size() + e.BmWidth.size() + e.BmHeight.size();
    return total;
}

void checkTable(const BookmarkTable& table, std::size_t fileSize) {
    FUZZ_CHECK(table.counter <= kBookmarkEntries);
    const int count = table.listCount();
    FUZZ_CHECK(count == (table.counter < kBookmarkEntries ? table.counter + 1 : kBookmarkEntries));
    for (int i = count; i < kBookmarkEntries; ++i)
        FUZZ_CHECK(table.entries[static_cast<std::size_t>(i)] == BookmarkEntry{});
    for (const BookmarkEntry& e : table.entries) {
        FUZZ_CHECK(e.BmName.find(',') == std::string::npos);
        FUZZ_CHECK(e.BmAddress.find(',') == std::string::npos);
        FUZZ_CHECK(e.BmWidth.find(',') == std::string::npos);
        FUZZ_CHECK(e.BmHeight.find('\r') == std::string::npos);
        FUZZ_CHECK(e.BmHeight.find('\n') == std::string::npos);
    }
    FUZZ_CHECK(storedBytes(table) <= std::min(fileSize, kBookmarkFileLimit));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        checkTable(readBookmarks({}), 0);
        return 0;
    }
    // The first byte steers: its low bits choose where the shorter part ends; 0xFF makes the rest
    // a pattern repeated past the read bound, as a large file chosen by mistake (rare, so that
    // most runs stay small and quick).
    const std::uint8_t steer = data[0];
    std::vector<std::byte> file(reinterpret_cast<const std::byte*>(data + 1),
                                reinterpret_cast<const std::byte*>(data + size));
    if (steer == 0xFF && !file.empty()) {
        const std::size_t pattern = file.size();
        file.resize(kBookmarkFileLimit + 1 + steer % 97);
        for (std::size_t i = pattern; i < file.size(); ++i) file[i] = file[i % pattern];
    }

    const BookmarkTable whole = readBookmarks(file);
    checkTable(whole, file.size());

    if (file.size() > kBookmarkFileLimit) {
        const BookmarkTable bounded = readBookmarks(std::span(file).first(kBookmarkFileLimit));
        FUZZ_CHECK(bounded.counter == whole.counter);
        FUZZ_CHECK(bounded.entries == whole.entries);
    }

    const std::size_t cut = file.empty() ? 0 : (steer & 0x1F) * file.size() / 0x1F;
    const BookmarkTable part = readBookmarks(std::span(file).first(cut));
    checkTable(part, cut);
    FUZZ_CHECK(part.counter <= whole.counter);
    for (int i = 0; i < part.counter; ++i)
        FUZZ_CHECK(part.entries[static_cast<std::size_t>(i)] ==
                   whole.entries[static_cast<std::size_t>(i)]);
    if (part.counter < kBookmarkEntries) {
        const BookmarkEntry& p = part.entries[part.counter];
        const BookmarkEntry& w = whole.entries[part.counter];
        FUZZ_CHECK(isPrefix(p.BmName, w.BmName));
        FUZZ_CHECK(isPrefix(p.BmAddress, w.BmAddress));
        FUZZ_CHECK(isPrefix(p.BmWidth, w.BmWidth));
        FUZZ_CHECK(isPrefix(p.BmHeight, w.BmHeight));
    }
    return 0;
}
