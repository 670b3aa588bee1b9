// Bad inputs through the real commands of the main window: special and broken data files, texts
// no one should type, and bookmark files that are not bookmark files. Every case must return
// (a guard aborts the run when one does not) and end with exactly the expected messages.
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "decode/loader.h"
#include "decode/pixel.h"
#include "support/fake_dialogs.h"
#include "support/hang_guard.h"

using pixvue::Form1;
using pixvue::Message;
using pixvue::MessageIcon;
using pixvue::testing::FakeDialogs;
using pixvue::testing::HangGuard;

namespace {

constexpr std::int64_t kSparseSize = 3'000'000'000;
constexpr std::uint32_t kBlack = 0xFF000000u;

const Message kNumbers{"Are you sure you entered only numbers ?", "Something went wrong",
                       MessageIcon::Critical};
const Message kWidth{"The width must be between 1 and 1024", "Invalid value",
                     MessageIcon::Information};
const Message kHeight{"The height must be between 1 and 1024", "Invalid value",
                      MessageIcon::Information};
const Message kAddress{"The address must be between 0 and 2000000000", "Invalid value",
                       MessageIcon::Information};
const Message kNotFound{"File not found", pixvue::kApplicationName, MessageIcon::None};

// What a case expects to have been shown: one message, or none.
struct Expected {
    const Message* message = nullptr;
};

QString describe(const std::vector<pixvue::testing::ShownMessage>& shown) {
    QStringList parts;
    for (const auto& m : shown)
        parts << QString::fromStdString(m.text + " / " + m.title + " / icon " +
                                        std::to_string(static_cast<int>(m.icon)));
    return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(QStringLiteral("; "));
}

void verifyMessages(const FakeDialogs& dialogs, const Message* expected) {
    const QString shown = describe(dialogs.messages);
    if (!expected) {
        QVERIFY2(dialogs.messages.empty(), qPrintable(shown));
        return;
    }
    QVERIFY2(dialogs.messages.size() == 1, qPrintable(shown));
    QCOMPARE(dialogs.messages[0].text, std::string(expected->text));
    QCOMPARE(dialogs.messages[0].title, std::string(expected->title));
    QVERIFY(dialogs.messages[0].icon == expected->icon);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray repeated(const QByteArray& line, int times) {
    QByteArray out;
    out.reserve(line.size() * times);
    for (int i = 0; i < times; ++i) out += line;
    return out;
}

// Runs `step` with the file permission checks of an unprivileged user. Permission bits do not
// stop the superuser, so as root the file-system user is switched for the duration (this thread
// only). False when that is not possible here.
bool runUnprivileged(const std::function<void()>& step) {
    if (::geteuid() != 0) {
        step();
        return true;
    }
    constexpr uid_t kNobody = 65534;
    const int previous = ::setfsuid(kNobody);
    if (::setfsuid(kNobody) != static_cast<int>(kNobody)) {
        ::setfsuid(static_cast<uid_t>(previous));
        return false;
    }
    step();
    ::setfsuid(static_cast<uid_t>(previous));
    return true;
}

// A main window with its own answering dialogs.
struct Viewer {
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(dialogs);

    void open(const QString& path) {
        dialogs.answers.push_back(path);
        form->ItOpen->trigger();
    }
    void loadBookmarks(const QString& path) {
        dialogs.answers.push_back(path);
        form->ItTabLoad->trigger();
    }
    void setFields(const QString& address, const QString& width, const QString& height) {
        form->EdAdd->setText(address);
        form->EdWidth->setText(width);
        form->EdHeight->setText(height);
    }
    std::uint32_t firstPixel() const { return form->surface().pixel(0, 0); }
};

}  // namespace

Q_DECLARE_METATYPE(const pixvue::Message*)

class BadInputTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void dataFiles_data();
    void dataFiles();

    void texts_data();
    void texts();

    void bookmarkFiles_data();
    void bookmarkFiles();

    void everyCommandAfterEachText_data();
    void everyCommandAfterEachText();

  private:
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir_;
    // The ordinary data file starts with a white pixel, so a black picture after it shows.
    static constexpr std::uint16_t kOrdinaryFirstWord = 0x7FFF;
};

void BadInputTest::initTestCase() {
    QVERIFY(dir_.isValid());
    // Searchable by everyone, so that only the file's own permission bits decide below.
    QVERIFY(::chmod(QFile::encodeName(dir_.path()).constData(), 0755) == 0);

    QByteArray ordinary(2 * 320 * 240, '\x11');
    ordinary[0] = char(kOrdinaryFirstWord & 0xFF);
    ordinary[1] = char(kOrdinaryFirstWord >> 8);
    writeFile(path("ordinary.bin"), ordinary);
    writeFile(path("empty.bin"), {});
    writeFile(path("unreadable.bin"), ordinary);
    QVERIFY(::chmod(QFile::encodeName(path("unreadable.bin")).constData(), 0) == 0);
    QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0644) == 0);
    QVERIFY(QDir().mkpath(path("directory.bin")));
    QVERIFY(::symlink(QFile::encodeName(path("nowhere")).constData(),
                      QFile::encodeName(path("dangling.bin")).constData()) == 0);

    // 3 GB, all holes except a red and a green pixel at the largest address the loader takes.
    const int fd = ::open(QFile::encodeName(path("sparse.bin")).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    QVERIFY(::ftruncate(fd, kSparseSize) == 0);
    const unsigned char marks[] = {0x1F, 0x00, 0xE0, 0x03};
    QVERIFY(::pwrite(fd, marks, sizeof marks, pixvue::kMaxAddress) == ssize_t(sizeof marks));
    ::close(fd);

    writeFile(path("good-bookmarks.txt"), "Bars,0,320,240\r\nSmall,2,8,8\r\n");
    writeFile(path("ff.txt"), QByteArray(4096, '\xFF'));
    writeFile(path("zeros.txt"), QByteArray(4096, '\0'));
    writeFile(path("lines-crlf.txt"), repeated("line,0,16,16\r\n", 10000));
    writeFile(path("lines-lf.txt"), repeated("line,0,16,16\n", 10000));
    // 100 MB without a carriage return: a first record, then holes that read as zero bytes.
    writeFile(path("huge.txt"), "huge,0,32,2");
    QVERIFY(::truncate(QFile::encodeName(path("huge.txt")).constData(), 100 * 1000 * 1000) == 0);
}

// ---- Data files ----------------------------------------------------------------------------

enum class Before { Nothing, DeleteAfterChoosing, Unprivileged };

void BadInputTest::dataFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("address");
    QTest::addColumn<const Message*>("message");
    QTest::addColumn<qint64>("firstWord");  // -1: the picture of the ordinary file stays

    const Message* unreadable = &pixvue::kFileUnreadable;
    auto row = [](const char* name, const QString& file, Before before, const char* address,
                  const Message* message, qint64 firstWord) {
        QTest::newRow(name) << file << int(before) << QString::fromLatin1(address) << message
                            << firstWord;
    };
    row("named pipe", path("pipe"), Before::Nothing, "0", unreadable, 0);
    row("directory", path("directory.bin"), Before::Nothing, "0", unreadable, 0);
    row("/dev/zero", "/dev/zero", Before::Nothing, "0", unreadable, 0);
    row("no read permission", path("unreadable.bin"), Before::Unprivileged, "0", unreadable, 0);
    row("deleted after it was chosen", path("doomed.bin"), Before::DeleteAfterChoosing, "0",
        unreadable, 0);
    row("empty file", path("empty.bin"), Before::Nothing, "0", nullptr, 0);
    row("dangling link", path("dangling.bin"), Before::Nothing, "0", unreadable, 0);
    row("sparse 3 GB at 1999999999", path("sparse.bin"), Before::Nothing, "1999999999", nullptr,
        0x1F00);
    row("sparse 3 GB at 2000000000", path("sparse.bin"), Before::Nothing, "2000000000", nullptr,
        0x001F);
    row("sparse 3 GB at 2000000001", path("sparse.bin"), Before::Nothing, "2000000001", &kAddress,
        -1);
}

void BadInputTest::dataFiles() {
    QFETCH(QString, file);
    QFETCH(int, before);
    QFETCH(QString, address);
    QFETCH(const Message*, message);
    QFETCH(qint64, firstWord);

    Viewer v;
    // A picture that is not black first, so that the black picture of a failed read shows.
    v.open(path("ordinary.bin"));
    v.form->Command1->click();
    QCOMPARE(v.firstPixel(), pixvue::argbFromWord(kOrdinaryFirstWord));
    v.dialogs.messages.clear();

    if (Before(before) == Before::DeleteAfterChoosing) writeFile(file, QByteArray(64, '\x55'));
    v.open(file);
    if (Before(before) == Before::DeleteAfterChoosing) QVERIFY(QFile::remove(file));
    v.setFields(address, QStringLiteral("320"), QStringLiteral("240"));

    auto load = [&v, &file] {
        HangGuard guard("Load of " + file.toStdString());
        v.form->Command1->click();
    };
    if (Before(before) == Before::Unprivileged) {
        if (!runUnprivileged(load))
            QSKIP(
                "running as root without the right to switch the file-system user, so "
                "permission bits cannot be made to refuse a read here");
    } else {
        load();
    }

    verifyMessages(v.dialogs, message);
    QCOMPARE(v.form->windowTitle(), QString::fromUtf8(pixvue::kMainTitle));
    if (firstWord >= 0) {
        QCOMPARE(v.firstPixel(), pixvue::argbFromWord(static_cast<std::uint16_t>(firstWord)));
        if (firstWord == 0) QCOMPARE(v.form->surface().pixel(319, 239), kBlack);
        QVERIFY(v.form->picture()->isVisible());
    } else {
        QCOMPARE(v.firstPixel(), pixvue::argbFromWord(kOrdinaryFirstWord));
    }
}

// ---- Texts ---------------------------------------------------------------------------------

namespace {

// What one command makes of a text: the address text afterwards ("=" unchanged, "*" not
// checked) and the message shown.
struct Outcome {
    QString address;
    const Message* message;
};

// One text in each field, through each command. The other fields hold address 0 (153600 for
// the height), width 320 and height 240, on a 320 x 240 data file.
struct TextCase {
    const char* name;
    QString text;
    const Message* inWidth;    // Load
    const Message* inHeight;   // Load
    const Message* inAddress;  // Load
    Outcome pageDown;          // text in the address
    Outcome pageUp;            // text in the address
    Outcome fixColors;         // text in the address
    Outcome widthPageDown;     // text in the width, address 0
    Outcome heightPageUp;      // text in the height, address 153600
};

const QString kUnchanged = QStringLiteral("=");
const QString kAny = QStringLiteral("*");

QString blankThenDigits(const char* head, int zeros) {
    return QStringLiteral(" ") + QString::fromLatin1(head) + QString(zeros, QLatin1Char('0'));
}

std::vector<TextCase> textCases() {
    const Message* N = &kNumbers;
    const Message* none = nullptr;
    const QString same = kUnchanged;
    const QString tenThousandNines(10000, QLatin1Char('9'));
    const QString tenThousandDigits = QString(9997, QLatin1Char('0')) + QStringLiteral("320");
    return {
        {"1e308",
         "1e308",
         N,
         N,
         N,
         {blankThenDigits("1", 308), N},
         {blankThenDigits("1", 308), N},
         {blankThenDigits("1", 308), N},
         {same, N},
         {same, N}},
        {"1e309", "1e309", N, N, N, {same, N}, {same, N}, {same, N}, {same, N}, {same, N}},
        {"-1e309", "-1e309", N, N, N, {same, N}, {same, N}, {same, N}, {same, N}, {same, N}},
        {"nan", "nan", N, N, N, {same, N}, {same, N}, {" 1", none}, {" 0", N}, {" 153600", N}},
        {"inf", "inf", N, N, N, {same, N}, {same, N}, {" 1", none}, {" 0", N}, {" 153600", N}},
        {"1e-320",
         "1e-320",
         &kWidth,
         &kHeight,
         none,
         {" 153600", none},
         {"0", none},
         {" 1", none},
         {kAny, &kWidth},
         {" 153600", &kHeight}},
        {"ten thousand nines",
         tenThousandNines,
         N,
         N,
         N,
         {same, N},
         {same, N},
         {same, N},
         {same, N},
         {same, N}},
        {"ten thousand digits",
         tenThousandDigits,
         none,
         none,
         none,
         {" 153920", none},
         {"0", none},
         {" 321", none},
         {" 153600", none},
         {"0", none}},
        {"embedded NUL",
         QString::fromUtf8("32\0"
                           "0",
                           4),
         N,
         N,
         N,
         {same, N},
         {same, N},
         {" 33", none},
         {" 15360", N},
         {" 133120", N}},
        {"non-ASCII digits",
         QString::fromUtf8("\u0663\u0662\u0660"),
         N,
         N,
         N,
         {same, N},
         {same, N},
         {" 1", none},
         {" 0", N},
         {" 153600", N}},
        {"0x10",
         "0x10",
         none,
         none,
         none,
         {" 153616", none},
         {"0", none},
         {" 17", none},
         {" 7680", none},
         {" 143360", none}},
        {"1,024",
         "1,024",
         N,
         N,
         N,
         {same, N},
         {same, N},
         {" 2", none},
         {" 480", N},
         {" 152960", N}},
        {"+5",
         "+5",
         none,
         none,
         none,
         {" 153605", none},
         {"0", none},
         {" 6", none},
         {" 2400", none},
         {" 150400", none}},
        {"5.",
         "5.",
         none,
         none,
         none,
         {" 153605", none},
         {"0", none},
         {" 6", none},
         {" 2400", none},
         {" 150400", none}},
        {".5",
         ".5",
         none,
         none,
         none,
         {" 153600.5", none},
         {"0", none},
         {" 1.5", none},
         {" 240", none},
         {" 153280", none}},
        {"- 5",
         "- 5",
         N,
         N,
         N,
         {same, N},
         {same, N},
         {"-4", &kAddress},
         {"-2400", N},
         {" 156800", N}},
        // The largest double: written back with 15 digits, cut rather than rounded up to a text
        // that would read as infinity.
        {"largest double",
         "1.7976931348623157e308",
         N,
         N,
         N,
         {blankThenDigits("179769313486231", 294), N},
         {blankThenDigits("179769313486231", 294), N},
         {blankThenDigits("179769313486231", 294), N},
         {same, N},
         {same, N}},
    };
}

enum class Command { Load, PageDown, PageUp, FixColors };
enum class Field { Address, Width, Height };

}  // namespace

void BadInputTest::texts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<const Message*>("message");

    for (const TextCase& c : textCases()) {
        auto row = [&c](const char* where, Field field, Command command, const Outcome& o) {
            QTest::addRow("%s: %s", c.name, where)
                << c.text << int(field) << int(command) << o.address << o.message;
        };
        row("Load, width", Field::Width, Command::Load, {kUnchanged, c.inWidth});
        row("Load, height", Field::Height, Command::Load, {kUnchanged, c.inHeight});
        row("Load, address", Field::Address, Command::Load, {kUnchanged, c.inAddress});
        row("Page down, address", Field::Address, Command::PageDown, c.pageDown);
        row("Page up, address", Field::Address, Command::PageUp, c.pageUp);
        row("Fix colors, address", Field::Address, Command::FixColors, c.fixColors);
        row("Page down, width", Field::Width, Command::PageDown, c.widthPageDown);
        row("Page up, height", Field::Height, Command::PageUp, c.heightPageUp);
    }
}

void BadInputTest::texts() {
    QFETCH(QString, text);
    QFETCH(int, field);
    QFETCH(int, command);
    QFETCH(QString, address);
    QFETCH(const Message*, message);

    Viewer v;
    v.open(path("ordinary.bin"));
    const QString startAddress =
        Field(field) == Field::Height ? QStringLiteral("153600") : QStringLiteral("0");
    v.setFields(startAddress, QStringLiteral("320"), QStringLiteral("240"));
    QLineEdit* edit = Field(field) == Field::Address ? v.form->EdAdd
                      : Field(field) == Field::Width ? v.form->EdWidth
                                                     : v.form->EdHeight;
    edit->setText(text);
    QCOMPARE(edit->text(), text);  // the field keeps every character, NUL included
    const QString before = v.form->EdAdd->text();

    QPushButton* button = nullptr;
    switch (Command(command)) {
        case Command::Load:
            button = v.form->Command1;
            break;
        case Command::PageDown:
            button = v.form->Command3;
            break;
        case Command::PageUp:
            button = v.form->Command4;
            break;
        case Command::FixColors:
            button = v.form->Command2;
            break;
    }
    {
        HangGuard guard(std::string(QTest::currentDataTag()));
        button->click();
    }

    verifyMessages(v.dialogs, message);
    if (address == kUnchanged)
        QCOMPARE(v.form->EdAdd->text(), before);
    else if (address != kAny)
        QCOMPARE(v.form->EdAdd->text(), address);
    QCOMPARE(v.form->windowTitle(), QString::fromUtf8(pixvue::kMainTitle));
}

// Each text in each field, then every command one after the other: only the loader's own
// messages may show, each command returns, and a good load afterwards works as ever.
void BadInputTest::everyCommandAfterEachText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("field");
    for (const TextCase& c : textCases()) {
        QTest::addRow("%s in the address", c.name) << c.text << int(Field::Address);
        QTest::addRow("%s in the width", c.name) << c.text << int(Field::Width);
        QTest::addRow("%s in the height", c.name) << c.text << int(Field::Height);
    }
}

void BadInputTest::everyCommandAfterEachText() {
    QFETCH(QString, text);
    QFETCH(int, field);

    Viewer v;
    v.open(path("ordinary.bin"));
    v.form->Command1->click();  // a picture on screen, so the picture window's commands run
    QVERIFY(v.dialogs.messages.empty());
    QLineEdit* edit = Field(field) == Field::Address ? v.form->EdAdd
                      : Field(field) == Field::Width ? v.form->EdWidth
                                                     : v.form->EdHeight;
    edit->setText(text);

    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"Load", [&] { v.form->Command1->click(); }},
        {"Page down", [&] { v.form->Command3->click(); }},
        {"Page up", [&] { v.form->Command4->click(); }},
        {"Fix colors", [&] { v.form->Command2->click(); }},
        {"+", [&] { v.form->BtZoomPlus->click(); }},
        {"Resize", [&] { v.form->Command5->click(); }},
        {"-", [&] { v.form->BtZoomMinus->click(); }},
        {"pointer move", [&] { v.form->picture()->Form_MouseMove(7, 3); }},
        {"pointer press", [&] { v.form->picture()->Form_MouseDown(7, 3); }},
    };
    const Message* known[] = {&kNumbers, &kWidth, &kHeight, &kAddress, &pixvue::kFileUnreadable};
    for (const auto& [name, run] : commands) {
        v.dialogs.messages.clear();
        {
            HangGuard guard(std::string(QTest::currentDataTag()) + ", " + name);
            run();
        }
        for (const auto& m : v.dialogs.messages) {
            bool isKnown = false;
            for (const Message* k : known)
                isKnown =
                    isKnown || (m.text == k->text && m.title == k->title && m.icon == k->icon);
            QVERIFY2(isKnown,
                     qPrintable(QString::fromLatin1(name) + ": " + describe(v.dialogs.messages)));
        }
        QVERIFY2(v.dialogs.messages.size() <= 1, name);
        QCOMPARE(v.form->windowTitle(), QString::fromUtf8(pixvue::kMainTitle));
    }

    v.dialogs.messages.clear();
    v.setFields(QStringLiteral("0"), QStringLiteral("320"), QStringLiteral("240"));
    v.form->Command1->click();
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(describe(v.dialogs.messages)));
    QCOMPARE(v.firstPixel(), pixvue::argbFromWord(kOrdinaryFirstWord));
}

// ---- Bookmark files ------------------------------------------------------------------------

void BadInputTest::bookmarkFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<int>("items");  // list items afterwards
    QTest::addColumn<const Message*>("message");
    QTest::addColumn<QString>("firstName");  // of the first list item, Latin-1

    auto row = [](const char* name, const QString& file, bool unprivileged, int items,
                  const Message* message, const QString& firstName) {
        QTest::newRow(name) << file << unprivileged << items << message << firstName;
    };
    // The good file loaded first gives 3 items (two records and the empty entry after them);
    // a file that cannot be opened leaves them.
    const QString bars = QStringLiteral("Bars");
    row("0xFF bytes", path("ff.txt"), false, 1, &kNumbers, QString(4096, QChar(0xFF)));
    row("zero bytes", path("zeros.txt"), false, 1, &kNumbers, QStringLiteral("^@").repeated(2048));
    row("100 MB without a carriage return", path("huge.txt"), false, 1, &kNumbers, "huge");
    row("ten thousand CR LF lines", path("lines-crlf.txt"), false, 129, nullptr, "line");
    row("ten thousand LF lines", path("lines-lf.txt"), false, 129, nullptr, "line");
    row("empty file", path("empty.bin"), false, 1, &kNumbers, "");
    row("named pipe", path("pipe"), false, 3, &kNotFound, bars);
    row("directory", path("directory.bin"), false, 3, &kNotFound, bars);
    row("/dev/zero", "/dev/zero", false, 3, &kNotFound, bars);
    row("dangling link", path("dangling.bin"), false, 3, &kNotFound, bars);
    row("missing file", path("missing.txt"), false, 3, &kNotFound, bars);
    row("no read permission", path("unreadable.bin"), true, 3, &kNotFound, bars);
}

void BadInputTest::bookmarkFiles() {
    QFETCH(QString, file);
    QFETCH(bool, unprivileged);
    QFETCH(int, items);
    QFETCH(const Message*, message);
    QFETCH(QString, firstName);

    Viewer v;
    v.open(path("ordinary.bin"));
    v.loadBookmarks(path("good-bookmarks.txt"));
    QCOMPARE(v.form->ComboBM->count(), 3);
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(describe(v.dialogs.messages)));

    auto load = [&v, &file] {
        HangGuard guard("Bookmarks > Load of " + file.toStdString());
        v.loadBookmarks(file);
    };
    if (unprivileged) {
        if (!runUnprivileged(load))
            QSKIP(
                "running as root without the right to switch the file-system user, so "
                "permission bits cannot be made to refuse a read here");
    } else {
        load();
    }

    verifyMessages(v.dialogs, message);
    QCOMPARE(v.form->ComboBM->count(), items);
    const qsizetype shown = std::min<qsizetype>(firstName.size(), 100);
    QCOMPARE(v.form->ComboBM->itemText(0).left(shown), firstName.left(shown));
    // Whatever the file's size, the table holds no more than the read bound.
    std::size_t stored = 0;
    for (const pixvue::BookmarkEntry& e : v.form->viewer().Bookmarks.entries)
        stored += e.BmName.size() + e.BmAddress.size() + e.BmWidth.size() + e.BmHeight.size();
    QVERIFY(stored <= pixvue::kBookmarkFileLimit);
    QCOMPARE(v.form->windowTitle(), QString::fromUtf8(pixvue::kMainTitle));
}

QTEST_MAIN(BadInputTest)
#include "bad_input_test.moc"
