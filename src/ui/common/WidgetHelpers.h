#pragma once

#include <QString>

#include <functional>

class QAbstractItemView;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QObject;
class QWidget;

namespace varnello {

// A label that shows `text` as typed, even when it looks like markup.
QLabel *plainLabel(const QString &text, QWidget *parent = nullptr);

// Every key press `target` receives goes to `handle` first; one it returns true for goes no
// further. The filter lives as long as `owner`.
void onKeyPress(QObject *target, QObject *owner, std::function<bool(const QKeyEvent &)> handle);

// Return and Enter in `field` run `action` and go no further, so they do not also press the
// dialog's default button. The filter belongs to the field.
void onReturnKey(QLineEdit *field, std::function<void()> action);

// When `view` takes the keyboard focus other than by a click and has no current row, the first
// row at or below the top of what it shows becomes current (the first row `isRow` accepts, when
// given: headings are no rows), so that the arrows and Space act at once and the focus shows.
// A current row `isRow` rejects is replaced the same way, unless the focus comes back with the
// window.
void currentRowOnFocus(QAbstractItemView *view,
                       std::function<bool(const QModelIndex &)> isRow = {});

} // namespace varnello
