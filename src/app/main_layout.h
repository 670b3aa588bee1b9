// The main window's controls as one table: the window is built from it, in pixels at 96 dots
// per inch (Qt scales them on denser screens).
#pragma once

#include <array>
#include <string_view>

namespace pixvue {

enum class ControlKind { Frame, Label, TextBox, Button, ComboBox };

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view text;
    int left, top, width, height;
    int tabIndex;
    bool inFrame;  // child of Frame1 (at the origin, so its coordinates are the client's)
};

inline constexpr double kLayoutFontPoints = 7.5;
inline constexpr int kMainClientWidth = 219;
inline constexpr int kMainClientHeight = 149;

inline constexpr std::array<ControlSpec, 21> kMainControls{{
    {"Frame1", ControlKind::Frame, "", 0, 0, 217, 145, 1, false},
    {"Label1", ControlKind::Label, "Address", 24, 16, 41, 17, 6, true},
    {"Label2", ControlKind::Label, "Width", 112, 16, 41, 17, 8, true},
    {"Label3", ControlKind::Label, "Height", 168, 16, 33, 17, 10, true},
    {"EdAdd", ControlKind::TextBox, "0", 8, 32, 89, 19, 5, true},
    {"EdWidth", ControlKind::TextBox, "320", 104, 32, 49, 19, 7, true},
    {"EdHeight", ControlKind::TextBox, "240", 160, 32, 49, 19, 9, true},
    {"Command1", ControlKind::Button, "Load", 8, 56, 41, 33, 0, false},
    {"BtZoomPlus", ControlKind::Button, "+", 56, 56, 25, 17, 2, true},
    {"LbZoom", ControlKind::Label, "1", 80, 56, 25, 17, 11, true},
    {"BtZoomMinus", ControlKind::Button, "-", 112, 56, 25, 17, 3, true},
    {"Command4", ControlKind::Button, "Page up", 144, 56, 65, 17, 14, true},
    {"Command2", ControlKind::Button, "Fix colors", 56, 72, 81, 17, 4, true},
    {"Command3", ControlKind::Button, "Page down", 144, 72, 65, 17, 13, true},
    {"Command5", ControlKind::Button, "Resize", 144, 88, 65, 17, 19, true},
    {"Label5", ControlKind::Label, "X:", 8, 104, 9, 17, 15, true},
    {"LbX", ControlKind::Label, "0", 24, 104, 25, 17, 17, true},
    {"ComboBM", ControlKind::ComboBox, "Bookmarks", 56, 112, 153, 21, 20, true},
    {"Label6", ControlKind::Label, "Y:", 8, 120, 9, 17, 16, true},
    {"LbY", ControlKind::Label, "0", 24, 120, 25, 17, 18, true},
    {"Label4", ControlKind::Label, "Label4", 296, 32, 9, 1, 12, true},
}};

}  // namespace pixvue
