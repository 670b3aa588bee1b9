// The command line of pixvue-export: one picture by address and size, or every entry of a
// bookmark file. Read with QCommandLineParser (QtCore only) behind a plain C++ interface.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pixvue::exporter {

inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 11;

struct ExportOptions {
    std::string dataPath;
    // One picture: the three texts exactly as typed, checked later by the viewer's own rules.
    std::string address;
    std::string width;
    std::string height;
    // Every entry of a bookmark file instead; empty for one picture.
    std::string bookmarksPath;
    std::string outputPath;  // the PNG for one picture, the folder for a bookmark file
    int zoom = 1;
    bool force = false;

    bool bookmarkMode() const { return !bookmarksPath.empty(); }
};

struct HelpRequested {};
struct VersionRequested {};

struct UsageError {
    std::string problem;
};

using ParseResult = std::variant<ExportOptions, HelpRequested, VersionRequested, UsageError>;

// `args` excludes the program name. An argument that starts with a minus sign followed by a
// digit or a period is a value (a negative address or size), not an option; "--" ends the
// options.
ParseResult parseArguments(const std::vector<std::string>& args);

// The two command forms, for error output.
std::string_view usageText();
// Everything the program does, with examples.
std::string_view helpText();
// "pixvue-export VERSION".
std::string_view versionText();

}  // namespace pixvue::exporter
