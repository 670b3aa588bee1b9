#include <QApplication>

#include "app/app_icon.h"
#include "app/dialogs.h"
#include "app/form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to every window title.
    QCoreApplication::setApplicationName(QStringLiteral("pixvue"));
    // Ties the windows to the installed menu entry, for its icon and name on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pixvue.Pixvue"));
    QApplication::setWindowIcon(pixvue::applicationIcon());
    pixvue::QtDialogs dialogs;
    pixvue::Form1 form(dialogs);
    form.show();
    return QApplication::exec();
}
