// path_editor.cpp - the folder line of the folder view.
#include "shellview/path_editor.h"

#include "shellview/explistview.h"

#include <QDir>

namespace zor {

TPathEditor::TPathEditor(TExpListView* view, QWidget* parent) : QLineEdit(parent), view_(view) {
    setObjectName(QStringLiteral("PathEditor"));
    setText(PlaceText());
    connect(view, &TExpListView::OnChangeFolder, this, [this] { setText(PlaceText()); });
    connect(this, &QLineEdit::returnPressed, this, &TPathEditor::Apply);
}

QString TPathEditor::PlaceText() const {
    if (!view_) return QString();
    const ItemIdList& place = view_->PIDL();
    return place.isFileSystem() ? place.path() : place.displayName();
}

void TPathEditor::Apply() {
    if (!view_) return;
    QString typed = text().trimmed();
    if (typed == QStringLiteral("~") || typed.startsWith(QStringLiteral("~/"))) typed.replace(0, 1, QDir::homePath());
    if (!view_->SetFolder(typed)) setText(PlaceText());
}

}  // namespace zor
