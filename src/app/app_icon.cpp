#include "app_icon.h"

namespace pixvue {

QIcon applicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/pixvue-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/pixvue-16.png"), QSize(16, 16));
    return icon;
}

}  // namespace pixvue
