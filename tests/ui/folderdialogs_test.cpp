// folderdialogs_test.cpp - the pack-to and unpack-to dialogs: name and path on showing, depth rules, OK and its errors.
#include "shellview/explistview.h"
#include "ui/folderbrowser.h"
#include "ui/packto.h"
#include "ui/unpackto.h"
#include "widget_lookup.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::child;

// Runs each test in a fresh working folder holding one sub-folder "inner".
class FolderDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work_.isValid());
        ASSERT_TRUE(QDir(work_.path()).mkdir(QStringLiteral("inner")));
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(work_.path()));
        workPath_ = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // Opens the row named `caption` as a double click would.
    static void openRow(FolderBrowser& browser, const QString& caption) {
        auto* shell = dynamic_cast<ShellFolderBrowser*>(&browser);
        ASSERT_NE(shell, nullptr);
        TExpListView* view = shell->view();
        for (int row = 0; row < view->RowCount(); ++row) {
            if (view->Caption(row) == caption) {
                view->ActivateItem(row);
                return;
            }
        }
        FAIL() << "no row " << caption.toStdString();
    }

    QTemporaryDir work_;
    QString previous_;
    QString workPath_;
};

TEST_F(FolderDialogTest, PackToShowsTheWorkingFolderAndTheProposedName) {
    TPackToBox box;
    box.setProposedBaseName(QStringLiteral("report"));
    box.prepareToShow(3);
    EXPECT_EQ(child<QLineEdit>(box, "DirName")->text(), workPath_);
    EXPECT_FALSE(child<QLineEdit>(box, "DirName")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(box, "ArchiveName")->text(), QStringLiteral("report.zor"));
    EXPECT_TRUE(child<QPushButton>(box, "OK")->isEnabled());
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Archive name and options"));
}

TEST_F(FolderDialogTest, PackToOkForcesTheExtensionAndJoinsTheFolder) {
    TPackToBox box;
    QSignalSpy packs(&box, &TPackToBox::packRequested);
    box.prepareToShow(0);
    child<QLineEdit>(box, "ArchiveName")->setText(QStringLiteral("backup.tar.gz"));
    box.show();
    child<QPushButton>(box, "OK")->click();
    ASSERT_EQ(packs.count(), 1);
    EXPECT_EQ(packs.at(0).at(0).toString(), workPath_ + QStringLiteral("/backup.zor"));
    EXPECT_EQ(box.archivePath(), workPath_ + QStringLiteral("/backup.zor"));
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), mrOk);
}

TEST_F(FolderDialogTest, PackToRefusesAnEmptyNameAndCloses) {
    TPackToBox box;
    QSignalSpy packs(&box, &TPackToBox::packRequested);
    QSignalSpy errors(&box, &TPackToBox::errorReported);
    box.prepareToShow(0);
    child<QLineEdit>(box, "ArchiveName")->clear();
    box.show();
    child<QPushButton>(box, "OK")->click();
    EXPECT_EQ(packs.count(), 0);
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("You have to enter an archive name"));
    EXPECT_TRUE(box.archivePath().isEmpty());
    EXPECT_FALSE(box.isVisible());
}

TEST_F(FolderDialogTest, APathLongerThan2560CharactersIsKeptWhole) {
    // A cut folder path would put the archive, or the extracted files, in
    // another folder.
    QString deep = workPath_;
    while (deep.size() <= 2600) deep += QStringLiteral("/") + QString(200, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QDir::setCurrent(deep));
    TPackToBox pack;
    QSignalSpy packs(&pack, &TPackToBox::packRequested);
    pack.prepareToShow(0);
    pack.show();
    child<QPushButton>(pack, "OK")->click();
    ASSERT_EQ(packs.count(), 1);
    EXPECT_EQ(packs.at(0).at(0).toString(), deep + QStringLiteral("/.zor"));
    TUnPackToBox unpack;
    unpack.prepareToShow(0);
    EXPECT_EQ(unpack.extractionPath(), deep);
}

TEST_F(FolderDialogTest, PackToNameFieldTakesAtMost250Characters) {
    TPackToBox box;
    auto* name = child<QLineEdit>(box, "ArchiveName");
    name->setText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(name->text().size(), 250);
}

TEST_F(FolderDialogTest, CancelAndEscapeLeaveWithoutPacking) {
    TPackToBox box;
    QSignalSpy packs(&box, &TPackToBox::packRequested);
    box.prepareToShow(0);
    box.show();
    child<QPushButton>(box, "Cancel")->click();
    EXPECT_EQ(box.result(), mrCancel);
    box.show();
    box.reject();
    EXPECT_EQ(box.result(), mrCancel);
    EXPECT_EQ(packs.count(), 0);
}

TEST_F(FolderDialogTest, UpStopsAtDepthMinusTwoAndDisablesOkAboveTheRoot) {
    TPackToBox box;
    box.prepareToShow(0);
    auto* up = child<QToolButton>(box, "SpeedButton1");
    auto* ok = child<QPushButton>(box, "OK");
    up->click();
    EXPECT_EQ(box.dialogDepth(), -1);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(box.browser()->folder(), QFileInfo(workPath_).path());
    up->click();
    up->click();
    EXPECT_EQ(box.dialogDepth(), -2);
}

TEST_F(FolderDialogTest, OpeningAFolderRaisesTheDepthAndReenablesOk) {
    TPackToBox box;
    box.prepareToShow(0);
    child<QToolButton>(box, "SpeedButton1")->click();
    ASSERT_EQ(box.dialogDepth(), -1);
    openRow(*box.browser(), QFileInfo(workPath_).fileName());
    EXPECT_EQ(box.dialogDepth(), 0);
    EXPECT_TRUE(child<QPushButton>(box, "OK")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(box, "DirName")->text(), workPath_);
    openRow(*box.browser(), QStringLiteral("inner"));
    EXPECT_EQ(box.dialogDepth(), 1);
    EXPECT_EQ(child<QLineEdit>(box, "DirName")->text(), workPath_ + QStringLiteral("/inner"));
}

TEST_F(FolderDialogTest, OkStaysOffAtTheVolumesLevelWhateverTheDepth) {
    // A caller whose depth count puts "/" at 1 would otherwise enable OK
    // where there is no folder to write into.
    TPackToBox box;
    box.prepareToShow(40);
    box.browser()->showFolder(QString());
    EXPECT_TRUE(box.browser()->folder().isEmpty());
    EXPECT_FALSE(child<QPushButton>(box, "OK")->isEnabled());
}

TEST_F(FolderDialogTest, UnPackToShowsTheWorkingFolderAndAsksForExtractionThere) {
    TUnPackToBox box;
    QSignalSpy unpacks(&box, &TUnPackToBox::unpackRequested);
    box.prepareToShow(0);
    auto* path = child<QLineEdit>(box, "UnPackName");
    EXPECT_EQ(path->text(), workPath_);
    EXPECT_TRUE(path->isReadOnly());
    box.show();
    child<QPushButton>(box, "OK")->click();
    ASSERT_EQ(unpacks.count(), 1);
    EXPECT_EQ(unpacks.at(0).at(0).toString(), workPath_);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(FolderDialogTest, UnPackToRefusesAnEmptyPath) {
    TUnPackToBox box;
    QSignalSpy unpacks(&box, &TUnPackToBox::unpackRequested);
    QSignalSpy errors(&box, &TUnPackToBox::errorReported);
    box.prepareToShow(0);
    box.browser()->showFolder(QString());
    box.OKClick();
    EXPECT_EQ(unpacks.count(), 0);
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("You have to choose an extraction path"));
}

TEST_F(FolderDialogTest, UnPackToUpHasTheSameFloorSoOpeningFoldersReachesOkAgain) {
    // Without a floor, extra presses at the top would leave the depth so low
    // that no folder opened afterwards could be chosen.
    TUnPackToBox box;
    box.prepareToShow(0);
    auto* up = child<QToolButton>(box, "SpeedButton1");
    for (int press = 0; press < 6; ++press) up->click();
    EXPECT_EQ(box.dialogDepth(), FolderChoiceDialog::kLowestDepth);
    box.browser()->showFolder(QStringLiteral("/"));
    const QStringList components = workPath_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& component : components) openRow(*box.browser(), component);
    EXPECT_EQ(box.browser()->folder(), workPath_);
    EXPECT_EQ(box.dialogDepth(), FolderChoiceDialog::kLowestDepth + components.size());
    EXPECT_TRUE(child<QPushButton>(box, "OK")->isEnabled());
}

// Both dialogs are finished from the keyboard: Enter opens the selected
// folder, Enter with none selected (as after opening one) is OK, and Tab
// leaves the folder list for the buttons.
TEST_F(FolderDialogTest, BothDialogsAreFinishedFromTheKeyboard) {
    TPackToBox packTo;
    TUnPackToBox unpackTo;
    QSignalSpy packs(&packTo, &TPackToBox::packRequested);
    QSignalSpy unpacks(&unpackTo, &TUnPackToBox::unpackRequested);
    for (FolderChoiceDialog* dialog : {static_cast<FolderChoiceDialog*>(&packTo), static_cast<FolderChoiceDialog*>(&unpackTo)}) {
        dialog->prepareToShow(3);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        QApplication::setActiveWindow(dialog);
        TExpListView* view = dynamic_cast<ShellFolderBrowser*>(dialog->browser())->view();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog->findChild<QPushButton*>("OK")) << "Tab goes from the list to OK";
        view->setFocus();
        ASSERT_EQ(view->Caption(view->currentIndex().row()), "inner") << "the focus frame is on the row";
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Return);
        EXPECT_EQ(dialog->browser()->folder(), workPath_ + "/inner");
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(view, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible()) << "the second Enter is OK";
        EXPECT_EQ(dialog->result(), mrOk);
    }
    ASSERT_EQ(packs.count(), 1);
    EXPECT_EQ(packs.at(0).at(0).toString(), workPath_ + "/inner/.zor");
    ASSERT_EQ(unpacks.count(), 1);
    EXPECT_EQ(unpacks.at(0).at(0).toString(), workPath_ + "/inner");
}

}  // namespace
}  // namespace zor
