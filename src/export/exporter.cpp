#include "exporter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QFile>
#include <QSaveFile>

#include "bookmarks/bookmark_reader.h"
#include "decode/loader.h"
#include "export/file_names.h"

namespace pixvue::exporter {
namespace {

constexpr int kFailed = 1;
constexpr std::string_view kProgram = "pixvue-export: ";

// One data file, one surface and one read buffer serve every picture of a run.
struct Decoder {
    DataFile file;
    PictureSurface surface;
    std::vector<std::byte> scratch;
};

bool existsAtAll(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Writes `image` to `path`; the reason when it was not written.
std::optional<std::string> writePng(const QImage& image, const std::string& path, bool force) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (force) {
        // Written beside the target and renamed over it, so a failure leaves the old file.
        QSaveFile file(name);
        if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit())
            return std::nullopt;
        return "could not be written";
    }
    QFile file(name);
    // NewOnly creates the file in the same step that checks nothing is there.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return existsAtAll(path) ? "already exists (--force replaces it)" : "could not be written";
    const bool saved = image.save(&file, "PNG") && file.flush();
    file.close();
    if (saved && file.error() == QFileDevice::NoError) return std::nullopt;
    file.remove();
    return "could not be written";
}

// Decodes the picture `fields` describe, exactly as the viewer loads it, and writes it to
// `path`; the reason when it was not written.
std::optional<std::string> exportPicture(Decoder& decoder, const PictureFields& fields, int zoom,
                                         const std::string& path, bool force) {
    readPicture(decoder.file, fields, decoder.surface, decoder.scratch, {});
    if (decoder.file.readFailed()) return std::string(kFileUnreadable.text);
    const QImage image =
        pictureImage(decoder.surface, fields.PicWidth + 1, fields.PicHeight + 1, zoom);
    if (image.isNull()) return "not enough memory for the enlarged picture";
    return writePng(image, path, force);
}

int exportOne(const ExportOptions& options, std::ostream& out, std::ostream& err) {
    PictureFields fields;
    const LoadVerdict verdict =
        convertFields(options.width, options.height, options.address, fields);
    if (const auto message = messageFor(verdict)) {
        err << kProgram << message->text << '\n';
        return kFailed;
    }
    Decoder decoder;
    if (!decoder.file.open(options.dataPath)) {
        err << kProgram << options.dataPath << ": " << kFileUnreadable.text << '\n';
        return kFailed;
    }
    if (const auto reason =
            exportPicture(decoder, fields, options.zoom, options.outputPath, options.force)) {
        err << kProgram << options.outputPath << ": " << *reason << '\n';
        return kFailed;
    }
    out << "written " << options.outputPath << '\n';
    return 0;
}

bool allEmpty(const BookmarkEntry& e) {
    return e.BmName.empty() && e.BmAddress.empty() && e.BmWidth.empty() && e.BmHeight.empty();
}

int exportBookmarks(const ExportOptions& options, std::ostream& out, std::ostream& err) {
    BookmarkTable table;
    {
        DataFile marks;
        if (!marks.open(options.bookmarksPath)) {
            err << kProgram << options.bookmarksPath << ": File not found\n";
            return kFailed;
        }
        std::vector<std::byte> bytes(kBookmarkFileLimit);
        bytes.resize(marks.read(bytes));
        table = readBookmarks(bytes);
    }
    // The empty item that follows a final line end is no bookmark of the user's.
    std::vector<int> indices;
    for (int i = 0; i < table.listCount(); ++i)
        if (!allEmpty(table.entries[static_cast<std::size_t>(i)])) indices.push_back(i);
    if (indices.empty()) {
        err << kProgram << options.bookmarksPath << ": no bookmarks in this file\n";
        return kFailed;
    }

    Decoder decoder;
    if (!decoder.file.open(options.dataPath)) {
        err << kProgram << options.dataPath << ": " << kFileUnreadable.text << '\n';
        return kFailed;
    }
    const std::filesystem::path folder(options.outputPath);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        err << kProgram << options.outputPath << ": not a folder and cannot be made one\n";
        return kFailed;
    }

    std::size_t done = 0, skipped = 0;
    for (const int i : indices) {
        const BookmarkEntry& entry = table.entries[static_cast<std::size_t>(i)];
        // Only the cleaned name is ever printed: raw names may hold terminal control bytes.
        const std::string stem = entryStem(i, entry.BmName);
        err << '[' << ++done << '/' << indices.size() << "] " << stem << std::endl;

        PictureFields fields;
        const LoadVerdict verdict =
            convertFields(entry.BmWidth, entry.BmHeight, entry.BmAddress, fields);
        const std::string path = (folder / (stem + ".png")).string();
        std::optional<std::string> reason;
        if (const auto message = messageFor(verdict))
            reason = std::string(message->text);
        else
            reason = exportPicture(decoder, fields, options.zoom, path, options.force);
        if (reason) {
            ++skipped;
            out << "skipped " << stem << ": " << *reason << std::endl;
        } else {
            out << "written " << path << std::endl;
        }
    }
    if (skipped > 0) {
        err << kProgram << skipped << " of " << indices.size() << " bookmarks skipped\n";
        return kFailed;
    }
    return 0;
}

}  // namespace

QImage pictureImage(const PictureSurface& surface, int width, int height, int zoom) {
    QImage image(width * zoom, height * zoom, QImage::Format_RGB32);
    if (image.isNull()) return image;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * zoom * sizeof(QRgb);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* source = surface.row(y);
        auto* first = reinterpret_cast<QRgb*>(image.scanLine(y * zoom));
        for (int x = 0; x < width; ++x) std::fill_n(first + x * zoom, zoom, source[x]);
        for (int k = 1; k < zoom; ++k) std::memcpy(image.scanLine(y * zoom + k), first, rowBytes);
    }
    return image;
}

int runExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
    return options.bookmarkMode() ? exportBookmarks(options, out, err)
                                  : exportOne(options, out, err);
}

}  // namespace pixvue::exporter
