// Opens the demo data and bookmarks in the real viewer, waits until both windows are on screen
// and saves one picture of them: the README's screenshot.
//   pixvue_screenshot DATA BOOKMARKS OUT.png [ZOOM]
#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include "app/app_icon.h"
#include "app/dialogs.h"
#include "app/form1.h"

namespace {

// Answers the Open dialogs with the files given on the command line, in order.
class ScriptedDialogs final : public pixvue::Dialogs {
  public:
    explicit ScriptedDialogs(QStringList answers) : answers_(std::move(answers)) {}
    void showMessage(QWidget*, const pixvue::Message& m) override {
        qWarning("message: %.*s", int(m.text.size()), m.text.data());
    }
    QString chooseFile(QWidget*, const QString&, const QString&) override {
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    }
    QString chooseSaveFile(QWidget*, const QString&, const QString&) override { return {}; }

  private:
    QStringList answers_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        qWarning("usage: pixvue_screenshot DATA BOOKMARKS OUT.png [ZOOM]");
        return 2;
    }
    QApplication::setWindowIcon(pixvue::applicationIcon());
    ScriptedDialogs dialogs({QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])});
    pixvue::Form1 form(dialogs);
    form.show();
    const int zoom = argc > 4 ? std::atoi(argv[4]) : 1;
    const QString out = QString::fromLocal8Bit(argv[3]);
    int status = 1;
    QTimer::singleShot(500, [&] {
        form.ItOpen_Click();
        for (int i = 1; i < zoom; ++i) form.BtZoomPlus_Click();
        form.ItTabLoad_Click();
        form.Command5_Click();
        QTimer::singleShot(1500, [&] {
            const QRect both = form.frameGeometry().united(form.picture()->frameGeometry());
            const QRect area = both.adjusted(-8, -8, 8, 8).intersected(form.screen()->geometry());
            const QImage shot = form.screen()->grabWindow(0).toImage().copy(area);
            status = shot.save(out) ? 0 : 1;
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
