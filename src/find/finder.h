// The finder: proposes where raw 15-bit pictures lie in a data file (address, width, height),
// with a confidence, without being told. Plain C++; reads the file in streamed blocks with its
// own positional reads, so the caller's DataFile position is left alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pixvue::find {

inline constexpr int kMaxSide = 1024;
// The viewer's address limit: pictures beyond it are found but cannot be bookmarked.
inline constexpr std::uint64_t kMaxBookmarkAddress = 2000000000;
// The bookmark list holds this many found pictures.
inline constexpr std::size_t kMaxListed = 128;

struct Candidate {
    std::uint64_t address = 0;
    int width = 0;          // 1..1024
    int height = 0;         // 1..1024
    double confidence = 0;  // 0..1
    std::string reason;

    friend bool operator==(const Candidate&, const Candidate&) = default;
};

struct FindOptions {
    int minWidth = 8;
    int minHeight = 8;
    double minConfidence = 0.5;
    // Worker threads; 0 uses every core. The result does not depend on it.
    int threads = 0;
};

struct Progress {
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::size_t found = 0;
};

// Called from the calling thread now and then; returning false cancels the search, which then
// returns what it found so far.
using ProgressFn = std::function<bool(const Progress&)>;

struct FindResult {
    bool readable = false;  // false: the path is no ordinary readable file
    bool cancelled = false;
    std::vector<Candidate> candidates;  // in address order
    std::uint64_t size = 0;             // of the file, in bytes
};

// Searches the file at `path`. Holds a bounded amount of memory whatever the file's size.
FindResult findPictures(const std::string& path, const FindOptions& options,
                        const ProgressFn& progress = {});

// The same over bytes already in memory; `base` is the address of bytes[0].
std::vector<Candidate> findInBytes(std::span<const std::byte> bytes, const FindOptions& options,
                                   std::uint64_t base = 0);

// Drops a candidate whose rows lie on another's grid, of its width, nine in ten of them inside
// it: rows of one picture listed twice (the passes after parts are joined may leave one, or a
// header read by chance inside a picture). `candidates` in address order.
std::vector<Candidate> dropContainedParts(std::vector<Candidate> candidates);

// The bookmark name of the `number`-th picture (from 1): what was found, with no comma,
// for example "Picture 3 265 x 166 (0.93)".
std::string bookmarkName(std::size_t number, const Candidate& candidate);

// The candidates the viewer lists: those within its address limit, the `limit` most confident
// of them, back in address order.
std::vector<Candidate> listedCandidates(std::span<const Candidate> candidates,
                                        std::size_t limit = kMaxListed);

}  // namespace pixvue::find
