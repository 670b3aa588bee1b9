// pixvue-make-corpus: writes corpus files of real pictures (quantised to 15 bits) embedded at
// random addresses in real and made-up filler, and truth.tsv saying where everything is. The same
// seed gives the same corpus on the same system (the filler comes from its files).
#include <QByteArray>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "rng.h"
#include "truth.h"

namespace {

using pixvue::corpus::Rng;
using pixvue::corpus::Segment;

constexpr int kMinSide = 8;
constexpr int kMaxSide = 1024;

// ---------------------------------------------------------------------------------------------
// Picture sources: files the picture packages install, by category.

struct SourceSet {
    std::map<QString, QStringList> byCategory;
};

QStringList filesUnder(const QString& dir, const QStringList& patterns, const QString& skip = {}) {
    QStringList found;
    QDirIterator it(dir, patterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!skip.isEmpty() && path.contains(skip)) continue;
        found << path;
    }
    found.sort();
    return found;
}

// `half` 0 or 1 keeps every other source file of each category (in name order), so a finder
// tuned on the corpus of one half can be measured on pictures it has never seen.
SourceSet findSources(int half) {
    SourceSet s;
    s.byCategory["photo"] = filesUnder("/usr/share/tuxpaint/templates", {"*.jpg"}) +
                            filesUnder("/usr/share/backgrounds/mate/nature", {"*.jpg"});
    s.byCategory["sprite"] =
        filesUnder("/usr/share/games/pingus/data/images", {"*.png"}, "/backgrounds/") +
        filesUnder("/usr/share/games/lbreakout2/gfx", {"*.png"}, "/back") +
        filesUnder("/usr/share/kobo-deluxe/gfx", {"*.png"}) +
        filesUnder("/usr/share/games/tecnoballz", {"*.png"}) +
        filesUnder("/usr/share/games/ceferino/ima", {"*.png"});
    QStringList icons;
    for (const char* size : {"16x16", "22x22", "24x24", "32x32"})
        icons += filesUnder(QString("/usr/share/icons/Tango/") + size, {"*.png"});
    for (const char* size : {"16x16", "24x24", "36x36", "48x48", "64x64", "72x72", "96x96"})
        icons += filesUnder(QString("/usr/share/icons/nuoveXT2/") + size, {"*.png"});
    s.byCategory["icon"] = icons;
    s.byCategory["screenshot"] =
        filesUnder("/usr/share/doc/tuxpaint-data/html/images", {"*.png", "*.jpg"});
    s.byCategory["cartoon"] = filesUnder("/usr/share/tuxpaint/starters", {"*.png"}) +
                              filesUnder("/usr/share/tuxpaint/stamps/cartoon", {"*.png"}) +
                              filesUnder("/usr/share/games/lbreakout2/gfx", {"back*.png"}) +
                              filesUnder("/usr/share/games/ceferino/ima", {"*.jpg"});
    if (half >= 0) {
        for (auto& [category, list] : s.byCategory) {
            QStringList kept;
            for (qsizetype k = half; k < list.size(); k += 2) kept << list[k];
            list = kept;
        }
    }
    return s;
}

std::map<QString, QImage> g_imageCache;

// The picture with any transparency laid on a background, as a game or a document would show it.
QImage loadFlat(const QString& path, Rng& rng) {
    auto it = g_imageCache.find(path);
    if (it == g_imageCache.end()) {
        QImage img(path);
        it = g_imageCache.emplace(path, img.convertToFormat(QImage::Format_ARGB32)).first;
    }
    const QImage& src = it->second;
    if (src.isNull()) return {};
    QImage flat(src.size(), QImage::Format_RGB32);
    const double u = rng.unit();
    QColor background =
        u < 0.4    ? QColor(0, 0, 0)
        : u < 0.55 ? QColor(255, 0, 255)
        : u < 0.7  ? QColor(255, 255, 255)
                   : QColor::fromRgb(rng.range(0, 255), rng.range(0, 255), rng.range(0, 255));
    flat.fill(background);
    QPainter p(&flat);
    p.drawImage(0, 0, src);
    return flat;
}

int nearestPrimeAtLeast(int n) {
    auto prime = [](int v) {
        if (v < 2) return false;
        for (int d = 2; d * d <= v; ++d)
            if (v % d == 0) return false;
        return true;
    };
    while (!prime(n) && n < kMaxSide) ++n;
    return std::min(n, kMaxSide);
}

// Many narrow pictures: they are the hard ones and common in games.
int pickWidth(Rng& rng) {
    const double u = rng.unit();
    int w = u < 0.3    ? static_cast<int>(rng.range(8, 31))
            : u < 0.6  ? static_cast<int>(rng.range(32, 127))
            : u < 0.85 ? static_cast<int>(rng.range(128, 511))
                       : static_cast<int>(rng.range(512, 1024));
    if (rng.chance(0.2)) w = nearestPrimeAtLeast(w);
    // The ends of the range, where a search's limits show.
    if (rng.chance(0.04)) w = rng.pick(std::vector<int>{8, 9, 1023, 1024});
    return w;
}

// Mostly the shapes pictures have (up to three times as wide as high or the other way round),
// now and then any height at all.
int pickHeight(Rng& rng, int width, int maxPixels) {
    const int cap = std::clamp(maxPixels / width, kMinSide, kMaxSide);
    if (rng.chance(0.2)) return static_cast<int>(rng.logRange(kMinSide, cap));
    const double aspect = std::exp((rng.unit() * 2 - 1) * std::log(3.0));
    return std::clamp(static_cast<int>(std::lround(width * aspect)), kMinSide, cap);
}

QImage scaled(const QImage& img, int w, int h, bool smooth) {
    return img.scaled(w, h, Qt::IgnoreAspectRatio,
                      smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

// A w x h view of `src`: scaled by a random factor that still covers w x h, then cropped.
QImage coverCrop(const QImage& src, int w, int h, bool smooth, Rng& rng) {
    const double need = std::max(double(w) / src.width(), double(h) / src.height());
    double s = need;
    if (need < 1.0) s = std::exp(std::log(need) + rng.unit() * (0 - std::log(need)));
    const int sw = std::max(w, static_cast<int>(std::ceil(src.width() * s)));
    const int sh = std::max(h, static_cast<int>(std::ceil(src.height() * s)));
    const QImage big =
        (sw == src.width() && sh == src.height()) ? src : scaled(src, sw, sh, smooth);
    const int x = static_cast<int>(rng.range(0, sw - w));
    const int y = static_cast<int>(rng.range(0, sh - h));
    return big.copy(x, y, w, h);
}

// A made-up window with menus, lists and text in DejaVu fonts: screenshots with text are common
// in documentation and memory dumps, and their flat areas and sharp glyphs differ from photos.
QImage drawScreen(int w, int h, Rng& rng) {
    static const QStringList words = {
        "File",   "Edit",     "View",    "Bookmarks", "Settings", "Help",   "Open",    "Save",
        "width",  "height",   "address", "picture",   "Load",     "Cancel", "OK",      "Apply",
        "colour", "document", "zoom",    "page",      "export",   "the",    "of",      "and",
        "a",      "to",       "in",      "report",    "data.bin", "1024",   "0x3f2a1", "Preview"};
    QImage img(w, h, QImage::Format_RGB32);
    const bool dark = rng.chance(0.3);
    const QColor bg = dark ? QColor(43, 43, 48) : QColor(239, 239, 239);
    const QColor fg = dark ? QColor(220, 220, 220) : QColor(20, 20, 20);
    const QColor accent = QColor::fromHsv(static_cast<int>(rng.range(0, 359)), 160, 200);
    img.fill(bg);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing, rng.chance(0.7));
    QFont font(rng.chance(0.7) ? "DejaVu Sans" : "DejaVu Sans Mono");
    font.setPixelSize(static_cast<int>(rng.range(9, 14)));
    font.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(font);
    const int line = font.pixelSize() + 5;
    p.fillRect(0, 0, w, line + 2, accent);
    p.setPen(Qt::white);
    p.drawText(6, line - 3, words[static_cast<int>(rng.range(0, words.size() - 1))] + " - Viewer");
    p.setPen(fg);
    int x = 6;
    for (int i = 0; i < 6; ++i) {
        p.drawText(x, 2 * line, words[i]);
        x += p.fontMetrics().horizontalAdvance(words[i]) + 12;
    }
    const int panel = w / 4;
    p.fillRect(0, 2 * line + 4, panel, h, dark ? QColor(55, 55, 60) : QColor(250, 250, 250));
    for (int y = 3 * line + 4; y < h; y += line) {
        if (rng.chance(0.15)) p.fillRect(0, y - line + 4, panel, line, accent.lighter(140));
        p.drawText(4, y, words[static_cast<int>(rng.range(0, words.size() - 1))]);
        QString text;
        const int n = static_cast<int>(rng.range(2, 12));
        for (int k = 0; k < n; ++k)
            text += words[static_cast<int>(rng.range(0, words.size() - 1))] + ' ';
        p.drawText(panel + 8, y, text);
    }
    p.setPen(accent.darker(150));
    p.drawRect(w - 80, h - line - 8, 70, line + 2);
    p.drawText(w - 70, h - 10, "OK");
    return img;
}

// ---------------------------------------------------------------------------------------------
// 15-bit pixels.

void appendPixels(QByteArray& out, const QImage& img, const QString& bit15, Rng& rng) {
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            unsigned word =
                (qRed(row[x]) >> 3) | (qGreen(row[x]) >> 3) << 5 | (qBlue(row[x]) >> 3) << 10;
            if (bit15 == "set" || (bit15 == "random" && (rng.next() & 1))) word |= 0x8000;
            out.append(static_cast<char>(word & 0xFF));
            out.append(static_cast<char>(word >> 8));
        }
    }
}

QString pickBit15(Rng& rng) {
    const double u = rng.unit();
    return u < 0.5 ? "clear" : u < 0.75 ? "set" : "random";
}

// A picture of one colour, or nearly, is no picture anyone could find or would look for.
bool tooFlat(const QImage& img) {
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) ++counts[row[x] & 0xF8F8F8];
    }
    int most = 0;
    for (const auto& [c, n] : counts) most = std::max(most, n);
    return counts.size() < 4 || most > 0.95 * rgb.width() * rgb.height();
}

struct Made {
    QImage image;
    QString category;
    QString source;
};

// One picture of `category` about w wide (icons and sprites keep their own size when it fits).
std::optional<Made> makePicture(const SourceSet& sources, const QString& category, Rng& rng,
                                int wantWidth = 0, int maxPixels = 512 * 1024) {
    if (category == "screenshot" && rng.chance(0.4)) {
        const int w = wantWidth ? wantWidth : static_cast<int>(rng.range(48, 1024));
        const int h = std::max(pickHeight(rng, w, maxPixels), 24);
        return Made{drawScreen(std::max(w, 8), h, rng), category,
                    QString("drawn %1x%2").arg(w).arg(h)};
    }
    const QStringList& list = sources.byCategory.at(category);
    if (list.isEmpty()) return std::nullopt;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString path = list[static_cast<int>(rng.range(0, list.size() - 1))];
        const QImage src = loadFlat(path, rng);
        if (src.isNull() || src.width() < 4 || src.height() < 4) continue;
        const bool smooth = rng.chance(category == "photo" ? 0.8 : 0.3);
        int w = wantWidth ? wantWidth : pickWidth(rng);
        QImage out;
        QString how;
        if ((category == "icon" || category == "sprite") && !wantWidth && rng.chance(0.6) &&
            src.width() >= kMinSide && src.height() >= kMinSide && src.width() <= kMaxSide &&
            src.height() <= kMaxSide && src.width() * src.height() <= maxPixels) {
            out = src;
            how = "native";
        } else if (category == "sprite" && src.width() >= std::max(w, 64) && src.height() >= 64 &&
                   (rng.chance(0.3) || src.width() > kMaxSide || src.height() > kMaxSide)) {
            // A piece of a sprite atlas at its own scale, as a game holds it in memory.
            const int cw = w;
            const int ch = std::min(pickHeight(rng, cw, maxPixels), src.height());
            out = src.copy(static_cast<int>(rng.range(0, src.width() - cw)),
                           static_cast<int>(rng.range(0, src.height() - ch)), cw, ch);
            how = "atlas crop";
        } else if (category == "icon" || category == "sprite" || category == "cartoon") {
            // Whole picture at another size, aspect kept (pixel art usually scaled by nearest).
            if (!wantWidth && category != "cartoon") {
                w = std::clamp(static_cast<int>(src.width() * (0.5 + rng.unit() * 2.5)), kMinSide,
                               kMaxSide);
            }
            int h =
                std::clamp(static_cast<int>(std::lround(double(w) * src.height() / src.width())),
                           kMinSide, kMaxSide);
            if (w * h > maxPixels) h = std::max(kMinSide, maxPixels / w);
            out = scaled(src, w, h, smooth);
            how = smooth ? "smooth" : "nearest";
        } else {
            const int h = pickHeight(rng, w, maxPixels);
            if (category == "screenshot" && src.width() >= w && src.height() >= h) {
                out = coverCrop(src, w, h, false, rng);
                how = "crop";
            } else {
                out = coverCrop(src, w, h, smooth, rng);
                how = smooth ? "smooth" : "nearest";
            }
        }
        if (out.width() < kMinSide || out.height() < kMinSide || tooFlat(out)) continue;
        return Made{out, category, QString("%1 %2").arg(path, how)};
    }
    return std::nullopt;
}

// Frames of one width for a sheet: an animation strip cut into its square frames where the
// source is one, otherwise a window moving across the sprite.
std::vector<QImage> makeFrames(const SourceSet& sources, Rng& rng, QString& source) {
    const QStringList& list = sources.byCategory.at("sprite");
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString path = list[static_cast<int>(rng.range(0, list.size() - 1))];
        const QImage src = loadFlat(path, rng);
        if (src.isNull()) continue;
        std::vector<QImage> frames;
        for (int side : {src.height(), src.height() / 2}) {
            if (side < kMinSide || src.width() % side != 0 || src.width() / side < 2 ||
                src.height() % side != 0)
                continue;
            for (int y = 0; y < src.height(); y += side)
                for (int x = 0; x < src.width(); x += side)
                    frames.push_back(src.copy(x, y, side, side));
            break;
        }
        if (frames.empty()) {
            const int fw = std::clamp(src.width() / 2, kMinSide, 96);
            const int fh = std::clamp(src.height(), kMinSide, 96);
            const int n = static_cast<int>(rng.range(2, 10));
            const QImage base =
                scaled(src, std::max(src.width(), fw + n), std::max(src.height(), fh), false);
            for (int i = 0; i < n; ++i)
                frames.push_back(base.copy(i * (base.width() - fw) / n, 0, fw, fh));
        }
        const int fh = frames[0].height();
        const std::size_t most = static_cast<std::size_t>(kMaxSide / fh);
        if (most < 2) continue;
        if (frames.size() > most) frames.resize(most);
        if (frames.size() > 16) frames.resize(static_cast<std::size_t>(rng.range(2, 16)));
        source = path;
        return frames;
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Filler.

const QStringList kFillerKinds = {"elf",   "gzip",   "xz",         "text",      "zeros",
                                  "ff",    "random", "pcm-speech", "pcm-music", "pcm-tone",
                                  "rgb24", "rgb32",  "rgb565",     "palette8",  "tiles4"};

QByteArray runFilter(const QString& program, const QStringList& args, const QByteArray& input) {
    QProcess proc;
    proc.start(program, args);
    if (!proc.waitForStarted()) return {};
    proc.write(input);
    proc.closeWriteChannel();
    proc.waitForFinished(-1);
    return proc.readAllStandardOutput();
}

// The picture with a palette of its own `colours` most common colours (as paint programs and
// games make them), one index byte a pixel, optionally with error diffusion along each row.
std::pair<QList<QRgb>, QByteArray> adaptiveIndexed(const QImage& image, int colours, bool diffuse) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    auto bin = [](int r, int g, int b) { return (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4); };
    std::vector<int> counts(4096, 0);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            ++counts[bin(qRed(row[x]), qGreen(row[x]), qBlue(row[x]))];
    }
    std::vector<int> order(4096);
    for (int i = 0; i < 4096; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return counts[a] > counts[b]; });
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i) {
        const int c = counts[order[i]] ? order[i] : 0;
        palette << qRgb((c >> 8) * 17, ((c >> 4) & 15) * 17, (c & 15) * 17);
    }
    auto nearest = [&](int r, int g, int b) {
        int best = 0, bestDistance = INT_MAX;
        for (int i = 0; i < colours; ++i) {
            const int dr = r - qRed(palette[i]), dg = g - qGreen(palette[i]),
                      db = b - qBlue(palette[i]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) bestDistance = d, best = i;
        }
        return best;
    };
    std::vector<int> lookup(4096, -1);
    QByteArray indices;
    indices.reserve(qsizetype(img.width()) * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int er = 0, eg = 0, eb = 0;
        for (int x = 0; x < img.width(); ++x) {
            const int r = std::clamp(qRed(row[x]) + er, 0, 255);
            const int g = std::clamp(qGreen(row[x]) + eg, 0, 255);
            const int b = std::clamp(qBlue(row[x]) + eb, 0, 255);
            int& index = lookup[bin(r, g, b)];
            if (index < 0) index = nearest(r, g, b);
            indices.append(static_cast<char>(index));
            if (diffuse) {
                er = (r - qRed(palette[index])) / 2;
                eg = (g - qGreen(palette[index])) / 2;
                eb = (b - qBlue(palette[index])) / 2;
            }
        }
    }
    return {palette, indices};
}

class Filler {
  public:
    Filler(const SourceSet& sources) : sources_(sources) {}

    // `length` bytes of `kind`; the second value says where they came from.
    std::pair<QByteArray, QString> make(const QString& kind, qsizetype length, Rng& rng) {
        QByteArray out;
        QString source = "-";
        if (kind == "zeros") {
            out = QByteArray(length, '\0');
        } else if (kind == "ff") {
            out = QByteArray(length, '\xff');
        } else if (kind == "random") {
            out.resize(length);
            for (qsizetype i = 0; i < length; ++i) out[i] = static_cast<char>(rng.next() >> 56);
        } else if (kind == "elf") {
            out = fromFiles(elfFiles(), length, rng, source);
        } else if (kind == "text") {
            out = fromFiles(textFiles(), length, rng, source);
        } else if (kind == "gzip" || kind == "xz") {
            // Compressed text and code, as archives and packed resources hold them.
            while (out.size() < length) {
                QString from;
                const QByteArray plain =
                    fromFiles(rng.chance(0.5) ? textFiles() : elfFiles(),
                              std::max<qsizetype>(4 * (length - out.size()), 4096), rng, from);
                out += kind == "gzip" ? runFilter("gzip", {"-c", "-n", "-6"}, plain)
                                      : runFilter("xz", {"-c", "-3", "-T1"}, plain);
                if (source == "-") source = from;
            }
            out.truncate(length);
        } else if (kind.startsWith("pcm-")) {
            out = pcm(kind, length, rng, source);
        } else {
            out = rasterFiller(kind, length, rng, source);
        }
        if (out.size() < length) out += QByteArray(length - out.size(), '\0');
        return {out, source};
    }

  private:
    const QStringList& elfFiles() {
        if (elf_.isEmpty()) {
            for (const QString dir : {"/usr/bin", "/usr/lib/x86_64-linux-gnu"}) {
                QDir d(dir);
                for (const QString& name : d.entryList(QDir::Files, QDir::Name)) {
                    QFile f(d.filePath(name));
                    if (f.size() < 16 * 1024 || !f.open(QIODevice::ReadOnly)) continue;
                    if (f.read(4) == QByteArray("\x7f"
                                                "ELF"))
                        elf_ << f.fileName();
                }
            }
        }
        return elf_;
    }
    const QStringList& textFiles() {
        if (text_.isEmpty()) {
            text_ = filesUnder("/usr/share/common-licenses", {"*"});
            QDir doc("/usr/share/doc");
            for (const QString& pkg :
                 doc.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
                const QString path = doc.filePath(pkg + "/copyright");
                if (QFileInfo(path).size() > 2048) text_ << path;
            }
            // Manual pages, read unpacked: roff source is text of another shape.
            const QStringList pages = filesUnder("/usr/share/man/man1", {"*.1.gz"});
            for (qsizetype i = 0; i < pages.size(); i += 20) text_ << pages[i];
        }
        return text_;
    }

    QByteArray fromFiles(const QStringList& files, qsizetype length, Rng& rng, QString& source) {
        QByteArray out;
        for (int attempt = 0; out.size() < length && !files.isEmpty() && attempt < 100000;
             ++attempt) {
            const QString path = files[static_cast<int>(rng.range(0, files.size() - 1))];
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly) || f.size() == 0) continue;
            if (source == "-") source = path;
            if (path.endsWith(".gz")) {
                const QByteArray text = runFilter("gzip", {"-dc"}, f.readAll());
                const qsizetype take = std::min<qsizetype>(text.size(), length - out.size());
                out += text.mid(rng.range(0, text.size() - take), take);
                continue;
            }
            const qint64 take = std::min<qint64>(f.size(), length - out.size());
            f.seek(rng.range(0, f.size() - take));
            out += f.read(take);
        }
        return out;
    }

    // 16-bit little-endian samples: speech, chords and tones at several rates and loudnesses.
    QByteArray pcm(const QString& kind, qsizetype length, Rng& rng, QString& source) {
        const std::vector<int> rates = {8000, 11025, 16000, 22050, 44100, 48000};
        const int rate = rng.pick(rates);
        const bool stereo = rng.chance(0.4);
        const double gain = std::pow(10.0, -rng.unit() * 2.0);  // 0 to -40 dB
        const qsizetype frames = length / (stereo ? 4 : 2) + 1;
        std::vector<double> mono(static_cast<std::size_t>(frames));
        if (kind == "pcm-speech") {
            const QByteArray speech = speechSamples(rng, source);
            // Speech at 22050 Hz read back at another rate sounds higher or lower: still speech.
            const double step = 22050.0 / rate;
            const qsizetype n = speech.size() / 2;
            double at = rng.range(0, std::max<qsizetype>(n - 1, 0));
            for (auto& v : mono) {
                const auto i = static_cast<qsizetype>(at) % std::max<qsizetype>(n, 1);
                v = n ? static_cast<qint16>(
                            qFromLittleEndian<quint16>(speech.constData() + 2 * i)) /
                            32768.0
                      : 0;
                at += step;
            }
            source = "espeak-ng " + source;
        } else if (kind == "pcm-music") {
            double t0 = 0;
            std::size_t i = 0;
            while (i < mono.size()) {
                const int root = static_cast<int>(rng.range(40, 64));
                const std::vector<int> chord = {0, rng.chance(0.5) ? 4 : 3, 7, 12};
                const std::size_t len = static_cast<std::size_t>(rate * (0.2 + rng.unit() * 0.8));
                for (std::size_t k = 0; k < len && i < mono.size(); ++k, ++i) {
                    const double t = double(k) / rate;
                    const double env = std::exp(-3.0 * t) * std::min(1.0, t * 200);
                    double v = 0;
                    for (int note : chord) {
                        const double f = 440.0 * std::pow(2.0, (root + note - 69) / 12.0);
                        for (int h = 1; h <= 4; ++h)
                            v += std::sin(2 * std::numbers::pi * f * h * (t + t0)) / (h * h);
                    }
                    mono[i] = 0.2 * env * v;
                }
                t0 += double(len) / rate;
            }
            source = QString("chords %1 Hz").arg(rate);
        } else {
            const double f = 50.0 * std::pow(2.0, rng.unit() * 7);
            for (std::size_t i = 0; i < mono.size(); ++i)
                mono[i] = 0.9 * std::sin(2 * std::numbers::pi * f * double(i) / rate);
            source = QString("tone %1 Hz at %2 Hz").arg(f, 0, 'f', 1).arg(rate);
        }
        QByteArray out;
        out.reserve(length + 4);
        auto put = [&out](double v) {
            const auto s = static_cast<qint16>(std::clamp(v, -1.0, 1.0) * 32767);
            out.append(static_cast<char>(s & 0xFF));
            out.append(static_cast<char>((s >> 8) & 0xFF));
        };
        for (std::size_t i = 0; i < mono.size(); ++i) {
            put(mono[i] * gain);
            if (stereo) put(mono[i >= 7 ? i - 7 : 0] * gain * 0.8);
        }
        source += stereo ? " stereo" : " mono";
        out.truncate(length);
        return out;
    }

    QByteArray speechSamples(Rng& rng, QString& source) {
        static const QStringList voices = {"en", "de", "fr", "es", "it", "en-us"};
        static const QStringList lines = {
            "The quick brown fox jumps over the lazy dog while the picture loads slowly.",
            "Please insert the second disk and press any key to continue the installation.",
            "Warning: the battery is low. Connect the charger now or your work may be lost.",
            "Twelve boxes of fresh vegetables arrived at the station early this morning.",
            "Welcome back, commander. The fleet is waiting for your orders at sector seven."};
        const int key = static_cast<int>(rng.range(0, voices.size() * lines.size() - 1));
        auto it = speech_.find(key);
        if (it == speech_.end()) {
            const QString voice = voices[key % voices.size()];
            QProcess proc;
            proc.start("espeak-ng",
                       {"--stdout", "-v", voice, "-s", QString::number(130 + 10 * (key % 5)),
                        lines[key / voices.size()]});
            QByteArray wav;
            if (proc.waitForFinished(60000)) wav = proc.readAllStandardOutput();
            const qsizetype data = wav.indexOf("data");
            it = speech_.emplace(key, data >= 0 ? wav.mid(data + 8) : formantSpeech(key)).first;
        }
        source = voices[key % voices.size()];
        return it->second;
    }

    // Where espeak-ng is missing: a voiced buzz through moving formants, in syllables.
    static QByteArray formantSpeech(int key) {
        Rng rng(static_cast<std::uint64_t>(key) + 99);
        QByteArray out;
        double phase = 0;
        for (int syllable = 0; syllable < 30; ++syllable) {
            const double pitch = 100 + rng.unit() * 120;
            const double f1 = 300 + rng.unit() * 600, f2 = 900 + rng.unit() * 1500;
            const int n = static_cast<int>(22050 * (0.08 + rng.unit() * 0.2));
            for (int i = 0; i < n; ++i) {
                phase += pitch / 22050;
                const double t = double(i) / 22050;
                const double env = std::sin(std::numbers::pi * i / n);
                const double pulse = std::exp(-(phase - std::floor(phase)) * 8);
                const double v = env * pulse *
                                 (std::sin(2 * std::numbers::pi * f1 * t) +
                                  0.5 * std::sin(2 * std::numbers::pi * f2 * t));
                const auto s = static_cast<qint16>(std::clamp(v * 0.5, -1.0, 1.0) * 32767);
                out.append(static_cast<char>(s & 0xFF));
                out.append(static_cast<char>((s >> 8) & 0xFF));
            }
            out += QByteArray(static_cast<qsizetype>(2 * rng.range(200, 3000)), '\0');
        }
        return out;
    }

    // Real pictures stored in the other common pixel formats.
    QByteArray rasterFiller(const QString& kind, qsizetype length, Rng& rng, QString& source) {
        QByteArray out;
        while (out.size() < length) {
            static const QStringList cats = {"photo", "sprite", "cartoon", "screenshot", "icon"};
            const QString cat = cats[static_cast<int>(rng.range(0, cats.size() - 1))];
            const auto made = makePicture(sources_, cat, rng, 0, 1024 * 1024);
            if (!made) continue;
            if (source == "-") source = made->source;
            QImage img = made->image;
            if (kind == "rgb24") {
                const bool bgr = rng.chance(0.5);
                const QImage rgb =
                    img.convertToFormat(bgr ? QImage::Format_BGR888 : QImage::Format_RGB888);
                for (int y = 0; y < rgb.height(); ++y)
                    out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)),
                               3 * rgb.width());
            } else if (kind == "rgb32") {
                const bool opaque = rng.chance(0.6);
                const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
                for (int y = 0; y < rgb.height(); ++y) {
                    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                    for (int x = 0; x < rgb.width(); ++x) {
                        const QRgb c = opaque ? row[x] : (row[x] & 0x00FFFFFF);
                        out.append(reinterpret_cast<const char*>(&c), 4);
                    }
                }
            } else if (kind == "rgb565") {
                const QImage rgb = img.convertToFormat(QImage::Format_RGB16);
                for (int y = 0; y < rgb.height(); ++y)
                    out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)),
                               2 * rgb.width());
            } else if (kind == "palette8") {
                // Palette first (RGB, 256 entries), then one index a pixel.
                const auto [palette, indices] = adaptiveIndexed(img, 256, rng.chance(0.5));
                for (QRgb c : palette) {
                    out.append(static_cast<char>(qRed(c)));
                    out.append(static_cast<char>(qGreen(c)));
                    out.append(static_cast<char>(qBlue(c)));
                }
                out += indices;
            } else {  // tiles4: 8 x 8 tiles of 4-bit indices, two per byte, low nibble first
                const auto [palette, indices] = adaptiveIndexed(img, 16, false);
                const int w = img.width();
                for (int ty = 0; ty + 8 <= img.height(); ty += 8)
                    for (int tx = 0; tx + 8 <= w; tx += 8)
                        for (int y = 0; y < 8; ++y) {
                            const char* row = indices.constData() + qsizetype(ty + y) * w + tx;
                            for (int x = 0; x < 8; x += 2)
                                out.append(
                                    static_cast<char>((row[x] & 15) | (row[x + 1] & 15) << 4));
                        }
            }
        }
        out.truncate(length);
        return out;
    }

    const SourceSet& sources_;
    QStringList elf_, text_;
    std::map<int, QByteArray> speech_;
};

// ---------------------------------------------------------------------------------------------
// Corpus files.

class CorpusFile {
  public:
    CorpusFile(QString name, std::vector<Segment>& truth) : name_(std::move(name)), truth_(truth) {}

    // Filler draws on numbers of its own: how many it takes depends on the files this machine
    // holds, and the pictures and their places must not.
    void filler(Filler& make, const QString& kind, qsizetype length, Rng& rng) {
        Rng own(rng.next());
        auto [bytes, source] = make.make(kind, length, own);
        add("filler", kind, bytes, source);
    }
    void picture(const Made& made, const QString& bit15, const QString& group, int groupId,
                 Rng& rng, int frameHeight = 0) {
        QByteArray bytes;
        appendPixels(bytes, made.image, bit15, rng);
        Segment s = segment("picture", made.category, bytes.size());
        s.width = made.image.width();
        s.height = made.image.height();
        s.bit15 = bit15.toStdString();
        s.group = group.toStdString();
        s.groupId = groupId;
        s.frameHeight = frameHeight;
        s.source = made.source.toStdString();
        truth_.push_back(s);
        data_ += bytes;
    }
    void header(const QByteArray& bytes) { add("header", "header", bytes, "-"); }
    qsizetype size() const { return data_.size(); }

    bool write(const QString& dir) {
        QFile f(QDir(dir).filePath(name_));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data_) != data_.size())
            return false;
        Segment s;
        s.record = "file";
        s.file = name_.toStdString();
        s.end = static_cast<std::uint64_t>(data_.size());
        truth_.push_back(s);
        return true;
    }

  private:
    Segment segment(const char* record, const QString& kind, qsizetype length) const {
        Segment s;
        s.record = record;
        s.file = name_.toStdString();
        s.start = static_cast<std::uint64_t>(data_.size());
        s.end = s.start + static_cast<std::uint64_t>(length);
        s.kind = kind.toStdString();
        return s;
    }
    void add(const char* record, const QString& kind, const QByteArray& bytes,
             const QString& source) {
        if (bytes.isEmpty()) return;
        Segment s = segment(record, kind, bytes.size());
        s.source = source.toStdString();
        truth_.push_back(s);
        data_ += bytes;
    }

    QString name_;
    std::vector<Segment>& truth_;
    QByteArray data_;
};

const QStringList kCategories = {"photo", "sprite", "icon", "screenshot", "cartoon"};

QString pickCategory(Rng& rng) {
    // Photos weigh more: their target is the strictest.
    const double u = rng.unit();
    return u < 0.3    ? "photo"
           : u < 0.5  ? "sprite"
           : u < 0.65 ? "icon"
           : u < 0.82 ? "screenshot"
                      : "cartoon";
}

// One group of pictures at the end of `file`: a single picture, pictures of different widths
// back to back, a sprite bank (one width, a short header before each) or a sheet of frames.
void addGroup(CorpusFile& file, const SourceSet& sources, Rng& rng, int groupId) {
    const double u = rng.unit();
    const QString bit15 = pickBit15(rng);
    if (u < 0.55) {
        // Now and then a picture of up to 1024 x 1024, the largest the viewer shows.
        const int maxPixels = rng.chance(0.1) ? 1024 * 1024 : 512 * 1024;
        if (auto made = makePicture(sources, pickCategory(rng), rng, 0, maxPixels))
            file.picture(*made, bit15, "single", groupId, rng);
    } else if (u < 0.72) {
        const int n = static_cast<int>(rng.range(2, 4));
        int lastWidth = 0;
        for (int i = 0; i < n; ++i) {
            auto made = makePicture(sources, pickCategory(rng), rng);
            if (!made || made->image.width() == lastWidth) continue;
            lastWidth = made->image.width();
            file.picture(*made, bit15, "run", groupId, rng);
        }
    } else if (u < 0.88) {
        const QString cat = rng.chance(0.6) ? "sprite" : "icon";
        const int width = rng.chance(0.6) ? static_cast<int>(rng.range(8, 31)) : pickWidth(rng);
        const int n = static_cast<int>(rng.range(3, 8));
        const int headerBytes = static_cast<int>(rng.range(2, 8));
        for (int i = 0; i < n; ++i) {
            auto made = makePicture(sources, cat, rng, width, 128 * 1024);
            if (!made) continue;
            QByteArray header;
            const int w = made->image.width(), h = made->image.height();
            header.append(static_cast<char>(w & 0xFF)).append(static_cast<char>(w >> 8));
            header.append(static_cast<char>(h & 0xFF)).append(static_cast<char>(h >> 8));
            while (header.size() < headerBytes) header.append(static_cast<char>(rng.next() >> 56));
            header.truncate(headerBytes);
            file.header(header);
            file.picture(*made, bit15, "bank", groupId, rng);
        }
    } else {
        QString source;
        const auto frames = makeFrames(sources, rng, source);
        if (frames.empty()) return;
        const int fw = frames[0].width(), fh = frames[0].height();
        QImage sheet(fw, fh * static_cast<int>(frames.size()), QImage::Format_RGB32);
        QPainter p(&sheet);
        for (std::size_t i = 0; i < frames.size(); ++i)
            p.drawImage(0, fh * static_cast<int>(i), frames[i]);
        p.end();
        if (tooFlat(sheet)) return;
        file.picture(Made{sheet, "sprite", source + " frames"}, bit15, "sheet", groupId, rng, fh);
    }
}

qsizetype fillerLength(Rng& rng) {
    return static_cast<qsizetype>(rng.chance(0.1) ? rng.range(1, 63)
                                                  : rng.logRange(64, 256 * 1024));
}

}  // namespace

int main(int argc, char** argv) {
    // Fonts for the drawn screenshots need a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Some packaged PNGs carry colour profiles Qt complains about; the pixels are what count.
    qputenv("QT_LOGGING_RULES", "qt.gui.icc=false");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("pixvue-make-corpus");
    QCoreApplication::setApplicationVersion("1");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes a labelled corpus of 15-bit pictures embedded in filler, and its truth.tsv.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"seed", "Random seed.", "N", "1"});
    parser.addOption({"out", "Folder to write the corpus to.", "DIR"});
    parser.addOption({"size-mb", "About how many MB to write.", "M", "150"});
    parser.addOption({"force", "Overwrite an existing corpus in DIR."});
    parser.addOption({"sources",
                      "Picture files to draw from: all, or half-a or half-b (every other file of "
                      "each category), to measure on pictures a finder was not tuned on.",
                      "SET", "all"});
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet("help")) parser.showHelp(0);
    if (parser.isSet("version")) parser.showVersion();
    bool okSeed = false, okSize = false;
    const qulonglong seed = parser.value("seed").toULongLong(&okSeed);
    const double sizeMb = parser.value("size-mb").toDouble(&okSize);
    const QString out = parser.value("out");
    const QString set = parser.value("sources");
    const int half = set == "half-a" ? 0 : set == "half-b" ? 1 : -1;
    if ((half < 0 && set != "all") || !okSeed || !okSize || sizeMb <= 0 || sizeMb > 100000 ||
        out.isEmpty() || !parser.positionalArguments().isEmpty()) {
        std::fprintf(
            stderr,
            "Give --out DIR, a whole --seed, a positive --size-mb and --sources all, half-a or "
            "half-b.\n%s",
            qPrintable(parser.helpText()));
        return 2;
    }
    const QString truthPath = QDir(out).filePath("truth.tsv");
    if (QFile::exists(truthPath) && !parser.isSet("force")) {
        std::fprintf(stderr, "%s exists; use --force to overwrite it.\n", qPrintable(truthPath));
        return 1;
    }
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(out));
        return 1;
    }

    const SourceSet sources = findSources(half);
    for (const QString& cat : kCategories) {
        if (sources.byCategory.at(cat).isEmpty()) {
            std::fprintf(stderr, "No %s pictures found: run tools/install-deps.sh corpus\n",
                         qPrintable(cat));
            return 1;
        }
    }

    Rng rng(seed * 0x2545F4914F6CDD1DULL + 1);
    Filler filler(sources);
    std::vector<Segment> truth;
    const auto total = static_cast<qsizetype>(sizeMb * 1024 * 1024);
    int groupId = 0;

    // Negatives: one file per filler kind, to measure false pictures per MB of each.
    const qsizetype negativeSize =
        std::max<qsizetype>(total * 3 / 10 / kFillerKinds.size(), 64 * 1024);
    for (const QString& kind : kFillerKinds) {
        CorpusFile file("neg-" + kind + ".bin", truth);
        while (file.size() < negativeSize)
            file.filler(
                filler, kind,
                std::min<qsizetype>(negativeSize - file.size(), rng.logRange(4096, 1024 * 1024)),
                rng);
        if (!file.write(out)) return 1;
        std::fprintf(stderr, "%s\n", qPrintable("neg-" + kind + ".bin"));
    }

    // Mixed files: pictures and groups at random addresses between filler of every kind.
    const int mixedFiles = std::max(1, static_cast<int>(std::lround(sizeMb / 16)));
    const qsizetype mixedSize = total * 7 / 10 / mixedFiles;
    for (int i = 1; i <= mixedFiles; ++i) {
        const QString name = QString("mixed-%1.bin").arg(i, 2, 10, QChar('0'));
        CorpusFile file(name, truth);
        while (file.size() < mixedSize) {
            file.filler(filler,
                        kFillerKinds[static_cast<int>(rng.range(0, kFillerKinds.size() - 1))],
                        fillerLength(rng), rng);
            addGroup(file, sources, rng, ++groupId);
        }
        file.filler(filler, "random", rng.range(1, 4096), rng);
        if (!file.write(out)) return 1;
        std::fprintf(stderr, "%s\n", qPrintable(name));
    }

    std::ofstream tsv(truthPath.toStdString(), std::ios::binary);
    tsv << pixvue::corpus::kTruthHeader << '\n';
    for (const Segment& s : truth) pixvue::corpus::writeSegment(tsv, s);
    tsv.close();
    if (!tsv) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(truthPath));
        return 1;
    }

    // What the corpus holds, on standard output.
    std::map<std::string, int> pictures;
    std::map<std::string, double> megabytes;
    for (const Segment& s : truth) {
        if (s.record == "file") megabytes["all files"] += s.end / 1e6;
        if (s.record != "picture") {
            if (s.record == "filler") megabytes["filler " + s.kind] += (s.end - s.start) / 1e6;
            continue;
        }
        megabytes["pictures"] += (s.end - s.start) / 1e6;
        ++pictures["category " + s.kind];
        ++pictures["group " + s.group];
        ++pictures["bit 15 " + s.bit15];
        ++pictures[s.width < 32    ? "width 8-31"
                   : s.width < 128 ? "width 32-127"
                   : s.width < 512 ? "width 128-511"
                                   : "width 512-1024"];
        if (s.width % 2) ++pictures["width odd"];
        if (s.start % 2) ++pictures["address odd"];
        ++pictures["all"];
    }
    for (const auto& [what, n] : pictures) std::printf("pictures %-22s %6d\n", what.c_str(), n);
    for (const auto& [what, mb] : megabytes) std::printf("MB %-28s %8.2f\n", what.c_str(), mb);
    return 0;
}
