// explistview_test.cpp - the folder view: which items it lists, their columns, the order, following and the owner's rows.
#include "shellview/explistview.h"

#include "tests/shellview/shell_test_support.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::ScratchFolder;

// Records launches instead of handing items to the desktop, and counts detail fills.
class RecordingView : public TExpListView {
public:
    struct Launch {
        QString name;
        QString verb;
    };
    std::vector<Launch> launches;
    bool launchSucceeds = true;
    int detailFills = 0;

protected:
    bool DoLaunchItem(const TListShellInfo& item, const QString& verb) override {
        launches.push_back({item.relativeId, verb});
        return launchSucceeds;
    }
    void DoFillShellInfoDetails(int row) override {
        ++detailFills;
        TExpListView::DoFillShellInfoDetails(row);
    }
};

class ExpListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.SetMonitorDirectory(false);
        view.resize(600, 400);
    }
    void Show(const QString& path) {
        ASSERT_TRUE(view.SetFolder(path));
        view.SetActive(true);
    }
    QStringList Captions() const {
        QStringList captions;
        for (int row = 0; row < view.RowCount(); ++row) captions << view.Caption(row);
        return captions;
    }
    int RowOf(const QString& caption) const { return static_cast<int>(Captions().indexOf(caption)); }
    void ClickHeader(int column) {
        if (!view.isVisible()) {
            view.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        }
        QHeaderView* heading = view.header();
        const int x = heading->sectionViewportPosition(column) + heading->sectionSize(column) / 2;
        QTest::mouseClick(heading->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, heading->height() / 2));
    }

    ScratchFolder scratch;
    RecordingView view;
};

TEST_F(ExpListViewTest, ListsNothingUntilActivated) {
    scratch.File("a.txt");
    ASSERT_TRUE(view.SetFolder(scratch.path()));
    EXPECT_EQ(view.RowCount(), 0);
    view.SetActive(true);
    EXPECT_EQ(Captions(), QStringList{"a.txt"});
    EXPECT_EQ(view.ColumnCount(), 4);
    EXPECT_EQ(view.ColumnCaption(1), "Size");
    EXPECT_EQ(view.ColumnCaption(3), "Modified");
}

TEST_F(ExpListViewTest, ActivatingWithoutAFolderShowsTheDesktop) {
    QSignalSpy changes(&view, &TExpListView::OnChangeFolder);
    view.SetActive(true);
    EXPECT_EQ(view.PIDL(), ItemIdList::Desktop());
    EXPECT_EQ(view.CSIDL(), 0);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(Captions().contains("Computer"));
    const TListShellInfo* computer = view.GetShellInfo(RowOf("Computer"));
    ASSERT_NE(computer, nullptr);
    EXPECT_TRUE(computer->notFileSystem);
    EXPECT_TRUE(view.ItemPath(RowOf("Computer")).isEmpty());
}

TEST_F(ExpListViewTest, HidesDotFilesUnlessShowHidden) {
    scratch.File(".secret");
    scratch.Folder(".config");
    scratch.File("plain");
    Show(scratch.path());
    EXPECT_EQ(Captions(), QStringList{"plain"});

    view.SetShowHidden(true);
    EXPECT_EQ(view.RowCount(), 3);
    EXPECT_TRUE(view.GetShellInfo(RowOf(".secret"))->ghosted);
    EXPECT_FALSE(view.GetShellInfo(RowOf("plain"))->ghosted);
}

TEST_F(ExpListViewTest, FoldersOnlyListsFoldersAndLinksToFolders) {
    scratch.Folder("dir");
    scratch.File("file");
    scratch.Link("to-dir", scratch.at("dir"));
    scratch.Link("to-file", scratch.at("file"));
    scratch.Link("dangling", scratch.at("missing"));
    Show(scratch.path());
    EXPECT_EQ(view.RowCount(), 5);
    view.SetFoldersOnly(true);
    EXPECT_EQ(Captions(), (QStringList{"dir", "to-dir"}));
}

TEST_F(ExpListViewTest, OnEnumerationCanLeaveItemsOut) {
    scratch.File("keep");
    scratch.File("skip-me");
    QObject::connect(&view, &TExpListView::OnEnumeration, [](const TListShellInfo& item, bool* accept) {
        *accept = !item.relativeId.startsWith("skip");
    });
    Show(scratch.path());
    EXPECT_EQ(Captions(), QStringList{"keep"});
}

TEST_F(ExpListViewTest, FillsDetailsOnFirstDisplayOnlyAndOnce) {
    scratch.File("empty");
    scratch.File("one", 1);
    scratch.File("thousand", 1000);
    scratch.File("thousand-and-one", 1001);
    scratch.Folder("folder");
    Show(scratch.path());
    for (int row = 0; row < view.RowCount(); ++row) EXPECT_FALSE(view.GetShellInfo(row)->filled);
    EXPECT_EQ(view.detailFills, 0);

    EXPECT_EQ(view.SubItem(RowOf("empty"), 1), "0KB");
    EXPECT_EQ(view.SubItem(RowOf("one"), 1), "1KB");
    EXPECT_EQ(view.SubItem(RowOf("thousand"), 1), "1KB");
    EXPECT_EQ(view.SubItem(RowOf("thousand-and-one"), 1), "2KB");
    EXPECT_EQ(view.SubItem(RowOf("folder"), 1), "");
    EXPECT_FALSE(view.SubItem(RowOf("one"), 2).isEmpty());
    EXPECT_FALSE(view.SubItem(RowOf("one"), 3).isEmpty());
    EXPECT_EQ(view.detailFills, 5);
    EXPECT_TRUE(view.GetShellInfo(RowOf("one"))->filled);
}

TEST_F(ExpListViewTest, SortsFoldersFirstThenNamesAsAPersonReadsThem) {
    for (const char* name : {"file10", "File2", "file1"}) scratch.File(name);
    scratch.Folder("zeta");
    Show(scratch.path());
    EXPECT_EQ(Captions(), (QStringList{"zeta", "file1", "File2", "file10"}));
}

TEST_F(ExpListViewTest, HeaderClicksSortBySizeAndTheSameHeaderTwiceRestoresTheOrder) {
    scratch.File("big", 3000);
    scratch.File("small", 10);
    scratch.File("middle", 1500);
    scratch.Folder("box");
    Show(scratch.path());
    const QStringList byName = Captions();
    ASSERT_EQ(byName, (QStringList{"box", "big", "middle", "small"}));

    ClickHeader(1);
    EXPECT_EQ(view.SortBy(), 1);
    EXPECT_EQ(Captions(), (QStringList{"box", "small", "middle", "big"}));
    ClickHeader(1);
    EXPECT_FALSE(view.SortForward());
    EXPECT_EQ(Captions(), (QStringList{"big", "middle", "small", "box"}));

    // Another column keeps the direction; the same one twice comes back.
    ClickHeader(0);
    EXPECT_EQ(view.SortBy(), 0);
    EXPECT_EQ(Captions(), (QStringList{"small", "middle", "big", "box"}));
    ClickHeader(0);
    ClickHeader(0);
    EXPECT_EQ(Captions(), (QStringList{"small", "middle", "big", "box"}));
}

TEST_F(ExpListViewTest, SortingKeepsTheSelectionOnItsRows) {
    scratch.File("a", 300);
    scratch.File("b", 100);
    scratch.File("c", 200);
    Show(scratch.path());
    view.SetRowSelected(RowOf("a"), true);
    view.SetSortBy(1);
    ASSERT_EQ(Captions(), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(view.SelectedRows(), std::vector<int>{2});
}

TEST_F(ExpListViewTest, RescanGoesBackToTheNameColumn) {
    scratch.File("x");
    Show(scratch.path());
    view.SetSortBy(3);
    view.Rescan();
    EXPECT_EQ(view.SortBy(), 0);
}

TEST_F(ExpListViewTest, UpClimbsToTheDesktopAndStaysThere) {
    scratch.Folder("inner");
    Show(scratch.at("inner"));
    view.Up();
    EXPECT_EQ(view.Folder(), scratch.path());
    view.SetFolder("/");
    view.Up();
    EXPECT_EQ(view.PIDL(), ItemIdList::Computer());
    EXPECT_EQ(view.CSIDL(), ItemIdList::kDrives);
    EXPECT_EQ(view.ColumnCaption(3), "Free Space");
    EXPECT_TRUE(Captions().contains("/"));
    view.Up();
    view.Up();
    EXPECT_EQ(view.PIDL(), ItemIdList::Desktop());
}

TEST_F(ExpListViewTest, RefusesAFolderThatIsNotADirectory) {
    scratch.File("file");
    Show(scratch.path());
    EXPECT_FALSE(view.SetFolder(scratch.at("file")));
    EXPECT_FALSE(view.SetFolder(scratch.at("missing")));
    EXPECT_EQ(view.Folder(), scratch.path());
}

TEST_F(ExpListViewTest, ActivatingAFolderFollowsIt) {
    scratch.Folder("inside");
    Show(scratch.path());
    QSignalSpy changes(&view, &TExpListView::OnChangeFolder);
    view.ActivateItem(RowOf("inside"));
    EXPECT_EQ(view.Folder(), scratch.at("inside"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(view.launches.empty());
}

TEST_F(ExpListViewTest, LinkToAFolderIsOpenedAsAFolderOrFollowedToItsTarget) {
    scratch.Folder("target");
    scratch.File("target/inside.txt");
    scratch.Link("shortcut", scratch.at("target"));
    Show(scratch.path());
    view.ActivateItem(RowOf("shortcut"));
    EXPECT_EQ(view.Folder(), scratch.at("shortcut"));
    EXPECT_EQ(Captions(), QStringList{"inside.txt"});

    view.Up();
    view.SetFollowFolders(false);
    view.ActivateItem(RowOf("shortcut"));
    EXPECT_EQ(view.Folder(), scratch.at("target"));
}

TEST_F(ExpListViewTest, LinkToAFileIsNotFollowedAndNothingIsLaunchedWithoutAutoLaunch) {
    scratch.File("doc.txt");
    scratch.Link("shortcut", scratch.at("doc.txt"));
    scratch.Link("dangling", scratch.at("gone"));
    Show(scratch.path());
    view.SetAutoLaunch(false);
    QSignalSpy autoLaunches(&view, &TExpListView::OnAutoLaunch);
    view.ActivateItem(RowOf("shortcut"));
    view.ActivateItem(RowOf("dangling"));
    EXPECT_EQ(view.Folder(), scratch.path());
    EXPECT_TRUE(view.launches.empty());
    EXPECT_EQ(autoLaunches.count(), 0);
}

TEST_F(ExpListViewTest, AutoLaunchOpensFilesAndReportsTheResult) {
    scratch.File("doc.txt");
    scratch.Link("shortcut", scratch.at("doc.txt"));
    Show(scratch.path());
    QSignalSpy autoLaunches(&view, &TExpListView::OnAutoLaunch);
    view.launchSucceeds = false;
    view.ActivateItem(RowOf("shortcut"));
    ASSERT_EQ(view.launches.size(), 1u);
    EXPECT_EQ(view.launches[0].name, "shortcut");
    EXPECT_TRUE(view.launches[0].verb.isEmpty());
    ASSERT_EQ(autoLaunches.count(), 1);
    EXPECT_FALSE(autoLaunches[0][1].toBool());

    view.ActivateItem(RowOf("doc.txt"), Qt::AltModifier);
    ASSERT_EQ(view.launches.size(), 2u);
    EXPECT_EQ(view.launches[1].verb, "properties");
}

TEST_F(ExpListViewTest, DoubleClickTellsTheOwnerFirstAndThenFollows) {
    scratch.Folder("inside");
    Show(scratch.path());
    view.show();
    QString folderSeenByOwner;
    QObject::connect(&view, &TExpListView::DblClick, [&] { folderSeenByOwner = view.Folder(); });
    const QRect row = view.visualRect(view.model()->index(RowOf("inside"), 0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(folderSeenByOwner, scratch.path());
    EXPECT_EQ(view.Folder(), scratch.at("inside"));
}

TEST_F(ExpListViewTest, DoesNotFollowWhenTheOwnerReplacedTheRowsOnDoubleClick) {
    scratch.Folder("inside");
    Show(scratch.path());
    view.show();
    // The owner opens something of its own, as the main window does with an archive.
    QObject::connect(&view, &TExpListView::DblClick, [&] {
        view.SetActive(false);
        view.AddRow("entry", {"1", "1"});
        view.SetActive(true);
    });
    const QRect row = view.visualRect(view.model()->index(RowOf("inside"), 0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(view.Folder(), scratch.path());
}

TEST_F(ExpListViewTest, EnterIsReportedAsCharacter13AndFollowsTheCurrentRow) {
    scratch.Folder("inside");
    Show(scratch.path());
    QSignalSpy keys(&view, &TExpListView::KeyPress);
    view.setCurrentIndex(view.model()->index(RowOf("inside"), 0));
    QTest::keyClick(&view, Qt::Key_Return);
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys[0][0].toInt(), 13);
    EXPECT_EQ(view.Folder(), scratch.at("inside"));
}

TEST_F(ExpListViewTest, OwnerRowsHaveNoShellInformationAndLeaveTheFolderOrderAlone) {
    scratch.File("disk-file");
    scratch.Folder("disk-folder");
    Show(scratch.path());
    QSignalSpy deleted(&view, &TExpListView::OnDeleteShellInfo);
    view.SetActive(false);
    EXPECT_EQ(view.RowCount(), 0);
    EXPECT_EQ(deleted.count(), 2);
    EXPECT_FALSE(view.header()->isSortIndicatorShown()) << "owner rows start in the order they were added";

    view.ClearColumns();
    view.AddColumn("Name", 200);
    view.AddColumn("Packed", 70, Qt::AlignRight);
    view.AddRow("b.txt", {"12"}, {}, 1);
    view.AddRow("a.txt", {"34"}, {}, 1);
    EXPECT_EQ(view.ColumnCount(), 2);
    EXPECT_EQ(view.ColumnWidth(0), 200);
    EXPECT_EQ(view.GetShellInfo(0), nullptr);
    EXPECT_EQ(view.SubItem(1, 1), "34");
    ClickHeader(0);
    EXPECT_EQ(Captions(), (QStringList{"a.txt", "b.txt"}));
    ClickHeader(0);
    EXPECT_EQ(Captions(), (QStringList{"b.txt", "a.txt"}));

    view.SetActive(true);
    EXPECT_TRUE(view.SortForward()) << "the folder keeps its own order";
    EXPECT_TRUE(view.header()->isSortIndicatorShown());
    EXPECT_EQ(view.header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Captions(), (QStringList{"disk-folder", "disk-file"}));
}

// Owner rows (caption, Size, group) sorted by header clicks: groups first in
// both directions, numbers as numbers, names without regard to case.
struct OwnerSortCase {
    const char* name;
    std::vector<int> clicks;
    QStringList expected;
    Qt::SortOrder arrow;
};

class OwnerRowSort : public ExpListViewTest, public testing::WithParamInterface<OwnerSortCase> {};

TEST_P(OwnerRowSort, KeepsGroupsFirst) {
    view.SetActive(false);
    view.AddColumn("Name", 100);
    view.AddColumn("Size", 70, Qt::AlignRight);
    view.AddRow("zeta", {""}, {}, 0);
    view.AddRow("Alpha", {""}, {}, 0);
    view.AddRow("big.bin", {"100"}, {}, 1);
    view.AddRow("Small.txt", {"9"}, {}, 1);
    view.AddRow("mid.txt", {"20"}, {}, 1);
    for (int column : GetParam().clicks) ClickHeader(column);
    EXPECT_EQ(Captions(), GetParam().expected);
    EXPECT_TRUE(view.header()->isSortIndicatorShown());
    EXPECT_EQ(view.header()->sortIndicatorOrder(), GetParam().arrow);
    EXPECT_EQ(view.header()->sortIndicatorSection(), GetParam().clicks.back());
    // Rows added later (the next folder of an archive) follow the same order.
    view.ClearRows();
    view.AddRow("b", {"2"}, {}, 1);
    view.AddRow("a", {"1"}, {}, 1);
    view.AddRow("dir", {""}, {}, 0);
    view.SortOwnerRows();
    EXPECT_EQ(view.Caption(0), "dir");
}

INSTANTIATE_TEST_SUITE_P(
    ExpListView, OwnerRowSort,
    testing::Values(
        OwnerSortCase {"NameAscending", {0}, {"Alpha", "zeta", "big.bin", "mid.txt", "Small.txt"}, Qt::AscendingOrder},
        OwnerSortCase {"NameDescending", {0, 0}, {"zeta", "Alpha", "Small.txt", "mid.txt", "big.bin"}, Qt::DescendingOrder},
        OwnerSortCase {"SizeAscending", {1}, {"zeta", "Alpha", "Small.txt", "mid.txt", "big.bin"}, Qt::AscendingOrder},
        OwnerSortCase {"SizeDescending", {0, 1, 1}, {"Alpha", "zeta", "big.bin", "mid.txt", "Small.txt"}, Qt::DescendingOrder}),
    [](const testing::TestParamInfo<OwnerSortCase>& info) { return info.param.name; });

TEST_F(ExpListViewTest, EnterWithNoSelectedCurrentRowGoesOnToTheWindowAndARescanIsReported) {
    scratch.Folder("inside");
    Show(scratch.path());
    QSignalSpy keys(&view, &TExpListView::KeyPress);
    QSignalSpy refills(&view, &TExpListView::RowsRefilled);
    view.clearSelection();
    // Only the focus frame on the row: not chosen.
    view.selectionModel()->setCurrentIndex(view.model()->index(RowOf("inside"), 0), QItemSelectionModel::NoUpdate);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(enter.isAccepted()) << "a dialog's default button gets it";
    EXPECT_EQ(keys.count(), 0);
    EXPECT_EQ(view.Folder(), scratch.path());
    view.Rescan();
    EXPECT_EQ(refills.count(), 1);
}

TEST_F(ExpListViewTest, ColumnsShareTheWidthEqually) {
    scratch.File("x");
    Show(scratch.path());
    const int width = view.ColumnWidth(0);
    EXPECT_GT(width, 100);
    for (int column = 1; column < view.ColumnCount(); ++column) EXPECT_EQ(view.ColumnWidth(column), width);
    EXPECT_LE(width * view.ColumnCount(), view.width());
}

}  // namespace
}  // namespace zor
