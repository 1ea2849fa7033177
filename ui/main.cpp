// main.cpp - the zor program: one copy per user, the main window, the message loop.
//
// Usage: zor [ARCHIVE.zor]. A copy started while another runs brings that
// one to the front and ends with status 0, whatever it was asked to open.
#include "ui/single_instance.h"
#include "ui/zor.h"

#include <QApplication>
#include <QMessageBox>

#include <curl/curl.h>

#include <exception>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QLatin1String(zor::kProgramTitle));
    QApplication::setOrganizationName(QStringLiteral("ZOR"));
    QApplication::setApplicationVersion(QStringLiteral("2.00"));
    QApplication::setDesktopFileName(QStringLiteral("zor"));
    // The program ends through File > Exit only; hiding the window into the
    // tray must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

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
