#include "form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "app/app_icon.h"
#include "app/dialogs.h"
#include "app/main_layout.h"
#include "navigation/address_steps.h"
#include "picture_window/fit.h"
#include "shared/number_text.h"

namespace pixvue {
namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString fromLatin1(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

QString listTextForName(const std::string& name) {
    constexpr std::size_t kShownChars = 200;
    QString text;
    text.reserve(static_cast<qsizetype>(std::min(name.size(), kShownChars) + 1));
    for (std::size_t i = 0; i < name.size() && i < kShownChars; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20)
            text += QChar(0x2400 + c);  // the Unicode control pictures
        else if (c == 0x7F)
            text += QChar(0x2421);
        else
            text += QChar(c);
    }
    if (name.size() > kShownChars) text += QChar(0x2026);
    return text;
}

Form1::Form1(Dialogs& dialogs) : QMainWindow(nullptr), dialogs_(dialogs) {
    setObjectName("Form1");
    setWindowTitle("Form1");
    // Fixed single border: a close box, no minimize or maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(applicationIcon());
    // The platform's own font family, at a size at which every caption fits the fixed layout;
    // common default sizes cut captions such as "Address" and "Height".
    QFont font = this->font();
    font.setPointSizeF(kLayoutFontPoints);
    setFont(font);
    buildControls();
    buildMenus();
    connectCommands();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();
}

Form1::~Form1() {
    delete form2_.data();
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(kMainClientWidth, kMainClientHeight);
    setCentralWidget(client);

    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const ControlSpec& control : kMainControls) {
        QWidget* parent = control.inFrame ? static_cast<QWidget*>(Frame1) : client;
        const QString text = QString::fromUtf8(control.text.data(), qsizetype(control.text.size()));
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::Frame: {
                auto* frame = new QGroupBox(text, parent);
                Frame1 = frame;
                widget = frame;
                break;
            }
            case ControlKind::Label:
                widget = new QLabel(text, parent);
                break;
            case ControlKind::TextBox: {
                auto* edit = new QLineEdit(text, parent);
                edit->setMaxLength(std::numeric_limits<int>::max());  // no length limit
                widget = edit;
                break;
            }
            case ControlKind::Button: {
                auto* button = new QPushButton(text, parent);
                button->setAutoDefault(false);  // Enter in a field presses nothing
                button->setDefault(false);
                widget = button;
                break;
            }
            case ControlKind::ComboBox: {
                auto* combo = new QComboBox(parent);
                combo->setEditable(true);
                // Typing into the edit part and pressing Enter must not add items.
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setEditText(text);
                widget = combo;
                break;
            }
        }
        widget->setObjectName(
            QString::fromUtf8(control.name.data(), qsizetype(control.name.size())));
        widget->setGeometry(control.left, control.top, control.width, control.height);
        if (control.kind == ControlKind::Button || control.kind == ControlKind::TextBox ||
            control.kind == ControlKind::ComboBox)
            focusOrder.emplace_back(control.tabIndex, widget);
        else
            widget->setFocusPolicy(Qt::NoFocus);
    }
    std::sort(focusOrder.begin(), focusOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);

    auto find = [this]<typename T>(T*& field, const char* name) {
        field = findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(field);
    };
    find(Label1, "Label1");
    find(Label2, "Label2");
    find(Label3, "Label3");
    find(Label4, "Label4");
    find(Label5, "Label5");
    find(Label6, "Label6");
    find(EdAdd, "EdAdd");
    find(EdWidth, "EdWidth");
    find(EdHeight, "EdHeight");
    find(Command1, "Command1");
    find(Command2, "Command2");
    find(Command3, "Command3");
    find(Command4, "Command4");
    find(Command5, "Command5");
    find(BtZoomPlus, "BtZoomPlus");
    find(BtZoomMinus, "BtZoomMinus");
    find(LbZoom, "LbZoom");
    find(LbX, "LbX");
    find(LbY, "LbY");
    find(ComboBM, "ComboBM");

    Command1->raise();  // above the frame it overlaps
    Label4->setVisible(false);
    LbZoom->setAlignment(Qt::AlignCenter);
    QFont zoomFont(QStringLiteral("MS Sans Serif"));
    zoomFont.setStyleHint(QFont::SansSerif);
    zoomFont.setPointSizeF(9.75);
    zoomFont.setWeight(QFont::Normal);
    LbZoom->setFont(zoomFont);
    Command1->setFocus();
}

void Form1::buildMenus() {
    ItFile = menuBar()->addMenu(QStringLiteral("File"));
    ItFile->setObjectName("ItFile");
    ItOpen = ItFile->addAction(QStringLiteral("Open"));
    ItOpen->setObjectName("ItOpen");
    ItExit = ItFile->addAction(QStringLiteral("Exit"));
    ItExit->setObjectName("ItExit");
    ItTab = menuBar()->addMenu(QStringLiteral("Bookmarks"));
    ItTab->setObjectName("ItTab");
    ItTabLoad = ItTab->addAction(QStringLiteral("Load"));
    ItTabLoad->setObjectName("ItTabLoad");
    ItHelp = menuBar()->addAction(QStringLiteral("Help"));
    ItHelp->setObjectName("ItHelp");
}

void Form1::connectCommands() {
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(BtZoomPlus, &QPushButton::clicked, this, &Form1::BtZoomPlus_Click);
    connect(BtZoomMinus, &QPushButton::clicked, this, &Form1::BtZoomMinus_Click);
    connect(ItOpen, &QAction::triggered, this, &Form1::ItOpen_Click);
    connect(ItExit, &QAction::triggered, this, &Form1::ItExit_Click);
    connect(ItHelp, &QAction::triggered, this, &Form1::ItHelp_Click);
    connect(ItTabLoad, &QAction::triggered, this, &Form1::ItTabLoad_Click);
    // Every choice of an item, also of the one already selected; editing the text runs nothing.
    connect(ComboBM, &QComboBox::activated, this, &Form1::ComboBM_Click);
}

void Form1::Form_Load() {
    proc1();
    setWindowTitle(QString::fromUtf8(kMainTitle));
    Zoom = 1;
}

void Form1::proc1() {
    picture();  // the picture window exists, hidden, before anything can draw
    MemBitmap = std::make_unique<PictureSurface>();
}

Form2* Form1::picture() {
    // A window the user closed deletes itself; the next use makes a new one.
    if (!form2_ || form2_->closedByUser()) {
        form2_ = new Form2(*this);
        form2_->setWindowIcon(applicationIcon());
    }
    return form2_;
}

void Form1::showMessage(const Message& message) {
    dialogs_.showMessage(this, message);
}

void Form1::LoadPic() {
    if (!FileOpened) return;
    PictureFields fields{PicWidth, PicHeight, PicAddress};
    const LoadVerdict verdict =
        convertFields(EdWidth->text().toStdString(), EdHeight->text().toStdString(),
                      EdAdd->text().toStdString(), fields);
    // Fields that converted keep their new values, also when the load is refused.
    PicWidth = fields.PicWidth;
    PicHeight = fields.PicHeight;
    PicAddress = fields.PicAddress;
    if (const auto message = messageFor(verdict)) {
        showMessage(*message);
        return;
    }

    DataFile PicFile;
    const bool opened = PicFile.open(pathBytes(PicFileName));
    const QString of = QStringLiteral(" of ") +
                       QString::fromStdString(writeWithBlank(double(PicHeight) + 1)) +
                       QStringLiteral(" lines");
    readPicture(PicFile, fields, *MemBitmap, readBuffer_, [this, &of](int row) {
        // setWindowTitle hands the title to the window system at once.
        setWindowTitle(QStringLiteral("Loading: ") +
                       QString::fromStdString(writeWithBlank(double(row) + 1)) + of);
    });
    setWindowTitle(QString::fromUtf8(kMainTitle));
    const bool unreadable = !opened || PicFile.readFailed();
    PicFile.close();
    // The black picture is drawn as for any load; the user still learns why it is black.
    if (unreadable) showMessage(kFileUnreadable);
}

void Form1::FormatVisuals() {
    if (!FileOpened || !fieldsInRange({PicWidth, PicHeight, PicAddress})) return;
    Form2* window = picture();
    window->showPresentation();
    window->setWindowTitle(QStringLiteral("Address: ") + EdAdd->text() +
                           QStringLiteral(" Width: ") + EdWidth->text() +
                           QStringLiteral(" Height: ") + EdHeight->text());
    window->clearPicture();
    window->drawPicture(*MemBitmap, PicWidth + 1, PicHeight + 1, Zoom);
}

QString Form1::addressText() const {
    return EdAdd->text();
}
void Form1::setAddressText(const QString& text) {
    EdAdd->setText(text);
}
void Form1::setPointerReadout(const QString& column, const QString& row) {
    LbX->setText(column);
    LbY->setText(row);
}

void Form1::endProgram() {
    if (ended_) return;
    ended_ = true;
    if (form2_) form2_->hide();
    hide();
    QCoreApplication::exit(0);
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_) return;
    placed_ = true;
    // The outer frame, not the client area, goes to the screen's top-left corner; asked for once
    // the window exists, since showing it places the client area instead.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (const QScreen* screen = this->screen())
                windowHandle()->setFramePosition(screen->availableGeometry().topLeft());
        },
        Qt::QueuedConnection);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    picture()->EndNow();
}

// "Load"
void Form1::Command1_Click() {
    if (!FileOpened) return;
    LoadPic();
    FormatVisuals();
}

// "Fix colors": one byte forward, also without a data file.
void Form1::Command2_Click() {
    if (auto text = fixColorsAddress(EdAdd->text().toStdString())) EdAdd->setText(fromStd(*text));
    LoadPic();
    FormatVisuals();
}

// "Page down"
void Form1::Command3_Click() {
    stepPage(pageDownAddress);
}

// "Page up"
void Form1::Command4_Click() {
    stepPage(pageUpAddress);
}

void Form1::stepPage(PageStep step) {
    if (!FileOpened) return;
    if (auto text = step(EdAdd->text().toStdString(), EdWidth->text().toStdString(),
                         EdHeight->text().toStdString()))
        EdAdd->setText(fromStd(*text));
    LoadPic();
    FormatVisuals();
}

// "Resize": fit the picture window's client area to the zoomed picture.
void Form1::Command5_Click() {
    if (!FileOpened) return;
    Form2* window = picture();
    if (window->isMinimized() || window->isMaximized() || window->isFullScreen()) return;
    const QRect available = window->screen() ? window->screen()->availableGeometry() : QRect();

    const QSize client = window->size();
    const QSize outer = window->frameGeometry().size();
    const auto outerWidth =
        fittedOuterExtent(outer.width(), client.width(), double(PicWidth) + 1, Zoom);
    const auto outerHeightNow =
        fittedOuterExtent(outer.height(), client.height(), double(PicHeight) + 1, Zoom);
    if (!outerWidth || !outerHeightNow) return;

    auto clientFor = [](int wantedOuter, int frame, int limit) {
        if (limit > 0) wantedOuter = std::min(wantedOuter, limit);
        return std::max(1, wantedOuter - frame);
    };
    window->resize(clientFor(*outerWidth, outer.width() - client.width(), available.width()),
                   client.height());
    // The height is computed from the sizes as they stand after the width change.
    const QSize client2 = window->size();
    const QSize outer2 = window->frameGeometry().size();
    if (const auto outerHeight =
            fittedOuterExtent(outer2.height(), client2.height(), double(PicHeight) + 1, Zoom))
        window->resize(client2.width(), clientFor(*outerHeight, outer2.height() - client2.height(),
                                                  available.height()));
    window->repaint();
    FormatVisuals();
}

void Form1::BtZoomPlus_Click() {
    setZoom(zoomIn(Zoom));
}
void Form1::BtZoomMinus_Click() {
    setZoom(zoomOut(Zoom));
}

void Form1::setZoom(int zoom) {
    Zoom = static_cast<std::uint8_t>(zoom);
    LbZoom->setText(fromStd(writeWithBlank(Zoom)));
    LbZoom->repaint();  // the new factor shows before the picture is redrawn
    FormatVisuals();
}

void Form1::ItOpen_Click() {
    const QString name = dialogs_.chooseFile(this, QStringLiteral("All files (*)"));
    if (!name.isEmpty()) {
        PicFileName = name;
        FileOpened = true;
    } else {
        FileOpened = false;
    }
    EdAdd->setText(QStringLiteral("0"));
}

void Form1::ItExit_Click() {
    endProgram();
}

void Form1::ItHelp_Click() {
    static const std::string text = std::string("Go to ") + kHomePage;
    showMessage({text, "Help", MessageIcon::Information});
}

void Form1::ItTabLoad_Click() {
    const QString name = dialogs_.chooseFile(this, QStringLiteral("Bookmark TXT file (*.txt)"));
    if (name.isEmpty()) return;
    DataFile file;
    if (!file.open(pathBytes(name))) {
        showMessage({"File not found", kApplicationName, MessageIcon::None});
        return;
    }
    ComboBM->clear();
    std::vector<std::byte> bytes(kBookmarkFileLimit);
    bytes.resize(file.read(bytes));
    file.close();
    Bookmarks = readBookmarks(bytes);
    for (int i = 0; i < Bookmarks.listCount(); ++i)
        ComboBM->addItem(listTextForName(Bookmarks.entries[static_cast<std::size_t>(i)].BmName));
    ComboBM->setCurrentIndex(0);  // selecting from the program applies the entry too
    ComboBM_Click();
}

void Form1::ComboBM_Click() {
    const int i = ComboBM->currentIndex();
    if (i < 0 || i >= kBookmarkEntries) return;
    const BookmarkEntry& entry = Bookmarks.entries[static_cast<std::size_t>(i)];
    EdAdd->setText(fromLatin1(entry.BmAddress));
    EdWidth->setText(fromLatin1(entry.BmWidth));
    EdHeight->setText(fromLatin1(entry.BmHeight));
    LoadPic();
    FormatVisuals();
}

}  // namespace pixvue
