#pragma once

#include <QString>
#include <initializer_list>

class QBoxLayout;
class QLabel;
class QPushButton;
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

} // namespace warningsheet
} // namespace varnello
