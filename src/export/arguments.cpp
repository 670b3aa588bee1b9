#include "arguments.h"

#include <charconv>
#include <optional>

namespace pixvue::exporter {
namespace {

bool looksLikeValue(std::string_view arg) {
    return arg.size() >= 2 && arg[0] == '-' && ((arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.');
}

std::optional<int> readZoom(std::string_view text) {
    int zoom = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, zoom);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    if (zoom < kMinZoom || zoom > kMaxZoom) return std::nullopt;
    return zoom;
}

}  // namespace

ParseResult parseArguments(const std::vector<std::string>& args) {
    // Asking for help answers with help, whatever else is wrong on the line.
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return HelpRequested{};
    }
    ExportOptions options;
    std::vector<std::string> values;
    bool haveOutput = false, haveZoom = false, haveBookmarks = false, optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-" || looksLikeValue(arg)) {
            values.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--force") {
            options.force = true;
            continue;
        }
        // The options that take a value accept it as the next argument or after '='.
        std::string_view name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = std::string(arg.substr(eq + 1));
        }
        bool* seen = nullptr;
        if (name == "-o" || name == "--output")
            seen = &haveOutput;
        else if (name == "--zoom")
            seen = &haveZoom;
        else if (name == "--bookmarks")
            seen = &haveBookmarks;
        else
            return UsageError{"unknown option " + std::string(name)};
        if (*seen) return UsageError{std::string(name) + " given twice"};
        *seen = true;
        if (!value) {
            if (i + 1 >= args.size()) return UsageError{std::string(name) + " needs a value"};
            value = args[++i];
        }
        if (seen == &haveZoom) {
            const auto zoom = readZoom(*value);
            if (!zoom) return UsageError{"--zoom takes a whole number from 1 to 11"};
            options.zoom = *zoom;
        } else if (value->empty()) {
            return UsageError{std::string(name) + " needs a value"};
        } else if (seen == &haveOutput) {
            options.outputPath = *value;
        } else {
            options.bookmarksPath = *value;
        }
    }

    if (!haveOutput) return UsageError{"-o is required"};
    const std::size_t expected = haveBookmarks ? 1 : 4;
    if (values.size() != expected)
        return UsageError{haveBookmarks ? "with --bookmarks give only the data file"
                                        : "give the data file, address, width and height"};
    if (values[0].empty()) return UsageError{"the data file name is empty"};
    options.dataPath = values[0];
    if (!haveBookmarks) {
        options.address = values[1];
        options.width = values[2];
        options.height = values[3];
    }
    return options;
}

std::string_view usageText() {
    return "usage: pixvue-export DATA ADDRESS WIDTH HEIGHT -o OUT.png [--zoom N] [--force]\n"
           "       pixvue-export DATA --bookmarks FILE -o DIR [--zoom N] [--force]\n"
           "       pixvue-export --help\n";
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
  --                 everything after it is a value (for a data file whose name starts with -)

Exit status: 0 all written, 1 a value was rejected, a file could not be read or written, or a
bookmark entry was skipped, 2 bad arguments.

Examples
  pixvue-export build/demo.bin 153600 256 192 -o gradient.png --zoom 2
  pixvue-export build/demo.bin --bookmarks build/demo-bookmarks.txt -o demo-pictures
)";
}

}  // namespace pixvue::exporter
