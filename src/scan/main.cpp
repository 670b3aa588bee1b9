// pixvue-scan: finds raw 15-bit pictures in any file and writes them as bookmarks the viewer
// loads as they are. Needs no display: QtCore only.
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include "find/finder.h"
#include "scan/scan_output.h"

namespace {

constexpr int kDone = 0, kInputError = 1, kUsageError = 2;

int usageError(const QCommandLineParser& parser, const QString& problem) {
    std::cerr << "pixvue-scan: " << problem.toStdString() << "\n\n"
              << parser.helpText().toStdString();
    return kUsageError;
}

std::optional<int> wholeNumber(const QString& text, int lo, int hi) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 0);
    if (!ok || value < lo || value > hi) return std::nullopt;
    return value;
}

// Written beside the target and renamed over it with --force; otherwise created only where
// nothing is.
std::optional<QString> writeOut(const QString& path, const std::string& text, bool force) {
    const QByteArray bytes = QByteArray::fromStdString(text);
    if (force) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return std::nullopt;
        return QStringLiteral("could not be written");
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFile::exists(path) ? QStringLiteral("already exists (--force replaces it)")
                                   : QStringLiteral("could not be written");
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (written) return std::nullopt;
    file.remove();
    return QStringLiteral("could not be written");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pixvue-scan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PIXVUE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds raw 15-bit pictures anywhere in FILE and writes one bookmark per picture\n"
        "(name,address,width,height, lines ended by CR LF, in address order), ready for\n"
        "Bookmarks > Load in pixvue. Without -o the bookmarks go to standard output.\n\n"
        "Examples:\n  pixvue-scan dump.bin -o found.txt\n  pixvue-scan dump.bin --json"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to search."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write to OUT instead of standard output."),
                                    QStringLiteral("OUT"));
    const QCommandLineOption minWidth(QStringLiteral("min-width"),
                                      QStringLiteral("Narrowest picture to find (1-1024, 8)."),
                                      QStringLiteral("N"), QStringLiteral("8"));
    const QCommandLineOption minHeight(QStringLiteral("min-height"),
                                       QStringLiteral("Fewest rows to find (1-1024, 8)."),
                                       QStringLiteral("N"), QStringLiteral("8"));
    const QCommandLineOption minConfidence(
        QStringLiteral("min-confidence"),
        QStringLiteral("Leave out pictures found with less confidence (0-1, 0.5)."),
        QStringLiteral("X"), QStringLiteral("0.5"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Write every picture found as JSON, with confidence and reason."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace OUT when it exists."));
    parser.addOptions({output, minWidth, minHeight, minConfidence, json, force});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments())) return usageError(parser, parser.errorText());
    if (parser.isSet(help)) {
        std::cout << parser.helpText().toStdString();
        return kDone;
    }
    if (parser.isSet(version)) {
        std::cout << "pixvue-scan " << PIXVUE_VERSION << '\n';
        return kDone;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return usageError(parser, files.isEmpty() ? QStringLiteral("no FILE given")
                                                  : QStringLiteral("only one FILE, please"));

    pixvue::find::FindOptions options;
    const auto width = wholeNumber(parser.value(minWidth), 1, pixvue::find::kMaxSide);
    const auto height = wholeNumber(parser.value(minHeight), 1, pixvue::find::kMaxSide);
    if (!width)
        return usageError(parser, QStringLiteral("--min-width takes a number from 1 to 1024"));
    if (!height)
        return usageError(parser, QStringLiteral("--min-height takes a number from 1 to 1024"));
    bool ok = false;
    const double confidence = parser.value(minConfidence).trimmed().toDouble(&ok);
    if (!ok || !(confidence >= 0 && confidence <= 1))
        return usageError(parser, QStringLiteral("--min-confidence takes a number from 0 to 1"));
    options.minWidth = *width;
    options.minHeight = *height;
    options.minConfidence = confidence;

    const QString outPath = parser.value(output);
    const bool replace = parser.isSet(force);
    if (parser.isSet(output) && outPath.isEmpty())
        return usageError(parser, QStringLiteral("-o needs a file name"));
    if (!outPath.isEmpty() && !replace && QFile::exists(outPath)) {
        std::cerr << "pixvue-scan: " << outPath.toStdString()
                  << ": already exists (--force replaces it)\n";
        return kInputError;
    }

    const std::string path = QFile::encodeName(files.front()).toStdString();
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    const auto start = std::chrono::steady_clock::now();
    pixvue::find::ProgressFn progress;
    if (showProgress)
        progress = [&](const pixvue::find::Progress& p) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double percent = p.bytesTotal ? 100.0 * p.bytesDone / p.bytesTotal : 100.0;
            const double mbs = seconds > 0 ? p.bytesDone / 1e6 / seconds : 0;
            std::fprintf(stderr, "\r%5.1f%%  %7.1f MB/s  %zu pictures", percent, mbs, p.found);
            std::fflush(stderr);
            return true;
        };
#ifdef M_ARENA_MAX
    // The finder's workers each take and free some MiB per stretch; in one arena what one frees
    // serves the next, where an arena of each thread's own would hold it: the 64 MiB the finder
    // keeps to would not hold then.
    mallopt(M_ARENA_MAX, 1);
#endif
    const pixvue::find::FindResult result = pixvue::find::findPictures(path, options, progress);
    if (showProgress) std::fprintf(stderr, "\n");
    if (!result.readable) {
        std::cerr << "pixvue-scan: " << path
                  << ": cannot be read (missing, or not an ordinary file)\n";
        return kInputError;
    }

    std::string text;
    if (parser.isSet(json)) {
        text = pixvue::scan::jsonText(path, result.size, result.candidates);
    } else {
        const auto bookmarks = pixvue::scan::bookmarkText(result.candidates);
        text = bookmarks.text;
        if (bookmarks.left > 0)
            std::cerr << "pixvue-scan: " << bookmarks.left
                      << " pictures lie past address 2000000000, beyond the viewer's reach, and "
                         "are left out (--json lists them)\n";
    }
    if (outPath.isEmpty()) {
        std::cout << text << std::flush;
        return std::cout ? kDone : kInputError;
    }
    if (const auto problem = writeOut(outPath, text, replace)) {
        std::cerr << "pixvue-scan: " << outPath.toStdString() << ": " << problem->toStdString()
                  << '\n';
        return kInputError;
    }
    return kDone;
}
