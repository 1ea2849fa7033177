// qt_operation_ui.cpp - the window's side of the archive operations: progress window, questions, password prompt, error boxes.
#include "ui/qt_operation_ui.h"

#include "archive/archive_header.h"
#include "platform/signal_cleanup.h"
#include "shellview/explistview.h"
#include "ui/passworddecrypt.h"
#include "ui/progressbox.h"
#include "ui/front_window.h"
#include "ui/progressthread.h"
#include "ui/questionbox.h"
#include "ui/zordialog.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>

#include <cstdlib>
#include <cstring>

namespace zor {

namespace {

QString fromLocal(const std::string& text) { return QString::fromStdString(text); }

// Lines of a long list (omissions, corrupt entries) shown in a box itself;
// all of them are in its details.
constexpr int kListLinesShown = 10;

// The texts testing shows for each entry, after the entry's stored name
// (a folder's ends in "\") as the current file.
constexpr char kEntryPassedLabel[] = "File OK";
constexpr char kEntryCorruptEnding[] = " is corrupt";

// A box whose text is `heading` and the first lines of `lines`; with more
// than those, the rest is told of and all lines are in the details.
void showListBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& objectName,
                 const QString& heading, const std::vector<std::string>& lines) {
    QStringList all;
    for (const std::string& line : lines) all << fromLocal(line);
    QString text = heading;
    if (!all.isEmpty()) text += QLatin1Char('\n') + QStringList(all.mid(0, kListLinesShown)).join(QLatin1Char('\n'));
    QMessageBox box(icon, caption, text, QMessageBox::Ok, windowInFront(owner));
    box.setObjectName(objectName);
    box.setTextFormat(Qt::PlainText);
    if (all.size() > kListLinesShown) {
        box.setInformativeText(QStringLiteral("... and %1 more (see the details).").arg(all.size() - kListLinesShown));
        box.setDetailedText(all.join(QLatin1Char('\n')));
    }
    execInFront(box);
}

void showMessageBox(QWidget* owner, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, QStringLiteral("Error"), fromLocal(text), QMessageBox::Ok, windowInFront(owner));
    box.setObjectName(QStringLiteral("ErrorBox"));
    execInFront(box);
}

bool askYesNo(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& objectName,
              const std::string& text, const QString& note = {},
              QMessageBox::StandardButton byDefault = QMessageBox::Yes) {
    QMessageBox box(icon, caption, fromLocal(text), QMessageBox::Yes | QMessageBox::No, windowInFront(owner));
    box.setObjectName(objectName);
    box.setInformativeText(note);
    box.setDefaultButton(byDefault);
    return execInFront(box) == QMessageBox::Yes;
}

}  // namespace

QtOperationUi::QtOperationUi(OperationWindows windows, Terminate terminate)
    : windows_(windows), terminate_(std::move(terminate)) {
    // Ending at once skips every destructor: the part files of files being written go first.
    if (!terminate_) terminate_ = [](int status) {
        removePartFilesNow();
        std::_Exit(status);
    };
}

QtOperationUi::~QtOperationUi() { stopProgressUpdates(); }

void QtOperationUi::reportError(const std::string& text, bool fatal) {
    if (tally_ && text.ends_with(kEntryCorruptEnding) && text != kCorruptArchiveMessage)
        tally_->corrupt.push_back(text.substr(0, text.size() - std::strlen(kEntryCorruptEnding)));
    if (fatal) {
        showMessageBox(windows_.owner, QMessageBox::Critical, text);
        terminate_(kFatalExitStatus);
        return;
    }
    closeProgress();
    showMessageBox(windows_.owner, QMessageBox::Critical, text);
}

void QtOperationUi::showPlainError(const std::string& text) {
    showMessageBox(windows_.owner, QMessageBox::NoIcon, text);
}

void QtOperationUi::setActionLabel(const std::string& text) {
    // Folders pass too; only files count.
    if (tally_ && text == kEntryPassedLabel && !tally_->currentEntry.ends_with('\\')) ++tally_->passed;
    windows_.progress->setAction(fromLocal(text));
}

void QtOperationUi::setProgressBars(int filePercent, int totalPercent) {
    windows_.progress->setProgressBars(filePercent, totalPercent);
}

bool QtOperationUi::abortRequested() const { return windows_.progress->abortRequested(); }

QuestionAnswer QtOperationUi::askQuestion(const std::string& label) {
    switch (windows_.question->ask(fromLocal(label))) {
    case mrYes: return QuestionAnswer::Yes;
    case mrAll: return QuestionAnswer::All;
    default: return QuestionAnswer::No;
    }
}

QuestionAnswer QtOperationUi::askOverwrite(const std::string& path) { return askQuestion(fileExistsQuestion(path)); }

bool QtOperationUi::confirmReadOnlyOverwrite(const std::string& text) {
    return askYesNo(windows_.owner, QMessageBox::Warning, QStringLiteral("Warning"),
                    QStringLiteral("ReadOnlyWarningBox"), text);
}

bool QtOperationUi::confirmArchiveOverwrite(const std::string& path, bool isArchive) {
    // Replacing a file that is not an archive at all is worth a second look:
    // a careless Enter keeps it.
    return askYesNo(windows_.owner, isArchive ? QMessageBox::Question : QMessageBox::Warning,
                    QStringLiteral("Question"), QStringLiteral("ArchiveOverwriteQuestion"),
                    fileExistsQuestion(path),
                    isArchive ? QString() : QStringLiteral("It is not a ZOR archive."),
                    isArchive ? QMessageBox::Yes : QMessageBox::No);
}

void QtOperationUi::reportOmissions(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    closeProgress();
    const size_t count = lines.size();
    showListBox(windows_.owner, QMessageBox::Warning, QStringLiteral("Warning"), QStringLiteral("OmissionsBox"),
                count == 1 ? QStringLiteral("1 item was left out:") : QStringLiteral("%1 items were left out:").arg(count),
                lines);
}

void QtOperationUi::startTestTally() { tally_.emplace(); }

TestTally QtOperationUi::finishTestTally() {
    TestTally tally = tally_.value_or(TestTally {});
    tally_.reset();
    return tally;
}

void QtOperationUi::showTestResult(const TestTally& tally) {
    const int64_t tested = tally.tested();
    QString heading = tested == 1 ? QStringLiteral("1 file tested") : QStringLiteral("%1 files tested").arg(tested);
    if (tally.corrupt.empty()) {
        heading += tested == 1 ? QStringLiteral(": it is OK.") : QStringLiteral(": all are OK.");
    } else {
        heading += QStringLiteral(", %1 corrupt:").arg(tally.corrupt.size());
    }
    showListBox(windows_.owner, tally.corrupt.empty() ? QMessageBox::Information : QMessageBox::Warning,
                QStringLiteral("Test"), QStringLiteral("TestResultBox"), heading, tally.corrupt);
}

std::optional<std::string> QtOperationUi::askDecryptPassword() {
    if (execInFront(*windows_.decrypt) == mrCancel) return std::nullopt;
    return windows_.decrypt->password().toStdString();
}

void QtOperationUi::clearDecryptPassword() {
    // The dialog offers no way to clear its field; the field is reached by its name.
    if (auto* field = windows_.decrypt->findChild<QLineEdit*>(QStringLiteral("PasswordDecrypt"))) field->clear();
}

void QtOperationUi::showProgress() {
    if (windows_.progress->isVisible()) return;
    windows_.progress->show();
    windows_.progress->raise();
}

void QtOperationUi::hideProgress() { windows_.progress->hide(); }

void QtOperationUi::closeProgress() { windows_.progress->closeProgress(); }

void QtOperationUi::enableAbort() {
    if (auto* abort = windows_.progress->findChild<QPushButton*>(QStringLiteral("Abort"))) abort->setEnabled(true);
}

void QtOperationUi::clearAbortRequest() { windows_.progress->clearAbortRequest(); }

void QtOperationUi::setCurrentFileLabel(const std::string& text) {
    if (tally_) tally_->currentEntry = text;
    windows_.progress->setCurrentFileName(fromLocal(text));
}

void QtOperationUi::setCurrentFileNumber(int64_t number) { windows_.progress->setCurrentFileNumber(number); }

void QtOperationUi::setTotalFiles(int64_t count) { windows_.progress->setTotalFiles(count); }

void QtOperationUi::setTotalDirectories(int64_t count) { windows_.progress->setTotalDirectories(count); }

void QtOperationUi::startProgressUpdates(const DriverProgress& progress) {
    stopProgressUpdates();
    const DriverProgress* shared = &progress;
    progressThread_ = UpdateProgress::launch(windows_.progress, [shared] {
        return ProgressPercents {shared->FileProgressPercent, shared->TotalProgressPercent};
    });
}

void QtOperationUi::stopProgressUpdates() {
    if (progressThread_) progressThread_->stop();
    progressThread_.clear();
}

void QtOperationUi::suspendFolderMonitoring() {
    if (windows_.folderList) windows_.folderList->SetMonitorDirectory(false);
}

void QtOperationUi::resumeFolderMonitoring() {
    if (!windows_.folderList) return;
    windows_.folderList->SetMonitorDirectory(true);
    if (windows_.folderList->Active()) windows_.folderList->Rescan();
}

void QtOperationUi::setMainWindowEnabled(bool enabled) {
    auto* mainWindow = qobject_cast<QMainWindow*>(windows_.owner);
    if (!mainWindow) {
        if (windows_.owner) windows_.owner->setEnabled(enabled);
        return;
    }
    // Only the window's own controls: disabling the window itself would
    // disable every window it owns too, the progress window's Abort and the
    // error boxes' OK among them.
    mainWindow->menuBar()->setEnabled(enabled);
    if (mainWindow->centralWidget()) mainWindow->centralWidget()->setEnabled(enabled);
    for (QToolBar* bar : mainWindow->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) bar->setEnabled(enabled);
}

}  // namespace zor
