// zor_main_test_support.h - drives the main window in tests: answers its modal dialogs and message boxes, finds rows.
#pragma once

#include "shellview/explistview.h"
#include "ui/zor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zor::test {

// What one modal window showed when it was answered.
struct SeenModal {
    QString objectName;
    QString title;
    QString text;  // a message box's text; empty for dialogs
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the modal windows the code under test opens, in order: each
// answer gets the window on top and must close it. Modal windows beyond
// the queued answers are closed with Escape-like rejection and recorded,
// so a test never hangs on an unexpected box.
class ModalAnswerer {
public:
    using Answer = std::function<void(QWidget* modal)>;

    ModalAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    void then(Answer answer) { answers_.push_back(std::move(answer)); }
    // Clicks the child button named `buttonName` (dialogs) or the message box button `button`.
    void thenClick(const char* buttonName) {
        then([name = QString::fromLatin1(buttonName)](QWidget* modal) {
            auto* button = modal->findChild<QAbstractButton*>(name);
            ASSERT_NE(button, nullptr) << name.toStdString();
            button->click();
        });
    }
    void thenPress(QMessageBox::StandardButton which) {
        then([which](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << "expected a message box, got " << modal->objectName().toStdString();
            box->button(which)->click();
        });
    }

    const std::vector<SeenModal>& seen() const { return seen_; }
    QStringList messages() const {
        QStringList texts;
        for (const SeenModal& modal : seen_)
            if (!modal.text.isEmpty()) texts << modal.text;
        return texts;
    }
    bool allAnswered() const { return answers_.empty(); }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == pending_) return;
        SeenModal seen {modal->objectName(), modal->windowTitle(), {}, QMessageBox::NoIcon};
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.icon = box->icon();
        }
        seen_.push_back(seen);
        if (answers_.empty()) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->done(QMessageBox::Ok);
            else if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(2);
            return;
        }
        // The answer may start a whole operation (OK of the pack-to dialog);
        // it runs as a posted call so that this timer stays free to answer
        // the boxes that operation opens.
        pending_ = modal;
        QMetaObject::invokeMethod(
            &timer_,
            [this, modal = QPointer<QWidget>(modal), answer = std::move(answers_.front())] {
                pending_ = nullptr;
                if (modal) answer(modal);
            },
            Qt::QueuedConnection);
        answers_.pop_front();
    }

    QTimer timer_;
    QPointer<QWidget> pending_;
    std::deque<Answer> answers_;
    std::vector<SeenModal> seen_;
};

// Lets queued events run (folder rescans, deferred tray swaps) for a short while.
inline void processEventsFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The row whose caption is `caption`, or -1.
inline int rowOf(const TExpListView& list, const QString& caption) {
    for (int row = 0; row < list.RowCount(); ++row)
        if (list.Caption(row) == caption) return row;
    return -1;
}

inline QStringList captions(const TExpListView& list) {
    QStringList all;
    for (int row = 0; row < list.RowCount(); ++row) all << list.Caption(row);
    return all;
}

// Selects exactly the rows with these captions (all must be present).
inline void selectRows(TExpListView& list, const QStringList& wanted) {
    list.clearSelection();
    for (const QString& caption : wanted) {
        const int row = rowOf(list, caption);
        ASSERT_GE(row, 0) << caption.toStdString() << " not listed";
        list.SetRowSelected(row, true);
    }
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A test working in a fresh folder `root_` (its canonical path); the
// working folder, which the window changes, is reset afterwards.
class TempFolderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        root_ = QDir(folder_.path()).canonicalPath();
    }
    void TearDown() override { QDir::setCurrent(QDir::tempPath()); }

    QTemporaryDir folder_;
    QString root_;
};

// A window started in `folder` (which becomes the working folder), with
// fatal reports and Exit recorded instead of ending the test program.
struct WindowFixture {
    explicit WindowFixture(const QString& folder, const QStringList& arguments = {}) {
        QDir::setCurrent(folder);
        window = std::make_unique<TZOR_Main>([this](int status) { terminatedWith = status; },
                                             [this](int status) { exitedWith = status; });
        window->setTrayAvailable(false);
        window->resize(800, 600);
        window->show();
        window->FormCreate(arguments);
    }

    TExpListView& list() const { return *window->dirList(); }
    template <typename T>
    T* control(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control named " << name;
        return found;
    }
    bool enabled(const char* name) const {
        if (auto* widget = window->findChild<QWidget*>(QString::fromLatin1(name))) return widget->isEnabled();
        if (auto* action = window->findChild<QAction*>(QString::fromLatin1(name))) return action->isEnabled();
        ADD_FAILURE() << "no control named " << name;
        return false;
    }
    // Pack, UnPack, Test, Info, Lock, drive box.
    std::vector<bool> buttonStates() const {
        return {enabled("PackButton"), enabled("UnPackButton"), enabled("TestButton"),
                enabled("InfoButton"), enabled("LockButton"), enabled("DriveBox")};
    }

    std::unique_ptr<TZOR_Main> window;
    int terminatedWith = -1;
    int exitedWith = -1;
};

}  // namespace zor::test
