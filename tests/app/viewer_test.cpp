// The viewer's commands end to end on the offscreen platform: start-up, File > Open, Load with
// every message, the presentation, zoom, page and byte steps, click-to-anchor, Resize, Exit.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/form1.h"
#include "decode/pixel.h"
#include "support/fake_dialogs.h"
#include "support/temp_file.h"
#include "support/title_log.h"

using namespace pixvue;
using pixvue::testing::FakeDialogs;
using pixvue::testing::TempDir;
using pixvue::testing::TitleLog;
using pixvue::testing::wordsToBytes;

namespace {

const std::string kNumbers = "Are you sure you entered only numbers ?";
const std::string kWidthRange = "The width must be between 1 and 1024";
const std::string kHeightRange = "The height must be between 1 and 1024";
const std::string kAddressRange = "The address must be between 0 and 2000000000";

// Words whose value is their index, so each pixel tells where it came from.
std::vector<std::uint8_t> countingFile(std::size_t words) {
    std::vector<std::uint16_t> w(words);
    for (std::size_t i = 0; i < words; ++i) w[i] = static_cast<std::uint16_t>(i & 0x7FFF);
    return wordsToBytes(w);
}

QRgb rgbOfWord(std::uint16_t word) {
    return argbFromWord(word);
}

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<Form1> form;
    QString dataFile;

    void openData(const QString& path) {
        dialogs->answers.push_back(path);
        form->ItOpen_Click();
    }
    void type(const char* address, const char* width, const char* height) {
        form->EdAdd->setText(QString::fromLatin1(address));
        form->EdWidth->setText(QString::fromLatin1(width));
        form->EdHeight->setText(QString::fromLatin1(height));
    }
    QRgb shown(int x, int y) { return form->picture()->backingImage().pixel(x, y); }
    QRgb background() { return form->picture()->palette().color(QPalette::Window).rgb(); }

  private slots:
    void init() {
        dir = std::make_unique<TempDir>();
        dataFile = QString::fromStdString(dir->write("data.bin", countingFile(400000)));
        dialogs = std::make_unique<FakeDialogs>();
        form = std::make_unique<Form1>(*dialogs);
    }
    void cleanup() {
        form.reset();
        dialogs.reset();
        dir.reset();
    }

    void startsWithTheTitleAndNothingLoaded() {
        QCOMPARE(form->windowTitle(), QString("Ambrel's Pixvue 0.1"));
        QCOMPARE(int(form->viewer().Zoom), 1);
        QVERIFY(!form->viewer().FileOpened);
        QVERIFY(!form->picture()->isVisible());
        QCOMPARE(form->EdAdd->text(), QString("0"));
        QCOMPARE(form->EdWidth->text(), QString("320"));
        QCOMPARE(form->EdHeight->text(), QString("240"));
        QCOMPARE(form->LbZoom->text(), QString("1"));
        QCOMPARE(form->LbX->text(), QString("0"));
        QCOMPARE(form->ComboBM->currentText(), QString("Bookmarks"));
        QCOMPARE(form->ComboBM->count(), 0);
    }

    void commandsBeforeAFileIsChosen() {
        TitleLog log(form.get());
        form->Command1_Click();
        form->Command3_Click();
        form->Command4_Click();
        form->Command5_Click();
        QCOMPARE(form->EdAdd->text(), QString("0"));
        form->Command2_Click();  // "Fix colors" still moves the address text
        QCOMPARE(form->EdAdd->text(), QString(" 1"));
        form->BtZoomPlus_Click();
        QCOMPARE(form->LbZoom->text(), QString(" 2"));
        QVERIFY(log.titles.isEmpty());
        QVERIFY(!form->picture()->isVisible());
        QVERIFY(dialogs->messages.empty());
        // The zoom chosen beforehand applies to the first picture.
        openData(dataFile);
        type("0", "2", "1");
        form->Command1_Click();
        QCOMPARE(shown(3, 1), rgbOfWord(1));
        QCOMPARE(shown(4, 0), background());
    }

    void openSetsTheFileAndResetsTheAddress() {
        form->EdAdd->setText("1234");
        form->EdWidth->setText("77");
        openData(dataFile);
        QVERIFY(form->viewer().FileOpened);
        QCOMPARE(QString::fromStdString(form->viewer().PicFileName), dataFile);
        QCOMPARE(form->EdAdd->text(), QString("0"));
        QCOMPARE(form->EdWidth->text(), QString("77"));
        QCOMPARE(dialogs->filters.back(), QString("All files (*)"));
        // Cancelling afterwards resets the address and makes Load do nothing.
        form->EdAdd->setText("55");
        openData("");
        QVERIFY(!form->viewer().FileOpened);
        QCOMPARE(form->EdAdd->text(), QString("0"));
        form->Command1_Click();
        QVERIFY(!form->picture()->isVisible());
    }

    void loadCountsTheRowsInTheTitle() {
        openData(dataFile);
        type("0", "320", "240");
        TitleLog log(form.get());
        form->Command1_Click();
        QCOMPARE(log.titles.size(), 241);
        QCOMPARE(log.titles.front(), QString("Loading:  1 of  240 lines"));
        QCOMPARE(log.titles[239], QString("Loading:  240 of  240 lines"));
        QCOMPARE(log.titles.back(), QString("Ambrel's Pixvue 0.1"));
        QVERIFY(dialogs->messages.empty());
        QCOMPARE(form->viewer().PicWidth, 319);
        QCOMPARE(form->viewer().PicHeight, 239);
    }

    void loadShowsThePictureExactlyWithItsCaption() {
        openData(dataFile);
        type(" 100", "320", "240 ");
        form->Command1_Click();
        Form2* w = form->picture();
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QString("Address:  100 Width: 320 Height: 240 "));
        QCOMPARE(w->size(), QSize(385, 269));
        QCOMPARE(shown(0, 0), rgbOfWord(50));
        QCOMPARE(shown(319, 0), rgbOfWord(50 + 319));
        QCOMPARE(shown(5, 200), rgbOfWord(50 + 200 * 320 + 5));
        QCOMPARE(shown(320, 0), background());
        QCOMPARE(shown(0, 240), background());
    }

    void rejectedValuesShowTheirMessageAndKeepThePicture_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("message");
        QTest::newRow("width 0") << "0"
                                 << "0"
                                 << "240" << QString::fromStdString(kWidthRange);
        QTest::newRow("width 1025") << "0"
                                    << "1025"
                                    << "240" << QString::fromStdString(kWidthRange);
        QTest::newRow("width -5, height 0") << "0"
                                            << "-5"
                                            << "0" << QString::fromStdString(kWidthRange);
        QTest::newRow("height 1025") << "0"
                                     << "4"
                                     << "1025" << QString::fromStdString(kHeightRange);
        QTest::newRow("address past the range") << "2000000001"
                                                << "4"
                                                << "4" << QString::fromStdString(kAddressRange);
        QTest::newRow("letters") << "0"
                                 << "abc"
                                 << "4" << QString::fromStdString(kNumbers);
        QTest::newRow("empty width") << "0"
                                     << ""
                                     << "4" << QString::fromStdString(kNumbers);
        QTest::newRow("three thousand million") << "3000000000"
                                                << "4"
                                                << "4" << QString::fromStdString(kNumbers);
    }
    void rejectedValuesShowTheirMessageAndKeepThePicture() {
        QFETCH(QString, address);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, message);
        openData(dataFile);
        type("2", "3", "2");
        form->Command1_Click();
        const QString caption = form->picture()->windowTitle();
        const QImage before = form->picture()->backingImage();

        form->EdAdd->setText(address);
        form->EdWidth->setText(width);
        form->EdHeight->setText(height);
        TitleLog log(form.get());
        form->Command1_Click();
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(dialogs->messages[0].text), message);
        const bool numbers = message.toStdString() == kNumbers;
        QCOMPARE(dialogs->messages[0].title,
                 std::string(numbers ? "Something went wrong" : "Invalid value"));
        QCOMPARE(dialogs->messages[0].icon,
                 numbers ? MessageIcon::Critical : MessageIcon::Information);
        QVERIFY(log.titles.isEmpty());
        // The fields keep rejected values; the texts keep what was typed.
        QCOMPARE(form->EdWidth->text(), width);
        if (!numbers) QVERIFY(form->picture()->backingImage() == before);
        if (!numbers) QCOMPARE(form->picture()->windowTitle(), caption);
    }

    void aFailedConversionKeepsTheFieldsConvertedBeforeIt() {
        openData(dataFile);
        type("0", "8", "8");
        form->Command1_Click();
        type("0", "4", "x");
        form->Command1_Click();
        QCOMPARE(form->viewer().PicWidth, 3);
        QCOMPARE(form->viewer().PicHeight, 7);
        // The presentation runs with them: 4 x 8 of what the surface holds.
        QCOMPARE(form->picture()->windowTitle(), QString("Address: 0 Width: 4 Height: x"));
        QCOMPARE(shown(3, 7), rgbOfWord(7 * 8 + 3));
        QCOMPARE(shown(4, 7), background());
    }

    void aSmallerPictureLeavesNothingBehind() {
        openData(dataFile);
        type("0", "300", "200");
        form->Command1_Click();
        type("0", "10", "10");
        form->Command1_Click();
        QCOMPARE(shown(9, 9), rgbOfWord(9 * 10 + 9));
        QCOMPARE(shown(10, 0), background());
        QCOMPARE(shown(299, 199), background());
    }

    void anUnreadableFileDrawsBlackAndSaysSo() {
        openData(QString::fromStdString((dir->path() / "gone.bin").string()));
        type("0", "4", "4");
        TitleLog log(form.get());
        form->Command1_Click();
        QCOMPARE(log.titles.size(), 5);
        QCOMPARE(dialogs->texts(), std::vector<std::string>{"The file could not be read"});
        QCOMPARE(dialogs->messages[0].title, std::string("Something went wrong"));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::Critical);
        QCOMPARE(shown(0, 0), qRgb(0, 0, 0));
        // A directory and an empty file: the first cannot be read, the second is only black.
        dialogs->messages.clear();
        openData(QString::fromStdString(dir->path().string()));
        form->Command1_Click();
        QCOMPARE(dialogs->texts(), std::vector<std::string>{"The file could not be read"});
        dialogs->messages.clear();
        openData(QString::fromStdString(dir->write("empty.bin", std::vector<std::uint8_t>{})));
        form->Command1_Click();
        QVERIFY(dialogs->messages.empty());
        QCOMPARE(shown(3, 3), qRgb(0, 0, 0));
    }

    void aClosedPictureWindowComesBackAtItsDesignSize() {
        openData(dataFile);
        type("0", "4", "4");
        form->Command1_Click();
        form->picture()->resize(600, 500);
        QPointer<Form2> closed = form->picture();
        QVERIFY(closed->close());
        Form2* again = form->picture();  // at once, before the closed one is deleted
        QVERIFY(again != closed);
        QVERIFY(!again->isVisible());
        QCOMPARE(again->size(), QSize(385, 269));
        QCOMPARE(again->windowTitle(), QString("Form2"));
        form->BtZoomPlus_Click();
        QVERIFY(again->isVisible());
        QCOMPARE(again->size(), QSize(385, 269));
        QCOMPARE(shown(7, 7), rgbOfWord(3 * 4 + 3));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!closed);
        QVERIFY(again->isVisible());
    }

    void zoomStepsBetweenOneAndEleven() {
        openData(dataFile);
        type("0", "3", "2");
        form->Command1_Click();
        form->BtZoomMinus_Click();
        QCOMPARE(int(form->viewer().Zoom), 1);
        QCOMPARE(form->LbZoom->text(), QString(" 1"));
        for (int i = 0; i < 11; ++i) form->BtZoomPlus_Click();
        QCOMPARE(int(form->viewer().Zoom), 11);
        QCOMPARE(form->LbZoom->text(), QString(" 11"));
        QCOMPARE(shown(32, 21), rgbOfWord(5));
        QCOMPARE(shown(33, 0), background());
        // The zoom presents the surface again without reading the file.
        QFile::remove(dataFile);
        for (int i = 0; i < 11; ++i) form->BtZoomMinus_Click();
        QCOMPARE(int(form->viewer().Zoom), 1);
        QCOMPARE(shown(2, 1), rgbOfWord(5));
        QVERIFY(dialogs->messages.empty());
    }

    void pageAndByteStepsReloadAtTheNewAddress() {
        openData(dataFile);
        type("0", "320", "240");
        form->Command3_Click();
        QCOMPARE(form->EdAdd->text(), QString(" 153600"));
        QCOMPARE(form->viewer().PicAddress, 153600);
        QCOMPARE(shown(0, 0), rgbOfWord(76800 & 0x7FFF));
        form->Command3_Click();
        QCOMPARE(form->EdAdd->text(), QString(" 307200"));
        form->Command4_Click();
        form->Command4_Click();
        QCOMPARE(form->EdAdd->text(), QString(" 0"));
        form->EdAdd->setText("1000");
        form->Command4_Click();
        QCOMPARE(form->EdAdd->text(), QString("0"));
        form->Command2_Click();
        QCOMPARE(form->EdAdd->text(), QString(" 1"));
        QCOMPARE(form->picture()->windowTitle(), QString("Address:  1 Width: 320 Height: 240"));
        // Bytes 1 and 2 make the first pixel: high byte of word 0, low byte of word 1.
        QCOMPARE(shown(0, 0), rgbOfWord(0x0100));
        QVERIFY(dialogs->messages.empty());
    }

    void pageStepsThatTheLoaderRefuses() {
        openData(dataFile);
        type("1999999999", "320", "240");
        form->Command3_Click();
        QCOMPARE(form->EdAdd->text(), QString(" 2000153599"));
        QCOMPARE(dialogs->texts(), std::vector<std::string>{kAddressRange});
        dialogs->messages.clear();
        type("0", "-320", "240");
        form->Command3_Click();
        QCOMPARE(form->EdAdd->text(), QString("-153600"));
        QCOMPARE(dialogs->texts(), std::vector<std::string>{kWidthRange});
        dialogs->messages.clear();
        type("12abc", "320", "240");
        form->Command3_Click();
        QCOMPARE(form->EdAdd->text(), QString("12abc"));
        QCOMPARE(dialogs->texts(), std::vector<std::string>{kNumbers});
    }

    void pointerReadoutAndClickToAnchor() {
        openData(dataFile);
        type("0", "100", "50");
        form->Command1_Click();
        form->BtZoomPlus_Click();  // zoom 2
        Form2* w = form->picture();
        QTest::mouseMove(w, QPoint(7, 5));
        QCOMPARE(form->LbX->text(), QString("3"));
        QCOMPARE(form->LbY->text(), QString("2"));
        QTest::mousePress(w, Qt::RightButton, Qt::ShiftModifier, QPoint(7, 5));
        QCOMPARE(form->EdAdd->text(), QString(" 406"));
        QCOMPARE(form->viewer().PicAddress, 406);
        QCOMPARE(shown(0, 0), rgbOfWord(203));  // the pixel that was at column 3, row 2
        // A press right of the picture moves into the next row.
        form->EdAdd->setText("0");
        w->Form_MouseDown(2 * (100 + 5), 0);
        QCOMPARE(form->EdAdd->text(), QString(" 210"));
        // Without a chosen file, pointer and presses do nothing.
        openData("");
        w->Form_MouseMove(40, 40);
        QCOMPARE(form->LbX->text(), QString("3"));  // the last readout stays
        w->Form_MouseDown(40, 40);
        QCOMPARE(form->EdAdd->text(), QString("0"));
    }

    void resizeFitsTheWindowToTheZoomedPicture() {
        openData(dataFile);
        type("0", "320", "240");
        form->Command1_Click();
        form->BtZoomPlus_Click();
        auto error = [&] {
            const QSize s = form->picture()->size();
            return std::abs(s.width() - 640) + std::abs(s.height() - 480);
        };
        form->Command5_Click();
        const int first = error();
        QVERIFY2(first <= 8, qPrintable(QString::number(first)));  // the frame scales along
        for (int press = 0; press < 3; ++press) form->Command5_Click();
        QVERIFY(error() <= first);
        QVERIFY(error() <= 2);
        // Once fitted, a further press keeps the size.
        const QSize fitted = form->picture()->size();
        form->Command5_Click();
        QCOMPARE(form->picture()->size(), fitted);
        QCOMPARE(shown(0, 0), rgbOfWord(0));
        QCOMPARE(shown(fitted.width() - 1, 0), rgbOfWord(std::min(319, (fitted.width() - 1) / 2)));
        // A rejected width: nothing to fit to, nothing changes.
        type("0", "0", "240");
        form->Command1_Click();
        form->Command5_Click();
        QCOMPARE(form->picture()->size(), QSize(640, 480));
    }

    void resizeBeforeTheFirstPictureSizesTheHiddenWindow() {
        openData(dataFile);
        type("0", "16", "8");
        form->Command5_Click();  // the start values: one pixel at zoom 1
        QVERIFY(form->picture()->isVisible());
        QCOMPARE(form->picture()->size(), QSize(1, 1));
    }

    void resizeLeavesAMaximizedOrMinimizedWindowAlone() {
        openData(dataFile);
        type("0", "32", "16");
        form->Command1_Click();
        Form2* w = form->picture();
        for (Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowMinimized}) {
            w->setWindowState(state);
            const QSize before = w->size();
            const QString caption = w->windowTitle();
            form->EdAdd->setText("64");  // not loaded: a presentation would show it
            form->Command5_Click();
            QCOMPARE(w->size(), before);
            QCOMPARE(w->windowTitle(), caption);
            form->EdAdd->setText("0");
            w->setWindowState(Qt::WindowNoState);
        }
    }

    void crispAtAnyScaleFactor() {
        // Run once more with QT_SCALE_FACTOR=2: every screen pixel is one picture colour.
        openData(dataFile);
        type("0", "16", "16");
        form->Command1_Click();
        const QImage screen =
            form->picture()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal ratio = screen.devicePixelRatio();
        for (int y = 0; y < int(16 * ratio); ++y)
            for (int x = 0; x < int(16 * ratio); ++x) {
                const int pixel = int(y / ratio) * 16 + int(x / ratio);
                QCOMPARE(QColor(screen.pixel(x, y)).rgb(), rgbOfWord(std::uint16_t(pixel)));
            }
    }

    void helpShowsTheHomePage() {
        form->ItHelp_Click();
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        QCOMPARE(dialogs->messages[0].text, std::string("Go to https://pixvue.org"));
        QCOMPARE(dialogs->messages[0].title, std::string("Help"));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::Information);
    }

    void exitAndClosingEndTheProgram() {
        openData(dataFile);
        type("0", "4", "4");
        form->Command1_Click();
        form->show();
        QVERIFY(form->picture()->isVisible());
        form->close();
        QVERIFY(!form->isVisible());
        QVERIFY(!form->picture()->isVisible());

        Form1 other(*dialogs);
        other.show();
        other.ItExit_Click();
        QVERIFY(!other.isVisible());
    }
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
