#pragma once

#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

// Small building blocks shared by the settings sections.
namespace varnello::SettingsLayout {

// A section of the form: a titled group box.
QGroupBox *section(const QString &title, const QString &objectName, QWidget *parent = nullptr);
// A column title in semibold weight.
QLabel *columnTitle(const QString &text);
// A plain label of fixed width, leading-aligned.
QLabel *fieldLabel(const QString &text, int width = 0);
// Secondary (dimmed) text; caption size when `small`.
QLabel *secondaryText(const QString &text, bool small = false);
QLineEdit *lineEdit(const QString &objectName, int width);
QFrame *verticalDivider();

} // namespace varnello::SettingsLayout
