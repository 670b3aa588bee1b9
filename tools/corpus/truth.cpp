#include "truth.h"

#include <charconv>
#include <istream>
#include <ostream>

namespace pixvue::corpus {

void writeSegment(std::ostream& out, const Segment& s) {
    out << s.record << '\t' << s.file << '\t' << s.start << '\t' << s.end << '\t' << s.kind << '\t'
        << s.width << '\t' << s.height << '\t' << (s.bit15.empty() ? "-" : s.bit15) << '\t'
        << (s.group.empty() ? "-" : s.group) << '\t' << s.groupId << '\t' << s.frameHeight << '\t'
        << (s.source.empty() ? "-" : s.source) << '\n';
}

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        fields.push_back(
            line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) return fields;
        from = tab + 1;
    }
}

template <typename T>
bool number(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool readTruth(std::istream& in, std::vector<Segment>& segments, std::string& error) {
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line.rfind("record\t", 0) == 0 || line[0] == '#') continue;
        const auto f = splitTabs(line);
        Segment s;
        if (f.size() != 12 || !number(f[2], s.start) || !number(f[3], s.end) ||
            !number(f[5], s.width) || !number(f[6], s.height) || !number(f[9], s.groupId) ||
            !number(f[10], s.frameHeight) || s.end < s.start) {
            error = "truth line " + std::to_string(lineNumber) + " is malformed";
            return false;
        }
        s.record = f[0];
        s.file = f[1];
        s.kind = f[4];
        s.bit15 = f[7];
        s.group = f[8];
        s.source = f[11];
        segments.push_back(std::move(s));
    }
    return true;
}

}  // namespace pixvue::corpus
