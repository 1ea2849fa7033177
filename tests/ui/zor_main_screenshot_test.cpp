// zor_main_screenshot_test.cpp - takes the README's screenshots (disabled by default; needs an X display such as Xvfb).
//
// Run (one command line):
//   ZOR_SCREENSHOT_DIR=docs/screenshots QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24"
//   zor_ui_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
// The pictures are grabbed from the X server with ImageMagick's import, so
// they show what the display shows.
#include "tests/ui/zor_main_test_support.h"

#include "ui/progressbox.h"

#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>

namespace zor::test {
namespace {

QByteArray prose(int size, quint32 seed) {
    static const char* const words[] = {"quarterly", "report", "the", "figures", "show", "growth", "in", "sales",
                                        "and", "costs", "for", "each", "region", "of", "our", "market"};
    QByteArray bytes;
    QRandomGenerator random(seed);
    while (bytes.size() < size) {
        bytes += words[random.bounded(16)];
        bytes += random.bounded(12) == 0 ? ".\n" : " ";
    }
    bytes.truncate(size);
    return bytes;
}

QByteArray noise(int size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& byte : bytes) byte = char(random.bounded(256));
    return bytes;
}

// Grabs the rectangle `area` of the X screen into `file`.
void grabScreen(const QRect& area, const QString& file) {
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    EXPECT_EQ(QProcess::execute("import", {"-window", "root", "-crop", crop, file}), 0) << file.toStdString();
}

TEST(MainWindowScreenshots, DISABLED_BrowsingAnArchiveAndTheProgressWindow) {
    const QString target = qEnvironmentVariable("ZOR_SCREENSHOT_DIR");
    if (target.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs ZOR_SCREENSHOT_DIR and an X display";
    const QString outDir = QDir(target).absolutePath();
    QDir().mkpath(outDir);

    QTemporaryDir folder;
    const QString root = QDir(folder.path()).canonicalPath() + "/Documents";
    writeFile(root + "/reports/2000-q4.txt", prose(48213, 1));
    writeFile(root + "/reports/2001-q1.txt", prose(51377, 2));
    writeFile(root + "/photos/harbour.jpg", noise(182400, 3));
    writeFile(root + "/photos/office.png", noise(96512, 4));
    writeFile(root + "/letters/thanks.txt", prose(2210, 5));
    writeFile(root + "/budget.csv", prose(18340, 6));
    writeFile(root + "/manual.pdf", noise(254000, 7));
    writeFile(root + "/notes.txt", prose(6120, 8));
    writeFile(root + "/setup.log", prose(30000000, 9));

    WindowFixture fixture(root);
    TZOR_Main& window = *fixture.window;
    window.setGeometry(0, 0, 880, 520);
    processEventsFor(300);

    // Pack everything but the log into backup.zor and open it.
    {
        ModalAnswerer answerer;
        answerer.then([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ArchiveName")->setText("backup");
            dialog->findChild<QAbstractButton*>("OK")->click();
        });
        selectRows(fixture.list(), {"reports", "photos", "letters", "budget.csv", "manual.pdf", "notes.txt"});
        window.PackButtonClick();
    }
    fixture.list().Rescan();
    selectRows(fixture.list(), {"backup.zor"});
    window.DirListDblClick();
    ASSERT_EQ(window.state().InArchive, 1);
    selectRows(fixture.list(), {"manual.pdf"});
    processEventsFor(500);
    grabScreen(window.frameGeometry(), outDir + "/main-window-archive.png");

    // The progress window while the log is packed, once its clock shows a second.
    window.UpButtonClick();
    processEventsFor(200);
    TProgressform* progress = window.progressForm();
    bool grabbed = false;
    int ticksSinceTwoSeconds = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (grabbed || !progress->isVisible() || progress->elapsedText() != QLatin1String("00:00:02")) return;
        // A few ticks later, so that the display has been repainted.
        if (++ticksSinceTwoSeconds < 5) return;
        grabbed = true;
        grabScreen(progress->frameGeometry(), outDir + "/progress-window.png");
    });
    watcher.start(20);
    ModalAnswerer answerer;
    answerer.then([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("ArchiveName")->setText("log");
        dialog->findChild<QAbstractButton*>("OK")->click();
    });
    selectRows(fixture.list(), {"setup.log"});
    window.PackButtonClick();
    EXPECT_TRUE(grabbed);
}

}  // namespace
}  // namespace zor::test
