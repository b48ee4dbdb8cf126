#pragma once

#include <QString>
#include <initializer_list>

class QBoxLayout;
class QCloseEvent;
class QDialog;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace varnello {

// Pieces shared by the two node warning sheets.
namespace warningsheet {

constexpr int padding = 32;
constexpr int buttonSpacing = 12;

// A plain-text, word-wrapped label in one of the sheet's fonts.
QLabel *paragraph(const QString &text, QWidget *parent, bool title = false);
// A button that leaves Return to the sheet's one default button.
QPushButton *button(const QString &text, const QString &objectName, QWidget *parent);
// A centred row of buttons at their natural width.
QBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons);

// The two parts of a warning sheet: the text, which scrolls when the screen is too small for it,
// and under it the part that stays in view (the buttons, with the question they answer).
struct Parts {
    QWidget *text = nullptr;
    QVBoxLayout *textLayout = nullptr;
    QWidget *footer = nullptr;
    QVBoxLayout *footerLayout = nullptr;
};
// Empty parts, with the sheet's padding and `spacing` between their items.
Parts makeParts(QDialog *sheet, int spacing);
// Lays the parts out in `sheet` and opens it `width` wide and as tall as its text asks, both
// shrunk to the screen.
void finish(QDialog *sheet, const Parts &parts, int width);
// For a sheet whose close stands for none of its answers: the close is refused, and the window
// manager's close of the sheet is the close of the window it belongs to, which ends the program
// with the sheet unanswered.
void refuseClose(QDialog *sheet, QCloseEvent *event);

} // namespace warningsheet
} // namespace varnello
