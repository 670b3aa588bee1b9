// The viewer's procedures end to end, through the main window and the picture window on the
// platform QT_QPA_PLATFORM names (offscreen when unset): loads from a file in the page cache,
// the per-row titles included, and presentations into client areas of given sizes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "bench_support.h"
#include "decode/loader.h"
#include "decode/pixel_rows.h"
#include "tests/support/fake_dialogs.h"

namespace pixvue::bench {
namespace {

struct Viewer {
    testing::FakeDialogs dialogs;
    Form1 form{dialogs};
    QTemporaryDir dir;
    QString dataPath;
    std::vector<std::byte> data = seededPicture();
};

Viewer* viewer = nullptr;

void setFields(Form1& form, std::int64_t width, std::int64_t height) {
    form.EdAdd->setText(QStringLiteral("0"));
    form.EdWidth->setText(QString::number(width));
    form.EdHeight->setText(QString::number(height));
}

// The surface must hold the file's first width x height pixels, decoded one word at a time.
bool surfaceHoldsPicture(int width, int height) {
    std::vector<std::uint32_t> expected(static_cast<std::size_t>(width));
    const std::span<const std::byte> bytes(viewer->data);
    for (int y = 0; y < height; ++y) {
        decodePixelRowPlain(bytes.subspan(std::size_t{2} * width * y, std::size_t{2} * width),
                            expected.data());
        if (!std::equal(expected.begin(), expected.end(), viewer->form.surface().row(y)))
            return false;
    }
    return viewer->form.windowTitle() == QString::fromUtf8(kMainTitle);
}

void loadPic(benchmark::State& state) {
    Form1& form = viewer->form;
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    setFields(form, width, height);
    form.LoadPic();
    if (!surfaceHoldsPicture(width, height)) {
        state.SkipWithError("the load did not decode the file's picture");
        return;
    }
    for (auto _ : state) form.LoadPic();
    state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(loadPic)
    ->Name("LoadPic")
    ->ArgNames({"w", "h"})
    ->Args({1024, 1024})
    ->Args({320, 240})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The parts of a 1024 x 1024 load: reading and decoding alone, and the 1024 titles alone.
void readPictureOnly(benchmark::State& state) {
    auto surface = std::make_unique<PictureSurface>();
    std::vector<std::byte> scratch;
    const PictureFields fields{kSide - 1, kSide - 1, 0};
    for (auto _ : state) {
        DataFile file;
        file.open(QFile::encodeName(viewer->dataPath).toStdString());
        readPicture(file, fields, *surface, scratch, {});
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{kPixels});
}
BENCHMARK(readPictureOnly)
    ->Name("LoadPic_parts/read_and_decode")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void titlesOnly(benchmark::State& state) {
    Form1& form = viewer->form;
    for (auto _ : state) {
        for (int row = 1; row <= kSide; ++row)
            form.setWindowTitle(QStringLiteral("Loading:  %1 of  1024 lines").arg(row));
        form.setWindowTitle(QString::fromUtf8(kMainTitle));
    }
    state.SetItemsProcessed(state.iterations() * (kSide + 1));
}
BENCHMARK(titlesOnly)
    ->Name("LoadPic_parts/1025_titles")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// FormatVisuals of the full 1024 x 1024 picture at a zoom into a client area; with
// `painted`, also the repaint the platform does once the handler returns.
void presentation(benchmark::State& state, bool painted) {
    Form1& form = viewer->form;
    const auto zoom = static_cast<std::uint8_t>(state.range(0));
    const QSize client(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    setFields(form, kSide, kSide);
    form.LoadPic();
    form.viewer().Zoom = zoom;
    // A fresh picture window: its backing image only ever grows, and should have the size of
    // this client area, not of the largest one an earlier benchmark gave it.
    form.picture()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Form2* window = form.picture();
    form.FormatVisuals();
    window->resize(client);
    QApplication::processEvents();
    if (window->size() != client || window->backingImage().size() != client) {
        state.SkipWithError("the picture window did not get the client area");
        return;
    }
    for (auto _ : state) {
        form.FormatVisuals();
        if (painted) window->repaint();
    }
    state.SetItemsProcessed(state.iterations() * client.width() * client.height());
}

void presentationArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"zoom", "cw", "ch"});
    for (int zoom : {1, 11}) {
        b->Args({zoom, 385, 269});
        b->Args({zoom, 1600, 1200});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK_CAPTURE(presentation, FormatVisuals, false)->Apply(presentationArgs);
BENCHMARK_CAPTURE(presentation, FormatVisuals_and_paint, true)->Apply(presentationArgs);

// The offscreen platform warns at every raise() of the picture window; a warning per
// presentation would swamp the table and its writing would be timed too.
void quietPlatformWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (type != QtDebugMsg) fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace
}  // namespace pixvue::bench

int main(int argc, char** argv) {
    using namespace pixvue::bench;
    if (!initializeWithDefaults(argc, argv)) return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietPlatformWarnings);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pixvue"));

    Viewer v;
    viewer = &v;
    v.dataPath = v.dir.filePath(QStringLiteral("picture.bin"));
    QFile file(v.dataPath);
    if (!v.dir.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(v.data.data()), qint64(v.data.size())) !=
            qint64(v.data.size()))
        return 1;
    file.close();  // written just now, so it sits in the page cache
    v.form.show();
    QApplication::processEvents();
    v.dialogs.answers.push_back(v.dataPath);
    v.form.ItOpen_Click();

    benchmark::AddCustomContext("platform", QGuiApplication::platformName().toStdString());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
