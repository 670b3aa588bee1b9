// How keys, the wheel, drops, Enter and the bookmark list's text reach the viewer's commands,
// and how the command line is read, through the real windows on the offscreen platform.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "app/command_line.h"
#include "app/form1.h"
#include "support/fake_dialogs.h"
#include "support/temp_file.h"

using namespace pixvue;
using pixvue::testing::FakeDialogs;
using pixvue::testing::TempDir;

class WiringTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<Form1> form;
    QString data, marks;

    QStringList fields() const {
        return {form->EdAdd->text(), form->EdWidth->text(), form->EdHeight->text()};
    }
    void drop(QWidget* target, const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    void wheel(int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form->picture(), &event);
    }

  private slots:
    void init() {
        dir = std::make_unique<TempDir>();
        std::vector<std::uint16_t> words(200000);
        for (std::size_t i = 0; i < words.size(); ++i) words[i] = std::uint16_t(i & 0x7FFF);
        data = QString::fromStdString(dir->write("data.bin", testing::wordsToBytes(words)));
        marks = QString::fromStdString(dir->write("marks.txt", "First,0,4,4\r\nThird,64,8,8\r\n"));
        dialogs = std::make_unique<FakeDialogs>();
        form = std::make_unique<Form1>(*dialogs);
        // Two loads, so Backspace has a change to go back through; zoom 3.
        dialogs->answers.push_back(data);
        form->ItOpen_Click();
        form->Command1_Click();
        form->EdAdd->setText("1000");
        form->Command1_Click();
        form->BtZoomPlus_Click();
        form->BtZoomPlus_Click();
    }
    void cleanup() {
        form.reset();
        dialogs.reset();
        dir.reset();
    }

    void keysOfThePictureWindow_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("zoom");
        const int ctrl = Qt::ControlModifier;
        auto row = [](const char* name, int key, int modifiers, const char* address,
                      const char* width, const char* zoom) {
            QTest::newRow(name) << key << modifiers << QString(address) << QString(width)
                                << QString(zoom);
        };
        row("Left", Qt::Key_Left, 0, "1000", "319", " 3");
        row("Right", Qt::Key_Right, 0, "1000", "321", " 3");
        row("Up", Qt::Key_Up, 0, " 360", "320", " 3");
        row("Down", Qt::Key_Down, 0, " 1640", "320", " 3");
        row("Ctrl+Left", Qt::Key_Left, ctrl, " 999", "320", " 3");
        row("Ctrl+Right", Qt::Key_Right, ctrl, " 1001", "320", " 3");
        row("Page Up", Qt::Key_PageUp, 0, "0", "320", " 3");
        row("Page Down", Qt::Key_PageDown, 0, " 154600", "320", " 3");
        row("+ with Shift", Qt::Key_Plus, Qt::ShiftModifier, "1000", "320", " 4");
        row("- on the keypad", Qt::Key_Minus, Qt::KeypadModifier, "1000", "320", " 2");
        row("Backspace", Qt::Key_Backspace, 0, "0", "320", " 3");
        row("Ctrl+S", Qt::Key_S, ctrl, "1000", "320", " 3");
        row("Ctrl+C", Qt::Key_C, ctrl, "1000", "320", " 3");
        row("Ctrl+F", Qt::Key_F, ctrl, "0", "4", " 3");
        row("a key without a command", Qt::Key_X, 0, "1000", "320", " 3");
    }
    void keysOfThePictureWindow() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, address);
        QFETCH(QString, width);
        QFETCH(QString, zoom);
        const QString saved = QString::fromStdString((dir->path() / "shot.png").string());
        dialogs->answers.push_back(saved);
        form->viewer().setFinder([](const std::string&, const find::ProgressFn& progress) {
            progress({1, 2, 0});
            return find::FindResult{true, false, {{0, 4, 4, 0.9, ""}}};
        });
        QGuiApplication::clipboard()->clear();

        QTest::keyClick(form->picture(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        const QString tag = QTest::currentDataTag();
        QCOMPARE(fields(), (QStringList{address, width, tag == "Ctrl+F" ? "4" : "240"}));
        QCOMPARE(form->LbZoom->text(), zoom);
        QCOMPARE(form->windowTitle(), QString::fromUtf8(kMainTitle));
        if (tag != "Ctrl+F")
            QCOMPARE(form->picture()->windowTitle(),
                     "Address: " + address + " Width: " + width + " Height: 240");
        QCOMPARE(QFile::exists(saved), tag == "Ctrl+S");
        if (tag == "Ctrl+S") QCOMPARE(QImage(saved).size(), QSize(320, 240));
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.isNull(), tag != "Ctrl+C");
        if (tag == "Ctrl+C") {
            QCOMPARE(copied.size(), QSize(320, 240));
            QCOMPARE(copied.pixel(1, 0), form->surface().pixel(1, 0));
        }
        QCOMPARE(form->ComboBM->count(), tag == "Ctrl+F" ? 2 : 0);
    }

    void ctrlFInTheMainWindowAndNothingFound() {
        form->viewer().setFinder(
            [](const std::string&, const find::ProgressFn&) { return find::FindResult{}; });
        QTest::keyClick(form->EdWidth, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(dialogs->texts(), std::vector<std::string>{"No pictures found"});
        QCOMPARE(dialogs->messages[0].title, std::string("Pixvue"));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::Information);
        QCOMPARE(form->ComboBM->count(), 0);
    }

    void wheelStepsThreeRowsAndZoomsWithCtrl() {
        wheel(-120, Qt::NoModifier);
        QCOMPARE(form->EdAdd->text(), QString(" 2920"));
        wheel(60, Qt::NoModifier);  // half a notch waits for the other half
        QCOMPARE(form->EdAdd->text(), QString(" 2920"));
        wheel(60, Qt::NoModifier);
        QCOMPARE(form->EdAdd->text(), QString(" 1000"));
        wheel(240, Qt::ControlModifier);
        QCOMPARE(form->LbZoom->text(), QString(" 5"));
    }

    void enterPressesAFocusedButtonButNotAField() {
        QTest::keyClick(form->EdAdd, Qt::Key_Return);
        QCOMPARE(form->EdAdd->text(), QString("1000"));
        QTest::keyClick(form->Command2, Qt::Key_Return);
        QCOMPARE(form->EdAdd->text(), QString(" 1001"));
        QTest::keyClick(form->Command2, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(form->EdAdd->text(), QString(" 1002"));
    }

    void typingInTheBookmarkListRunsNothing() {
        dialogs->answers.push_back(marks);
        form->ItTabLoad_Click();
        QCOMPARE(fields(), (QStringList{"0", "4", "4"}));
        form->ComboBM->lineEdit()->selectAll();
        QTest::keyClicks(form->ComboBM->lineEdit(), "third");
        QTest::keyClick(form->ComboBM->lineEdit(), Qt::Key_Return);
        QTest::keyClick(form->ComboBM->lineEdit(), Qt::Key_Tab);
        QCOMPARE(fields(), (QStringList{"0", "4", "4"}));
        QCOMPARE(form->ComboBM->count(), 3);
        // A choice from the list still applies its entry.
        QTest::keyClick(form->ComboBM, Qt::Key_Down);
        QCOMPARE(fields(), (QStringList{"64", "8", "8"}));
    }

    // The order of data and bookmark files is the viewer's; here, that each target hands on.
    void dropsOnEitherWindowOrAField() {
        const QString other = QString::fromStdString(dir->write("other.bin", "\x1F\x7C"));
        drop(form->picture(), {marks, other});
        QCOMPARE(QString::fromStdString(form->viewer().PicFileName), other);
        QCOMPARE(fields(), (QStringList{"0", "4", "4"}));
        form->EdAdd->setText("8");
        drop(form.get(), {data});
        QCOMPARE(QString::fromStdString(form->viewer().PicFileName), data);
        QCOMPARE(form->EdAdd->text(), QString("0"));
        form->EdAdd->setText("8");
        drop(form->EdAdd, {data});
        QCOMPARE(form->EdAdd->text(), QString("0"));
    }

    void anUnreadableFileShowsBlackBeforeTheBox() {
        QStringList behindTheBox;
        dialogs->onMessage = [&] {
            behindTheBox << form->picture()->windowTitle()
                         << QString::number(form->picture()->backingImage().pixel(0, 0), 16);
        };
        form->viewer().OpenAndLoad((dir->path() / "gone.bin").string());
        QCOMPARE(behindTheBox, (QStringList{"Address: 0 Width: 320 Height: 240", "ff000000"}));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");  // -1: the viewer starts
        QTest::addColumn<QString>("request");
        auto row = [](const char* name, QStringList arguments, int exitCode, QString request) {
            QTest::newRow(name) << (QStringList{"pixvue"} + arguments) << exitCode << request;
        };
        row("nothing", {}, -1, "||-|-|-|0");
        row("file", {"a.bin"}, -1, "a.bin||-|-|-|0");
        row("file and bookmarks", {"a.bin", "m.txt"}, -1, "a.bin|m.txt|-|-|-|0");
        row("fields", {"--address", "0x10", "--width=16", "--height", "8", "a.bin"}, -1,
            "a.bin||0x10|16|8|0");
        row("find", {"--find", "a.bin"}, -1, "a.bin||-|-|-|1");
        row("help", {"--help"}, 0, "");
        row("version", {"--version"}, 0, "");
        row("unknown option", {"--fast", "a.bin"}, 2, "");
        row("three files", {"a", "b", "c"}, 2, "");
        row("find without a file", {"--find"}, 2, "");
        row("width without a value", {"a.bin", "--width"}, 2, "");
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, request);
        const CommandLine line = readCommandLine(arguments);
        QCOMPARE(line.exitCode.value_or(-1), exitCode);
        if (exitCode != -1) {
            QVERIFY(!line.output.isEmpty());
            return;
        }
        const StartRequest& r = line.request;
        auto text = [](const std::optional<std::string>& v) {
            return v ? QString::fromStdString(*v) : QString("-");
        };
        QCOMPARE(
            QStringList({QString::fromStdString(r.file), QString::fromStdString(r.bookmarks),
                         text(r.address), text(r.width), text(r.height), QString::number(r.find)})
                .join('|'),
            request);
    }
};

QTEST_MAIN(WiringTest)
#include "wiring_test.moc"
