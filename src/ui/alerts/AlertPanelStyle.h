#pragma once

// The type styles, dividers, header buttons, section columns and symbols that the alert panels
// share.

#include "WidgetHelpers.h"

#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringView>

class QAbstractButton;
class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace varnello::alertstyle {

enum class TextStyle { title2, headline, subheadlineSemibold, body, callout, caption };

QFont font(TextStyle style);
// Applies the style's font; `semibold` for titles inside rows.
void setTextStyle(QWidget *widget, TextStyle style, bool semibold = false);
// Dimmed text for secondary information, from the palette.
void setSecondary(QWidget *widget);
// A wrapping note under a section, small and dimmed.
QLabel *caption(const QString &text, QWidget *parent = nullptr);
// The column of a section: no margins, `spacing` between its rows.
QVBoxLayout *sectionLayout(QWidget *section, int spacing);
// Shows a value the view decided without reporting it back as a click or toggle.
void setCheckedQuietly(QAbstractButton *button, bool checked);
QFrame *divider(QWidget *parent = nullptr);
// A flat header button whose label reads like a heading.
QPushButton *headerButton(const QString &text, TextStyle style, const QString &toolTip,
                          QWidget *parent = nullptr);
// A symbol by its design name ("bell", "gearshape", "play.fill", "magnifyingglass", "trash", ...):
// the desktop theme's icon when there is one, else a standard icon of the style.
QIcon symbol(QStringView name);

} // namespace varnello::alertstyle
