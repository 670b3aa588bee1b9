#include "file_names.h"

#include <cstdio>

namespace pixvue::exporter {
namespace {

bool safe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

}  // namespace

std::string entryStem(int index, std::string_view name) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", index);
    std::string stem = number;
    if (name.empty()) return stem;
    stem.push_back('-');
    for (char c : name.substr(0, kMaxNameLength)) stem.push_back(safe(c) ? c : '_');
    return stem;
}

std::string entryFileName(int index, std::string_view name) {
    return entryStem(index, name) + ".png";
}

}  // namespace pixvue::exporter
