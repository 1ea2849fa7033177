// zor_main_speed_test.cpp - benchmark (disabled by default): packing 20 MB through the window against zor-cli, and how live the window stays.
//
// Run: zor_ui_tests --gtest_also_run_disabled_tests --gtest_filter='*PackingSpeed*'
// It prints the times and the longest stretch without event processing;
// it asserts nothing about them.
#include "tests/ui/zor_main_test_support.h"

#include "ui/unpackto.h"
#include "ui/folderbrowser.h"

#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace zor::test {
namespace {

constexpr int kFileSize = 20 * 1000 * 1000;
constexpr int kRounds = 3;

// Text-like data: words from a small vocabulary with random spacing.
QByteArray textLikeData(int size) {
    static const char* const words[] = {"archive", "block", "sorting", "window", "folder", "the", "of", "and",
                                        "compress", "stream", "entry", "header", "zor", "file", "data", "to"};
    QByteArray bytes;
    bytes.reserve(size);
    QRandomGenerator random(2001);
    while (bytes.size() < size) {
        bytes += words[random.bounded(16)];
        bytes += random.bounded(9) == 0 ? '\n' : ' ';
    }
    bytes.truncate(size);
    return bytes;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millis(QtMessagePump::Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

TEST(MainWindowPackingSpeed, DISABLED_PackTwentyMegabytesThroughTheWindowAndZorCli) {
    QTemporaryDir folder;
    const QString root = QDir(folder.path()).canonicalPath();
    writeFile(root + "/big.txt", textLikeData(kFileSize));
    QDir().mkpath(root + "/out");

    // zor-cli and the window take turns, so that a busy moment of the
    // machine hits both alike.
    std::vector<double> cliSeconds;
    auto packWithCli = [&] {
        QFile::remove(root + "/cli.zor");
        QProcess cli;
        cli.setWorkingDirectory(root);
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(ZOR_CLI_PATH), {"pack", "-q", "cli.zor", "big.txt"});
        ASSERT_TRUE(cli.waitForFinished(600000));
        cliSeconds.push_back(clock.nsecsElapsed() / 1e9);
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    };

    WindowFixture fixture(root);
    TZOR_Main& window = *fixture.window;
    QtMessagePump& pump = window.operationUi().pump();
    std::vector<double> windowSeconds;
    double packGap = 0;
    double packEventMillis = 0;
    int packRuns = 0;
    for (int round = 0; round < kRounds; ++round) {
        packWithCli();
        QFile::remove(root + "/window.zor");
        fixture.list().Rescan();
        ModalAnswerer answerer;
        double seconds = 0;
        answerer.then([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ArchiveName")->setText("window");
            QElapsedTimer clock;
            clock.start();
            pump.resetGapMeasure();
            dialog->findChild<QAbstractButton*>("OK")->click();  // packs before it returns
            seconds = clock.nsecsElapsed() / 1e9;
            packGap = std::max(packGap, millis(pump.longestGap()));
            packEventMillis = millis(pump.timeInEvents());
            packRuns = pump.runs();
        });
        selectRows(fixture.list(), {"big.txt"});
        window.PackButtonClick();
        ASSERT_TRUE(QFileInfo::exists(root + "/window.zor"));
        windowSeconds.push_back(seconds);
    }

    // Unpacking, for the liveness figure.
    fixture.list().Rescan();
    selectRows(fixture.list(), {"window.zor"});
    window.DirListDblClick();
    ModalAnswerer answerer;
    double unpackGap = 0;
    answerer.then([&](QWidget* dialog) {
        auto* box = qobject_cast<TUnPackToBox*>(dialog);
        box->browser()->showFolder(root + "/out");
        pump.resetGapMeasure();
        box->findChild<QAbstractButton*>("OK")->click();
        unpackGap = millis(pump.longestGap());
    });
    fixture.list().clearSelection();
    window.UnPackButtonClick();
    EXPECT_EQ(QFileInfo(root + "/out/big.txt").size(), kFileSize);

    const double cli = median(cliSeconds);
    const double gui = median(windowSeconds);
    std::printf("\npacking %d bytes, median of %d runs\n", kFileSize, kRounds);
    std::printf("  zor-cli pack            %8.3f s\n", cli);
    std::printf("  window (pack-to OK)     %8.3f s   (%.3f x zor-cli)\n", gui, gui / cli);
    std::printf("  of which event processing %6.1f ms in %d runs (last run)\n", packEventMillis, packRuns);
    std::printf("longest stretch without event processing\n");
    std::printf("  while packing           %8.1f ms\n", packGap);
    std::printf("  while unpacking         %8.1f ms\n", unpackGap);
}

}  // namespace
}  // namespace zor::test
