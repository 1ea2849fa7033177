// questionbox.h - the question dialog: Yes (6), No (7) or All (8).
//
// There is no way out other than the three buttons: Escape and the window
// manager's close request are ignored, so the caller always gets one of
// the three answers.
#pragma once

#include "ui/zordialog.h"

class QLabel;

namespace zor {

class TQuestion : public ZorDialog {
    Q_OBJECT
public:
    explicit TQuestion(QWidget* parent = nullptr);

    void setQuestion(const QString& text);
    QString question() const;
    // Sets the question and shows the dialog modally; returns mrYes, mrNo or
    // mrAll.
    int ask(const QString& text);

private:
    static constexpr int kClientWidth = 345;
    static constexpr int kClientHeight = 108;

    // A long question (a whole path) wraps and makes the dialog taller.
    void fitToQuestion();

    QLabel* QuestionLabel;
    QPushButton* Yes;
    QPushButton* No;
    QPushButton* All;
};

}  // namespace zor
