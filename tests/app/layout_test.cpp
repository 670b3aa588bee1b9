// Both windows as they are created: every control's place, size, text and kind, the tab order,
// the window flags, fonts and icons.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "app/form1.h"
#include "support/fake_dialogs.h"

using namespace pixvue;
using pixvue::testing::FakeDialogs;

namespace {

struct Expected {
    const char* name;
    const char* className;
    const char* text;
    QRect rect;  // in client pixels
};

// Written out on their own, not taken from the table the window is built from.
const Expected kExpected[] = {
    {"Frame1", "QGroupBox", "", {0, 0, 217, 145}},
    {"Label1", "QLabel", "Address", {24, 16, 41, 17}},
    {"Label2", "QLabel", "Width", {112, 16, 41, 17}},
    {"Label3", "QLabel", "Height", {168, 16, 33, 17}},
    {"EdAdd", "QLineEdit", "0", {8, 32, 89, 19}},
    {"EdWidth", "QLineEdit", "320", {104, 32, 49, 19}},
    {"EdHeight", "QLineEdit", "240", {160, 32, 49, 19}},
    {"Command1", "QPushButton", "Load", {8, 56, 41, 33}},
    {"BtZoomPlus", "QPushButton", "+", {56, 56, 25, 17}},
    {"LbZoom", "QLabel", "1", {80, 56, 25, 17}},
    {"BtZoomMinus", "QPushButton", "-", {112, 56, 25, 17}},
    {"Command4", "QPushButton", "Page up", {144, 56, 65, 17}},
    {"Command2", "QPushButton", "Fix colors", {56, 72, 81, 17}},
    {"Command3", "QPushButton", "Page down", {144, 72, 65, 17}},
    {"Command5", "QPushButton", "Resize", {144, 88, 65, 17}},
    {"Label5", "QLabel", "X:", {8, 104, 9, 17}},
    {"LbX", "QLabel", "0", {24, 104, 25, 17}},
    {"ComboBM", "QComboBox", "Bookmarks", {56, 112, 153, 21}},
    {"Label6", "QLabel", "Y:", {8, 120, 9, 17}},
    {"LbY", "QLabel", "0", {24, 120, 25, 17}},
    {"Label4", "QLabel", "Label4", {296, 32, 9, 1}},
};

QString textOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

  private slots:
    void init() {
        form = std::make_unique<Form1>(dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void everyControlAtItsPlace() {
        QWidget* client = form->centralWidget();
        QCOMPARE(client->size(), QSize(219, 149));
        for (const Expected& e : kExpected) {
            auto* w = form->findChild<QWidget*>(e.name);
            QVERIFY2(w, e.name);
            QCOMPARE(w->metaObject()->className(), e.className);
            QCOMPARE(textOf(w), QString(e.text));
            QCOMPARE(QRect(w->mapTo(client, QPoint(0, 0)), w->size()), e.rect);
        }
    }

    void theFrameHoldsEverythingButLoad() {
        for (const Expected& e : kExpected) {
            auto* w = form->findChild<QWidget*>(e.name);
            const QString name(e.name);
            if (name == "Frame1" || name == "Command1")
                QCOMPARE(w->parentWidget(), form->centralWidget());
            else
                QCOMPARE(w->parentWidget(), static_cast<QWidget*>(form->Frame1));
        }
        // Load lies above the frame it overlaps.
        const QWidget* top = form->centralWidget()->childAt(20, 70);
        QCOMPARE(top, static_cast<QWidget*>(form->Command1));
        QVERIFY(!form->Label4->isVisible());
    }

    void tabCyclesThroughTheControlsFromLoad() {
        QApplication::setActiveWindow(form.get());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Command1));
        const QList<QWidget*> order = {form->BtZoomPlus, form->BtZoomMinus, form->Command2,
                                       form->EdAdd,      form->EdWidth,     form->EdHeight,
                                       form->Command3,   form->Command4,    form->Command5,
                                       form->ComboBM,    form->Command1};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The combo box's edit field takes the focus for it.
            if (focus && focus->parentWidget() == form->ComboBM) focus = form->ComboBM;
            QCOMPARE(focus, next);
        }
    }

    void enterInAFieldPressesNothing() {
        dialogs.answers.push_back("/dev/null");
        form->ItOpen_Click();
        int presses = 0;
        for (QPushButton* b : form->findChildren<QPushButton*>())
            connect(b, &QPushButton::clicked, [&] { ++presses; });
        for (QLineEdit* field : {form->EdAdd, form->EdWidth, form->EdHeight}) {
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
            QTest::keyClick(field, Qt::Key_Enter);
        }
        QCOMPARE(presses, 0);
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(form->ComboBM->count(), 0);
        form->ComboBM->setFocus();
        QTest::keyClick(form->ComboBM, Qt::Key_Return);
        QCOMPARE(form->ComboBM->count(), 0);  // typed text is never added to the list
    }

    void windowsHaveTheirFlagsAndSizes() {
        const Qt::WindowFlags main = form->windowFlags();
        QVERIFY(main & Qt::WindowCloseButtonHint);
        QVERIFY(!(main & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(main & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->minimumSize(), form->maximumSize());  // cannot be resized
        QCOMPARE(form->windowTitle(), QString("Ambrel's Pixvue 0.1"));
        QCOMPARE(form->menuBar()->actions().size(), 3);
        QCOMPARE(form->ItFile->title(), QString("File"));
        QCOMPARE(form->ItTab->title(), QString("Bookmarks"));
        QCOMPARE(form->ItHelp->text(), QString("Help"));
        QCOMPARE(form->ItFile->actions().size(), 2);
        QVERIFY(form->ItOpen->shortcut().isEmpty());

        Form2* picture = form->picture();
        QCOMPARE(picture->windowTitle(), QString("Form2"));
        QCOMPARE(picture->size(), QSize(385, 269));
        QVERIFY(picture->minimumSize() != picture->maximumSize());
        QVERIFY(picture->isWindow());
    }

    void zoomLabelAndIcons() {
        QCOMPARE(form->LbZoom->alignment(), Qt::AlignCenter);
        QCOMPARE(form->LbZoom->font().pointSizeF(), 9.75);
        QCOMPARE(form->LbZoom->font().weight(), QFont::Normal);
        QVERIFY(!form->LbZoom->font().italic());
        for (QWidget* w :
             {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(form->picture())}) {
            const QIcon icon = w->windowIcon();
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.availableSizes(), (QList<QSize>{{32, 32}, {16, 16}}));
        }
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
