#include "scoring.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace pixvue::corpus {

namespace {

std::int64_t rowsBetween(std::uint64_t from, std::uint64_t to, int width, bool& aligned) {
    const std::int64_t delta = static_cast<std::int64_t>(to) - static_cast<std::int64_t>(from);
    const std::int64_t rowBytes = 2 * static_cast<std::int64_t>(width);
    aligned = delta % rowBytes == 0;
    return delta / rowBytes;
}

// Rows of the proposal inside [0, height) of a picture starting `firstRow` rows before it.
std::int64_t overlapRows(std::int64_t firstRow, int proposalHeight, int height) {
    const std::int64_t lo = std::max<std::int64_t>(firstRow, 0);
    const std::int64_t hi = std::min<std::int64_t>(firstRow + proposalHeight, height);
    return std::max<std::int64_t>(hi - lo, 0);
}

double outsideAllowance(int height) {
    return std::max(2.0, 0.10 * height);
}

struct Unit {
    std::size_t picture;  // index into the file's pictures
    std::uint64_t address;
    int height;
    int frame;  // -1: the whole picture
};

// What went wrong with a proposal lying mostly on a true picture, for tuning the finder.
std::string pictureMistake(const Segment& pic, const Proposal& p) {
    if (p.width == pic.width) {
        bool aligned = false;
        rowsBetween(pic.start, p.address, pic.width, aligned);
        return aligned ? "picture-part" : "picture-misaligned";
    }
    if (p.width % pic.width == 0 || pic.width % p.width == 0) return "picture-width-multiple";
    return "picture-width-other";
}

}  // namespace

Fit fitOf(std::uint64_t address, int width, int height, const Proposal& p) {
    if (p.width != width || width <= 0 || height <= 0 || p.height <= 0) return Fit::None;
    if (p.address == address && std::abs(p.height - height) <= std::max(2.0, 0.02 * height))
        return Fit::Strict;
    bool aligned = false;
    const std::int64_t firstRow = rowsBetween(address, p.address, width, aligned);
    if (!aligned) return Fit::None;
    const std::int64_t inside = overlapRows(firstRow, p.height, height);
    const std::int64_t outside = p.height - inside;
    if (inside * 10 >= 9LL * height && outside <= outsideAllowance(height)) return Fit::Usable;
    return Fit::None;
}

void scoreFile(const std::string& file, const std::vector<Segment>& truth,
               const std::vector<Proposal>& proposals, Tally& tally) {
    std::vector<Segment> pictures;
    for (const Segment& s : truth) {
        if (s.record == "picture") pictures.push_back(s);
        if (s.record == "filler") tally.fillerBytes[s.kind] += s.end - s.start;
        if (s.record == "file") tally.totalBytes += s.end;
    }

    // A sheet is found whole, or frame by frame: each frame is a unit of its own.
    std::vector<Unit> units;
    std::vector<std::vector<char>> frameStrict(pictures.size()), frameCovered(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Segment& pic = pictures[i];
        units.push_back({i, pic.start, pic.height, -1});
        if (pic.frameHeight > 0 && pic.height / pic.frameHeight > 1) {
            const int frames = pic.height / pic.frameHeight;
            frameStrict[i].assign(frames, 0);
            frameCovered[i].assign(frames, 0);
            for (int f = 0; f < frames; ++f) {
                const std::uint64_t at =
                    pic.start + std::uint64_t(2) * pic.width * pic.frameHeight * f;
                units.push_back({i, at, pic.frameHeight, f});
            }
        }
    }
    std::vector<char> unitTaken(units.size(), 0);
    std::vector<PictureOutcome> outcomes(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) outcomes[i].picture = pictures[i];

    // Most confident first, so a weak duplicate does not take a picture from a good proposal.
    std::vector<std::size_t> order(proposals.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return proposals[a].confidence > proposals[b].confidence;
    });
    std::vector<char> matched(proposals.size(), 0);

    auto overlaps = [](const Proposal& p, std::uint64_t start, std::uint64_t end) {
        const std::uint64_t pEnd = p.address + std::uint64_t(2) * p.width * p.height;
        return p.address < end && start < pEnd;
    };

    for (const Fit wanted : {Fit::Strict, Fit::Usable}) {
        for (std::size_t k : order) {
            if (matched[k]) continue;
            const Proposal& p = proposals[k];
            for (std::size_t u = 0; u < units.size() && !matched[k]; ++u) {
                if (unitTaken[u]) continue;
                const Unit& unit = units[u];
                const Segment& pic = pictures[unit.picture];
                if (pic.width != p.width || !overlaps(p, pic.start, pic.end)) continue;
                if (fitOf(unit.address, pic.width, unit.height, p) != wanted) continue;
                unitTaken[u] = 1;
                matched[k] = 1;
                PictureOutcome& out = outcomes[unit.picture];
                if (unit.frame < 0) {
                    out.usable = true;
                    out.strict = out.strict || wanted == Fit::Strict;
                } else {
                    frameCovered[unit.picture][unit.frame] = 1;
                    if (wanted == Fit::Strict) frameStrict[unit.picture][unit.frame] = 1;
                }
            }
        }
    }

    // A proposal spanning several frames of a sheet, aligned to its rows and staying inside it,
    // found those frames.
    for (std::size_t k : order) {
        if (matched[k]) continue;
        const Proposal& p = proposals[k];
        for (std::size_t i = 0; i < pictures.size() && !matched[k]; ++i) {
            const Segment& pic = pictures[i];
            if (frameCovered[i].empty() || pic.width != p.width || !overlaps(p, pic.start, pic.end))
                continue;
            bool aligned = false;
            const std::int64_t firstRow = rowsBetween(pic.start, p.address, pic.width, aligned);
            if (!aligned) continue;
            const std::int64_t outside = p.height - overlapRows(firstRow, p.height, pic.height);
            if (outside > outsideAllowance(pic.frameHeight)) continue;
            bool added = false;
            for (std::size_t f = 0; f < frameCovered[i].size(); ++f) {
                const std::int64_t inside = overlapRows(
                    firstRow - std::int64_t(f) * pic.frameHeight, p.height, pic.frameHeight);
                if (inside * 10 >= 9LL * pic.frameHeight && !frameCovered[i][f]) {
                    frameCovered[i][f] = 1;
                    added = true;
                }
            }
            matched[k] = added;
        }
    }

    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (frameCovered[i].empty()) continue;
        const auto frames = static_cast<double>(frameCovered[i].size());
        const auto covered = std::count(frameCovered[i].begin(), frameCovered[i].end(), 1);
        const auto strict = std::count(frameStrict[i].begin(), frameStrict[i].end(), 1);
        outcomes[i].usable = outcomes[i].usable || covered >= 0.9 * frames;
        outcomes[i].strict = outcomes[i].strict || strict == std::ssize(frameStrict[i]);
    }
    tally.pictures.insert(tally.pictures.end(), outcomes.begin(), outcomes.end());

    for (std::size_t k = 0; k < proposals.size(); ++k) {
        ProposalOutcome out{file, proposals[k], matched[k] != 0, {}};
        if (!out.onPicture && (proposals[k].width <= 0 || proposals[k].height <= 0)) {
            out.kind = "invalid";
        } else if (!out.onPicture) {
            // The kind holding most of its bytes: that is the data that fooled the finder.
            const Proposal& p = proposals[k];
            const std::uint64_t end = p.address + std::uint64_t(2) * p.width * p.height;
            std::uint64_t best = 0;
            out.kind = "outside";
            for (const Segment& s : truth) {
                if (s.record == "file") continue;
                const std::uint64_t lo = std::max(s.start, p.address);
                const std::uint64_t hi = std::min(s.end, end);
                if (hi > lo && hi - lo > best) {
                    best = hi - lo;
                    out.kind = s.record == "filler"    ? s.kind
                               : s.record == "picture" ? pictureMistake(s, p)
                                                       : s.record;
                }
            }
        }
        tally.proposals.push_back(std::move(out));
    }
}

}  // namespace pixvue::corpus
