// zor_main_program_test.cpp - the zor program itself: a second copy hands over to the running one and ends with status 0.
#include "tests/ui/zor_main_test_support.h"

#include "ui/single_instance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QThread>

namespace zor::test {
namespace {

// The zor program built next to this test program (build/<name>/ui/zor).
QString zorProgram() {
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../ui/zor");
}

bool socketAnswers(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(200);
}

TEST(ZorProgramTest, ASecondCopyEndsWithStatusZeroAlsoWhenGivenAnArchive) {
    if (!QFileInfo(zorProgram()).isExecutable()) GTEST_SKIP() << "zor is not built";
    const QString name = SingleInstance::defaultServerName();
    if (socketAnswers(name)) GTEST_SKIP() << "a zor of this user is running already";

    QTemporaryDir folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setWorkingDirectory(folder.path());
    first.start(zorProgram(), {});
    ASSERT_TRUE(first.waitForStarted());
    bool listening = false;
    for (int attempt = 0; attempt < 100 && !listening && first.state() == QProcess::Running; ++attempt) {
        QThread::msleep(50);
        listening = socketAnswers(name);
    }
    ASSERT_TRUE(listening) << first.readAllStandardError().toStdString();

    for (const QStringList& arguments : {QStringList {}, QStringList {folder.filePath("backup.zor")}}) {
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(zorProgram(), arguments);
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
    }
    EXPECT_EQ(first.state(), QProcess::Running) << "the first copy goes on";
    first.kill();
    first.waitForFinished();
}

}  // namespace
}  // namespace zor::test
