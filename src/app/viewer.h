// The viewer: all state the commands share and the commands themselves, without any window.
// Menus, buttons, keys, drops and the command line all end here; the windows only show what the
// viewer reports through ViewerView and hand it the user's edits.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bookmarks/bookmark_reader.h"
#include "decode/loader.h"
#include "decode/picture_surface.h"
#include "find/finder.h"
#include "shared/message.h"

namespace pixvue {

inline constexpr const char* kMainTitle = "Ambrel's Pixvue 0.1";
// The name the application presents itself under, apart from the main window's title.
inline constexpr const char* kApplicationName = "Pixvue";
inline constexpr const char* kHomePage = "https://pixvue.org";

inline constexpr Message kNothingFound{"No pictures found", kApplicationName,
                                       MessageIcon::Information};
inline constexpr Message kNotSaved{"The picture could not be saved", "Something went wrong",
                                   MessageIcon::Critical};
// Backspace goes back this many changes at most.
inline constexpr std::size_t kHistorySteps = 100;

enum class FileChoice { Data, Bookmarks, SavePicture };

// The three field texts, as the user sees them.
struct FieldTexts {
    std::string address, width, height;
    friend bool operator==(const FieldTexts&, const FieldTexts&) = default;
};

// What the viewer needs from its windows. Texts are UTF-8; paths are the bytes the file
// system takes.
class ViewerView {
  public:
    virtual void showMessage(const Message& message) = 0;
    virtual void setMainTitle(const std::string& title) = 0;
    virtual void showFields(const FieldTexts& fields) = 0;
    virtual void showZoom(const std::string& text) = 0;
    virtual void showPointer(const std::string& column, const std::string& row) = 0;
    // Shows the picture window titled `title` with the surface's top-left width x height
    // pixels enlarged by zoom.
    virtual void presentPicture(const std::string& title, const PictureSurface& surface, int width,
                                int height, int zoom) = 0;
    // Fits the picture window to the zoomed picture; false when it cannot (minimized...).
    virtual bool fitPictureWindow(double width, double height, int zoom) = 0;
    // Replaces the bookmark list by these names, the first one selected.
    virtual void showBookmarkList(const std::vector<std::string>& names) = 0;
    // A file dialog opened in `folder`; the chosen path, empty when cancelled.
    virtual std::string chooseFile(FileChoice choice, const std::string& folder) = 0;
    virtual bool savePicture(const std::string& path, const PictureSurface& surface, int width,
                             int height) = 0;
    virtual void copyPicture(const PictureSurface& surface, int width, int height) = 0;
    // Runs `job` with a progress display the user can cancel; the job's progress callback
    // returns false once cancelled.
    virtual find::FindResult runFinder(
        const std::function<find::FindResult(const find::ProgressFn&)>& job) = 0;
    virtual void endProgram() = 0;

  protected:
    ~ViewerView() = default;
};

// What the command line asks for, in the order it is applied.
struct StartRequest {
    std::string file;
    std::string bookmarks;
    std::optional<std::string> address, width, height;
    bool find = false;
};

class Viewer {
  public:
    using Finder =
        std::function<find::FindResult(const std::string& path, const find::ProgressFn& progress)>;

    explicit Viewer(ViewerView& view);

    // The field texts; commands rewrite them and report them to the view.
    std::string EdAdd = "0";
    std::string EdWidth = "320";
    std::string EdHeight = "240";

    std::int32_t PicWidth = 0;
    std::int32_t PicHeight = 0;
    std::int32_t PicAddress = 0;
    std::uint8_t Zoom = 0;
    bool FileOpened = false;
    std::string PicFileName;
    BookmarkTable Bookmarks;

    const PictureSurface& surface() const { return *MemBitmap; }
    // Replaces the finder, for tests.
    void setFinder(Finder finder) { finder_ = std::move(finder); }

    // Start-up and the procedures every command ends in.
    void Form_Load();
    void proc1();
    void LoadPic();
    void FormatVisuals();

    // The buttons and menus.
    void Command1_Click();  // Load
    void Command2_Click();  // Fix colors
    void Command3_Click();  // Page down
    void Command4_Click();  // Page up
    void Command5_Click();  // Resize
    void BtZoomPlus_Click();
    void BtZoomMinus_Click();
    void ItOpen_Click();
    void ItExit_Click();
    void ItHelp_Click();
    void ItTabLoad_Click();
    void ComboBM_Click(int index);

    // The picture window's pointer, in client pixels.
    void Form_MouseMove(double x, double y);
    void Form_MouseDown(double x, double y);

    // Keys and wheel.
    void WidthStep(int delta);
    void RowStep(double rows);
    void ByteBack();
    void Back();
    void SavePicture();
    void CopyPicture();
    void FindPictures();

    // `pixvue FILE`: opens FILE as File > Open would and loads.
    void OpenAndLoad(const std::string& path);
    // Reads a bookmark file as Bookmarks > Load does once the file is chosen.
    void LoadBookmarkFile(const std::string& path);
    // Files dropped on a window: the data file first, then a bookmark file (.txt).
    void Drop(const std::vector<std::string>& paths);
    // The command line.
    void Start(const StartRequest& request);

  private:
    struct Place {
        FieldTexts texts;
        PictureFields fields;
    };
    void loadAndShow();
    void setFields(FieldTexts fields);
    FieldTexts fields() const { return {EdAdd, EdWidth, EdHeight}; }
    void setZoom(int zoom);
    void remember(const std::string& path);
    void listBookmarks(BookmarkTable table);

    ViewerView& view_;
    std::unique_ptr<PictureSurface> MemBitmap;
    std::vector<std::byte> readBuffer_;
    Finder finder_;
    // File dialogs open in the folder of the last file chosen in this run.
    std::string lastFolder_;
    // The picture window shows a picture of this size; empty before the first presentation.
    std::optional<std::pair<int, int>> shown_;
    // A load that could not read the file says so after the black picture is shown.
    bool unreadable_ = false;
    // The last picture loaded, and the ones before it for Backspace.
    std::optional<Place> loaded_;
    std::deque<Place> history_;
    bool goingBack_ = false;
};

}  // namespace pixvue
