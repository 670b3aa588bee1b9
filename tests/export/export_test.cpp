#include "export/exporter.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QImage>

#include "decode/loader.h"
#include "decode/pixel.h"

namespace pixvue::exporter {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pixvue-export-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // An odd length, so a picture can run past the end onto a single trailing byte.
        for (int i = 0; i < 1001; ++i) data_.push_back(static_cast<char>((i * 73 + 11) ^ i >> 3));
        write("data.bin", data_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    Outcome run(ExportOptions options) const {
        options.dataPath = path("data.bin");
        std::ostringstream out, err;
        Outcome r;
        r.status = runExport(options, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    Outcome picture(const std::string& address, const std::string& width, const std::string& height,
                    const std::string& outName, int zoom = 1, bool force = false) const {
        ExportOptions o;
        o.address = address;
        o.width = width;
        o.height = height;
        o.outputPath = path(outName);
        o.zoom = zoom;
        o.force = force;
        return run(o);
    }

    // The picture as the viewer's loader decodes it.
    PictureSurface decoded(int address, int width, int height) const {
        DataFile file;
        EXPECT_TRUE(file.open(path("data.bin")));
        PictureSurface surface;
        std::vector<std::byte> scratch;
        readPicture(file, {width - 1, height - 1, address}, surface, scratch, {});
        return surface;
    }

    void expectSamePicture(const std::string& png, int address, int width, int height,
                           int zoom = 1) const {
        const QImage image(QString::fromStdString(path(png)), "PNG");
        ASSERT_EQ(image.width(), width * zoom);
        ASSERT_EQ(image.height(), height * zoom);
        const PictureSurface want = decoded(address, width, height);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), want.pixel(x / zoom, y / zoom)) << x << "," << y;
    }

    fs::path dir_;
    std::string data_;
};

TEST_F(ExportTest, PictureEqualsTheViewersDecoding) {
    const Outcome r = picture("3", "10", "7", "a.png");
    EXPECT_EQ(r.status, 0) << r.err;
    expectSamePicture("a.png", 3, 10, 7);
}

TEST_F(ExportTest, PictureRunningPastTheEndRepeatsTheLastPixel) {
    // From 990, eleven bytes remain: five whole words, then one byte that replaces only the
    // low byte of the last word read.
    ASSERT_EQ(picture("990", "4", "3", "tail.png").status, 0);
    expectSamePicture("tail.png", 990, 4, 3);
    const QImage image(QString::fromStdString(path("tail.png")), "PNG");
    const auto byte = [this](int i) { return static_cast<unsigned char>(data_[i]); };
    const QRgb tail = argbFromWord(static_cast<std::uint16_t>(byte(1000) | byte(999) << 8));
    EXPECT_EQ(image.pixel(1, 1), tail);
    EXPECT_EQ(image.pixel(3, 2), tail);
    EXPECT_NE(image.pixel(0, 1), tail);
}

TEST_F(ExportTest, ZoomRepeatsEachPixel) {
    ASSERT_EQ(picture("0", "5", "4", "z.png", 3).status, 0);
    expectSamePicture("z.png", 0, 5, 4, 3);
}

TEST_F(ExportTest, RejectedValuesAndUnreadableDataWriteNothing) {
    Outcome r = picture("0", "2000", "4", "w.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The width must be between 1 and 1024"), std::string::npos) << r.err;
    r = picture("0", "12abc", "4", "w.png");
    EXPECT_NE(r.err.find("Are you sure you entered only numbers ?"), std::string::npos) << r.err;
    r = picture("2000000001", "4", "4", "w.png");
    EXPECT_NE(r.err.find("The address must be between 0 and 2000000000"), std::string::npos);

    ExportOptions o;
    o.address = "0";
    o.width = o.height = "4";
    o.outputPath = path("w.png");
    o.dataPath = dir_.string();  // a folder is no data file
    std::ostringstream out, err;
    EXPECT_EQ(runExport(o, out, err), 1);
    EXPECT_NE(err.str().find("The file could not be read"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(path("w.png")));
}

TEST_F(ExportTest, ExistingFilesAreKeptUnlessForced) {
    write("keep.png", "mine");
    Outcome r = picture("0", "4", "4", "keep.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(read("keep.png"), "mine");

    fs::create_symlink(path("nowhere"), path("link.png"));  // a dangling link counts too
    EXPECT_EQ(picture("0", "4", "4", "link.png").status, 1);
    EXPECT_FALSE(fs::exists(path("nowhere")));

    r = picture("0", "4", "4", "keep.png", 1, true);
    EXPECT_EQ(r.status, 0) << r.err;
    expectSamePicture("keep.png", 0, 4, 4);
}

TEST_F(ExportTest, BookmarkFileWritesEachEntryAndReportsSkips) {
    write("marks.txt", std::string("Ring/s\\\x01\x1b[2J,8,4,2\r\n") +  // slashes, control bytes
                           "Too wide,0,2000,2\r\n"
                           "Plain, 5,3,3\r\n");  // the list's empty last item follows
    ExportOptions o;
    o.bookmarksPath = path("marks.txt");
    o.outputPath = path("out");  // made on the way
    Outcome r = run(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "written " + path("out/000-Ring_s____2J.png") + "\n" +
                         "skipped 001-Too_wide: The width must be between 1 and 1024\n" +
                         "written " + path("out/002-Plain.png") + "\n");
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);  // no raw name reaches the terminal
    EXPECT_NE(r.err.find("[3/3] 002-Plain"), std::string::npos) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(path("out")), fs::directory_iterator()), 2);
    expectSamePicture("out/000-Ring_s____2J.png", 8, 4, 2);
    expectSamePicture("out/002-Plain.png", 5, 3, 3);

    // All good: the empty last item is no skip. A second run finds the files there already.
    write("marks.txt", "Plain,5,3,3\r\n");
    o.outputPath = path("out2");
    EXPECT_EQ(run(o).status, 0);
    r = run(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "skipped 000-Plain: already exists (--force replaces it)\n");
}

TEST_F(ExportTest, BookmarkFileThatCannotServe) {
    ExportOptions o;
    o.outputPath = path("out");
    o.bookmarksPath = path("missing.txt");
    Outcome r = run(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File not found"), std::string::npos);

    write("empty.txt", "");
    o.bookmarksPath = path("empty.txt");
    EXPECT_EQ(run(o).status, 1);

    write("marks.txt", "A,0,2,2");
    write("out", "a file, not a folder");
    o.bookmarksPath = path("marks.txt");
    r = run(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read("out"), "a file, not a folder");
}

}  // namespace
}  // namespace pixvue::exporter
