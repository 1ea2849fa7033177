// progressbox.cpp - the progress window shown while an archive is packed, unpacked or tested.
#include "ui/progressbox.h"

#include "ui/thdtimer.h"
#include "ui/uiresources.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zor {

namespace {

constexpr const char* kUnknown = "????";

// 0..9 as "0" and the digit, anything else in plain decimal (hours may pass 99).
QString twoDigits(int32_t value) {
    return value >= 0 && value <= 9 ? QStringLiteral("0") + QString::number(value) : QString::number(value);
}

// A label that draws a text too wide for it with its middle elided, so a
// long path keeps its file name in view and does not widen the fixed-size
// window; text() stays whole.
class MiddleElidedLabel final : public QLabel {
public:
    MiddleElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setMinimumWidth(1);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.drawText(area, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

QProgressBar* makeBar(const QString& name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

}  // namespace

TProgressform::TProgressform(QWidget* parent) : ZorDialog(parent) {
    setObjectName(QStringLiteral("Progressform"));
    setWindowTitle(QStringLiteral("Progressform"));
    // Only Abort ends an operation; Escape and the close request do nothing.
    setEscapeResult(mrNone);
    setModal(false);

    const struct {
        QLabel* TProgressform::*field;
        const char* name;
        const char* text;
    } labels[] = {
        {&TProgressform::Label5, "Label5", "Found files :"},
        {&TProgressform::TotalFiles, "TotalFiles", kUnknown},
        {&TProgressform::Label6, "Label6", "Found directories :"},
        {&TProgressform::TotalDirectories, "TotalDirectories", kUnknown},
        {&TProgressform::Label7, "Label7", "Current file :"},
        {&TProgressform::CurrentFileNumber, "CurrentFileNumber", kUnknown},
        {&TProgressform::Label4, "Label4", "Current file :"},
        {&TProgressform::Label1, "Label1", "File progress:"},
        {&TProgressform::Label2, "Label2", "Total Progress:"},
        {&TProgressform::Label3, "Label3", "Action:"},
        {&TProgressform::ActionLabel, "ActionLabel", kUnknown},
        {&TProgressform::Label8, "Label8", "Elapsed time :"},
        {&TProgressform::HourLabel, "HourLabel", "00"},
        {&TProgressform::Label9, "Label9", ":"},
        {&TProgressform::MinLabel, "MinLabel", "00"},
        {&TProgressform::Label10, "Label10", ":"},
        {&TProgressform::SecLabel, "SecLabel", "00"},
        {&TProgressform::AbortLabel, "AbortLabel", ""},
    };
    for (const auto& label : labels) {
        auto* made = new QLabel(QString::fromLatin1(label.text), this);
        made->setObjectName(QLatin1String(label.name));
        this->*label.field = made;
    }
    CurrentFileLabel = new MiddleElidedLabel(QString::fromLatin1(kUnknown), this);
    CurrentFileLabel->setObjectName(QStringLiteral("CurrentFileLabel"));
    ProgressBar = makeBar(QStringLiteral("ProgressBar"), this);
    TotalProgress = makeBar(QStringLiteral("TotalProgress"), this);
    QFont abortFont(QStringLiteral("Arial"));
    abortFont.setPixelSize(13);
    AbortLabel->setFont(abortFont);

    Abort = new QPushButton(zorIcon(QStringLiteral("abort")), QStringLiteral("Abort"), this);
    Abort->setObjectName(QStringLiteral("Abort"));
    Abort->setAutoDefault(false);
    connect(Abort, &QPushButton::clicked, this, &TProgressform::AbortClick);

    auto* counts = new QGridLayout;
    counts->addWidget(Label5, 0, 0);
    counts->addWidget(TotalFiles, 0, 1);
    counts->addWidget(Label6, 1, 0);
    counts->addWidget(TotalDirectories, 1, 1);
    counts->addWidget(Label7, 2, 0);
    counts->addWidget(CurrentFileNumber, 2, 1);
    counts->addWidget(Label4, 3, 0);
    counts->addWidget(CurrentFileLabel, 3, 1);
    counts->setColumnStretch(1, 1);
    auto* clock = new QHBoxLayout;
    clock->setSpacing(2);
    for (QLabel* part : {Label8, HourLabel, Label9, MinLabel, Label10, SecLabel}) clock->addWidget(part);
    clock->addStretch();
    auto* action = new QHBoxLayout;
    action->addWidget(Label3);
    action->addWidget(ActionLabel, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(AbortLabel, 1);
    bottom->addWidget(Abort);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(counts);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar);
    layout->addWidget(Label2);
    layout->addWidget(TotalProgress);
    layout->addLayout(action);
    layout->addLayout(clock);
    layout->addStretch();
    layout->addLayout(bottom);
    fixClientSize(399, 276);

    // The clock runs from now on, also while the window is hidden; showing
    // the window resets it.
    ThreadedTimer = new TThreadedTimer(this);
    ThreadedTimer->setObjectName(QStringLiteral("ThreadedTimer"));
    ThreadedTimer->setOnTimer([this](QObject*) { ThreadedTimerTimer(); });
}

void TProgressform::showForOperation() {
    enableAbort();
    setProgressBars(0, 0);
    show();
    raise();
}

void TProgressform::enableAbort() {
    Abort->setEnabled(true);
}

void TProgressform::closeProgress() {
    hide();
}

void TProgressform::setTotalFiles(int64_t count) {
    TotalFiles->setText(QString::number(count));
    TotalFiles->repaint();
}

void TProgressform::setTotalDirectories(int64_t count) {
    TotalDirectories->setText(QString::number(count));
    TotalDirectories->repaint();
}

void TProgressform::setCurrentFileNumber(int64_t number) {
    CurrentFileNumber->setText(QString::number(number));
}

void TProgressform::setCurrentFileName(const QString& name) {
    CurrentFileLabel->setText(name);
    CurrentFileLabel->setToolTip(name);
}

void TProgressform::setAction(const QString& text) {
    ActionLabel->setText(text);
}

void TProgressform::setProgressBars(int filePercent, int totalPercent) {
    ProgressBar->setValue(filePercent);
    TotalProgress->setValue(totalPercent);
}

void TProgressform::refreshBars(float filePercent, float totalPercent) {
    setProgressBars(static_cast<int>(filePercent), static_cast<int>(totalPercent));
}

QString TProgressform::elapsedText() const {
    return HourLabel->text() + Label9->text() + MinLabel->text() + Label10->text() + SecLabel->text();
}

void TProgressform::AbortClick() {
    abortRequested_ = true;
    AbortLabel->setText(QStringLiteral("Please wait ... aborting"));
    Abort->setEnabled(false);
    emit abortClicked();
}

void TProgressform::ThreadedTimerTimer() {
    ++seconds_;
    if (seconds_ == 60) {
        seconds_ = 0;
        ++minutes_;
        if (minutes_ == 60) {
            minutes_ = 0;
            ++hours_;
        }
    }
    SecLabel->setText(twoDigits(seconds_));
    MinLabel->setText(twoDigits(minutes_));
    HourLabel->setText(twoDigits(hours_));
}

void TProgressform::showEvent(QShowEvent* event) {
    FormShow();
    ZorDialog::showEvent(event);
}

void TProgressform::FormShow() {
    AbortLabel->clear();
    seconds_ = 0;
    minutes_ = 0;
    hours_ = 0;
    for (QLabel* part : {HourLabel, MinLabel, SecLabel}) part->setText(QStringLiteral("00"));
}

}  // namespace zor
