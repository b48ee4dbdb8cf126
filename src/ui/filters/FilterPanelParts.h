#pragma once

#include "WidgetHelpers.h"

#include <QBoxLayout>
#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStringView>

namespace varnello::filterparts {

// Small pieces the filter panels share: fonts, a text-only button, a separator, icons.
QFont headlineFont(const QFont &base);
QFont subheadlineFont(const QFont &base, bool semibold);
QFont captionFont(const QFont &base);
// A label in the secondary (dimmed) text colour; always plain text.
QLabel *secondaryLabel(const QString &text, QWidget *parent = nullptr);
// A button drawn as its label only, without chrome.
QPushButton *plainButton(const QString &text, QWidget *parent = nullptr);
QFrame *divider(Qt::Orientation orientation = Qt::Horizontal, QWidget *parent = nullptr);
// The style's check box indicator, ticked or not, as a picture for list rows.
QPixmap checkBoxPixmap(bool ticked, const QWidget *widget);
// The top of an editing sheet: its title and, at the right, a count label named `countName`
// wide enough for `widestCount`.
QHBoxLayout *sheetHeader(QWidget *sheet, const QString &title, const QString &countName,
                         const QString &widestCount, QLabel **count);
// The bottom row of an editing sheet: Clear All, then Cancel, Save and the default Save and
// Enable.
struct SheetButtons {
    QHBoxLayout *layout = nullptr;
    QPushButton *clearAll = nullptr;
    QPushButton *cancel = nullptr;
    QPushButton *save = nullptr;
    QPushButton *saveAndEnable = nullptr;
};
SheetButtons sheetButtons(QWidget *sheet);
// The part of a sheet pinned under its scrolling content: a divider over the button row.
QWidget *sheetFooter(QWidget *sheet, QLayout *buttons);
// The window's icon for a symbol name, else a desktop theme icon, else a style icon.
QIcon icon(QStringView symbol, QStringView themeName, int fallback);

} // namespace varnello::filterparts
