#include "arguments.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include <QCommandLineParser>
#include <QStringList>

namespace pixvue::exporter {
namespace {

// A negative number such as -5 or -.5 is a value (for the loader to reject), and so are "-" and
// the empty text.
bool isValue(std::string_view arg) {
    return arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.';
}

bool takesValue(std::string_view arg) {
    return arg == "-o" || arg == "--output" || arg == "--zoom" || arg == "--bookmarks";
}

std::optional<int> readZoom(std::string_view text) {
    int zoom = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, zoom);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    if (zoom < kMinZoom || zoom > kMaxZoom) return std::nullopt;
    return zoom;
}

// File names are bytes, not text: Latin-1 maps each byte to one character and back unchanged.
QString toQt(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string fromQt(const QString& s) {
    return s.toLatin1().toStdString();
}

// QCommandLineParser would take "-5" for an unknown option -5. So every value, and everything
// after "--", moves behind a "--" of our own, in its order; an option's own value stays with it.
// Nothing when an option that takes a value is the last argument: the parser would take that
// "--" for its value.
std::optional<QStringList> withValuesLast(const std::vector<std::string>& args) {
    QStringList options, values;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--") {
            for (++i; i < args.size(); ++i) values << toQt(args[i]);
            break;
        }
        if (isValue(arg)) {
            values << toQt(arg);
            continue;
        }
        options << toQt(arg);
        if (takesValue(arg)) {
            if (i + 1 == args.size()) return std::nullopt;
            options << toQt(args[++i]);
        }
    }
    return QStringList{"pixvue-export"} + options + QStringList{"--"} + values;
}

}  // namespace

ParseResult parseArguments(const std::vector<std::string>& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version("version", {});
    const QCommandLineOption output({"o", "output"}, {}, "path");
    const QCommandLineOption zoom("zoom", {}, "n");
    const QCommandLineOption bookmarks("bookmarks", {}, "file");
    const QCommandLineOption force("force", {});
    parser.addOptions({help, version, output, zoom, bookmarks, force});
    const std::optional<QStringList> arguments = withValuesLast(args);
    const bool parsed = arguments && parser.parse(*arguments);

    // Asking for help or the version answers with it, whatever else is wrong on the line.
    const auto asked = [&](std::string_view name) {
        const auto optionsEnd = std::find(args.begin(), args.end(), "--");
        return std::find(args.begin(), optionsEnd, name) != optionsEnd;
    };
    if (arguments ? parser.isSet(help) : asked("-h") || asked("--help")) return HelpRequested{};
    if (arguments ? parser.isSet(version) : asked("--version")) return VersionRequested{};
    if (!arguments) return UsageError{args.back() + " needs a value"};
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return UsageError{"unknown option " + std::string(unknown[0].size() == 1 ? "-" : "--") +
                              fromQt(unknown[0])};
        return UsageError{fromQt(parser.errorText())};
    }

    ExportOptions options;
    for (const auto* option : {&output, &zoom, &bookmarks}) {
        const QStringList given = parser.values(*option);
        const std::string name = "--" + fromQt(option->names().last());
        if (given.size() > 1) return UsageError{name + " given twice"};
        if (given.isEmpty()) continue;
        const std::string value = fromQt(given[0]);
        if (option == &zoom) {
            const auto z = readZoom(value);
            if (!z) return UsageError{"--zoom takes a whole number from 1 to 11"};
            options.zoom = *z;
        } else if (value.empty()) {
            return UsageError{name + " needs a value"};
        } else if (option == &output) {
            options.outputPath = value;
        } else {
            options.bookmarksPath = value;
        }
    }
    options.force = parser.isSet(force);

    if (!parser.isSet(output)) return UsageError{"-o is required"};
    const bool haveBookmarks = parser.isSet(bookmarks);
    const QStringList values = parser.positionalArguments();
    const qsizetype expected = haveBookmarks ? 1 : 4;
    if (values.size() != expected)
        return UsageError{haveBookmarks ? "with --bookmarks give only the data file"
                                        : "give the data file, address, width and height"};
    if (values[0].isEmpty()) return UsageError{"the data file name is empty"};
    options.dataPath = fromQt(values[0]);
    if (!haveBookmarks) {
        options.address = fromQt(values[1]);
        options.width = fromQt(values[2]);
        options.height = fromQt(values[3]);
    }
    return options;
}

std::string_view usageText() {
    return "usage: pixvue-export DATA ADDRESS WIDTH HEIGHT -o OUT.png [--zoom N] [--force]\n"
           "       pixvue-export DATA --bookmarks FILE -o DIR [--zoom N] [--force]\n"
           "       pixvue-export --help | --version\n";
}

std::string_view versionText() {
    return "pixvue-export " PIXVUE_VERSION "\n";
}

std::string_view helpText() {
    return R"(pixvue-export writes 15-bit pictures from any file as PNG images, decoded exactly
as the Pixvue viewer shows them.

usage: pixvue-export DATA ADDRESS WIDTH HEIGHT -o OUT.png [--zoom N] [--force]
       pixvue-export DATA --bookmarks FILE -o DIR [--zoom N] [--force]

One picture
  Reads WIDTH x HEIGHT pixels of DATA from byte ADDRESS on and writes them to OUT.png.
  The numbers are read and checked as the viewer reads them: WIDTH and HEIGHT 1 to 1024,
  ADDRESS 0 to 2000000000; a rejected value prints the viewer's message. A picture that runs
  past the end of DATA repeats the last pixel read, as in the viewer.

A whole bookmark file
  Reads the bookmark file FILE (lines "name,address,width,height") as the viewer does and
  writes one PNG per entry into the folder DIR (made if missing), named from the entry's
  number and name, e.g. "003-Rings_off_by_a_byte.png"; characters other than letters, digits,
  '-', '_' and '.' become '_'. One line per entry tells what was written or why an entry was
  skipped; progress goes to standard error. The empty item after the last line is passed over.

Options
  -o, --output PATH  the PNG to write (one picture) or the folder (bookmark file)
  --zoom N           enlarge every pixel to N x N pixels, N from 1 to 11 (default 1)
  --force            replace files that already exist; without it they are never overwritten
  -h, --help         show this text
  --version          show the version
  --                 everything after it is a value (for a data file whose name starts with -)

Exit status: 0 all written, 1 a value was rejected, a file could not be read or written, or a
bookmark entry was skipped, 2 bad arguments.

Examples
  pixvue-export build/demo.bin 153600 256 192 -o gradient.png --zoom 2
  pixvue-export build/demo.bin --bookmarks build/demo-bookmarks.txt -o demo-pictures
)";
}

}  // namespace pixvue::exporter
