// input_block.h - the main window takes no input while an operation runs, while its other windows stay live.
//
// Operations run in the user-interface thread and let Qt serve the
// progress window between their steps; without a block, the same pumping
// would let a click in the list change the working folder under a running
// pack, or a toolbar button start a second operation inside the first.
// Disabling the whole application would also disable the progress
// window's Abort and the questions' buttons, so instead the person's input
// (mouse, keyboard, wheel, shortcuts, drops, pop-up menus) meant for the
// main window and its menus is dropped. Blocks nest.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace zor {

class InputBlock : public QObject {
public:
    explicit InputBlock(QWidget* window);
    ~InputBlock() override;

    bool active() const { return depth_ > 0; }

    // The window takes no input for the lifetime of a Scope.
    class Scope {
    public:
        explicit Scope(InputBlock& block);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        InputBlock& block_;
    };

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    bool belongsToWindow(QObject* receiver) const;

    QPointer<QWidget> window_;
    int depth_ = 0;
};

}  // namespace zor
