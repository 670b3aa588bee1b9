// On a real X server: the picture window repaints from its backing image when uncovered, and a
// closed picture window comes back centred at its design size.
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include "app/form1.h"
#include "support/fake_dialogs.h"
#include "support/temp_file.h"

using namespace pixvue;
using pixvue::testing::FakeDialogs;
using pixvue::testing::TempDir;

class XvfbWindowTest : public QObject {
    Q_OBJECT

    TempDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    QImage grab(QWidget* w) {
        const QPoint origin = w->mapToGlobal(QPoint(0, 0));
        return w->screen()
            ->grabWindow(0, origin.x(), origin.y(), w->width(), w->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

  private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < 320 * 240; ++i) {
            const auto word = static_cast<std::uint16_t>((i % 320) / 10 | ((i / 320) / 8) << 5);
            bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        dialogs.answers.push_back(QString::fromStdString(dir.write("data.bin", bytes)));
        form = std::make_unique<Form1>(dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->ItOpen_Click();
        form->Command1_Click();
        QVERIFY(QTest::qWaitForWindowExposed(form->picture()));
    }

    void thePictureSurvivesBeingCoveredAndUncovered() {
        Form2* picture = form->picture();
        const QImage drawn = picture->backingImage().copy(0, 0, 320, 240);
        QTRY_COMPARE_WITH_TIMEOUT(grab(picture).copy(0, 0, 320, 240), drawn, 5000);
        const QImage before = grab(picture);

        QWidget cover;
        cover.setGeometry(picture->geometry().adjusted(-20, -20, 20, 20));
        cover.setStyleSheet("background: magenta");
        cover.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cover));
        QTRY_VERIFY_WITH_TIMEOUT(grab(picture) != before, 5000);  // really covered
        cover.hide();
        QTRY_COMPARE_WITH_TIMEOUT(grab(picture), before, 5000);
    }

    void aClosedPictureWindowReturnsCentred() {
        form->picture()->resize(500, 400);
        form->picture()->close();
        QTest::qWait(100);
        form->BtZoomPlus_Click();
        Form2* again = form->picture();
        QVERIFY(QTest::qWaitForWindowExposed(again));
        QCOMPARE(again->size(), QSize(385, 269));
        const QPoint centre = again->screen()->availableGeometry().center();
        QVERIFY((again->frameGeometry().center() - centre).manhattanLength() <= 30);
        // Zoom 2: the first picture pixel is a 2 x 2 block.
        QTRY_COMPARE_WITH_TIMEOUT(grab(again).pixel(1, 1), again->backingImage().pixel(1, 1), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(grab(again).pixel(200, 100),
                                  again->backingImage().pixel(200, 100), 5000);
    }

    void cleanupTestCase() { form.reset(); }
};

QTEST_MAIN(XvfbWindowTest)
#include "xvfb_window_test.moc"
