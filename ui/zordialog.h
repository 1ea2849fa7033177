// zordialog.h - the frame every ZOR dialog shares: no close box, always on top, centred, fixed size, standard buttons.
//
// A standard button first stores its modal result, then runs its click
// handler (if any), then closes the dialog, so a handler that reports an
// error still ends with the dialog closed and the result set. The results
// are the numbers the rest of the program compares against (OK 1, Cancel 2,
// Yes 6, No 7, All 8), not Qt's Accepted/Rejected.
#pragma once

#include <QDialog>
#include <functional>
#include <initializer_list>

class QPushButton;

namespace zor {

enum ModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
};

class ZorDialog : public QDialog {
    Q_OBJECT
public:
    explicit ZorDialog(QWidget* parent = nullptr);

    // Escape, and a close request from the window manager, end the dialog
    // with this result; mrNone makes the dialog ignore them.
    void setEscapeResult(ModalResult result) { escapeResult_ = result; }
    void reject() override;

protected:
    // A button with the caption and result of its kind ("OK", "Cancel",
    // "&Yes", "&No", "&All"); `onClick` runs between storing the result and
    // closing the dialog.
    QPushButton* addStandardButton(ModalResult kind, const QString& objectName,
                                   std::function<void()> onClick = {});

    // The layout's client size at 96 dpi; grows only when the platform's
    // fonts need more room than that. Call once the layout is complete.
    void fixClientSize(int width, int height);

    // Tab moves through `widgets` in this order.
    static void chainTabOrder(std::initializer_list<QWidget*> widgets);

    void showEvent(QShowEvent* event) override;

private:
    ModalResult escapeResult_ = mrCancel;
};

}  // namespace zor
