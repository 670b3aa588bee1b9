#include "app_icon.h"

// The icons live in a static library, whose resources the linker keeps only when asked for.
static void initIconResources() {
    Q_INIT_RESOURCE(pixvue);
}

namespace pixvue {

QIcon applicationIcon() {
    initIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/pixvue-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/pixvue-16.png"), QSize(16, 16));
    return icon;
}

}  // namespace pixvue
