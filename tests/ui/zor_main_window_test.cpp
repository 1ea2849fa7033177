// zor_main_window_test.cpp - the main window's controls, button states by context, selection and depth rules, start-up.
#include "tests/archive/scripted_ui.h"
#include "tests/ui/zor_main_test_support.h"

#include "archive/packing.h"
#include "archive/totals_text.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include <archive.h>
#include <archive_entry.h>

namespace zor::test {
namespace {

// Packs `names` (files or folders inside `folder`) into the archive `archivePath`.
void packArchive(const QString& folder, const QStringList& names, const QString& archivePath) {
    ScriptedUi ui;
    OperationContext context(ui);
    for (const QString& name : names) context.selection.push_back({name.toStdString(), 0, folder.toStdString()});
    context.window.ArchivePath = archivePath.toStdString();
    ASSERT_EQ(Initialize_Compression(context), OperationOutcome::Succeeded);
    ASSERT_TRUE(ui.reports.empty()) << ui.reports.front().text;
}

// A zip written by libarchive holding docs/ and docs/a.txt and top.txt.
void writeZip(const QString& path) {
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    ASSERT_EQ(archive_write_open_filename(writer, path.toLocal8Bit().constData()), ARCHIVE_OK);
    auto add = [writer](const char* name, const std::string& data, bool folder) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name);
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
        archive_write_header(writer, entry);
        if (!data.empty()) archive_write_data(writer, data.data(), data.size());
        archive_entry_free(entry);
    };
    add("docs/", "", true);
    add("docs/a.txt", std::string(3000, 'a'), false);
    add("top.txt", "top", false);
    archive_write_close(writer);
    archive_write_free(writer);
}

class MainWindowTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        writeFile(root_ + "/data/one.txt", QByteArray(5000, 'x'));
        writeFile(root_ + "/data/sub/two.txt", "two");
        writeFile(root_ + "/notes.txt", "just text");
        packArchive(root_, {"data"}, root_ + "/backup.zor");
        writeZip(root_ + "/bundle.zip");
    }
};

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsHintsAndShortcuts) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    EXPECT_EQ(window.windowTitle(), "ZOR 2.00 Beta");
    EXPECT_EQ(fixture.control<QToolButton>("PackButton")->toolTip(), "This packs all selected files and/or directories.");
    EXPECT_EQ(fixture.control<QToolButton>("UnPackButton")->toolTip(),
              "This unpacks all selected files and/or directories.");
    EXPECT_EQ(fixture.control<QToolButton>("TestButton")->toolTip(), "This tests all selected files and/or directories.");
    EXPECT_EQ(fixture.control<QToolButton>("InfoButton")->toolTip(), "This gives info of the current archive.");
    EXPECT_EQ(fixture.control<QToolButton>("LockButton")->toolTip(), "This locks the current archive.");
    EXPECT_EQ(fixture.control<QToolButton>("LockButton")->text(), "Lock");
    EXPECT_EQ(fixture.control<QComboBox>("ComboBox1")->count(), 0);

    QStringList menus;
    for (QAction* action : window.menuBar()->actions()) menus << action->text();
    EXPECT_EQ(menus, QStringList({"&File", "Options", "&Help"}));
    auto* deleteItem = fixture.control<QAction>("Delete1");
    EXPECT_EQ(deleteItem->text(), "&Delete");
    EXPECT_EQ(deleteItem->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_FALSE(deleteItem->isEnabled());
    auto* exitItem = fixture.control<QAction>("MenuExit");
    EXPECT_EQ(exitItem->text(), "&Exit");
    EXPECT_EQ(exitItem->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    auto* password = fixture.control<QAction>("Password");
    EXPECT_EQ(password->text(), "Set password for the next archive");
    EXPECT_FALSE(password->isChecked());
    QStringList help;
    for (QAction* action : fixture.control<QMenu>("Help")->actions())
        if (!action->isSeparator()) help << action->text();
    EXPECT_EQ(help, QStringList({"&Help", "H&omepage", "&About", "&Update"}));
}

TEST_F(MainWindowTest, StartsInTheWorkingFolderWithItsTotals) {
    WindowFixture fixture(root_);
    EXPECT_EQ(fixture.list().Folder(), root_);
    EXPECT_EQ(fixture.window->panelText(0), root_);
    EXPECT_EQ(QDir::currentPath(), root_);
    // data, backup.zor, bundle.zip, notes.txt: one folder and three files.
    const qint64 bytes = QFileInfo(root_ + "/backup.zor").size() + QFileInfo(root_ + "/bundle.zip").size() + 9;
    EXPECT_EQ(fixture.window->panelText(1).toStdString(),
              "Total 1 folder and " + groupDigits(uint64_t(bytes)) + " bytes in 3 files");
    EXPECT_EQ(fixture.window->state().FolderDepth, root_.count('/'));
}

// The toolbar by context: Pack, UnPack, Test, Info, Lock, drive box.
struct ContextCase {
    const char* name;
    bool archiveArgument;  // started with backup.zor as its argument
    std::function<void(WindowFixture&)> reach;
    std::vector<bool> expected;
};

class ButtonStatesByContext : public MainWindowTest, public testing::WithParamInterface<ContextCase> {};

TEST_P(ButtonStatesByContext, FollowTheTable) {
    WindowFixture fixture(root_, GetParam().archiveArgument ? QStringList {root_ + "/backup.zor"} : QStringList {});
    GetParam().reach(fixture);
    EXPECT_EQ(fixture.buttonStates(), GetParam().expected);
}

void doubleClick(WindowFixture& fixture, const QString& caption) {
    selectRows(fixture.list(), {caption});
    fixture.window->DirListDblClick();
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, ButtonStatesByContext,
    testing::Values(
        ContextCase {"StartUpInAFolder", false, [](WindowFixture&) {}, {false, false, false, false, false, true}},
        ContextCase {"ZorArchiveFromArgument", true, [](WindowFixture&) {}, {false, true, true, true, true, false}},
        ContextCase {"ZorArchiveByDoubleClick", false, [](WindowFixture& f) { doubleClick(f, "backup.zor"); },
                     {false, true, true, true, true, false}},
        ContextCase {"ForeignArchiveByDoubleClick", false, [](WindowFixture& f) { doubleClick(f, "bundle.zip"); },
                     {false, false, false, false, false, false}},
        ContextCase {"ZorArchiveLeftWithUp", false,
                     [](WindowFixture& f) {
                         doubleClick(f, "backup.zor");
                         f.window->UpButtonClick();
                     },
                     // The archive left is the row selected, so Pack may pack it.
                     {true, false, false, false, false, true}},
        ContextCase {"ForeignArchiveLeftWithUp", false,
                     [](WindowFixture& f) {
                         doubleClick(f, "bundle.zip");
                         f.window->UpButtonClick();
                     },
                     {false, false, false, false, false, true}}),
    [](const testing::TestParamInfo<ContextCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, SelectionSwitchesPackAndDeleteOnlyAtDriveLevelOrBelow) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    selectRows(fixture.list(), {"notes.txt"});
    window.DirListClick();
    EXPECT_TRUE(fixture.enabled("PackButton"));
    EXPECT_TRUE(fixture.enabled("Delete1"));
    fixture.list().clearSelection();
    window.DirListClick();
    EXPECT_FALSE(fixture.enabled("PackButton"));
    EXPECT_FALSE(fixture.enabled("Delete1"));

    selectRows(fixture.list(), {"notes.txt"});
    window.DirListMouseUp();
    EXPECT_TRUE(fixture.enabled("PackButton"));
    // Above drive level a click leaves the buttons alone and a released button turns them off.
    window.state().FolderDepth = -1;
    window.DirListMouseUp();
    EXPECT_FALSE(fixture.enabled("PackButton"));
    window.DirListClick();
    EXPECT_FALSE(fixture.enabled("PackButton"));
    EXPECT_FALSE(fixture.enabled("Delete1"));
}

TEST_F(MainWindowTest, UpFromAPickedDriveStopsTwoLevelsAboveIt) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    auto* driveBox = fixture.control<QComboBox>("DriveBox");
    ASSERT_GE(driveBox->findData(QStringLiteral("/")), 0);
    driveBox->setCurrentIndex(driveBox->findData(QStringLiteral("/")));
    window.DriveBoxClick();
    window.DriveBoxChange();
    EXPECT_EQ(window.state().FolderDepth, 0);
    EXPECT_EQ(fixture.list().Folder(), "/");
    EXPECT_EQ(window.panelText(0), "/");

    std::vector<int32_t> depths;
    for (int press = 0; press < 3; ++press) {
        window.UpButtonClick();
        depths.push_back(window.state().FolderDepth);
    }
    EXPECT_EQ(depths, std::vector<int32_t>({-1, -2, -2}));
    EXPECT_FALSE(fixture.enabled("PackButton"));
    // At negative depth a click on an item enables nothing.
    ASSERT_GT(fixture.list().RowCount(), 0);
    fixture.list().SetRowSelected(0, true);
    window.DirListClick();
    window.DirListMouseUp();
    EXPECT_FALSE(fixture.enabled("PackButton"));
    EXPECT_FALSE(fixture.enabled("Delete1"));
}

TEST_F(MainWindowTest, DriveBoxIgnoresChangesThePersonDidNotMake) {
    WindowFixture fixture(root_);
    fixture.window->DriveBoxChange();
    EXPECT_EQ(fixture.list().Folder(), root_);
    EXPECT_NE(fixture.window->state().FolderDepth, 0);
}

TEST_F(MainWindowTest, OpeningAFolderRaisesTheDepthAndUpLowersIt) {
    WindowFixture fixture(root_);
    const int32_t start = fixture.window->state().FolderDepth;
    selectRows(fixture.list(), {"data"});
    fixture.window->DirListDblClick();
    fixture.list().ActivateItem(rowOf(fixture.list(), "data"));
    EXPECT_EQ(fixture.window->state().FolderDepth, start + 1);
    EXPECT_EQ(fixture.list().Folder(), root_ + "/data");
    EXPECT_EQ(fixture.window->panelText(0), root_ + "/data");
    EXPECT_EQ(QDir::currentPath(), root_ + "/data");
    fixture.window->UpButtonClick();
    EXPECT_EQ(fixture.window->state().FolderDepth, start);
    EXPECT_EQ(fixture.list().Folder(), root_);
}

TEST_F(MainWindowTest, DoubleClickActsOnTheClickedRowAmongSeveralSelected) {
    WindowFixture fixture(root_);
    TExpListView& list = fixture.list();
    const int32_t depth = fixture.window->state().FolderDepth;
    selectRows(list, {"data", "backup.zor"});
    list.selectionModel()->setCurrentIndex(list.model()->index(rowOf(list, "backup.zor"), 0),
                                           QItemSelectionModel::NoUpdate);
    fixture.window->DirListDblClick();
    EXPECT_EQ(fixture.window->state().InArchive, 1);
    EXPECT_EQ(fixture.window->state().FolderDepth, depth) << "the folder data was not the one opened";
}

TEST_F(MainWindowTest, DeleteInsideAnArchiveIsRefused) {
    WindowFixture fixture(root_, {root_ + "/backup.zor"});
    ModalAnswerer answerer;
    selectRows(fixture.list(), {"data"});
    fixture.window->Delete1Click();
    EXPECT_EQ(answerer.messages(), QStringList({"Delete in archive isn't supported yet"}));
    EXPECT_TRUE(QFileInfo::exists(root_ + "/backup.zor"));
    EXPECT_TRUE(QFileInfo::exists(root_ + "/data/one.txt"));
}

TEST_F(MainWindowTest, StartUpArgumentOpensAValidArchiveWithFiveColumns) {
    WindowFixture fixture(root_, {root_ + "/backup.zor"});
    const WindowState& state = fixture.window->state();
    EXPECT_EQ(state.InArchive, 1);
    EXPECT_EQ(state.ArchiveLevel, 0);
    EXPECT_EQ(state.ArchivePath, (root_ + "/backup.zor").toStdString());
    EXPECT_EQ(state.ListingFresh, 1);
    QStringList columns;
    for (int column = 0; column < fixture.list().ColumnCount(); ++column) columns << fixture.list().ColumnCaption(column);
    EXPECT_EQ(columns, QStringList({"Name", "Size", "Packed", "Type", "Path"}));
    EXPECT_EQ(captions(fixture.list()), QStringList({"data"}));
    EXPECT_EQ(fixture.window->panelText(1), "Total 1 folder ");
}

// An archive that keeps exact names shows them, not the lower-case names the plain records hold.
TEST_F(MainWindowTest, AnArchiveShowsTheExactNamesItKeeps) {
    writeFile(root_ + "/Photos/README", "upper");
    writeFile(root_ + "/Photos/readme", "lower");
    packArchive(root_, {"Photos"}, root_ + "/exact.zor");
    WindowFixture fixture(root_, {root_ + "/exact.zor"});
    EXPECT_EQ(captions(fixture.list()), QStringList({"Photos"}));
    EXPECT_EQ(fixture.window->panelText(1), "Total 1 folder ");
}

TEST_F(MainWindowTest, StartUpArgumentsThatAreNoArchiveLeaveTheFolderSilently) {
    for (const QString& argument : {root_ + "/BACKUP.ZOR", root_ + "/notes.txt", root_ + "/missing.zor"}) {
        QFile::copy(root_ + "/backup.zor", root_ + "/BACKUP.ZOR");
        ModalAnswerer answerer;
        WindowFixture fixture(root_, {argument});
        processEventsFor(20);
        EXPECT_TRUE(answerer.seen().empty()) << argument.toStdString();
        EXPECT_EQ(fixture.window->state().InArchive, 0);
        EXPECT_EQ(fixture.list().Folder(), root_);
        EXPECT_EQ(fixture.buttonStates(), std::vector<bool>({false, false, false, false, false, true}));
    }
}

TEST_F(MainWindowTest, StartUpArgumentWithABadHeaderShowsAPlainErrorBox) {
    writeFile(root_ + "/fake.zor", "PK\3\4 not a zor archive at all, but long enough to hold a header.........");
    QByteArray unfinished = readFile(root_ + "/backup.zor");
    unfinished[4] = '\xff';  // archiveSize -1: the archive was never finished
    unfinished[5] = '\xff';
    unfinished[6] = '\xff';
    unfinished[7] = '\xff';
    writeFile(root_ + "/unfinished.zor", unfinished);
    for (const QString name : {"fake.zor", "unfinished.zor"}) {
        ModalAnswerer answerer;
        WindowFixture fixture(root_, {root_ + "/" + name});
        ASSERT_EQ(answerer.seen().size(), 1u) << name.toStdString();
        const SeenModal& box = answerer.seen().front();
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, QMessageBox::NoIcon);
        EXPECT_EQ(box.text, name == QLatin1String("fake.zor")
                                ? "The header signature is not ZOR, this is not a ZOR archive!"
                                : "ZOR archive is corrupt");
        EXPECT_EQ(fixture.window->state().InArchive, 0);
        EXPECT_EQ(fixture.list().Folder(), root_);
    }
}

TEST_F(MainWindowTest, StatusPanelZeroLeavesThreeHundredPixelsToPanelOne) {
    WindowFixture fixture(root_);
    fixture.window->resize(800, 600);
    processEventsFor(10);
    EXPECT_EQ(fixture.window->panelWidth(0), 500);
}

TEST_F(MainWindowTest, CloseBoxDoesNothingAndExitEndsWithStatusZero) {
    WindowFixture fixture(root_);
    EXPECT_FALSE(fixture.window->close());
    EXPECT_TRUE(fixture.window->isVisible());
    EXPECT_EQ(fixture.exitedWith, -1);
    fixture.control<QAction>("MenuExit")->trigger();
    EXPECT_EQ(fixture.exitedWith, 0);
}

TEST_F(MainWindowTest, ButtonsRefuseOutsideTheirContext) {
    WindowFixture fixture(root_);
    ModalAnswerer answerer;
    fixture.window->PackButtonClick();  // nothing selected
    fixture.window->UnPackButtonClick();
    EXPECT_EQ(answerer.messages(), QStringList({"No files selected", "You aren't in an archive"}));
    for (const SeenModal& box : answerer.seen()) {
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
}

TEST_F(MainWindowTest, PackDoesNothingInsideAnArchive) {
    WindowFixture fixture(root_, {root_ + "/backup.zor"});
    ModalAnswerer answerer;
    selectRows(fixture.list(), {"data"});
    fixture.window->PackButtonClick();
    processEventsFor(20);
    EXPECT_TRUE(answerer.seen().empty());
}

}  // namespace
}  // namespace zor::test
