// infobox.cpp - the information dialog: an archive's totals, ratio, password and lock state.
#include "ui/infobox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace zor {

namespace {

QString yesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

}  // namespace

TInfo::TInfo(QWidget* parent) : ZorDialog(parent) {
    setObjectName(QStringLiteral("Info"));
    setWindowTitle(QStringLiteral("Info"));
    setEscapeResult(mrOk);
    auto* rows = new QGridLayout;
    rows->setVerticalSpacing(14);
    rowsLayout_ = rows;

    Label1 = new QLabel(QStringLiteral("Info about archive:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = Label1->font();
    titleFont.setPixelSize(16);
    Label1->setFont(titleFont);
    rows->addWidget(Label1, 0, 0, 1, 2);

    TotalSize = addRow(QStringLiteral("Label2"), QStringLiteral("Total size:"), QStringLiteral("TotalSize"));
    TotalPackedSize = addRow(QStringLiteral("Label3"), QStringLiteral("Total packed size:"),
                             QStringLiteral("TotalPackedSize"));
    NumberOfFiles = addRow(QStringLiteral("Label4"), QStringLiteral("Number of files:"),
                           QStringLiteral("NumberOfFiles"));
    NumberOfDirectories = addRow(QStringLiteral("Label5"), QStringLiteral("Number of directories:"),
                                 QStringLiteral("NumberOfDirectories"));
    PasswordProtected = addRow(QStringLiteral("Label6"), QStringLiteral("Password protected:"),
                               QStringLiteral("PasswordProtected"));
    Ratio = addRow(QStringLiteral("Label7"), QStringLiteral("Ratio:"), QStringLiteral("Ratio"));
    Locked = addRow(QStringLiteral("Label8"), QStringLiteral("Locked:"), QStringLiteral("Locked"));
    rows->setRowStretch(rows->rowCount(), 1);

    FlatProgressBar1 = new QProgressBar(this);
    FlatProgressBar1->setObjectName(QStringLiteral("FlatProgressBar1"));
    FlatProgressBar1->setOrientation(Qt::Vertical);
    FlatProgressBar1->setRange(0, 100);
    FlatProgressBar1->setValue(0);
    FlatProgressBar1->setTextVisible(false);

    OK = addStandardButton(mrOk, QStringLiteral("OK"));
    OK->setDefault(true);

    auto* body = new QHBoxLayout;
    body->addLayout(rows, 1);
    body->addWidget(FlatProgressBar1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    fixClientSize(317, 358);
}

QLabel* TInfo::addRow(const QString& rowName, const QString& caption, const QString& valueName) {
    const int row = rowsLayout_->rowCount();
    auto* label = new QLabel(caption, this);
    label->setObjectName(rowName);
    auto* value = new QLabel(this);
    value->setObjectName(valueName);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rowsLayout_->addWidget(label, row, 0);
    rowsLayout_->addWidget(value, row, 1);
    return value;
}

void TInfo::fill(const ArchiveInfoValues& values) {
    TotalSize->setText(QString::number(values.totalSize));
    TotalPackedSize->setText(QString::number(values.totalPackedSize));
    NumberOfFiles->setText(QString::number(values.numberOfFiles));
    NumberOfDirectories->setText(QString::number(values.numberOfDirectories));
    PasswordProtected->setText(yesNo(values.passwordProtected));
    setLocked(values.locked);
    Ratio->setText(QString::number(values.ratio) + QStringLiteral(" %"));
    // A bar ignores positions outside its range and would keep the previous
    // archive's ratio; an enlarged archive fills it.
    FlatProgressBar1->setValue(std::clamp(values.ratio, 0, 100));
}

void TInfo::setLocked(bool locked) {
    Locked->setText(yesNo(locked));
}

}  // namespace zor
