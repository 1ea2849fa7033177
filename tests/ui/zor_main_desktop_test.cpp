// zor_main_desktop_test.cpp - the window as a desktop user meets it: no input during work, boxes in front, selection by any means, totals, Up.
#include "tests/ui/zor_main_test_support.h"

#include "ui/packto.h"
#include "ui/progressbox.h"
#include "ui/qt_operation_ui.h"
#include "ui/unpackto.h"
#include "ui/folderbrowser.h"

#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

namespace zor::test {
namespace {

QByteArray noise(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (int i = 0; i < size; ++i) bytes[i] = char(random.bounded(256));
    return bytes;
}

QPoint rowCentre(TExpListView& list, const QString& caption) {
    return list.visualRect(list.model()->index(rowOf(list, caption), 0)).center();
}

bool staysOnTop(const QWidget* window) { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

class DesktopTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        writeFile(root_ + "/data/one.bin", noise(1'500'000, 1));
        writeFile(root_ + "/data/sub/two.txt", "two");
        writeFile(root_ + "/notes.txt", "just text");
    }

    // Packs the rows `names` through the Pack button and the pack-to dialog.
    static void pack(WindowFixture& fixture, const QStringList& names, const QString& archiveName) {
        ModalAnswerer answerer;
        answerer.then([archiveName](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ArchiveName")->setText(archiveName);
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        selectRows(fixture.list(), names);
        fixture.window->PackButtonClick();
        ASSERT_TRUE(answerer.allAnswered());
        ASSERT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join("; ").toStdString();
    }

};

// What a person tries on the main window while an operation runs, each
// tried once the operation pumps messages for the first time.
struct Interference {
    const char* name;
    std::function<void(WindowFixture&)> attempt;
};

class InputDuringOperations : public DesktopTest, public testing::WithParamInterface<Interference> {};

// Pack, unpack and test each run with the interference; the window must
// take none of it, and the operation must end as it would without it.
TEST_P(InputDuringOperations, ReachNothing) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    int attempts = 0;
    bool armed = false;
    // Polled, so the attempt comes within the operation, not in the dialog before it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!armed || !window.inputBlocked()) return;
        armed = false;
        ++attempts;
        QApplication::setActiveWindow(&window);
        GetParam().attempt(fixture);
    });
    poll.start(1);
    const auto interfereOnce = [&] { armed = true; };

    interfereOnce();
    pack(fixture, {"data", "notes.txt"}, "backup");
    ASSERT_TRUE(QFileInfo::exists(root_ + "/backup.zor"));
    EXPECT_EQ(fixture.list().Folder(), root_);
    EXPECT_EQ(QDir::currentPath(), root_);
    EXPECT_TRUE(QFileInfo::exists(root_ + "/notes.txt")) << "Delete was not reachable";

    fixture.list().Rescan();
    selectRows(fixture.list(), {"backup.zor"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().InArchive, 1);
    QDir().mkpath(root_ + "/out");
    {
        ModalAnswerer answerer;
        answerer.then([this](QWidget* dialog) {
            qobject_cast<TUnPackToBox*>(dialog)->browser()->showFolder(root_ + "/out");
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        interfereOnce();
        fixture.list().clearSelection();
        window.UnPackButtonClick();
        EXPECT_TRUE(answerer.allAnswered());
        EXPECT_EQ(answerer.seen().size(), 1u) << answerer.messages().join("; ").toStdString();
    }
    EXPECT_EQ(readFile(root_ + "/out/data/one.bin"), readFile(root_ + "/data/one.bin"));
    {
        ModalAnswerer answerer;
        interfereOnce();
        fixture.list().clearSelection();
        window.TestButtonClick();
        EXPECT_TRUE(answerer.seen().size() <= 1u) << "at most the result of Test";
    }
    EXPECT_EQ(window.state().InArchive, 1) << "still in the archive";
    EXPECT_EQ(window.state().ArchiveLevel, 0);
    EXPECT_EQ(captions(fixture.list()), QStringList({"data", "notes.txt"}));
    EXPECT_EQ(attempts, 3) << "every operation pumped messages";
    EXPECT_FALSE(window.inputBlocked());
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, InputDuringOperations,
    testing::Values(
        Interference {"DoubleClickAFolder",
                      [](WindowFixture& f) {
                          TExpListView& list = f.list();
                          QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                                             list.visualRect(list.model()->index(0, 0)).center());
                      }},
        Interference {"EnterOnTheFirstRow",
                      [](WindowFixture& f) {
                          f.list().setFocus();
                          QTest::keyClick(&f.list(), Qt::Key_Home);
                          QTest::keyClick(&f.list(), Qt::Key_Return);
                      }},
        Interference {"PackAndUpButtons",
                      [](WindowFixture& f) {
                          for (const char* name : {"PackButton", "UpButton", "UnPackButton", "TestButton"}) {
                              auto* button = f.control<QToolButton>(name);
                              const bool wasEnabled = button->isEnabled();
                              button->setEnabled(true);  // even a button left on does nothing
                              QTest::mouseClick(button, Qt::LeftButton);
                              button->setEnabled(wasEnabled);
                          }
                      }},
        Interference {"KeyboardShortcuts",
                      [](WindowFixture& f) {
                          selectRows(f.list(), {"notes.txt"});
                          f.control<QAction>("Delete1")->setEnabled(true);
                          QTest::keyClick(f.window.get(), Qt::Key_Delete, Qt::ShiftModifier);
                          QTest::keyClick(&f.list(), Qt::Key_Backspace);
                          QTest::keyClick(&f.list(), Qt::Key_Up, Qt::AltModifier);
                          QTest::keyClick(f.window.get(), Qt::Key_F, Qt::AltModifier);
                      }}),
    [](const testing::TestParamInfo<Interference>& info) { return info.param.name; });

TEST_F(DesktopTest, AbortStaysLiveWhileTheWindowIsBlocked) {
    // Large enough that packing outlasts several pumps even on an idle machine.
    writeFile(root_ + "/big/one.bin", noise(12'000'000, 2));
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clicked || !window.inputBlocked()) return;
        clicked = true;
        QTest::mouseClick(window.progressForm()->findChild<QPushButton*>("Abort"), Qt::LeftButton);
    });
    poll.start(1);
    pack(fixture, {"big"}, "aborted");
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(QFileInfo::exists(root_ + "/aborted.zor"));
}

// The pack-to dialog's error opens above that always-on-top dialog, with the focus.
TEST_F(DesktopTest, TheEmptyNameErrorOpensAboveThePackToDialog) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    ModalAnswerer answerer;
    answerer.then([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("ArchiveName")->clear();
        dialog->findChild<QAbstractButton*>("OK")->click();
    });
    QWidget* parent = nullptr;
    bool onTop = false;
    bool focused = false;
    answerer.then([&](QWidget* box) {
        parent = box->parentWidget();
        onTop = staysOnTop(box);
        focused = QApplication::activeWindow() == box;
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    selectRows(fixture.list(), {"notes.txt"});
    window.PackButtonClick();
    ASSERT_TRUE(answerer.allAnswered());
    EXPECT_EQ(answerer.messages(), QStringList({"You have to enter an archive name"}));
    EXPECT_EQ(parent, window.packToBox());
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(focused);
}

// The boxes an operation opens while the progress window is up open above it, with the focus.
struct BoxInFront {
    const char* name;
    std::function<void(QtOperationUi&)> open;
    QString objectName;
};

class BoxesAboveTheProgressWindow : public DesktopTest, public testing::WithParamInterface<BoxInFront> {};

TEST_P(BoxesAboveTheProgressWindow, TakeItAsParentAndTheFocus) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    window.operationUi().showProgress();
    ModalAnswerer answerer;
    QWidget* parent = nullptr;
    bool onTop = false;
    bool focused = false;
    answerer.then([&](QWidget* box) {
        parent = box->parentWidget();
        onTop = staysOnTop(box);
        focused = QApplication::activeWindow() == box;
        qobject_cast<QDialog*>(box)->done(QMessageBox::No);
    });
    GetParam().open(window.operationUi());
    ASSERT_TRUE(answerer.allAnswered());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen().front().objectName, GetParam().objectName);
    EXPECT_EQ(parent, window.progressForm());
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(focused);
    window.operationUi().closeProgress();
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, BoxesAboveTheProgressWindow,
    testing::Values(BoxInFront {"ReadOnlyQuestion",
                                [](QtOperationUi& ui) { ui.confirmReadOnlyOverwrite("File a is read-only. Overwrite ?"); },
                                "ReadOnlyWarningBox"},
                    BoxInFront {"ArchiveOverwriteQuestion",
                                [](QtOperationUi& ui) { ui.confirmArchiveOverwrite("/x/a.zor", true); },
                                "ArchiveOverwriteQuestion"}),
    [](const testing::TestParamInfo<BoxInFront>& info) { return info.param.name; });

TEST_F(DesktopTest, PackingOntoAnExistingNameAsksAndNamesAFileThatIsNoArchive) {
    WindowFixture fixture(root_);
    QtOperationUi& ui = fixture.window->operationUi();
    for (const bool isArchive : {true, false}) {
        for (const QMessageBox::StandardButton press : {QMessageBox::Yes, QMessageBox::No}) {
            ModalAnswerer answerer;
            QString note;
            QAbstractButton* byDefault = nullptr;
            QAbstractButton* no = nullptr;
            answerer.then([&](QWidget* box) {
                auto* question = qobject_cast<QMessageBox*>(box);
                note = question->informativeText();
                byDefault = question->defaultButton();
                no = question->button(QMessageBox::No);
                question->button(press)->click();
            });
            EXPECT_EQ(ui.confirmArchiveOverwrite("/x/report.zor", isArchive), press == QMessageBox::Yes);
            ASSERT_EQ(answerer.seen().size(), 1u);
            EXPECT_EQ(answerer.seen().front().text, "File /x/report.zor already exists. Overwrite ?");
            EXPECT_EQ(answerer.seen().front().title, "Question");
            EXPECT_EQ(note, isArchive ? "" : "It is not a ZOR archive.");
            // Enter keeps a file that is no archive.
            EXPECT_EQ(byDefault == no, !isArchive);
        }
    }
}

// Omissions come in one box: the first lines in its text, all of them in its details when there are many.
TEST_F(DesktopTest, OmissionsAreListedInOneBox) {
    WindowFixture fixture(root_);
    QtOperationUi& ui = fixture.window->operationUi();
    for (const int count : {1, 3, 25}) {
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i) lines.push_back("/x/fifo" + std::to_string(i) + ": not a regular file");
        ModalAnswerer answerer;
        QString details;
        answerer.then([&](QWidget* box) {
            details = qobject_cast<QMessageBox*>(box)->detailedText();
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        ui.reportOmissions(lines);
        ASSERT_EQ(answerer.seen().size(), 1u) << count;
        const QString text = answerer.seen().front().text;
        EXPECT_EQ(answerer.seen().front().title, "Warning");
        EXPECT_TRUE(text.startsWith(count == 1 ? "1 item was left out:" : QString("%1 items were left out:").arg(count)));
        EXPECT_TRUE(text.contains("/x/fifo0: not a regular file"));
        EXPECT_EQ(text.count('\n'), std::min(count, 10));
        EXPECT_EQ(details.isEmpty(), count <= 10);
        if (count > 10) {
            EXPECT_EQ(details.count('\n'), count - 1);
        }
    }
    ModalAnswerer none;
    ui.reportOmissions({});
    EXPECT_TRUE(none.seen().empty());
}

// Pack and Delete follow the selection however it is made.
struct SelectionMeans {
    const char* name;
    std::function<void(WindowFixture&)> select;
    bool packOn;
};

class SelectionByAnyMeans : public DesktopTest, public testing::WithParamInterface<SelectionMeans> {};

TEST_P(SelectionByAnyMeans, SwitchesPackAndDelete) {
    WindowFixture fixture(root_);
    TExpListView& list = fixture.list();
    list.setFocus();
    GetParam().select(fixture);
    EXPECT_EQ(fixture.enabled("PackButton"), GetParam().packOn);
    EXPECT_EQ(fixture.enabled("Delete1"), GetParam().packOn);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, SelectionByAnyMeans,
    testing::Values(
        SelectionMeans {"ArrowKey", [](WindowFixture& f) { QTest::keyClick(&f.list(), Qt::Key_Down); }, true},
        SelectionMeans {"ShiftArrow",
                        [](WindowFixture& f) {
                            QTest::keyClick(&f.list(), Qt::Key_Down);
                            QTest::keyClick(&f.list(), Qt::Key_Down, Qt::ShiftModifier);
                        },
                        true},
        SelectionMeans {"ControlA", [](WindowFixture& f) { QTest::keyClick(&f.list(), Qt::Key_A, Qt::ControlModifier); },
                        true},
        SelectionMeans {"RightButton",
                        [](WindowFixture& f) {
                            QTest::mousePress(f.list().viewport(), Qt::RightButton, {},
                                              rowCentre(f.list(), "notes.txt"));
                        },
                        true},
        SelectionMeans {"ControlClickOff",
                        [](WindowFixture& f) {
                            selectRows(f.list(), {"notes.txt"});
                            QTest::mouseClick(f.list().viewport(), Qt::LeftButton, Qt::ControlModifier,
                                              rowCentre(f.list(), "notes.txt"));
                        },
                        false},
        SelectionMeans {"EnterAFolder",
                        [](WindowFixture& f) {
                            f.list().setCurrentIndex(f.list().model()->index(rowOf(f.list(), "data"), 0));
                            QTest::keyClick(&f.list(), Qt::Key_Return);
                            ASSERT_TRUE(f.list().Folder().endsWith("/data"));
                            ASSERT_TRUE(f.list().SelectedRows().empty());
                        },
                        false}),
    [](const testing::TestParamInfo<SelectionMeans>& info) { return info.param.name; });

// Backspace, Alt+Up and the Up button go up and select the folder left.
struct UpMeans {
    const char* name;
    std::function<void(WindowFixture&)> goUp;
};

class UpSelectsThePlaceLeft : public DesktopTest, public testing::WithParamInterface<UpMeans> {};

TEST_P(UpSelectsThePlaceLeft, OnDiskAndInAnArchive) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    TExpListView& list = fixture.list();
    pack(fixture, {"data"}, "backup");
    list.setFocus();
    QApplication::setActiveWindow(&window);

    selectRows(list, {"data"});
    window.DirListDblClick();
    list.ActivateItem(rowOf(list, "data"));
    ASSERT_EQ(list.Folder(), root_ + "/data");
    GetParam().goUp(fixture);
    EXPECT_EQ(list.Folder(), root_);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>({rowOf(list, "data")}));
    EXPECT_TRUE(fixture.enabled("PackButton"));

    list.Rescan();
    selectRows(list, {"backup.zor"});
    window.DirListDblClick();
    selectRows(list, {"data"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().ArchiveLevel, 1);
    GetParam().goUp(fixture);
    EXPECT_EQ(window.state().ArchiveLevel, 0);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>({rowOf(list, "data")}));
    GetParam().goUp(fixture);
    EXPECT_EQ(window.state().InArchive, 0);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>({rowOf(list, "backup.zor")}));
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, UpSelectsThePlaceLeft,
    testing::Values(UpMeans {"UpButton", [](WindowFixture& f) { QTest::mouseClick(f.control<QToolButton>("UpButton"), Qt::LeftButton); }},
                    UpMeans {"Backspace", [](WindowFixture& f) { QTest::keyClick(&f.list(), Qt::Key_Backspace); }},
                    UpMeans {"AltUp", [](WindowFixture& f) { QTest::keyClick(&f.list(), Qt::Key_Up, Qt::AltModifier); }}),
    [](const testing::TestParamInfo<UpMeans>& info) { return info.param.name; });

// The totals follow the list whenever it is filled again.
TEST_F(DesktopTest, TotalsFollowPackingDeletingAndRescans) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    const auto files = [&] { return window.panelText(1).section(" in ", 1).section(' ', 0, 0).toInt(); };
    EXPECT_EQ(files(), 1);

    pack(fixture, {"notes.txt"}, "packed");
    processEventsFor(50);
    EXPECT_EQ(files(), 2) << window.panelText(1).toStdString();

    writeFile(root_ + "/later.txt", "later");
    fixture.list().Rescan();
    EXPECT_EQ(files(), 3);

    ModalAnswerer answerer;
    answerer.thenPress(QMessageBox::Yes);
    selectRows(fixture.list(), {"later.txt"});
    window.Delete1Click();
    processEventsFor(50);
    fixture.list().Rescan();
    EXPECT_FALSE(QFileInfo::exists(root_ + "/later.txt"));
    EXPECT_EQ(files(), 2);
}

// Inside an archive a header click sorts the rows, folders first; the disk view keeps its order.
TEST_F(DesktopTest, ArchiveRowsSortByTheClickedColumnAndTheDiskOrderStays) {
    writeFile(root_ + "/data/a-big.txt", QByteArray(9000, 'a'));
    writeFile(root_ + "/data/z-small.txt", "z");
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    TExpListView& list = fixture.list();
    pack(fixture, {"data"}, "backup");
    list.Rescan();
    const QStringList diskOrder = captions(list);
    selectRows(list, {"backup.zor"});
    window.DirListDblClick();
    selectRows(list, {"data"});
    window.DirListDblClick();
    EXPECT_EQ(captions(list), QStringList({"sub", "a-big.txt", "one.bin", "z-small.txt"}));
    list.ColumnClick(1);  // Size
    EXPECT_EQ(captions(list), QStringList({"sub", "z-small.txt", "a-big.txt", "one.bin"}));
    list.ColumnClick(1);
    EXPECT_EQ(captions(list), QStringList({"sub", "one.bin", "a-big.txt", "z-small.txt"}));
    window.UpButtonClick();
    window.UpButtonClick();
    ASSERT_EQ(window.state().InArchive, 0);
    EXPECT_EQ(captions(list), diskOrder);
}

// Drops from a file manager: what the window does with each.
struct DropCase {
    const char* name;
    bool inArchive;      // dropped while an archive is shown
    QStringList items;   // relative to the test folder
    QString folderShown; // afterwards, relative ("" = the test folder)
    QStringList selected;
    QString modal;       // the object name of the window that opened, "" for none
};

class Drops : public DesktopTest, public testing::WithParamInterface<DropCase> {};

TEST_P(Drops, PackOpenOrRefuse) {
    writeFile(root_ + "/other/three.txt", "three");
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    TExpListView& list = fixture.list();
    pack(fixture, {"notes.txt"}, "backup");
    list.Rescan();
    if (GetParam().inArchive) {
        selectRows(list, {"backup.zor"});
        window.DirListDblClick();
        ASSERT_EQ(window.state().InArchive, 1);
    }
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& item : GetParam().items) urls << QUrl::fromLocalFile(root_ + "/" + item);
    data.setUrls(urls);
    const QPoint at = list.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list.viewport(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction) << "never a move: the file manager would delete the items";

    ModalAnswerer answerer;  // closes whatever opens (the pack-to dialog with Cancel)
    processEventsFor(50);
    ASSERT_LE(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen().empty() ? QString() : answerer.seen().front().objectName, GetParam().modal);
    if (GetParam().modal == "ErrorBox") {
        EXPECT_EQ(answerer.messages(),
                  QStringList({"The dropped items lie in several folders. Drop items of one folder to pack them together."}));
    }
    if (GetParam().folderShown == "backup.zor") {
        EXPECT_EQ(window.state().InArchive, 1);
        return;
    }
    EXPECT_EQ(window.state().InArchive, GetParam().inArchive ? 1 : 0);
    if (GetParam().inArchive) return;
    const QString folder = GetParam().folderShown.isEmpty() ? root_ : root_ + "/" + GetParam().folderShown;
    EXPECT_EQ(list.Folder(), folder);
    EXPECT_EQ(QDir::currentPath(), folder);
    QStringList selected;
    for (int row : list.SelectedRows()) selected << list.Caption(row);
    EXPECT_EQ(selected, GetParam().selected);
    for (const QString& item : GetParam().items) EXPECT_TRUE(QFileInfo::exists(root_ + "/" + item)) << "left in place";
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, Drops,
    testing::Values(DropCase {"ItemsOfOneFolderOpenThePackToDialog", false, {"data/one.bin", "data/sub"}, "data",
                              {"sub", "one.bin"}, "PackToBox"},
                    DropCase {"ItemsOfSeveralFoldersAreRefused", false, {"data/one.bin", "other/three.txt"}, "", {},
                              "ErrorBox"},
                    DropCase {"AZorArchiveIsOpened", false, {"backup.zor"}, "backup.zor", {}, ""},
                    DropCase {"NothingHappensInsideAnArchive", true, {"data/one.bin"}, "", {}, ""}),
    [](const testing::TestParamInfo<DropCase>& info) { return info.param.name; });

TEST_F(DesktopTest, OnlyLocalFilesOfferedForCopyAreTaken) {
    WindowFixture fixture(root_);
    TExpListView& list = fixture.list();
    const QPoint at = list.viewport()->rect().center();
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/a.txt")});
    QDragEnterEvent fromTheWeb(at, Qt::CopyAction, &remote, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list.viewport(), &fromTheWeb);
    EXPECT_FALSE(fromTheWeb.isAccepted());
    QMimeData local;
    local.setUrls({QUrl::fromLocalFile(root_ + "/notes.txt")});
    QDragEnterEvent moveOnly(at, Qt::MoveAction, &local, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list.viewport(), &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
}

}  // namespace
}  // namespace zor::test
