// startup_test.cpp - what zor answers on the terminal (--help, --version) and where it finds its help page.
#include "ui/command_line.h"
#include "ui/help_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace zor {
namespace {

struct CommandLineCase {
    std::vector<const char*> arguments;  // after the program's name
    bool answered;
    const char* textStart;
};

class CommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, AnswersOnlyHelpAndVersion) {
    std::vector<const char*> argv {"zor"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const std::optional<CommandLineAnswer> answer = answerCommandLine(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(answer.has_value(), GetParam().answered);
    if (!answer) return;
    EXPECT_EQ(answer->status, 0);
    EXPECT_EQ(answer->text.rfind(GetParam().textStart, 0), 0u) << answer->text;
    EXPECT_EQ(answer->text.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(
    Startup, CommandLine,
    testing::Values(CommandLineCase {{}, false, ""}, CommandLineCase {{"--help"}, true, "Usage: zor [ARCHIVE.zor]"},
                    CommandLineCase {{"-h"}, true, "Usage: zor [ARCHIVE.zor]"},
                    CommandLineCase {{"--version"}, true, "zor 2.00 (build 61)"},
                    CommandLineCase {{"backup.zor"}, false, ""},
                    // Qt's own options still reach Qt.
                    CommandLineCase {{"-platform", "offscreen"}, false, ""}));

// The built program answers without a display and opens no window.
TEST(ZorProgramOptions, HelpAndVersionPrintAndEndWithoutADisplay) {
    const QString program = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../ui/zor");
    if (!QFile::exists(program)) GTEST_SKIP() << "zor is not built";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    for (const char* option : {"--help", "--version"}) {
        QProcess zor;
        zor.setProcessEnvironment(environment);
        zor.start(program, {option});
        ASSERT_TRUE(zor.waitForFinished(10000)) << option;
        EXPECT_EQ(zor.exitCode(), 0) << option;
        EXPECT_TRUE(zor.readAllStandardOutput().startsWith(option == std::string("--help") ? "Usage: zor" : "zor 2.00"));
    }
}

// The installed layout wins over a build tree; without either, the installed path.
TEST(HelpPage, FoundInstalledUnderShareZorThenInTheSources) {
    QTemporaryDir root;
    const QString prefix = root.path() + "/usr";
    const QString sources = root.path() + "/src";
    const auto touch = [](const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    QDir().mkpath(prefix + "/bin");
    QDir().mkpath(sources + "/build/release/ui");
    EXPECT_EQ(findHelpPage(prefix + "/bin"), prefix + "/share/zor/help/index.html") << "missing: the installed path";
    touch(prefix + "/share/doc/zor/help/index.html");
    EXPECT_EQ(findHelpPage(prefix + "/bin"), prefix + "/share/zor/help/index.html") << "share/doc is not looked at";
    touch(prefix + "/share/zor/help/index.html");
    EXPECT_EQ(findHelpPage(prefix + "/bin"), prefix + "/share/zor/help/index.html");
    touch(sources + "/data/help/index.html");
    EXPECT_EQ(findHelpPage(sources + "/build/release/ui"), sources + "/data/help/index.html");
}

}  // namespace
}  // namespace zor
