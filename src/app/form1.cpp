#include "form1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <atomic>
#include <thread>

#include "app/app_icon.h"
#include "app/dialogs.h"
#include "app/main_layout.h"
#include "picture_window/fit.h"

namespace pixvue {
namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The local files among dropped URLs, in the order given.
std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(pathBytes(url.toLocalFile()));
    return files;
}

// The picture as shown at zoom 1.
QImage pictureImage(const PictureSurface& surface, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::copy_n(surface.row(y), width, reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    return image;
}

}  // namespace

QString listTextForName(const std::string& name) {
    constexpr std::size_t kShownChars = 200;
    QString text;
    text.reserve(static_cast<qsizetype>(std::min(name.size(), kShownChars) + 1));
    for (std::size_t i = 0; i < name.size() && i < kShownChars; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // Control bytes in caret notation (^M for a carriage return) and the Latin-1 control
        // range as \x80 to \x9F, which any font draws; the control-picture symbols are missing
        // from common fonts.
        if (c < 0x20 || c == 0x7F) {
            text += QLatin1Char('^');
            text += QLatin1Char(char(c ^ 0x40));
        } else if (c >= 0x80 && c < 0xA0) {
            text += QStringLiteral("\\x") + QString::number(c, 16).toUpper();
        } else {
            text += QChar(c);
        }
    }
    if (name.size() > kShownChars) text += QChar(0x2026);
    return text;
}

Form1::Form1(Dialogs& dialogs) : QMainWindow(nullptr), dialogs_(dialogs), viewer_(*this) {
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
    setAcceptDrops(true);
    picture();  // the picture window exists, hidden, before anything can draw
    viewer_.Form_Load();
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
                // Typed text never chooses an entry: without these, Enter, Tab or leaving the
                // field would apply an entry whose name matches.
                combo->setDuplicatesEnabled(true);
                combo->setCompleter(nullptr);
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

    // Enter on a focused button presses it, as Space does; a field with Enter presses nothing.
    for (QPushButton* button : client->findChildren<QPushButton*>())
        button->installEventFilter(this);
    // A file dropped on a field opens, rather than being pasted into it as text.
    for (QWidget* field :
         {static_cast<QWidget*>(EdAdd), static_cast<QWidget*>(EdWidth),
          static_cast<QWidget*>(EdHeight), static_cast<QWidget*>(ComboBM->lineEdit())})
        field->installEventFilter(this);
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
    // The viewer holds the field texts the user types.
    connect(EdAdd, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewer_.EdAdd = text.toStdString(); });
    connect(EdWidth, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewer_.EdWidth = text.toStdString(); });
    connect(EdHeight, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewer_.EdHeight = text.toStdString(); });
}

void Form1::proc1() {
    picture();
    viewer_.proc1();
}

Form2* Form1::picture() {
    // A window the user closed deletes itself; the next use makes a new one.
    if (!form2_ || form2_->closedByUser()) {
        form2_ = new Form2(*this);
        form2_->setWindowIcon(applicationIcon());
        // Keys, wheel and drops on the picture window are the viewer's commands.
        form2_->setFocusPolicy(Qt::StrongFocus);
        form2_->setAcceptDrops(true);
        form2_->installEventFilter(this);
    }
    return form2_;
}

void Form1::showMessage(const Message& message) {
    dialogs_.showMessage(this, message);
}

void Form1::setMainTitle(const std::string& title) {
    // setWindowTitle hands the title to the window system at once.
    setWindowTitle(QString::fromStdString(title));
}

void Form1::showFields(const FieldTexts& fields) {
    auto show = [](QLineEdit* edit, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (edit->text() != shown) edit->setText(shown);
    };
    show(EdAdd, fields.address);
    show(EdWidth, fields.width);
    show(EdHeight, fields.height);
}

void Form1::showZoom(const std::string& text) {
    LbZoom->setText(fromStd(text));
    LbZoom->repaint();  // the new factor shows before the picture is redrawn
}

void Form1::showPointer(const std::string& column, const std::string& row) {
    LbX->setText(fromStd(column));
    LbY->setText(fromStd(row));
}

void Form1::presentPicture(const std::string& title, const PictureSurface& surface, int width,
                           int height, int zoom) {
    Form2* window = picture();
    window->showPresentation();
    window->setWindowTitle(QString::fromStdString(title));
    window->clearPicture();
    window->drawPicture(surface, width, height, zoom);
}

void Form1::showBookmarkList(const std::vector<std::string>& names) {
    ComboBM->clear();
    for (const std::string& name : names) ComboBM->addItem(listTextForName(name));
    ComboBM->setCurrentIndex(0);
}

std::string Form1::chooseFile(FileChoice choice, const std::string& folder) {
    const QString in = fromPath(folder);
    switch (choice) {
        case FileChoice::Data:
            return pathBytes(dialogs_.chooseFile(this, QStringLiteral("All files (*)"), in));
        case FileChoice::Bookmarks:
            return pathBytes(
                dialogs_.chooseFile(this, QStringLiteral("Bookmark TXT file (*.txt)"), in));
        case FileChoice::SavePicture:
            return pathBytes(
                dialogs_.chooseSaveFile(this, QStringLiteral("PNG image (*.png)"), in));
    }
    return {};
}

bool Form1::savePicture(const std::string& path, const PictureSurface& surface, int width,
                        int height) {
    return pictureImage(surface, width, height).save(fromPath(path), "PNG");
}

void Form1::copyPicture(const PictureSurface& surface, int width, int height) {
    QGuiApplication::clipboard()->setImage(pictureImage(surface, width, height));
}

find::FindResult Form1::runFinder(
    const std::function<find::FindResult(const find::ProgressFn&)>& job) {
    // The search runs beside the event loop, so the dialog stays live and can cancel it.
    std::atomic<bool> cancelled{false}, finished{false};
    std::atomic<std::uint64_t> done{0}, total{0};
    find::FindResult result;
    std::thread worker([&] {
        result = job([&](const find::Progress& progress) {
            done = progress.bytesDone;
            total = progress.bytesTotal;
            return !cancelled.load();
        });
        finished = true;
    });
    QProgressDialog dialog(QStringLiteral("Finding pictures"), QStringLiteral("Cancel"), 0, 1000,
                           this);
    dialog.setWindowTitle(QString::fromUtf8(kApplicationName));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // Shown at once: while it is up, no other command can change what the search belongs to.
    dialog.setMinimumDuration(0);
    dialog.show();
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished) return loop.quit();
        if (dialog.wasCanceled()) cancelled = true;
        const std::uint64_t all = total;
        if (all > 0) dialog.setValue(int(std::min<std::uint64_t>(999, done * 1000 / all)));
    });
    poll.start(30);
    if (!finished) loop.exec();
    // The loop also ends when the program is leaving: stop the search rather than wait for it.
    cancelled = true;
    worker.join();
    return result;
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

bool Form1::fitPictureWindow(double width, double height, int zoom) {
    Form2* window = picture();
    if (window->isMinimized() || window->isMaximized() || window->isFullScreen()) return false;
    const QRect available = window->screen() ? window->screen()->availableGeometry() : QRect();

    const QSize client = window->size();
    const QSize outer = window->frameGeometry().size();
    const auto outerWidth = fittedOuterExtent(outer.width(), client.width(), width, zoom);
    const auto outerHeightNow = fittedOuterExtent(outer.height(), client.height(), height, zoom);
    if (!outerWidth || !outerHeightNow) return false;

    auto clientFor = [](int wantedOuter, int frame, int limit) {
        if (limit > 0) wantedOuter = std::min(wantedOuter, limit);
        return std::max(1, wantedOuter - frame);
    };
    window->resize(clientFor(*outerWidth, outer.width() - client.width(), available.width()),
                   client.height());
    // The height is computed from the sizes as they stand after the width change.
    const QSize client2 = window->size();
    const QSize outer2 = window->frameGeometry().size();
    if (const auto outerHeight = fittedOuterExtent(outer2.height(), client2.height(), height, zoom))
        window->resize(client2.width(), clientFor(*outerHeight, outer2.height() - client2.height(),
                                                  available.height()));
    window->repaint();
    return true;
}

void Form1::ComboBM_Click() {
    viewer_.ComboBM_Click(ComboBM->currentIndex());
}

// Ctrl+F from any control of the main window: the controls pass on keys they do not use.
void Form1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier)
        viewer_.FindPictures();
    else
        QMainWindow::keyPressEvent(event);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = droppedFiles(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    viewer_.Drop(files);
}

// The keys of the picture window. Shift and the keypad do not matter ("+" needs Shift on many
// keyboards); Ctrl does.
bool Form1::pictureKey(const QKeyEvent& event) {
    struct KeyCommand {
        int key;
        bool ctrl;
        void (*run)(Viewer&);
    };
    static constexpr KeyCommand kKeys[] = {
        {Qt::Key_Left, false, [](Viewer& v) { v.WidthStep(-1); }},
        {Qt::Key_Right, false, [](Viewer& v) { v.WidthStep(+1); }},
        {Qt::Key_Up, false, [](Viewer& v) { v.RowStep(-1); }},
        {Qt::Key_Down, false, [](Viewer& v) { v.RowStep(+1); }},
        {Qt::Key_Left, true, [](Viewer& v) { v.ByteBack(); }},
        {Qt::Key_Right, true, [](Viewer& v) { v.Command2_Click(); }},
        {Qt::Key_PageUp, false, [](Viewer& v) { v.Command4_Click(); }},
        {Qt::Key_PageDown, false, [](Viewer& v) { v.Command3_Click(); }},
        {Qt::Key_Plus, false, [](Viewer& v) { v.BtZoomPlus_Click(); }},
        {Qt::Key_Minus, false, [](Viewer& v) { v.BtZoomMinus_Click(); }},
        {Qt::Key_Backspace, false, [](Viewer& v) { v.Back(); }},
        {Qt::Key_S, true, [](Viewer& v) { v.SavePicture(); }},
        {Qt::Key_C, true, [](Viewer& v) { v.CopyPicture(); }},
        {Qt::Key_F, true, [](Viewer& v) { v.FindPictures(); }},
    };
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    for (const KeyCommand& command : kKeys) {
        if (command.key == event.key() && command.ctrl == ctrl) {
            command.run(viewer_);
            return true;
        }
    }
    return false;
}

// Three rows per notch; with Ctrl, one zoom step per notch.
void Form1::pictureWheel(const QWheelEvent& event) {
    constexpr int kNotch = 120;
    wheelRest_ += event.angleDelta().y();
    const int notches = wheelRest_ / kNotch;
    wheelRest_ -= notches * kNotch;
    if (notches == 0) return;
    if (event.modifiers() & Qt::ControlModifier) {
        for (int i = 0; i < std::abs(notches); ++i)
            notches > 0 ? viewer_.BtZoomPlus_Click() : viewer_.BtZoomMinus_Click();
    } else {
        // Turning the wheel away from the user goes back toward the start of the file.
        viewer_.RowStep(-3.0 * notches);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (watched == form2_) return pictureKey(*key);
            if (auto* button = qobject_cast<QPushButton*>(watched);
                button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !(key->modifiers() & ~Qt::KeypadModifier)) {
                button->click();
                return true;
            }
            return false;
        }
        case QEvent::Wheel:
            if (watched != form2_) return false;
            pictureWheel(*static_cast<QWheelEvent*>(event));
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedFiles(drag->mimeData()).empty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> files = droppedFiles(drop->mimeData());
            if (files.empty()) return false;
            drop->acceptProposedAction();
            viewer_.Drop(files);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace pixvue
