// Bookmarks > Load and the choice of an entry, through the main window.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/form1.h"
#include "support/fake_dialogs.h"
#include "support/temp_file.h"
#include "support/title_log.h"

using namespace pixvue;
using pixvue::testing::FakeDialogs;
using pixvue::testing::TempDir;

class BookmarkCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeDialogs> dialogs;
    std::unique_ptr<Form1> form;

    QString file(const std::string& name, const std::string& text) {
        return QString::fromStdString(dir->write(name, text));
    }
    void loadBookmarks(const QString& path) {
        dialogs->answers.push_back(path);
        form->ItTabLoad_Click();
    }
    QStringList items() const {
        QStringList out;
        for (int i = 0; i < form->ComboBM->count(); ++i) out << form->ComboBM->itemText(i);
        return out;
    }
    void type3(const char* address, const char* width, const char* height) {
        form->EdAdd->setText(address);
        form->EdWidth->setText(width);
        form->EdHeight->setText(height);
    }
    QStringList fields() const {
        return {form->EdAdd->text(), form->EdWidth->text(), form->EdHeight->text()};
    }

  private slots:
    void init() {
        dir = std::make_unique<TempDir>();
        dialogs = std::make_unique<FakeDialogs>();
        form = std::make_unique<Form1>(*dialogs);
        dialogs->answers.push_back(
            QString::fromStdString(dir->write("data.bin", std::vector<std::uint8_t>(70000, 0x11))));
        form->ItOpen_Click();
    }
    void cleanup() {
        form.reset();
        dialogs.reset();
        dir.reset();
    }

    void loadListsTheNamesAndAppliesTheFirst() {
        pixvue::testing::TitleLog log(form.get());
        loadBookmarks(file("marks.txt", "Intro,1024,32,16\r\nTiles, 4096,256,192\r\n"));
        QCOMPARE(log.titles.size(), 16 + 1);  // the first entry loaded exactly once
        QCOMPARE(dialogs->filters.back(), QString("Bookmark TXT file (*.txt)"));
        QCOMPARE(items(), (QStringList{"Intro", "Tiles", ""}));
        QCOMPARE(form->ComboBM->currentIndex(), 0);
        QCOMPARE(fields(), (QStringList{"1024", "32", "16"}));
        QCOMPARE(form->viewer().PicAddress, 1024);
        QVERIFY(form->picture()->isVisible());
        QCOMPARE(form->picture()->windowTitle(), QString("Address: 1024 Width: 32 Height: 16"));
        QVERIFY(dialogs->messages.empty());
    }

    void choosingAnEntryAppliesItEveryTime() {
        loadBookmarks(file("marks.txt", "A,0,4,4\r\nB,100,8,2\r\n"));
        form->ComboBM->setCurrentIndex(1);
        emit form->ComboBM->activated(1);
        QCOMPARE(fields(), (QStringList{"100", "8", "2"}));
        QCOMPARE(form->viewer().PicAddress, 100);
        // The item already selected, chosen again, loads again (the typed address is replaced).
        form->EdAdd->setText("9999");
        emit form->ComboBM->activated(1);
        QCOMPARE(form->EdAdd->text(), QString("100"));
        // Editing the combo box's text runs nothing.
        form->ComboBM->setEditText("typed");
        QCOMPARE(form->EdAdd->text(), QString("100"));
    }

    void noSelectionChangesNothing() {
        loadBookmarks(file("marks.txt", "A,0,4,4\r\n"));
        type3("1", "2", "3");
        form->ComboBM->setCurrentIndex(-1);
        form->ComboBM_Click();
        QCOMPARE(fields(), (QStringList{"1", "2", "3"}));
    }

    void arrowKeysChooseEntries() {
        loadBookmarks(file("marks.txt", "A,0,4,4\r\nB,100,8,2\r\nC,200,2,2"));
        form->ComboBM->setFocus();
        QTest::keyClick(form->ComboBM, Qt::Key_Down);
        QCOMPARE(fields(), (QStringList{"100", "8", "2"}));
        QTest::keyClick(form->ComboBM, Qt::Key_Down);
        QCOMPARE(fields(), (QStringList{"200", "2", "2"}));
        QCOMPARE(items().size(), 3);  // no line end after the last record: no empty item
    }

    void theEmptyEntryEmptiesTheFieldsAndTheLoadSaysSo() {
        loadBookmarks(file("empty.txt", ""));
        QCOMPARE(items(), QStringList{""});
        QCOMPARE(fields(), (QStringList{"", "", ""}));
        QCOMPARE(dialogs->texts(),
                 std::vector<std::string>{"Are you sure you entered only numbers ?"});
    }

    void aWidthOutOfRangeIsCopiedAndReported() {
        loadBookmarks(file("wide.txt", "Wide,0,2000,10\r\n"));
        QCOMPARE(form->EdWidth->text(), QString("2000"));
        QCOMPARE(dialogs->texts(),
                 std::vector<std::string>{"The width must be between 1 and 1024"});
    }

    void aMissingFileKeepsTheListAndTable() {
        loadBookmarks(file("marks.txt", "A,0,4,4\r\nB,100,8,2\r\n"));
        loadBookmarks(QString::fromStdString((dir->path() / "missing.txt").string()));
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        QCOMPARE(dialogs->messages[0].text, std::string("File not found"));
        QCOMPARE(dialogs->messages[0].title, std::string("Pixvue"));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::None);
        QCOMPARE(items(), (QStringList{"A", "B", ""}));
        QCOMPARE(form->viewer().Bookmarks.entries[1].BmAddress, std::string("100"));
        // Cancelling changes nothing either.
        loadBookmarks("");
        QCOMPARE(items(), (QStringList{"A", "B", ""}));
    }

    void aNewFileReplacesEveryEntry() {
        std::string many;
        for (int i = 0; i < 10; ++i) many += "n" + std::to_string(i) + ",0,1,1\r\n";
        loadBookmarks(file("many.txt", many));
        QCOMPARE(items().size(), 11);
        loadBookmarks(file("one.txt", "only,2,2,2"));
        QCOMPARE(items(), QStringList{"only"});
        QCOMPARE(form->viewer().Bookmarks.entries[5], BookmarkEntry{});
    }

    void beforeADataFileOnlyTheFieldsChange() {
        Form1 fresh(*dialogs);
        dialogs->answers.push_back(file("marks.txt", "A,4096,256,192\r\n"));
        fresh.ItTabLoad_Click();
        QCOMPARE(fresh.EdAdd->text(), QString("4096"));
        QCOMPARE(fresh.EdWidth->text(), QString("256"));
        QVERIFY(!fresh.picture()->isVisible());
        QVERIFY(dialogs->messages.empty());
    }

    void namesShowControlCharactersVisibly() {
        loadBookmarks(file("odd.txt", std::string("\r\nTab\there\0,1,1,1\r\n\xE9t\xE9,2,2,2", 28)));
        QCOMPARE(items()[0], QString::fromUtf8("^M^JTab^Ihere^@"));
        QCOMPARE(items()[1], QString::fromUtf8("été"));
        // The table keeps the bytes exactly.
        QCOMPARE(form->viewer().Bookmarks.entries[0].BmName, std::string("\r\nTab\there\0", 11));
        QCOMPARE(listTextForName(std::string(500, 'x')).size(), 201);
        QCOMPARE(listTextForName("a\x85\x7F\x1B"), QString("a\\x85^?^["));
    }

    void theListCountRuleAtTheTableLimit() {
        std::string text;
        for (int i = 0; i < 130; ++i) text += "n" + std::to_string(i) + ",0,1,1\r\n";
        loadBookmarks(file("full.txt", text));
        QCOMPARE(items().size(), 129);
        QCOMPARE(items().back(), QString("n128"));
    }

    void lineFeedOnlyFilesReadLineByLine() {
        loadBookmarks(file("unix.txt", "A,0,4,4\nB,100,8,2\n"));
        QCOMPARE(items(), (QStringList{"A", "B", ""}));
    }
};

QTEST_MAIN(BookmarkCommandsTest)
#include "bookmark_commands_test.moc"
