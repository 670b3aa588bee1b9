// The viewer's commands without windows: the command line, drops, the finder's list, Backspace,
// saving, and the folder file dialogs open in.
#include "app/viewer.h"

#include <gtest/gtest.h>

#include <deque>

#include "support/temp_file.h"

namespace pixvue {
namespace {

using testing::TempDir;

// Records what the viewer shows, in order, as short lines; answers file dialogs from a queue.
class FakeView final : public ViewerView {
  public:
    void showMessage(const Message& m) override { log.push_back("box " + std::string(m.text)); }
    void setMainTitle(const std::string&) override {}
    void showFields(const FieldTexts& f) override { fields = f; }
    void showZoom(const std::string&) override {}
    void showPointer(const std::string&, const std::string&) override {}
    void presentPicture(const std::string& title, const PictureSurface&, int, int, int) override {
        log.push_back("picture " + title);
    }
    bool fitPictureWindow(double, double, int) override { return true; }
    void showBookmarkList(const std::vector<std::string>& names) override {
        list = names;
        log.push_back("list " + std::to_string(names.size()));
    }
    std::string chooseFile(FileChoice, const std::string& folder) override {
        folders.push_back(folder);
        if (answers.empty()) return {};
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool savePicture(const std::string& path, const PictureSurface&, int width,
                     int height) override {
        log.push_back("save " + path + " " + std::to_string(width) + "x" + std::to_string(height));
        return saves;
    }
    void copyPicture(const PictureSurface&, int, int) override {}
    find::FindResult runFinder(
        const std::function<find::FindResult(const find::ProgressFn&)>& job) override {
        return job([](const find::Progress&) { return true; });
    }
    void endProgram() override {}

    std::vector<std::string> log;
    FieldTexts fields;
    std::vector<std::string> list;
    std::deque<std::string> answers;
    std::vector<std::string> folders;
    bool saves = true;
};

class ViewerCommands : public ::testing::Test {
  protected:
    ViewerCommands() {
        viewer.Form_Load();
        // Word i at byte 2i, so each picture's first pixel tells its address.
        std::vector<std::uint16_t> words(200000);
        for (std::size_t i = 0; i < words.size(); ++i) words[i] = std::uint16_t(i & 0x7FFF);
        data = dir.write("data.bin", testing::wordsToBytes(words));
        marks = dir.write("marks.TXT", "First,0x100,0x10,8\r\nSecond,64,4,4\r\n");
    }
    std::string place() const {
        return viewer.EdAdd + "," + viewer.EdWidth + "," + viewer.EdHeight;
    }

    TempDir dir;
    FakeView view;
    Viewer viewer{view};
    std::string data, marks;
};

TEST_F(ViewerCommands, CommandLineOpensSetsTheFieldsLoadsAndAppliesBookmarks) {
    viewer.Start({data, "", "1000", "16", std::nullopt, false});
    EXPECT_EQ(view.log, (std::vector<std::string>{"picture Address: 1000 Width: 16 Height: 240"}));
    EXPECT_EQ(view.fields, (FieldTexts{"1000", "16", "240"}));
    view.log.clear();
    Viewer other{view};
    other.Form_Load();
    other.Start({data, marks, std::nullopt, std::nullopt, std::nullopt, false});
    // Hexadecimal numbers in the bookmark file read as such.
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"picture Address: 0 Width: 320 Height: 240", "list 3",
                                        "picture Address: 0x100 Width: 0x10 Height: 8"}));
    EXPECT_EQ(other.PicAddress, 256);
    EXPECT_EQ(other.PicWidth, 15);
}

TEST_F(ViewerCommands, DropsOpenTheDataFileFirstThenTheBookmarks) {
    viewer.Drop({marks, data, dir.write("other.bin", "")});
    EXPECT_EQ(viewer.PicFileName, data);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"picture Address: 0 Width: 320 Height: 240", "list 3",
                                        "picture Address: 0x100 Width: 0x10 Height: 8"}));
    view.log.clear();
    viewer.Drop({marks});
    EXPECT_EQ(view.log.front(), "list 3");
}

TEST_F(ViewerCommands, FoundPicturesFillTheListAsABookmarkFileWould) {
    std::vector<find::Candidate> found;
    // 130 within the address limit and one beyond it: the 128 most confident are listed.
    for (int i = 0; i < 130; ++i)
        found.push_back({std::uint64_t(i) * 1000, 8 + i, 16, i < 2 ? 0.1 : 0.9, ""});
    found.push_back({find::kMaxBookmarkAddress + 2, 64, 64, 1.0, ""});
    std::string searched;
    viewer.setFinder([&](const std::string& path, const find::ProgressFn&) {
        searched = path;
        return find::FindResult{true, false, found};
    });
    viewer.FindPictures();  // no data file: nothing to search
    EXPECT_TRUE(searched.empty());
    viewer.OpenAndLoad(data);
    view.log.clear();
    viewer.FindPictures();
    EXPECT_EQ(searched, data);
    ASSERT_EQ(view.list.size(), 129u);
    EXPECT_EQ(view.list[0], find::bookmarkName(1, found[2]));
    EXPECT_EQ(view.list[127], find::bookmarkName(128, found[129]));
    EXPECT_EQ(view.list[128], "");
    EXPECT_EQ(viewer.Bookmarks.entries[0], (BookmarkEntry{view.list[0], "2000", "10", "16"}));
    EXPECT_EQ(view.log.back(), "picture Address: 2000 Width: 10 Height: 16");

    // Nothing found keeps the list and says so, unless the user cancelled.
    viewer.setFinder([](const std::string&, const find::ProgressFn&) {
        return find::FindResult{true, false, {}};
    });
    view.log.clear();
    viewer.FindPictures();
    EXPECT_EQ(view.log, std::vector<std::string>{"box No pictures found"});
    EXPECT_EQ(viewer.Bookmarks.entries[0].BmAddress, "2000");
    viewer.setFinder([](const std::string&, const find::ProgressFn&) {
        return find::FindResult{true, true, {}};
    });
    view.log.clear();
    viewer.FindPictures();
    EXPECT_TRUE(view.log.empty());
}

TEST_F(ViewerCommands, BackspaceReturnsThroughEveryChangeUpToAHundred) {
    viewer.Start({data, "", std::nullopt, "16", "16", false});
    viewer.Command3_Click();  // page down
    viewer.WidthStep(+1);
    viewer.Command1_Click();  // the same place again is no change
    viewer.RowStep(+3);
    EXPECT_EQ(place(), " 614,17,16");
    viewer.Back();
    EXPECT_EQ(place(), " 512,17,16");
    viewer.Back();
    EXPECT_EQ(place(), " 512,16,16");
    EXPECT_EQ(viewer.PicAddress, 512);
    viewer.Back();
    EXPECT_EQ(place(), "0,16,16");
    viewer.Back();  // nothing before the first load
    EXPECT_EQ(place(), "0,16,16");

    for (int i = 0; i < 105; ++i) viewer.Command2_Click();
    for (int i = 0; i < 120; ++i) viewer.Back();
    EXPECT_EQ(place(), " 5,16,16");
}

TEST_F(ViewerCommands, FileDialogsOpenInTheFolderOfTheLastFileChosen) {
    const std::string folder = dir.path().string();
    view.answers = {"", data, marks, folder + "/shot", folder + "/shot.png"};
    viewer.SavePicture();   // nothing shown yet: no dialog
    viewer.ItOpen_Click();  // cancelled
    viewer.ItOpen_Click();
    viewer.ItTabLoad_Click();
    viewer.SavePicture();
    view.saves = false;
    viewer.SavePicture();
    EXPECT_EQ(view.folders, (std::vector<std::string>{"", "", folder, folder, folder}));
    const std::vector<std::string> tail(view.log.end() - 3, view.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"save " + folder + "/shot.png 16x8",
                                              "save " + folder + "/shot.png 16x8",
                                              "box The picture could not be saved"}));
}

}  // namespace
}  // namespace pixvue
