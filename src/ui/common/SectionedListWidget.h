#pragma once

#include <QListWidget>
#include <QPointer>

#include <functional>

class QLineEdit;

namespace varnello {

// A list whose entries sit under heading rows, walked by the keyboard: the arrows, Home, End and
// the page keys move only between rows `isRow` accepts that are not hidden, and focus from the
// keyboard makes the first such row in view current. So the current row is always one that
// shows the focus and that Space acts on. A click on a heading leaves the current row alone.
// With a search field attached, Down in the field enters the list and Up on the list's first
// row goes back to the field. While the field holds a search, the keys walk only the rows
// `isMatch` accepts: rows the search leaves listed all the same (earlier picks above the matches)
// take clicks but not the keys, so Down from the field lands on the first match, Up from it goes
// back to the field, Tab into the list leaves a pick for the first match in view, and Space never
// unticks a pick the search did not find or one ticked before the keyboard went elsewhere.
class SectionedListWidget final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SectionedListWidget)

public:
    using RowTest = std::function<bool(const QModelIndex &)>;

    explicit SectionedListWidget(RowTest isRow, QWidget *parent = nullptr);

    void setSearchField(QLineEdit *field, RowTest isMatch = {});

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool isSearching() const;
    // A shown row that is no heading.
    bool isEntry(int row) const;
    bool isKeyboardRow(int row) const;
    // The nearest keyboard row from `row` on in the direction `step`, or -1.
    int nearestRow(int row, int step) const;

    RowTest m_isRow;
    RowTest m_isMatch;
    QPointer<QLineEdit> m_searchField;
};

} // namespace varnello
