// zor_main_flow_test.cpp - whole operations driven through the main window with its dialogs answered: pack, browse, test, unpack, lock, info, delete.
#include "tests/ui/zor_main_test_support.h"

#include "ui/packto.h"
#include "ui/progressbox.h"
#include "ui/unpackto.h"
#include "ui/folderbrowser.h"

#include <QAction>
#include <QLineEdit>
#include <QRandomGenerator>

#include <sys/stat.h>

namespace zor::test {
namespace {

QByteArray sampleBytes(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    // Words from a small alphabet compress, like text does.
    for (int i = 0; i < size; ++i) bytes[i] = char('a' + random.bounded(6));
    return bytes;
}

class MainWindowFlowTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        writeFile(root_ + "/src/a.txt", sampleBytes(20000, 1));
        writeFile(root_ + "/src/empty.txt", "");
        writeFile(root_ + "/src/sub/b.bin", sampleBytes(70000, 2));
        writeFile(root_ + "/src/sub/deeper/c.txt", "c");
        QDir().mkpath(root_ + "/out");
    }

    // Packs the rows `names` of the folder shown into `archiveName` through
    // the Pack button and the pack-to dialog.
    void packThroughWindow(WindowFixture& fixture, const QStringList& names, const QString& archiveName) {
        ModalAnswerer answerer;
        answerer.then([archiveName](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("ArchiveName");
            ASSERT_NE(name, nullptr);
            name->setText(archiveName);
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        selectRows(fixture.list(), names);
        fixture.window->DirListClick();
        fixture.window->PackButtonClick();
        EXPECT_TRUE(answerer.allAnswered());
        EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join("; ").toStdString();
    }

    // The unpack-to dialog's answer: extract into `destination`.
    static ModalAnswerer::Answer unpackInto(const QString& destination) {
        return [destination](QWidget* dialog) {
            auto* box = qobject_cast<TUnPackToBox*>(dialog);
            ASSERT_NE(box, nullptr);
            box->browser()->showFolder(destination);
            box->findChild<QAbstractButton*>("OK")->click();
        };
    }
};

TEST_F(MainWindowFlowTest, PackBrowseTestUnpackLockAndInfo) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    TExpListView& list = fixture.list();

    packThroughWindow(fixture, {"src"}, "backup.txt");  // the extension is forced to .zor
    ASSERT_TRUE(QFileInfo::exists(root_ + "/backup.zor"));
    EXPECT_FALSE(fixture.enabled("PackButton"));
    EXPECT_FALSE(window.progressForm()->isVisible());
    EXPECT_EQ(window.state().ArchivePath, "");
    list.Rescan();
    ASSERT_GE(rowOf(list, "backup.zor"), 0) << "the list shows the new archive";

    // Browse: the top level holds the folder src; inside it sub, then the files.
    selectRows(list, {"backup.zor"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().InArchive, 1);
    EXPECT_EQ(captions(list), QStringList({"src"}));
    EXPECT_EQ(list.SubItem(0, 3), "<DIR>");
    selectRows(list, {"src"});
    window.DirListKeyPress('\r');
    EXPECT_EQ(window.state().ArchiveLevel, 1);
    EXPECT_EQ(window.panelText(0), "src\\");
    EXPECT_EQ(captions(list), QStringList({"sub", "a.txt", "empty.txt"}));
    const int a = rowOf(list, "a.txt");
    EXPECT_EQ(list.SubItem(a, 1), "20000");
    EXPECT_LT(list.SubItem(a, 2).toInt(), 20000);
    EXPECT_EQ(list.SubItem(a, 4), "src\\");
    EXPECT_EQ(list.SubItem(rowOf(list, "empty.txt"), 2), "0");
    EXPECT_EQ(window.panelText(1), "Total 1 folder and 20.000 bytes in 2 files");

    // Test everything, then only the selected folder sub.
    {
        ModalAnswerer answerer;
        list.clearSelection();
        window.TestButtonClick();
        selectRows(list, {"sub"});
        window.TestButtonClick();
        // Each test ends with its result: all four files, then the two inside sub.
        EXPECT_EQ(answerer.messages(), QStringList({"4 files tested: all are OK.", "2 files tested: all are OK."}));
        ASSERT_EQ(answerer.seen().size(), 2u);
        EXPECT_EQ(answerer.seen()[0].objectName, "TestResultBox");
        EXPECT_EQ(answerer.seen()[0].title, "Test");
        EXPECT_EQ(answerer.seen()[0].icon, QMessageBox::Information);
        EXPECT_TRUE(list.isEnabled());
        EXPECT_FALSE(window.progressForm()->isVisible());
    }
    window.UpButtonClick();
    EXPECT_EQ(window.state().ArchiveLevel, 0);
    EXPECT_EQ(captions(list), QStringList({"src"}));

    // Unpack the whole archive into out.
    {
        ModalAnswerer answerer;
        answerer.then(unpackInto(root_ + "/out"));
        list.clearSelection();
        window.UnPackButtonClick();
        EXPECT_TRUE(answerer.allAnswered());
        EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join("; ").toStdString();
    }
    for (const char* name : {"src/a.txt", "src/empty.txt", "src/sub/b.bin", "src/sub/deeper/c.txt"})
        EXPECT_EQ(readFile(root_ + "/out/" + name), readFile(root_ + "/" + name)) << name;

    // Lock, see it in the information dialog, and lock again.
    window.LockButtonClick();
    {
        ModalAnswerer answerer;
        QString locked, files, folders, password;
        answerer.then([&](QWidget* dialog) {
            locked = dialog->findChild<QLabel*>("Locked")->text();
            files = dialog->findChild<QLabel*>("NumberOfFiles")->text();
            folders = dialog->findChild<QLabel*>("NumberOfDirectories")->text();
            password = dialog->findChild<QLabel*>("PasswordProtected")->text();
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        window.InfoButtonClick();
        EXPECT_EQ(locked, "Yes");
        EXPECT_EQ(files, "4");
        EXPECT_EQ(folders, "3");
        EXPECT_EQ(password, "No");
        const QByteArray before = readFile(root_ + "/backup.zor");
        window.LockButtonClick();
        EXPECT_EQ(answerer.messages(), QStringList({"Archive already locked."}));
        EXPECT_EQ(readFile(root_ + "/backup.zor"), before);
    }

    // Leaving returns to the folder the archive lies in.
    window.UpButtonClick();
    EXPECT_EQ(window.state().InArchive, 0);
    EXPECT_EQ(list.Folder(), root_);
    EXPECT_EQ(window.panelText(0), root_);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>({rowOf(list, "backup.zor")}));
    EXPECT_TRUE(fixture.enabled("PackButton"));
}

TEST_F(MainWindowFlowTest, APasswordSetInTheMenuProtectsTheNextArchive) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    {
        ModalAnswerer answerer;
        answerer.then([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("Password")->setText("Secret");
            dialog->findChild<QLineEdit*>("PasswordRepeat")->setText("Secret");
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        fixture.control<QAction>("Password")->trigger();
        EXPECT_TRUE(fixture.control<QAction>("Password")->isChecked());
    }
    packThroughWindow(fixture, {"src"}, "secret");
    fixture.list().Rescan();
    selectRows(fixture.list(), {"secret.zor"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().InArchive, 1);

    ModalAnswerer answerer;
    answerer.then([](QWidget* dialog) {  // a wrong password
        dialog->findChild<QLineEdit*>("PasswordDecrypt")->setText("secret");
        dialog->findChild<QAbstractButton*>("BitBtn1")->click();
    });
    answerer.thenPress(QMessageBox::Ok);
    answerer.then([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("PasswordDecrypt")->setText("Secret");
        dialog->findChild<QAbstractButton*>("BitBtn1")->click();
    });
    window.TestButtonClick();
    window.TestButtonClick();
    EXPECT_EQ(answerer.messages(), QStringList({"Password is not correct!", "4 files tested: all are OK."}))
        << "a test that stopped at the password shows no result";
    EXPECT_TRUE(answerer.allAnswered());

    // Unchecking the menu item forgets the password.
    fixture.control<QAction>("Password")->trigger();
    EXPECT_FALSE(fixture.control<QAction>("Password")->isChecked());
}

TEST_F(MainWindowFlowTest, OverwriteQuestionAnswersNoYesAndAll) {
    for (const char* name : {"f1.txt", "f2.txt", "f3.txt", "f4.txt"}) writeFile(root_ + "/files/" + name, "new");
    WindowFixture fixture(root_);
    QDir::setCurrent(root_ + "/files");
    fixture.list().SetFolder(root_ + "/files");
    packThroughWindow(fixture, {"f1.txt", "f2.txt", "f3.txt", "f4.txt"}, "four");
    for (const char* name : {"f1.txt", "f2.txt", "f3.txt", "f4.txt"}) writeFile(root_ + "/out/" + name, "old");
    fixture.list().Rescan();
    selectRows(fixture.list(), {"four.zor"});
    fixture.window->DirListDblClick();

    ModalAnswerer answerer;
    QStringList questions;
    auto answerWith = [&questions](const char* button) {
        return [&questions, button](QWidget* dialog) {
            questions << dialog->findChild<QLabel*>("QuestionLabel")->text();
            dialog->findChild<QAbstractButton*>(button)->click();
        };
    };
    answerer.then(unpackInto(root_ + "/out"));
    answerer.then(answerWith("No"));
    answerer.then(answerWith("Yes"));
    answerer.then(answerWith("All"));
    fixture.list().clearSelection();
    fixture.window->UnPackButtonClick();
    EXPECT_TRUE(answerer.allAnswered());
    ASSERT_EQ(questions.size(), 3) << "All stops the questions";
    EXPECT_EQ(questions[0], "File " + root_ + "/out/f1.txt already exists. Overwrite ?");
    EXPECT_EQ(readFile(root_ + "/out/f1.txt"), "old");
    for (const char* name : {"f2.txt", "f3.txt", "f4.txt"}) EXPECT_EQ(readFile(root_ + "/out/" + name), "new") << name;
}

TEST_F(MainWindowFlowTest, DeleteAsksBeforeAReadOnlyFileAndKeepsItOnNo) {
    writeFile(root_ + "/trash/ro.txt", "keep me");
    writeFile(root_ + "/trash/plain.txt", "bin me");
    ASSERT_EQ(::chmod((root_ + "/trash/ro.txt").toLocal8Bit().constData(), 0444), 0);
    WindowFixture fixture(root_);
    QDir::setCurrent(root_ + "/trash");
    fixture.list().SetFolder(root_ + "/trash");

    ModalAnswerer answerer;
    QString question;
    answerer.thenPress(QMessageBox::Yes);
    answerer.then([&question](QWidget* dialog) {
        question = dialog->findChild<QLabel*>("QuestionLabel")->text();
        dialog->findChild<QAbstractButton*>("No")->click();
    });
    selectRows(fixture.list(), {"ro.txt", "plain.txt"});
    fixture.window->DirListClick();
    fixture.window->Delete1Click();
    ASSERT_FALSE(answerer.seen().empty());
    EXPECT_EQ(answerer.seen().front().title, "Question");
    EXPECT_EQ(answerer.seen().front().text, "Delete the selected files/directories. Are you sure?");
    EXPECT_EQ(question, "File ro.txt is read-only or hidden. Delete anyway ?");
    EXPECT_TRUE(QFileInfo::exists(root_ + "/trash/ro.txt"));
    EXPECT_FALSE(QFileInfo::exists(root_ + "/trash/plain.txt"));
    EXPECT_FALSE(fixture.enabled("PackButton"));
}

TEST_F(MainWindowFlowTest, DeleteAnsweredNoDeletesNothing) {
    WindowFixture fixture(root_);
    ModalAnswerer answerer;
    answerer.thenPress(QMessageBox::No);
    selectRows(fixture.list(), {"src"});
    fixture.window->DirListClick();
    fixture.window->Delete1Click();
    EXPECT_TRUE(QFileInfo::exists(root_ + "/src/a.txt"));
    EXPECT_FALSE(fixture.enabled("PackButton"));
}

TEST_F(MainWindowFlowTest, DamagedEntryIsReportedAndTestingGoesOn) {
    WindowFixture fixture(root_);
    packThroughWindow(fixture, {"src"}, "damaged");
    QByteArray bytes = readFile(root_ + "/damaged.zor");
    // The stream of a.txt, the first file entry, starts after its record and
    // name; damage the middle of the archive's first compressed bytes.
    const int at = bytes.indexOf("src\\a.txt") + 10 + 200;
    bytes[at] = char(bytes[at] ^ 0x55);
    writeFile(root_ + "/damaged.zor", bytes);
    fixture.list().Rescan();
    selectRows(fixture.list(), {"damaged.zor"});
    fixture.window->DirListDblClick();
    ModalAnswerer answerer;
    // The box comes up while the main window's controls are disabled; its OK must still work.
    answerer.thenPress(QMessageBox::Ok);
    fixture.list().clearSelection();
    fixture.window->TestButtonClick();
    ASSERT_FALSE(answerer.messages().isEmpty());
    EXPECT_TRUE(answerer.allAnswered());
    EXPECT_EQ(answerer.messages().count("src\\a.txt is corrupt"), 1) << "answered once, with its own OK";
    // The result names the corrupt file; the others were tested too.
    EXPECT_EQ(answerer.messages().last(), "4 files tested, 1 corrupt:\nsrc\\a.txt");
    EXPECT_EQ(answerer.seen().back().icon, QMessageBox::Warning);
    EXPECT_TRUE(fixture.list().isEnabled());
    EXPECT_FALSE(fixture.window->progressForm()->isVisible());
}

}  // namespace
}  // namespace zor::test
