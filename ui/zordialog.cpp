// zordialog.cpp - the frame every ZOR dialog shares.
#include "ui/zordialog.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace zor {

namespace {

QString standardCaption(ModalResult kind) {
    switch (kind) {
    case mrOk: return QStringLiteral("OK");
    case mrCancel: return QStringLiteral("Cancel");
    case mrYes: return QStringLiteral("&Yes");
    case mrNo: return QStringLiteral("&No");
    case mrAll: return QStringLiteral("&All");
    case mrNone: break;
    }
    return {};
}

}  // namespace

ZorDialog::ZorDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {}

void ZorDialog::reject() {
    if (escapeResult_ != mrNone) done(escapeResult_);
}

QPushButton* ZorDialog::addStandardButton(ModalResult kind, const QString& objectName,
                                          std::function<void()> onClick) {
    auto* button = new QPushButton(standardCaption(kind), this);
    button->setObjectName(objectName);
    // Only an explicit default button answers Enter; Yes/No/All never do.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, kind, onClick = std::move(onClick)] {
        setResult(kind);
        if (onClick) onClick();
        done(kind);
    });
    return button;
}

void ZorDialog::fixClientSize(int width, int height) {
    setFixedSize(QSize(width, height).expandedTo(minimumSizeHint()));
}

void ZorDialog::chainTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

void ZorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace zor
