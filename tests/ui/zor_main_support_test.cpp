// zor_main_support_test.cpp - the window's helpers: message pump, error report, Abort during an operation, single instance, tray, Update, Help.
#include "tests/ui/zor_main_test_support.h"

#include "ui/ftp_update.h"
#include "ui/progressbox.h"
#include "ui/qt_message_pump.h"
#include "ui/single_instance.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace zor::test {
namespace {

// Stands in for the desktop's handler of a URL scheme: a text browser's
// setSource slot receives the address, which source() then tells.
class UrlRecorder {
public:
    explicit UrlRecorder(const QString& scheme) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, &browser_, "setSource");
    }
    ~UrlRecorder() { QDesktopServices::unsetUrlHandler(scheme_); }
    QUrl opened() const { return browser_.source(); }

private:
    QString scheme_;
    QTextBrowser browser_;
};

class MainWindowSupportTest : public TempFolderTest {};

TEST(QtMessagePumpTest, RunsPendingEventsOnlyOnceTheIntervalHasPassed) {
    int delivered = 0;
    QObject target;
    QtMessagePump slow(std::chrono::hours(1));
    QMetaObject::invokeMethod(&target, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    for (int call = 0; call < 1000; ++call) slow.pump();
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(slow.runs(), 0);
    slow.pumpNow();
    EXPECT_EQ(delivered, 1);

    QtMessagePump eager(std::chrono::milliseconds(0));
    QMetaObject::invokeMethod(&target, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    eager.pump();
    EXPECT_EQ(delivered, 2);
    EXPECT_EQ(eager.runs(), 1);
    eager.resetGapMeasure();
    EXPECT_EQ(eager.runs(), 0);
    EXPECT_EQ(eager.longestGap(), QtMessagePump::Clock::duration::zero());
}

TEST_F(MainWindowSupportTest, RecoverableErrorClosesTheProgressWindowBeforeTheBox) {
    WindowFixture fixture(root_);
    TProgressform* progress = fixture.window->progressForm();
    progress->showForOperation();
    bool progressVisibleAtBox = true;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* box) {
        progressVisibleAtBox = progress->isVisible();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    fixture.window->ReportError(TZOR_Main::kRecoverable, "Cannot open file");
    EXPECT_FALSE(progressVisibleAtBox);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "Error");
    EXPECT_EQ(answerer.seen()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(fixture.terminatedWith, -1);
}

TEST_F(MainWindowSupportTest, FatalErrorEndsWithStatusThreeAfterTheBox) {
    WindowFixture fixture(root_);
    ModalAnswerer answerer;
    fixture.window->ReportError(TZOR_Main::kFatal, "Memory allocation error in TotalLength.");
    EXPECT_EQ(answerer.messages(), QStringList({"Memory allocation error in TotalLength."}));
    EXPECT_EQ(fixture.terminatedWith, 3);
}

// Presses Abort as soon as the progress window shows it enabled, from the
// event processing the running operation lets happen.
class AbortPresser {
public:
    explicit AbortPresser(TProgressform* progress) {
        QObject::connect(&timer_, &QTimer::timeout, [this, progress] {
            auto* abort = progress->findChild<QAbstractButton*>("Abort");
            if (progress->isVisible() && abort && abort->isEnabled() && !pressed) {
                pressed = true;
                abort->click();
            }
        });
        timer_.start(1);
    }
    bool pressed = false;

private:
    QTimer timer_;
};

QByteArray noise(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (int i = 0; i < size; ++i) bytes[i] = char(random.bounded(256));
    return bytes;
}

TEST_F(MainWindowSupportTest, AbortWorksWhilePackingAndTesting) {
    writeFile(root_ + "/big.bin", noise(4'000'000));
    writeFile(root_ + "/small.txt", "small");
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;

    // Aborted packing leaves no archive.
    {
        ModalAnswerer answerer;
        answerer.then([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ArchiveName")->setText("aborted");
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        AbortPresser presser(window.progressForm());
        selectRows(fixture.list(), {"big.bin"});
        window.PackButtonClick();
        EXPECT_TRUE(presser.pressed);
        EXPECT_FALSE(QFileInfo::exists(root_ + "/aborted.zor"));
        EXPECT_FALSE(window.progressForm()->isVisible());
    }

    // Testing disables the main window's controls; Abort, in its own window, still works.
    {
        ModalAnswerer answerer;
        answerer.then([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ArchiveName")->setText("whole");
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        selectRows(fixture.list(), {"big.bin", "small.txt"});
        window.PackButtonClick();
        ASSERT_TRUE(QFileInfo::exists(root_ + "/whole.zor"));
    }
    fixture.list().Rescan();
    selectRows(fixture.list(), {"whole.zor"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().InArchive, 1);
    fixture.list().clearSelection();
    bool disabledDuringTest = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { disabledDuringTest |= !fixture.list().isEnabled(); });
    watch.start(1);
    AbortPresser presser(window.progressForm());
    window.TestButtonClick();
    EXPECT_TRUE(presser.pressed);
    EXPECT_TRUE(disabledDuringTest);
    EXPECT_TRUE(fixture.list().isEnabled());
    EXPECT_FALSE(window.progressForm()->isVisible());
}

TEST(SingleInstanceTest, ASecondCopyReachesTheFirstAndAsksItToComeToTheFront) {
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("zor-test"));
    SingleInstance first(name);
    SingleInstance second(name);
    EXPECT_FALSE(second.notifyRunningCopy(200)) << "nobody listens yet";
    ASSERT_TRUE(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    EXPECT_TRUE(second.notifyRunningCopy());
    EXPECT_TRUE(activations.wait(2000) || activations.count() == 1);
    EXPECT_EQ(activations.count(), 1);
    EXPECT_FALSE(second.listen()) << "the name is taken while the first copy runs";
}

TEST(SingleInstanceTest, NamedAfterTheProgramAndTheUserInAFolderOfTheirOwn) {
    const QString name = SingleInstance::defaultServerName();
    const QFileInfo socket(name);
    EXPECT_TRUE(socket.fileName().startsWith("ZOR 2.00-")) << name.toStdString();
    EXPECT_GT(socket.fileName().size(), QString("ZOR 2.00-").size());
    struct stat folder {};
    ASSERT_EQ(::lstat(QFile::encodeName(socket.absolutePath()).constData(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, ::getuid());
    EXPECT_EQ(folder.st_mode & 077, 0u);
}

// $XDG_RUNTIME_DIR is used only when it is the user's own folder, closed to others.
TEST(SingleInstanceTest, ARuntimeFolderOpenToOthersIsNotUsed) {
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    EXPECT_EQ(SingleInstance::socketFolder(), runtime.path());
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0777);
    EXPECT_NE(SingleInstance::socketFolder(), runtime.path());
    EXPECT_FALSE(SingleInstance::socketFolder().isEmpty()) << "the folder of the user's own instead";
    if (saved.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", saved);
}

// A socket file of another user at the name is neither handed over to nor replaced.
TEST(SingleInstanceTest, ASocketOfAnotherUserIsNeverHandedOverTo) {
    if (::getuid() != 0) GTEST_SKIP() << "making a file of another user needs root";
    QTemporaryDir folder;
    const QString name = folder.filePath("ZOR 2.00-someone");
    SingleInstance stranger(name);
    ASSERT_TRUE(stranger.listen());
    QSignalSpy activations(&stranger, &SingleInstance::activationRequested);
    ASSERT_EQ(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
    SingleInstance later(name);
    EXPECT_FALSE(later.notifyRunningCopy(300));
    EXPECT_FALSE(later.listen());
    QCoreApplication::processEvents();
    EXPECT_EQ(activations.count(), 0);
}

TEST_F(MainWindowSupportTest, ASecondCopyBringsTheWindowBackFromTheTray) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    window.setTrayAvailable(true);
    window.showMinimized();
    processEventsFor(20);
    EXPECT_FALSE(window.isVisible());
    window.BringToFront();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.trayIcon()->isVisible());
}

TEST_F(MainWindowSupportTest, MinimizingSwapsTheWindowForTheTrayIconAndRestoreSwapsBack) {
    WindowFixture fixture(root_);
    TZOR_Main& window = *fixture.window;
    EXPECT_EQ(window.trayIcon()->toolTip(), "ZOR");
    QStringList menu;
    for (QAction* action : window.trayIcon()->contextMenu()->actions()) menu << action->text();
    EXPECT_EQ(menu, QStringList({"Restore"}));

    window.setTrayAvailable(true);
    window.showMinimized();
    processEventsFor(20);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.trayIcon()->isVisible());
    window.findChild<QAction*>("Restore")->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(window.trayIcon()->isVisible());

    // Without a tray the window only minimizes.
    window.setTrayAvailable(false);
    window.showMinimized();
    processEventsFor(20);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.trayIcon()->isVisible());
}

TEST(FtpUpdateTest, DoesNothingWithoutAServer) {
    qunsetenv("ZOR_UPDATE_SERVER");
    EXPECT_TRUE(configuredUpdateServer().isEmpty());
    EXPECT_EQ(uploadUpdateFile(QString(), "1.txt"), FtpUpdateResult::NotConfigured);
    startUpdateUpload();  // returns at once, starts nothing
}

TEST(FtpUpdateTest, TakesTheServerFromTheEnvironmentAndFormsTheUploadAddress) {
    qputenv("ZOR_UPDATE_SERVER", " ftp.example.org ");
    EXPECT_EQ(configuredUpdateServer(), "ftp.example.org");
    qunsetenv("ZOR_UPDATE_SERVER");
    EXPECT_EQ(updateUploadUrl("ftp.example.org"), "ftp://ftp.example.org/1.txt");
    EXPECT_EQ(updateUploadUrl("host:2121"), "ftp://host:2121/1.txt");
    EXPECT_EQ(updateUploadUrl("ftp://user:pw@host/in"), "ftp://user:pw@host/in/1.txt");
    EXPECT_EQ(updateUploadUrl("ftp://host/in/"), "ftp://host/in/1.txt");
}

TEST(FtpUpdateTest, FailsQuietlyWithoutTheLocalFileOrAReachableServer) {
    QTemporaryDir folder;
    EXPECT_EQ(uploadUpdateFile("127.0.0.1:1", folder.filePath("1.txt")), FtpUpdateResult::NoLocalFile);
    writeFile(folder.filePath("1.txt"), "update");
    // Port 1 on this machine refuses at once.
    EXPECT_EQ(uploadUpdateFile("127.0.0.1:1", folder.filePath("1.txt")), FtpUpdateResult::Failed);
}

TEST_F(MainWindowSupportTest, HelpAndHomepageAreHandedToTheDesktop) {
    UrlRecorder files("file");
    UrlRecorder web("https");
    WindowFixture fixture(root_);
    fixture.window->Help1Click();
    fixture.window->HomepageClick();
    EXPECT_TRUE(files.opened().toLocalFile().endsWith("/help/index.html"));
    EXPECT_TRUE(QFileInfo::exists(files.opened().toLocalFile())) << "the help page is found from the program";
    EXPECT_EQ(web.opened().scheme(), "https");
}

TEST_F(MainWindowSupportTest, DoubleClickedFileThatIsNoArchiveOpensWithItsProgram) {
    writeFile(root_ + "/letter.txt", "Dear ZOR, ...");
    UrlRecorder files("file");
    WindowFixture fixture(root_);
    ModalAnswerer answerer;
    selectRows(fixture.list(), {"letter.txt"});
    fixture.window->DirListDblClick();
    EXPECT_TRUE(answerer.seen().empty());
    EXPECT_EQ(files.opened().toLocalFile(), root_ + "/letter.txt");
    EXPECT_EQ(fixture.window->state().InArchive, 0);
}

TEST_F(MainWindowSupportTest, AboutShowsVersionBuildAndReleaseDate) {
    WindowFixture fixture(root_);
    ModalAnswerer answerer;
    QString build, release;
    answerer.then([&](QWidget* dialog) {
        build = dialog->findChild<QLabel*>("BuildLabel")->text();
        release = dialog->findChild<QLabel*>("ReleaseLabel")->text();
        dialog->findChild<QAbstractButton*>("BitBtn1")->click();
    });
    fixture.window->About1Click();
    EXPECT_EQ(build, "Version : 2.00   Build : 61");
    EXPECT_EQ(release, "Release date : 28/01/2001");
}

}  // namespace
}  // namespace zor::test
