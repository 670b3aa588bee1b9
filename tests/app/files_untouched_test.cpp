// The viewer only reads: after every command, the data file and the bookmark file hold the same
// bytes with the same modification and change times, and no one has even opened them for
// writing (the kernel reports a file opened for writing when it is closed, written or not).
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "decode/pixel.h"
#include "support/fake_dialogs.h"
#include "support/hang_guard.h"

using pixvue::Form1;
using pixvue::testing::FakeDialogs;

namespace {

// What must not change: the content, and the times a write or a change of attributes would set.
struct Snapshot {
    QByteArray sha256;
    struct stat st {};

    static Snapshot of(const QString& path) {
        Snapshot s;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&f);
            s.sha256 = hash.result().toHex();
        }
        ::stat(QFile::encodeName(path).constData(), &s.st);
        return s;
    }
    bool operator==(const Snapshot& o) const {
        return sha256 == o.sha256 && st.st_size == o.st.st_size && st.st_ino == o.st.st_ino &&
               st.st_mode == o.st.st_mode && st.st_mtim.tv_sec == o.st.st_mtim.tv_sec &&
               st.st_mtim.tv_nsec == o.st.st_mtim.tv_nsec &&
               st.st_ctim.tv_sec == o.st.st_ctim.tv_sec &&
               st.st_ctim.tv_nsec == o.st.st_ctim.tv_nsec;
    }
};

}  // namespace

class FilesUntouchedTest : public QObject {
    Q_OBJECT

  private slots:
    void everyCommandLeavesBothFilesAsTheyWere();
};

void FilesUntouchedTest::everyCommandLeavesBothFilesAsTheyWere() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::uint16_t firstWord = 0;
    const QString data = dir.filePath("data.bin");
    const QString marks = dir.filePath("marks.txt");
    {
        std::mt19937 rng(42);
        QByteArray bytes(2 * 320 * 240 * 3, Qt::Uninitialized);
        for (char& b : bytes) b = static_cast<char>(rng());
        firstWord = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) |
                                               static_cast<unsigned char>(bytes[1]) << 8);
        QFile f(data);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
        QFile m(marks);
        QVERIFY(m.open(QIODevice::WriteOnly));
        m.write("First,0,320,240\r\nSecond,153600,320,240\r\nOdd,7,16,16\r\n");
    }
    // Times far in the past, so that even a write within the same clock tick would show.
    for (const QString& p : {data, marks}) {
        const struct timespec times[2] = {{978307200, 0}, {978307200, 0}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(p).constData(), times, 0) == 0);
    }
    const Snapshot dataBefore = Snapshot::of(data);
    const Snapshot marksBefore = Snapshot::of(marks);

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    constexpr std::uint32_t kWriting =
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF;
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(data).constData(), kWriting) >= 0);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(marks).constData(), kWriting) >= 0);

    FakeDialogs dialogs;
    Form1 form(dialogs);
    auto press = [&form](double x, double y) {
        form.picture()->Form_MouseMove(x, y);
        form.picture()->Form_MouseDown(x, y);
    };

    // Every command, on each file in each role: the data file also as a bookmark file and the
    // bookmark file also as a data file.
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"File > Open (data file)",
         [&] {
             dialogs.answers.push_back(data);
             form.ItOpen->trigger();
         }},
        {"Load",
         [&] {
             form.Command1->click();
             QCOMPARE(form.surface().pixel(0, 0), pixvue::argbFromWord(firstWord));
         }},
        {"Page down", [&] { form.Command3->click(); }},
        {"Page up", [&] { form.Command4->click(); }},
        {"Fix colors", [&] { form.Command2->click(); }},
        {"+", [&] { form.BtZoomPlus->click(); }},
        {"-", [&] { form.BtZoomMinus->click(); }},
        {"Resize", [&] { form.Command5->click(); }},
        {"pointer move and press on the picture", [&] { press(12, 3); }},
        {"Bookmarks > Load",
         [&] {
             dialogs.answers.push_back(marks);
             form.ItTabLoad->trigger();
             QCOMPARE(form.ComboBM->count(), 4);
         }},
        {"choose a bookmark",
         [&] {
             form.ComboBM->setCurrentIndex(1);
             emit form.ComboBM->activated(1);
         }},
        {"Help", [&] { form.ItHelp->trigger(); }},
        {"Bookmarks > Load (data file)",
         [&] {
             dialogs.answers.push_back(data);
             form.ItTabLoad->trigger();
         }},
        {"File > Open (bookmark file)",
         [&] {
             dialogs.answers.push_back(marks);
             form.ItOpen->trigger();
         }},
        {"Load (bookmark file)",
         [&] {
             form.EdAdd->setText("0");
             form.EdWidth->setText("8");
             form.EdHeight->setText("4");
             form.Command1->click();
             QCOMPARE(form.surface().pixel(0, 0), pixvue::argbFromWord('F' | 'i' << 8));
         }},
        {"Page down (bookmark file)", [&] { form.Command3->click(); }},
        {"Page up (bookmark file)", [&] { form.Command4->click(); }},
        {"Fix colors (bookmark file)", [&] { form.Command2->click(); }},
        {"pointer press (bookmark file)", [&] { press(1, 1); }},
        {"File > Open cancelled", [&] { form.ItOpen->trigger(); }},
        {"Bookmarks > Load cancelled", [&] { form.ItTabLoad->trigger(); }},
    };

    for (const auto& [name, run] : commands) {
        {
            pixvue::testing::HangGuard guard(name);
            run();
        }
        QVERIFY2(Snapshot::of(data) == dataBefore, name);
        QVERIFY2(Snapshot::of(marks) == marksBefore, name);
        char events[4096];
        const ssize_t n = ::read(watch, events, sizeof events);
        QVERIFY2(n < 0 && errno == EAGAIN, name);
    }
    ::close(watch);
}

QTEST_MAIN(FilesUntouchedTest)
#include "files_untouched_test.moc"
