// A message box as the viewer shows it: fixed text, fixed title, one icon, an OK button.
#pragma once

#include <string_view>

namespace pixvue {

enum class MessageIcon { None, Information, Critical };

struct Message {
    std::string_view text;
    std::string_view title;
    MessageIcon icon;

    friend bool operator==(const Message&, const Message&) = default;
};

}  // namespace pixvue
