// main.cpp - the zor program: one copy per user, the main window, the message loop.
//
// Usage: zor [ARCHIVE.zor], or zor --help / --version, which print and end
// without opening a window. A copy started while another runs brings that
// one to the front and ends with status 0, whatever it was asked to open.
#include "platform/signal_cleanup.h"
#include "ui/command_line.h"
#include "ui/single_instance.h"
#include "ui/zor.h"

#include <QApplication>
#include <QMessageBox>

#include <curl/curl.h>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so they work without a display.
    if (const std::optional<zor::CommandLineAnswer> answer = zor::answerCommandLine(argc, argv)) {
        std::fputs(answer->text.c_str(), stdout);
        return answer->status;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QLatin1String(zor::kProgramTitle));
    QApplication::setOrganizationName(QStringLiteral("ZOR"));
    QApplication::setApplicationVersion(QStringLiteral("2.00"));
    QApplication::setDesktopFileName(QStringLiteral("zor"));
    // The program ends through File > Exit only; hiding the window into the
    // tray must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // SIGTERM and SIGHUP (a session that ends) remove the part file of an
    // archive being written; Qt installs no handlers of its own for them.
    zor::installPartFileRemovalOnSignals();

    zor::SingleInstance instance;
    if (instance.notifyRunningCopy()) return 0;
    // A copy that started at the same moment may have taken the name in
    // between; without the socket the program still runs, only unfindable.
    if (!instance.listen() && instance.notifyRunningCopy()) return 0;

    curl_global_init(CURL_GLOBAL_DEFAULT);
    try {
        zor::TZOR_Main window;
        QObject::connect(&instance, &zor::SingleInstance::activationRequested, &window,
                         &zor::TZOR_Main::BringToFront);
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        window.showMaximized();
        window.FormCreate(arguments);
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QLatin1String(zor::kProgramTitle), QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
