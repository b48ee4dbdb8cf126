#pragma once

#include <functional>

class QAbstractItemView;
class QDialog;
class QModelIndex;
class QScrollArea;
class QWidget;

namespace varnello::sheetframe {

// Lays `dialog` out as a sheet: `content` in one scroll area that takes the height the dialog
// has, and `footer` (the button row, with any line that answers its buttons) under it, never
// scrolled away. Lists and scrolling columns inside the content shrink first: the scroll area
// shows its bars only when the dialog is smaller than the content's minimum size.
QScrollArea *pinFooter(QDialog *dialog, QWidget *content, QWidget *footer);

// A column of a sheet's body that scrolls on its own, `width` wide, vertically only. Unlike a
// plain scroll area it asks for the column's whole height, so a sheet that has the room shows
// the column without a scroll bar.
QScrollArea *scrollingColumn(QWidget *column, int width, QWidget *parent);

// The height such a sheet asks for at `width`: content and footer at their preferred heights,
// wrapped texts laid out at that width.
int naturalHeight(const QWidget *content, const QWidget *footer, int width);

// Space on the current row of `view` runs `toggle` for it, as Space ticks a check box.
void onSpaceKey(QAbstractItemView *view, std::function<void(const QModelIndex &)> toggle);

} // namespace varnello::sheetframe
