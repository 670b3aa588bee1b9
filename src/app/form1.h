// The main window: owner of all viewer state, the fields, buttons, bookmark list and menus, and
// of the procedures every command ends in (LoadPic, FormatVisuals).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "bookmarks/bookmark_reader.h"
#include "decode/loader.h"
#include "decode/picture_surface.h"
#include "picture_window/form2.h"
#include "picture_window/picture_host.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace pixvue {

class Dialogs;

inline constexpr const char* kMainTitle = "Ambrel's Pixvue 0.1";
// The name the application presents itself under, apart from the main window's title.
inline constexpr const char* kApplicationName = "Pixvue";
inline constexpr const char* kHomePage = "https://pixvue.org";

class Form1 : public QMainWindow, public PictureHost {
    Q_OBJECT
  public:
    explicit Form1(Dialogs& dialogs);
    ~Form1() override;

    // Viewer state.
    std::int32_t PicWidth = 0;
    std::int32_t PicHeight = 0;
    std::int32_t PicAddress = 0;
    std::uint8_t Zoom = 0;
    bool FileOpened = false;
    QString PicFileName;
    BookmarkTable Bookmarks;

    // Controls, named as the window's layout names them.
    QGroupBox* Frame1 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QLabel *Label5 = nullptr, *Label6 = nullptr;
    QLineEdit *EdAdd = nullptr, *EdWidth = nullptr, *EdHeight = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr;
    QPushButton *Command4 = nullptr, *Command5 = nullptr;
    QPushButton *BtZoomPlus = nullptr, *BtZoomMinus = nullptr;
    QLabel *LbZoom = nullptr, *LbX = nullptr, *LbY = nullptr;
    QComboBox* ComboBM = nullptr;
    QMenu *ItFile = nullptr, *ItTab = nullptr;
    QAction *ItOpen = nullptr, *ItExit = nullptr, *ItTabLoad = nullptr, *ItHelp = nullptr;

    // The picture surface, made once by proc1.
    const PictureSurface& surface() const { return *MemBitmap; }
    // The picture window; made again, hidden and at its design size, after the user closed it.
    Form2* picture();

    // Procedures shared by the commands.
    void proc1();
    void LoadPic() override;
    void FormatVisuals() override;

    // PictureHost
    bool fileOpened() const override { return FileOpened; }
    int zoom() const override { return Zoom; }
    std::int32_t picWidth() const override { return PicWidth; }
    QString addressText() const override;
    void setAddressText(const QString& text) override;
    void setPointerReadout(const QString& column, const QString& row) override;
    void endProgram() override;

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void BtZoomPlus_Click();
    void BtZoomMinus_Click();
    void ItOpen_Click();
    void ItExit_Click();
    void ItHelp_Click();
    void ItTabLoad_Click();
    void ComboBM_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void connectCommands();
    void Form_Load();
    void showMessage(const Message& message);
    using PageStep = std::optional<std::string> (*)(std::string_view address,
                                                    std::string_view width,
                                                    std::string_view height);
    void stepPage(PageStep step);
    void setZoom(int zoom);

    Dialogs& dialogs_;
    std::unique_ptr<PictureSurface> MemBitmap;
    QPointer<Form2> form2_;
    std::vector<std::byte> readBuffer_;
    bool ended_ = false;
    bool placed_ = false;
};

// How a bookmark name shows in the list: control characters as visible symbols, so each item
// stays on one line, and a very long name shortened.
QString listTextForName(const std::string& name);

}  // namespace pixvue
