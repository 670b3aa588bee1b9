#include "viewer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <span>

#include "decode/data_file.h"
#include "navigation/address_steps.h"
#include "picture_window/pointer.h"
#include "shared/number_text.h"

namespace pixvue {
namespace {

// Bookmark files are read as Latin-1: every byte is the character of its value.
std::string utf8FromLatin1(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0 | (b >> 6)));
            text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return text;
}

// A name given relative to the working folder (on the command line) counts from there.
std::string folderOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? std::string() : full.parent_path().string();
}

bool isBookmarkFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return end == ".txt";
}

bool samePicture(const PictureFields& a, const PictureFields& b) {
    return a.PicAddress == b.PicAddress && a.PicWidth == b.PicWidth && a.PicHeight == b.PicHeight;
}

}  // namespace

Viewer::Viewer(ViewerView& view)
    : view_(view), finder_([](const std::string& path, const find::ProgressFn& progress) {
          return find::findPictures(path, find::FindOptions{}, progress);
      }) {}

void Viewer::Form_Load() {
    proc1();
    view_.setMainTitle(kMainTitle);
    Zoom = 1;
}

void Viewer::proc1() {
    MemBitmap = std::make_unique<PictureSurface>();
}

void Viewer::setFields(FieldTexts texts) {
    EdAdd = std::move(texts.address);
    EdWidth = std::move(texts.width);
    EdHeight = std::move(texts.height);
    view_.showFields(fields());
}

void Viewer::LoadPic() {
    if (!FileOpened) return;
    PictureFields picture{PicWidth, PicHeight, PicAddress};
    const LoadVerdict verdict = convertFields(EdWidth, EdHeight, EdAdd, picture);
    // Fields that converted keep their new values, also when the load is refused.
    PicWidth = picture.PicWidth;
    PicHeight = picture.PicHeight;
    PicAddress = picture.PicAddress;
    if (const auto message = messageFor(verdict)) {
        view_.showMessage(*message);
        return;
    }
    // Every load of another place counts as one change for Backspace, whatever caused it.
    if (!goingBack_ && loaded_ && !samePicture(loaded_->fields, picture)) {
        history_.push_back(*loaded_);
        if (history_.size() > kHistorySteps) history_.pop_front();
    }
    loaded_ = Place{fields(), picture};

    DataFile PicFile;
    const bool opened = PicFile.open(PicFileName);
    const std::string of = " of " + writeWithBlank(double(PicHeight) + 1) + " lines";
    readPicture(PicFile, picture, *MemBitmap, readBuffer_, [this, &of](int row) {
        view_.setMainTitle("Loading: " + writeWithBlank(double(row) + 1) + of);
    });
    view_.setMainTitle(kMainTitle);
    unreadable_ = !opened || PicFile.readFailed();
    PicFile.close();
}

void Viewer::FormatVisuals() {
    if (FileOpened && fieldsInRange({PicWidth, PicHeight, PicAddress})) {
        shown_ = std::pair{PicWidth + 1, PicHeight + 1};
        view_.presentPicture("Address: " + EdAdd + " Width: " + EdWidth + " Height: " + EdHeight,
                             *MemBitmap, PicWidth + 1, PicHeight + 1, Zoom);
    }
    // The black picture and its caption come first, so the box explains what is on screen.
    if (unreadable_) {
        unreadable_ = false;
        view_.showMessage(kFileUnreadable);
    }
}

void Viewer::loadAndShow() {
    LoadPic();
    FormatVisuals();
}

void Viewer::Command1_Click() {
    if (!FileOpened) return;
    loadAndShow();
}

// One byte forward, also without a data file.
void Viewer::Command2_Click() {
    if (auto text = fixColorsAddress(EdAdd)) setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

void Viewer::Command3_Click() {
    if (!FileOpened) return;
    if (auto text = pageDownAddress(EdAdd, EdWidth, EdHeight))
        setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

void Viewer::Command4_Click() {
    if (!FileOpened) return;
    if (auto text = pageUpAddress(EdAdd, EdWidth, EdHeight)) setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

void Viewer::Command5_Click() {
    if (!FileOpened) return;
    if (view_.fitPictureWindow(double(PicWidth) + 1, double(PicHeight) + 1, Zoom)) FormatVisuals();
}

void Viewer::BtZoomPlus_Click() {
    setZoom(zoomIn(Zoom));
}

void Viewer::BtZoomMinus_Click() {
    setZoom(zoomOut(Zoom));
}

void Viewer::setZoom(int zoom) {
    Zoom = static_cast<std::uint8_t>(zoom);
    view_.showZoom(writeWithBlank(Zoom));
    FormatVisuals();
}

void Viewer::remember(const std::string& path) {
    const std::string folder = folderOf(path);
    if (!folder.empty()) lastFolder_ = folder;
}

void Viewer::ItOpen_Click() {
    const std::string name = view_.chooseFile(FileChoice::Data, lastFolder_);
    if (!name.empty()) {
        PicFileName = name;
        FileOpened = true;
        remember(name);
    } else {
        FileOpened = false;
    }
    setFields({"0", EdWidth, EdHeight});
}

void Viewer::ItExit_Click() {
    view_.endProgram();
}

void Viewer::ItHelp_Click() {
    static const std::string text = std::string("Go to ") + kHomePage;
    view_.showMessage({text, "Help", MessageIcon::Information});
}

void Viewer::ItTabLoad_Click() {
    const std::string name = view_.chooseFile(FileChoice::Bookmarks, lastFolder_);
    if (name.empty()) return;
    remember(name);
    LoadBookmarkFile(name);
}

void Viewer::LoadBookmarkFile(const std::string& path) {
    DataFile file;
    if (!file.open(path)) {
        view_.showMessage({"File not found", kApplicationName, MessageIcon::None});
        return;
    }
    std::vector<std::byte> bytes(kBookmarkFileLimit);
    bytes.resize(file.read(bytes));
    file.close();
    listBookmarks(readBookmarks(bytes));
}

void Viewer::listBookmarks(BookmarkTable table) {
    Bookmarks = std::move(table);
    std::vector<std::string> names;
    for (int i = 0; i < Bookmarks.listCount(); ++i)
        names.push_back(Bookmarks.entries[static_cast<std::size_t>(i)].BmName);
    view_.showBookmarkList(names);
    ComboBM_Click(0);  // selecting from the program applies the entry too
}

void Viewer::ComboBM_Click(int index) {
    if (index < 0 || index >= kBookmarkEntries) return;
    const BookmarkEntry& entry = Bookmarks.entries[static_cast<std::size_t>(index)];
    setFields({utf8FromLatin1(entry.BmAddress), utf8FromLatin1(entry.BmWidth),
               utf8FromLatin1(entry.BmHeight)});
    loadAndShow();
}

void Viewer::Form_MouseMove(double x, double y) {
    if (!FileOpened) return;
    // Positions arrive in single precision.
    const double column = pointerCell(static_cast<float>(x), Zoom);
    const double row = pointerCell(static_cast<float>(y), Zoom);
    view_.showPointer(writePlain(column), writePlain(row));
}

// The pressed pixel becomes the first pixel of the picture.
void Viewer::Form_MouseDown(double x, double y) {
    if (!FileOpened) return;
    const double column = pointerCell(static_cast<float>(x), Zoom);
    const double row = pointerCell(static_cast<float>(y), Zoom);
    if (auto text = addColumnStep(EdAdd, column)) setFields({*text, EdWidth, EdHeight});
    if (auto text = addRowStep(EdAdd, row, PicWidth)) setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

void Viewer::WidthStep(int delta) {
    if (!FileOpened) return;
    setFields({EdAdd, widthStepText(EdWidth, delta), EdHeight});
    loadAndShow();
}

void Viewer::RowStep(double rows) {
    if (!FileOpened) return;
    if (auto text = rowStepAddress(EdAdd, EdWidth, rows)) setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

// One byte back: the mirror of "Fix colors".
void Viewer::ByteBack() {
    if (auto text = byteBackAddress(EdAdd)) setFields({*text, EdWidth, EdHeight});
    loadAndShow();
}

void Viewer::Back() {
    if (history_.empty()) return;
    Place place = std::move(history_.back());
    history_.pop_back();
    setFields(place.texts);
    goingBack_ = true;
    LoadPic();
    goingBack_ = false;
    FormatVisuals();
}

void Viewer::SavePicture() {
    if (!shown_) return;
    std::string path = view_.chooseFile(FileChoice::SavePicture, lastFolder_);
    if (path.empty()) return;
    const std::size_t slash = path.find_last_of('/');
    if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
        path += ".png";
    remember(path);
    if (!view_.savePicture(path, *MemBitmap, shown_->first, shown_->second))
        view_.showMessage(kNotSaved);
}

void Viewer::CopyPicture() {
    if (shown_) view_.copyPicture(*MemBitmap, shown_->first, shown_->second);
}

void Viewer::FindPictures() {
    if (!FileOpened) return;
    const std::string path = PicFileName;
    const find::FindResult result = view_.runFinder(
        [this, &path](const find::ProgressFn& progress) { return finder_(path, progress); });
    const std::vector<find::Candidate> listed = find::listedCandidates(result.candidates);
    if (listed.empty()) {
        // A search the user cancelled needs no box to say so.
        if (!result.cancelled) view_.showMessage(kNothingFound);
        return;
    }
    // Written and read back as a bookmark file, so the list is exactly the one that file gives.
    std::string text;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const find::Candidate& c = listed[i];
        text += find::bookmarkName(i + 1, c) + ',' + std::to_string(c.address) + ',' +
                std::to_string(c.width) + ',' + std::to_string(c.height) + "\r\n";
    }
    listBookmarks(readBookmarks(std::as_bytes(std::span(text.data(), text.size()))));
}

void Viewer::OpenAndLoad(const std::string& path) {
    PicFileName = path;
    FileOpened = true;
    remember(path);
    setFields({"0", EdWidth, EdHeight});
    Command1_Click();
}

void Viewer::Drop(const std::vector<std::string>& paths) {
    const auto data = std::find_if_not(paths.begin(), paths.end(), isBookmarkFile);
    const auto marks = std::find_if(paths.begin(), paths.end(), isBookmarkFile);
    if (data != paths.end()) OpenAndLoad(*data);
    if (marks != paths.end()) {
        remember(*marks);
        LoadBookmarkFile(*marks);
    }
}

void Viewer::Start(const StartRequest& request) {
    if (request.file.empty()) {
        // The fields still take their values, for a file chosen later.
        setFields({request.address.value_or(EdAdd), request.width.value_or(EdWidth),
                   request.height.value_or(EdHeight)});
        return;
    }
    PicFileName = request.file;
    FileOpened = true;
    remember(request.file);
    setFields({request.address.value_or("0"), request.width.value_or(EdWidth),
               request.height.value_or(EdHeight)});
    Command1_Click();
    if (!request.bookmarks.empty()) {
        remember(request.bookmarks);
        LoadBookmarkFile(request.bookmarks);
    }
    if (request.find) FindPictures();
}

}  // namespace pixvue
