#pragma once

#include <QIcon>

namespace pixvue {

// The application icon, 32 x 32 and 16 x 16, compiled into the program.
QIcon applicationIcon();

}  // namespace pixvue
