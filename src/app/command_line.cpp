#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

namespace pixvue {

CommandLine readCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Views raw 15-bit pictures anywhere inside any file."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Start address in bytes (0x for hexadecimal)."),
                                     QStringLiteral("A"));
    const QCommandLineOption width(QStringLiteral("width"), QStringLiteral("Width in pixels."),
                                   QStringLiteral("W"));
    const QCommandLineOption height(QStringLiteral("height"), QStringLiteral("Height in pixels."),
                                    QStringLiteral("H"));
    const QCommandLineOption find(
        QStringLiteral("find"),
        QStringLiteral("Find pictures in FILE and list them as bookmarks."));
    parser.addOptions({address, width, height, find});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Data file to open and load at once."));
    parser.addPositionalArgument(QStringLiteral("BOOKMARKS"),
                                 QStringLiteral("Bookmark file to load after FILE."),
                                 QStringLiteral("[BOOKMARKS]"));

    CommandLine line;
    auto usageError = [&line, &parser](const QString& text) {
        line.exitCode = 2;
        line.output = QCoreApplication::applicationName() + QStringLiteral(": ") + text +
                      QStringLiteral("\n") + parser.helpText();
        return line;
    };
    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (parser.isSet(help)) {
        line.exitCode = 0;
        line.output = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.exitCode = 0;
        line.output = QCoreApplication::applicationName() + QStringLiteral(" ") +
                      QCoreApplication::applicationVersion() + QStringLiteral("\n");
        return line;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 2) return usageError(QStringLiteral("too many files"));
    if (parser.isSet(find) && files.isEmpty())
        return usageError(QStringLiteral("--find needs FILE"));
    if (files.size() > 1 && parser.isSet(find))
        return usageError(QStringLiteral("--find takes no BOOKMARKS"));

    auto path = [](const QString& name) { return QFile::encodeName(name).toStdString(); };
    if (!files.isEmpty()) line.request.file = path(files[0]);
    if (files.size() > 1) line.request.bookmarks = path(files[1]);
    if (parser.isSet(address)) line.request.address = parser.value(address).toStdString();
    if (parser.isSet(width)) line.request.width = parser.value(width).toStdString();
    if (parser.isSet(height)) line.request.height = parser.value(height).toStdString();
    line.request.find = parser.isSet(find);
    return line;
}

}  // namespace pixvue
