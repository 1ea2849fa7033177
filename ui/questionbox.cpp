// questionbox.cpp - the question dialog: Yes (6), No (7) or All (8).
#include "ui/questionbox.h"

#include "ui/front_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zor {

TQuestion::TQuestion(QWidget* parent) : ZorDialog(parent), QuestionLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("Question"));
    setWindowTitle(QStringLiteral("Question"));
    setEscapeResult(mrNone);
    QuestionLabel->setObjectName(QStringLiteral("QuestionLabel"));
    // Overwrite questions carry whole paths; let them wrap instead of
    // widening the dialog off the screen.
    QuestionLabel->setWordWrap(true);
    Yes = addStandardButton(mrYes, QStringLiteral("Yes"));
    No = addStandardButton(mrNo, QStringLiteral("No"));
    All = addStandardButton(mrAll, QStringLiteral("All"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Yes);
    buttons->addWidget(No);
    buttons->addWidget(All);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(QuestionLabel, 1);
    layout->addLayout(buttons);
    fixClientSize(kClientWidth, kClientHeight);
}

void TQuestion::setQuestion(const QString& text) {
    QuestionLabel->setText(text);
    fitToQuestion();
}

void TQuestion::fitToQuestion() {
    const QMargins margins = layout()->contentsMargins();
    const int labelWidth = kClientWidth - margins.left() - margins.right();
    QuestionLabel->setMinimumHeight(QuestionLabel->heightForWidth(labelWidth));
    fixClientSize(kClientWidth, kClientHeight);
}

QString TQuestion::question() const {
    return QuestionLabel->text();
}

int TQuestion::ask(const QString& text) {
    setQuestion(text);
    return execInFront(*this);
}

}  // namespace zor
