#pragma once

#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QWidget;

namespace varnello {

// A label that shows `text` as typed, even when it looks like markup.
QLabel *plainLabel(const QString &text, QWidget *parent = nullptr);

// Return and Enter in `field` run `action` and go no further, so they do not also press the
// dialog's default button. The filter belongs to the field.
void onReturnKey(QLineEdit *field, std::function<void()> action);

} // namespace varnello
