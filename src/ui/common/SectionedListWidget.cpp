#include "SectionedListWidget.h"

#include "WidgetHelpers.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace varnello {

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

SectionedListWidget::SectionedListWidget(RowTest isRow, QWidget *parent)
    : QListWidget(parent), m_isRow(std::move(isRow))
{
    currentRowOnFocus(this,
                      [this](const QModelIndex &index) { return isKeyboardRow(index.row()); });
}

void SectionedListWidget::setSearchField(QLineEdit *field, RowTest isMatch)
{
    m_searchField = field;
    m_isMatch = std::move(isMatch);
    // Down in the field goes on into the list, as if the list's first row followed the field.
    // The handler belongs to the list, so it goes when the list goes.
    onKeyPress(field, this, [this](const QKeyEvent &key) {
        if (key.key() != Qt::Key_Down || key.modifiers() != Qt::NoModifier || !isVisible() ||
            !isEnabled())
            return false;
        const int first = nearestRow(0, 1);
        if (first < 0) // nothing matches: the keyboard stays in the field
            return false;
        // After a search the first match is where the operator looks, wherever the list was.
        if (isSearching())
            setCurrentRow(first, QItemSelectionModel::NoUpdate);
        // The tab reason, during a key press, makes the window show the keyboard focus.
        setFocus(Qt::TabFocusReason);
        return true;
    });
}

bool SectionedListWidget::isSearching() const
{
    return m_isMatch && m_searchField && !m_searchField->text().trimmed().isEmpty();
}

bool SectionedListWidget::isEntry(int row) const
{
    if (row < 0 || row >= count() || isRowHidden(row))
        return false;
    return !m_isRow || m_isRow(model()->index(row, 0));
}

bool SectionedListWidget::isKeyboardRow(int row) const
{
    return isEntry(row) && (!isSearching() || m_isMatch(model()->index(row, 0)));
}

int SectionedListWidget::nearestRow(int row, int step) const
{
    for (; row >= 0 && row < count(); row += step) {
        if (isKeyboardRow(row))
            return row;
    }
    return -1;
}

QModelIndex SectionedListWidget::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // The view's own move knows the page height and skips hidden rows for the arrows, but lands
    // on headings, and Home and End ignore hidden rows: from where it lands, look on in the
    // direction of the move, then back.
    const QModelIndex landed = QListWidget::moveCursor(action, modifiers);
    if (!landed.isValid() || isKeyboardRow(landed.row()))
        return landed;
    int step = 1;
    switch (action) {
    case MoveUp:
    case MovePrevious:
    case MovePageUp:
    case MoveEnd:
        step = -1;
        break;
    case MoveLeft:
    case MoveRight:
        return isKeyboardRow(currentIndex().row()) ? currentIndex() : QModelIndex();
    default:
        break;
    }
    int row = nearestRow(landed.row(), step);
    if (row < 0)
        row = nearestRow(landed.row(), -step);
    return row < 0 ? QModelIndex() : model()->index(row, 0);
}

void SectionedListWidget::keyPressEvent(QKeyEvent *event)
{
    if (!isNavigationKey(event->key())) {
        QListWidget::keyPressEvent(event);
        return;
    }
    // Moved by the keyboard, the current row shows the focus even after a click gave the list
    // the focus: the styles draw focus frames only once the keyboard has been used.
    if (!window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        window()->setAttribute(Qt::WA_KeyboardFocusChange);
        viewport()->update();
    }
    if (m_searchField && event->key() == Qt::Key_Up && event->modifiers() == Qt::NoModifier &&
        m_searchField->isVisible() && m_searchField->isEnabled()) {
        // Nothing to walk to above: the first row, or a pick just ticked from the matches.
        const QModelIndex current = currentIndex();
        const QModelIndex above = moveCursor(MoveUp, Qt::NoModifier);
        if (!above.isValid() || above == current ||
            (current.isValid() && above.row() > current.row())) {
            m_searchField->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    QListWidget::keyPressEvent(event);
}

void SectionedListWidget::focusInEvent(QFocusEvent *event)
{
    QListWidget::focusInEvent(event);
    // A current row scrolled out of sight would take the keys without showing it.
    if (event->reason() != Qt::MouseFocusReason && currentIndex().isValid())
        scrollTo(currentIndex());
}

void SectionedListWidget::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (pressed.isValid() && !isEntry(pressed.row())) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

} // namespace varnello
