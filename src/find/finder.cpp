#include "finder.h"

#include <algorithm>
#include <cstdio>

#include "decode/data_file.h"

namespace pixvue::find {

FindResult findPictures(const std::string& path, const FindOptions& options,
                        const ProgressFn& progress) {
    FindResult result;
    DataFile file;
    result.readable = file.open(path);
    (void)options;
    (void)progress;
    return result;
}

std::vector<Candidate> findInBytes(std::span<const std::byte>, const FindOptions&, std::uint64_t) {
    return {};
}

std::string bookmarkName(std::size_t number, const Candidate& c) {
    char text[96];
    std::snprintf(text, sizeof text, "Picture %zu %d x %d (%.2f)", number, c.width, c.height,
                  c.confidence);
    return text;
}

std::vector<Candidate> listedCandidates(std::span<const Candidate> candidates, std::size_t limit) {
    std::vector<Candidate> listed;
    for (const Candidate& c : candidates)
        if (c.address <= kMaxBookmarkAddress) listed.push_back(c);
    if (listed.size() > limit) {
        std::stable_sort(listed.begin(), listed.end(), [](const Candidate& a, const Candidate& b) {
            return a.confidence > b.confidence;
        });
        listed.resize(limit);
        std::sort(listed.begin(), listed.end(),
                  [](const Candidate& a, const Candidate& b) { return a.address < b.address; });
    }
    return listed;
}

}  // namespace pixvue::find
