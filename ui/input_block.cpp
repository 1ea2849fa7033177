// input_block.cpp - the main window takes no input while an operation runs, while its other windows stay live.
#include "ui/input_block.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace zor {

namespace {

bool isPersonsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

}  // namespace

InputBlock::InputBlock(QWidget* window) : window_(window) {}

InputBlock::~InputBlock() {
    if (depth_ > 0) qApp->removeEventFilter(this);
}

InputBlock::Scope::Scope(InputBlock& block) : block_(block) {
    if (block_.depth_++ == 0) qApp->installEventFilter(&block_);
}

InputBlock::Scope::~Scope() {
    if (--block_.depth_ == 0) qApp->removeEventFilter(&block_);
}

bool InputBlock::belongsToWindow(QObject* receiver) const {
    if (!window_ || !receiver) return false;
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        // A menu opened from the menu bar is a window of its own whose
        // parent is the bar.
        while (auto* menu = qobject_cast<QMenu*>(widget->window())) {
            if (!menu->parentWidget()) return false;
            widget = menu->parentWidget();
        }
        return widget->window() == window_;
    }
    // A shortcut goes to its action, not to a widget.
    if (auto* action = qobject_cast<QAction*>(receiver)) {
        for (QObject* user : action->associatedObjects()) {
            if (auto* widget = qobject_cast<QWidget*>(user); widget && belongsToWindow(widget)) return true;
        }
    }
    // A QShortcut, or an action: the widget it lives in.
    return belongsToWindow(receiver->parent());
}

bool InputBlock::eventFilter(QObject* receiver, QEvent* event) {
    if (isPersonsInput(event->type()) && belongsToWindow(receiver)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(receiver, event);
}

}  // namespace zor
