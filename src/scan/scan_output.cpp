#include "scan_output.h"

#include <cstdio>

namespace pixvue::scan {
namespace {

void appendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (const char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += ch;  // file names are bytes; UTF-8 passes through
        }
    }
    out += '"';
}

}  // namespace

BookmarkText bookmarkText(std::span<const find::Candidate> candidates) {
    BookmarkText out;
    std::size_t number = 0;
    for (const find::Candidate& c : candidates) {
        if (c.address > find::kMaxBookmarkAddress) {
            ++out.left;
            continue;
        }
        out.text += find::bookmarkName(++number, c) + ',' + std::to_string(c.address) + ',' +
                    std::to_string(c.width) + ',' + std::to_string(c.height) + "\r\n";
    }
    return out;
}

std::string jsonText(const std::string& file, std::uint64_t size,
                     std::span<const find::Candidate> candidates) {
    std::string out = "{\"file\":";
    appendJsonString(out, file);
    out += ",\"size\":" + std::to_string(size) + ",\"candidates\":[";
    bool first = true;
    for (const find::Candidate& c : candidates) {
        char conf[32];
        std::snprintf(conf, sizeof conf, "%.3f", c.confidence);
        out += first ? "\n" : ",\n";
        first = false;
        out += "{\"address\":" + std::to_string(c.address) +
               ",\"width\":" + std::to_string(c.width) + ",\"height\":" + std::to_string(c.height) +
               ",\"confidence\":" + conf + ",\"reason\":";
        appendJsonString(out, c.reason);
        out += '}';
    }
    out += "]}\n";
    return out;
}

}  // namespace pixvue::scan
