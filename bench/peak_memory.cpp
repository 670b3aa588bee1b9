// Peak resident memory of the viewer at its largest: a 1024 x 1024 load shown at zoom 11 in a
// picture window fitted to it ("Resize"), repainted. Prints the figure from the kernel's
// high-water mark (with --regions, also the large mappings); runs on the platform QT_QPA_PLATFORM
// names (offscreen when unset).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/form1.h"
#include "tests/support/fake_dialogs.h"

namespace {

// A status line of /proc/self/status in KiB, e.g. VmHWM; -1 when absent.
long statusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

// 2 MiB of noise, written in small pieces so the writing adds nothing to the peak.
bool writeNoise(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    std::mt19937 random(20240607);
    std::vector<std::uint32_t> piece(4096);
    for (int i = 0; i < 128; ++i) {
        for (auto& w : piece) w = random();
        const auto bytes = static_cast<qint64>(piece.size() * sizeof(std::uint32_t));
        if (file.write(reinterpret_cast<const char*>(piece.data()), bytes) != bytes) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pixvue"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.bin"));
    if (!dir.isValid() || !writeNoise(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    pixvue::testing::FakeDialogs dialogs;
    pixvue::Form1 form(dialogs);
    form.show();
    dialogs.answers.push_back(path);
    form.ItOpen_Click();
    form.EdWidth->setText(QStringLiteral("1024"));
    form.EdHeight->setText(QStringLiteral("1024"));
    form.Command1_Click();
    while (form.viewer().Zoom < 11) form.BtZoomPlus_Click();
    form.Command5_Click();
    // Let the platform map, resize and repaint both windows.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);

    const QSize client = form.picture()->size();
    std::printf("peak resident %.1f MiB (now %.1f MiB): %s, zoom %d, picture window %dx%d\n",
                double(statusKiB("VmHWM")) / 1024, double(statusKiB("VmRSS")) / 1024,
                qPrintable(QGuiApplication::platformName()), int(form.viewer().Zoom),
                client.width(), client.height());
    if (QCoreApplication::arguments().contains(QStringLiteral("--regions"))) {
        // Where it goes: every mapping with more than 2 MiB resident.
        std::ifstream maps("/proc/self/smaps");
        std::string line, region;
        while (std::getline(maps, line)) {
            if (line.rfind("Rss:", 0) == 0 && std::stol(line.substr(4)) > 2048)
                std::printf("  %7.1f MiB  %s\n", double(std::stol(line.substr(4))) / 1024,
                            region.c_str());
            else if (line.find(':') == std::string::npos || line.find('-') < line.find(' '))
                region = line;
        }
    }
    return 0;
}
