// front_window.cpp - message boxes and questions open above the window in front and take the keyboard focus.
#include "ui/front_window.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace zor {

namespace {

bool staysOnTop(const QWidget* window) { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

}  // namespace

QWidget* windowInFront(QWidget* owner) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) return modal;
    if (!owner) return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != owner && window->isVisible() && staysOnTop(window) && window->parentWidget() == owner)
            return window;
    }
    return owner;
}

int execInFront(QDialog& box) {
    if (const QWidget* parent = box.parentWidget(); parent && staysOnTop(parent->window()))
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Once the loop runs the box is shown; the window manager may have left
    // the focus where it was.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    return box.exec();
}

}  // namespace zor
