#pragma once

#include <QString>
#include <optional>

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
// The line beside or under a field that says what is wrong with it; hidden until there is
// something to say.
QLabel *problemLabel(const QString &objectName);
void showProblem(QLabel *label, const std::optional<QString> &problem);

} // namespace varnello::SettingsLayout
