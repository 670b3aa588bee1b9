// The main window: the view of the viewer's state, with its fields, buttons, bookmark list and
// menus. It hands every event to the viewer and shows what the viewer reports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/viewer.h"
#include "picture_window/form2.h"
#include "picture_window/picture_host.h"

class QAction;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QWheelEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace pixvue {

class Dialogs;

class Form1 : public QMainWindow, public PictureHost, public ViewerView {
    Q_OBJECT
  public:
    explicit Form1(Dialogs& dialogs);
    ~Form1() override;

    // The viewer's state and commands.
    Viewer& viewer() { return viewer_; }
    const Viewer& viewer() const { return viewer_; }

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
    const PictureSurface& surface() const { return viewer_.surface(); }
    // The picture window; made again, hidden and at its design size, after the user closed it.
    Form2* picture();

    // Procedures shared by the commands.
    void proc1();
    void LoadPic() { viewer_.LoadPic(); }
    void FormatVisuals() { viewer_.FormatVisuals(); }

    // PictureHost
    void pointerMoved(double x, double y) override { viewer_.Form_MouseMove(x, y); }
    void pointerPressed(double x, double y) override { viewer_.Form_MouseDown(x, y); }
    void endProgram() override;

    // ViewerView
    void showMessage(const Message& message) override;
    void setMainTitle(const std::string& title) override;
    void showFields(const FieldTexts& fields) override;
    void showZoom(const std::string& text) override;
    void showPointer(const std::string& column, const std::string& row) override;
    void presentPicture(const std::string& title, const PictureSurface& surface, int width,
                        int height, int zoom) override;
    bool fitPictureWindow(double width, double height, int zoom) override;
    void showBookmarkList(const std::vector<std::string>& names) override;
    std::string chooseFile(FileChoice choice, const std::string& folder) override;
    bool savePicture(const std::string& path, const PictureSurface& surface, int width,
                     int height) override;
    void copyPicture(const PictureSurface& surface, int width, int height) override;
    find::FindResult runFinder(
        const std::function<find::FindResult(const find::ProgressFn&)>& job) override;

  public slots:
    void Command1_Click() { viewer_.Command1_Click(); }
    void Command2_Click() { viewer_.Command2_Click(); }
    void Command3_Click() { viewer_.Command3_Click(); }
    void Command4_Click() { viewer_.Command4_Click(); }
    void Command5_Click() { viewer_.Command5_Click(); }
    void BtZoomPlus_Click() { viewer_.BtZoomPlus_Click(); }
    void BtZoomMinus_Click() { viewer_.BtZoomMinus_Click(); }
    void ItOpen_Click() { viewer_.ItOpen_Click(); }
    void ItExit_Click() { viewer_.ItExit_Click(); }
    void ItHelp_Click() { viewer_.ItHelp_Click(); }
    void ItTabLoad_Click() { viewer_.ItTabLoad_Click(); }
    void ComboBM_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void connectCommands();
    bool pictureKey(const QKeyEvent& event);
    void pictureWheel(const QWheelEvent& event);

    Dialogs& dialogs_;
    Viewer viewer_;
    QPointer<Form2> form2_;
    int wheelRest_ = 0;  // wheel turn not yet a whole notch
    bool ended_ = false;
    bool placed_ = false;
};

// How a bookmark name shows in the list: control characters as visible symbols, so each item
// stays on one line, and a very long name shortened.
QString listTextForName(const std::string& name);

}  // namespace pixvue
