#include "WidgetHelpers.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace varnello {

namespace {

class KeyPressFilter final : public QObject {
public:
    KeyPressFilter(QObject *owner, std::function<bool(const QKeyEvent &)> handle)
        : QObject(owner), m_handle(std::move(handle))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && m_handle(*static_cast<QKeyEvent *>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(const QKeyEvent &)> m_handle;
};

class CurrentRowOnFocus final : public QObject {
public:
    CurrentRowOnFocus(QAbstractItemView *view, std::function<bool(const QModelIndex &)> isRow)
        : QObject(view), m_view(view), m_isRow(std::move(isRow))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Before the view's own handling, which would make a heading current.
        if (event->type() == QEvent::FocusIn)
            placeCurrentRow(static_cast<QFocusEvent *>(event)->reason());
        return QObject::eventFilter(watched, event);
    }

private:
    void placeCurrentRow(Qt::FocusReason reason)
    {
        const QAbstractItemModel *model = m_view->model();
        if (!model || !m_view->selectionModel() || reason == Qt::MouseFocusReason)
            return;
        // A current row that is no row (a pick a search left listed, which the keys pass by) is
        // given up when the keyboard comes from another control; the window coming back to the
        // front keeps what it showed.
        const QModelIndex current = m_view->currentIndex();
        if (current.isValid() &&
            (!m_isRow || m_isRow(current) || reason == Qt::ActiveWindowFocusReason ||
             reason == Qt::PopupFocusReason))
            return;
        const QModelIndex root = m_view->rootIndex();
        const int rows = model->rowCount(root);
        const int top = qMax(m_view->indexAt(QPoint(0, 0)).row(), 0);
        for (int pass = 0; pass < 2; ++pass) {
            for (int row = pass == 0 ? top : 0; row < rows; ++row) {
                const QModelIndex index = model->index(row, 0, root);
                if (!m_isRow || m_isRow(index)) {
                    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
                    return;
                }
            }
        }
        // No row at all: nothing is current, so Space has nothing to act on.
        m_view->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }

    QAbstractItemView *m_view;
    std::function<bool(const QModelIndex &)> m_isRow;
};

} // namespace

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void onKeyPress(QObject *target, QObject *owner, std::function<bool(const QKeyEvent &)> handle)
{
    target->installEventFilter(new KeyPressFilter(owner, std::move(handle)));
}

void onReturnKey(QLineEdit *field, std::function<void()> action)
{
    onKeyPress(field, field, [action = std::move(action)](const QKeyEvent &key) {
        if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)
            return false;
        action();
        return true;
    });
}

void currentRowOnFocus(QAbstractItemView *view, std::function<bool(const QModelIndex &)> isRow)
{
    view->installEventFilter(new CurrentRowOnFocus(view, std::move(isRow)));
}

} // namespace varnello
