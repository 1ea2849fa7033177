// path_editor.h - TPathEditor, a line where the folder a TExpListView shows can be read and typed.
#pragma once

#include <QLineEdit>
#include <QPointer>

namespace zor {

class TExpListView;

// Shows the view's folder (or the name of a virtual place) whenever the view
// changes folder. Enter shows the typed folder ("~" stands for the home
// folder); a path that is not a directory puts the view's folder back.
class TPathEditor : public QLineEdit {
    Q_OBJECT

public:
    explicit TPathEditor(TExpListView* view, QWidget* parent = nullptr);

    // What the line shows for the view's current place.
    QString PlaceText() const;

private:
    void Apply();

    QPointer<TExpListView> view_;
};

}  // namespace zor
