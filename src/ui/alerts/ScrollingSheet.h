#pragma once

class QDialog;
class QFrame;
class QWidget;

namespace varnello {

// Puts a sheet's content, at its designed size, into a scroll area filling the dialog, and sizes
// the dialog to the content or, on a smaller screen, to the screen's available area, so that every
// control stays reachable by scrolling.
void wrapInScrollingSheet(QDialog *dialog, QWidget *content);

// The thin line between two columns of a sheet.
QFrame *verticalDivider(QWidget *parent);

} // namespace varnello
