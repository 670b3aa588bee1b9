// pixvue-eval: scores the finder's JSON output for each corpus file against the corpus's truth
// and prints recall, precision, false pictures per MB of each filler kind, throughput, and
// whether the targets hold.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "scoring.h"

namespace {

using namespace pixvue::corpus;

struct Rate {
    int total = 0, strict = 0, usable = 0;
    void add(const PictureOutcome& o) {
        ++total;
        strict += o.strict;
        usable += o.usable;
    }
    double strictShare() const { return total ? double(strict) / total : 0; }
    double usableShare() const { return total ? double(usable) / total : 0; }
};

void printRates(const char* title, const std::map<std::string, Rate>& rates,
                std::vector<std::string> order = {}) {
    std::printf("\n%s\n", title);
    if (order.empty())
        for (const auto& [name, r] : rates) order.push_back(name);
    for (const std::string& name : order) {
        if (!rates.count(name)) continue;
        const Rate& r = rates.at(name);
        std::printf("  %-22s %5d pictures  strict %.3f  usable %.3f\n", name.c_str(), r.total,
                    r.strictShare(), r.usableShare());
    }
}

std::string widthBand(int w) {
    return w < 32 ? "8-31" : w < 128 ? "32-127" : w < 512 ? "128-511" : "512-1024";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("pixvue-eval");
    QCoreApplication::setApplicationVersion("1");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Scores the finder's --json output for corpus files against the corpus truth.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"misses", "List missed pictures and false candidates, one a line."});
    parser.addOption({"times", "Seconds each scan took: lines of name, tab, seconds.", "FILE"});
    parser.addPositionalArgument("TRUTH", "The corpus's truth.tsv.");
    parser.addPositionalArgument("SCANS", "The finder's JSON output, one file per corpus file.",
                                 "SCANS...");
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet("help")) parser.showHelp(0);
    if (parser.isSet("version")) parser.showVersion();
    const QStringList args = parser.positionalArguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "Give the truth and at least one scan output.\n%s",
                     qPrintable(parser.helpText()));
        return 2;
    }

    std::ifstream truthIn(args[0].toStdString(), std::ios::binary);
    std::vector<Segment> truth;
    std::string error;
    if (!truthIn || !readTruth(truthIn, truth, error)) {
        std::fprintf(stderr, "Cannot read the truth %s: %s\n", qPrintable(args[0]),
                     error.empty() ? "unreadable" : error.c_str());
        return 1;
    }
    std::map<std::string, std::vector<Segment>> byFile;
    for (const Segment& s : truth) byFile[s.file].push_back(s);

    Tally tally;
    std::set<std::string> scored;
    for (int i = 1; i < args.size(); ++i) {
        QFile f(args[i]);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "Cannot read %s\n", qPrintable(args[i]));
            return 1;
        }
        QJsonParseError jsonError;
        const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &jsonError);
        if (!doc.isObject()) {
            std::fprintf(stderr, "%s is no JSON object: %s\n", qPrintable(args[i]),
                         qPrintable(jsonError.errorString()));
            return 1;
        }
        const QJsonObject root = doc.object();
        const std::string name = QFileInfo(root["file"].toString()).fileName().toStdString();
        if (!byFile.count(name)) {
            std::fprintf(stderr, "%s: %s is not in the truth\n", qPrintable(args[i]), name.c_str());
            return 1;
        }
        const Segment* fileRow = nullptr;
        for (const Segment& s : byFile[name])
            if (s.record == "file") fileRow = &s;
        if (!fileRow || root["size"].toDouble() != static_cast<double>(fileRow->end)) {
            // A scan of another build of the corpus would score as nonsense.
            std::fprintf(stderr, "%s: %s has %.0f bytes, the truth says %llu\n",
                         qPrintable(args[i]), name.c_str(), root["size"].toDouble(),
                         fileRow ? static_cast<unsigned long long>(fileRow->end) : 0ULL);
            return 1;
        }
        if (!scored.insert(name).second) {
            std::fprintf(stderr, "%s is scored twice\n", name.c_str());
            return 1;
        }
        std::vector<Proposal> proposals;
        for (const QJsonValue& v : root["candidates"].toArray()) {
            const QJsonObject c = v.toObject();
            proposals.push_back({static_cast<std::uint64_t>(c["address"].toDouble()),
                                 c["width"].toInt(), c["height"].toInt(),
                                 c["confidence"].toDouble(), c["reason"].toString().toStdString()});
        }
        scoreFile(name, byFile[name], proposals, tally);
    }
    std::vector<std::string> unscored;
    for (const auto& [name, rows] : byFile)
        if (!scored.count(name)) unscored.push_back(name);

    // Figures.
    Rate all;
    std::map<std::string, Rate> byCategory, byWidth, byBit15, byGroup, byParity;
    for (const PictureOutcome& o : tally.pictures) {
        all.add(o);
        byCategory[o.picture.kind].add(o);
        byWidth[widthBand(o.picture.width)].add(o);
        byBit15[o.picture.bit15].add(o);
        byGroup[o.picture.group].add(o);
        byParity[o.picture.start % 2 ? "odd address" : "even address"].add(o);
    }
    int onPicture = 0;
    std::map<std::string, int> falseByKind;
    for (const ProposalOutcome& p : tally.proposals) {
        if (p.onPicture)
            ++onPicture;
        else
            ++falseByKind[p.kind];
    }
    const auto proposals = static_cast<int>(tally.proposals.size());
    const double precision = proposals ? double(onPicture) / proposals : 1.0;
    const double mb = tally.totalBytes / 1e6;

    std::printf("Corpus: %zu files scored, %.1f MB, %d pictures; %d candidates\n", scored.size(),
                mb, all.total, proposals);
    if (!unscored.empty()) {
        std::printf("  not scored (no scan output given):");
        for (const auto& n : unscored) std::printf(" %s", n.c_str());
        std::printf("\n");
    }
    std::printf("\nstrict recall  %.3f  (%d of %d)\n", all.strictShare(), all.strict, all.total);
    std::printf("usable recall  %.3f  (%d of %d)\n", all.usableShare(), all.usable, all.total);
    std::printf("precision      %.3f  (%d of %d candidates on a true picture)\n", precision,
                onPicture, proposals);
    printRates("By category", byCategory);
    printRates("By width", byWidth, {"8-31", "32-127", "128-511", "512-1024"});
    printRates("By bit 15", byBit15);
    printRates("By group", byGroup);
    printRates("By address", byParity);

    std::printf("\nFalse candidates by the data they lie in\n");
    std::set<std::string> kinds;
    for (const auto& [k, b] : tally.fillerBytes) kinds.insert(k);
    for (const auto& [k, n] : falseByKind) kinds.insert(k);
    for (const std::string& k : kinds) {
        const auto bytes = tally.fillerBytes.count(k) ? tally.fillerBytes.at(k) : 0;
        const int n = falseByKind.count(k) ? falseByKind.at(k) : 0;
        if (bytes)
            std::printf("  %-22s %6d  in %7.2f MB  = %8.2f per MB\n", k.c_str(), n, bytes / 1e6,
                        n / (bytes / 1e6));
        else
            std::printf("  %-22s %6d\n", k.c_str(), n);
    }

    double seconds = 0;
    if (parser.isSet("times")) {
        std::ifstream times(parser.value("times").toStdString());
        std::string name;
        double s = 0;
        while (times >> name >> s) seconds += s;
        if (seconds > 0)
            std::printf("\nthroughput     %.1f MB/s  (%.1f MB in %.2f s)\n", mb / seconds, mb,
                        seconds);
    }

    const Rate& photos = byCategory["photo"];
    const Rate& narrow = byWidth["8-31"];
    int mustBeNone = 0;
    for (const char* k : {"zeros", "ff", "random", "gzip", "xz"})
        mustBeNone += falseByKind.count(k) ? falseByKind.at(k) : 0;
    struct Target {
        const char* text;
        double value, goal;
        bool atMost;
    };
    const Target targets[] = {
        {"usable recall", all.usableShare(), 0.90, false},
        {"usable recall, photographs", photos.usableShare(), 0.97, false},
        {"usable recall, widths under 32", narrow.usableShare(), 0.70, false},
        {"strict recall", all.strictShare(), 0.80, false},
        {"precision", precision, 0.90, false},
        {"candidates in zeros, 0xFF, random, compressed", double(mustBeNone), 0, true},
    };
    std::printf("\nTargets\n");
    int failed = 0;
    for (const Target& t : targets) {
        const bool ok = t.atMost ? t.value <= t.goal : t.value >= t.goal;
        failed += !ok;
        std::printf("  %-4s %-48s %.3f (%s %.2f)\n", ok ? "ok" : "MISS", t.text, t.value,
                    t.atMost ? "at most" : "at least", t.goal);
    }
    std::printf("%s\n", failed ? "Some targets are missed." : "All targets hold.");
    // One line for scripts that follow the figures from run to run.
    std::printf(
        "summary strict=%.3f usable=%.3f photo=%.3f narrow=%.3f precision=%.3f "
        "must_be_empty=%d mb_per_s=%.1f\n",
        all.strictShare(), all.usableShare(), photos.usableShare(), narrow.usableShare(), precision,
        mustBeNone, seconds > 0 ? mb / seconds : 0.0);

    if (parser.isSet("misses")) {
        std::printf(
            "\nMissed pictures (file address width height category bit15 group frame, the "
            "candidate overlapping it most as @address:width x height, source)\n");
        for (const PictureOutcome& o : tally.pictures) {
            if (o.usable && o.strict) continue;
            const Segment& p = o.picture;
            // What the finder made of those bytes, if anything.
            const Proposal* nearest = nullptr;
            std::uint64_t most = 0;
            for (const ProposalOutcome& c : tally.proposals) {
                const Proposal& q = c.proposal;
                const std::uint64_t end = q.address + std::uint64_t(2) * q.width * q.height;
                const std::uint64_t lo = std::max(q.address, p.start), hi = std::min(end, p.end);
                if (c.file == p.file && hi > lo && hi - lo > most) {
                    most = hi - lo;
                    nearest = &q;
                }
            }
            const std::string near = nearest ? "@" + std::to_string(nearest->address) + ":" +
                                                   std::to_string(nearest->width) + "x" +
                                                   std::to_string(nearest->height)
                                             : "none";
            std::printf("  %s %s %llu %d %d %s %s %s %d %s %s\n",
                        o.usable ? "not-strict" : "MISSED", p.file.c_str(),
                        static_cast<unsigned long long>(p.start), p.width, p.height, p.kind.c_str(),
                        p.bit15.c_str(), p.group.c_str(), p.frameHeight, near.c_str(),
                        p.source.c_str());
        }
        std::printf("\nFalse candidates (file address width height confidence kind reason)\n");
        for (const ProposalOutcome& p : tally.proposals) {
            if (p.onPicture) continue;
            std::printf("  FALSE %s %llu %d %d %.2f %s %s\n", p.file.c_str(),
                        static_cast<unsigned long long>(p.proposal.address), p.proposal.width,
                        p.proposal.height, p.proposal.confidence, p.kind.c_str(),
                        p.proposal.reason.c_str());
        }
    }
    return 0;
}
