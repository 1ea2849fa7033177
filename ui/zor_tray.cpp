// zor_tray.cpp - the tray icon that stands in for the minimized window.
//
// Minimizing hides the window (and so its task-bar entry) and shows the
// icon, tip "ZOR"; a double click on the icon, or "Restore" from its menu,
// brings the window back and removes the icon. Where the desktop has no
// tray the window simply minimizes.
#include "ui/zor.h"

#include "ui/uiresources.h"

#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace zor {

void TZOR_Main::createTray() {
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    TrayPopupMenu = new QMenu(this);
    TrayPopupMenu->setObjectName(QStringLiteral("TrayPopupMenu"));
    Restore = TrayPopupMenu->addAction(QStringLiteral("Restore"));
    Restore->setObjectName(QStringLiteral("Restore"));
    connect(Restore, &QAction::triggered, this, &TZOR_Main::RestoreClick);

    TrayIcon = new QSystemTrayIcon(zorIcon(QStringLiteral("tray")), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setToolTip(QStringLiteral("ZOR"));
    TrayIcon->setContextMenu(TrayPopupMenu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) RestoreClick();
    });
}

void TZOR_Main::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_ && !TrayIcon->isVisible()) {
        // Hiding from inside the state change confuses some window managers;
        // the swap happens as soon as the event is handled.
        QTimer::singleShot(0, this, &TZOR_Main::minimizeToTray);
    }
}

void TZOR_Main::minimizeToTray() {
    if (!isMinimized()) return;
    TrayIcon->show();
    hide();
}

void TZOR_Main::RestoreClick() {
    TrayIcon->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

}  // namespace zor
