#include <cstdio>

#include <QApplication>

#include "app/app_icon.h"
#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/form1.h"

namespace {

// Only the name and version: a display name would be appended to every window title.
void nameTheApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("pixvue"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer before any window system is needed (over SSH, in a package
    // check). Everything else is read again once the application has taken out its own options
    // (-platform and the like).
    {
        QCoreApplication core(argc, argv);
        nameTheApplication();
        const pixvue::CommandLine early = pixvue::readCommandLine(QCoreApplication::arguments());
        if (early.exitCode == 0) {
            std::fputs(early.output.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    nameTheApplication();
    const pixvue::CommandLine line = pixvue::readCommandLine(QCoreApplication::arguments());
    if (line.exitCode) {
        std::fputs(line.output.toLocal8Bit().constData(), *line.exitCode == 0 ? stdout : stderr);
        return *line.exitCode;
    }
    // Ties the windows to the installed menu entry, for its icon and name on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pixvue.Pixvue"));
    QApplication::setWindowIcon(pixvue::applicationIcon());
    pixvue::QtDialogs dialogs;
    pixvue::Form1 form(dialogs);
    form.show();
    // Once the window is up, so a load's progress and boxes show over it.
    QMetaObject::invokeMethod(
        &form, [&form, &line] { form.viewer().Start(line.request); }, Qt::QueuedConnection);
    return QApplication::exec();
}
