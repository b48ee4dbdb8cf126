#include "WarningSheetLayout.h"

#include "ScreenFit.h"
#include "SheetFrame.h"
#include "Typography.h"

#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace varnello::warningsheet {

QLabel *paragraph(const QString &text, QWidget *parent, bool title)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(title ? styledFont(TextStyle::title2, true) : styledFont(TextStyle::title3));
    return label;
}

QPushButton *button(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    // Only the one default button answers Return.
    button->setAutoDefault(false);
    return button;
}

QBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(buttonSpacing);
    row->addStretch(1);
    for (QPushButton *button : buttons)
        row->addWidget(button);
    row->addStretch(1);
    return row;
}

Parts makeParts(QDialog *sheet, int spacing)
{
    Parts parts;
    parts.text = new QWidget(sheet);
    parts.text->setObjectName(QStringLiteral("warningText"));
    parts.textLayout = new QVBoxLayout(parts.text);
    parts.textLayout->setContentsMargins(padding, padding, padding, 0);
    parts.textLayout->setSpacing(spacing);
    parts.footer = new QWidget(sheet);
    parts.footer->setObjectName(QStringLiteral("warningButtons"));
    parts.footerLayout = new QVBoxLayout(parts.footer);
    parts.footerLayout->setContentsMargins(padding, spacing, padding, padding);
    parts.footerLayout->setSpacing(spacing);
    return parts;
}

void finish(QDialog *sheet, const Parts &parts, int width)
{
    sheetframe::pinFooter(sheet, parts.text, parts.footer);
    screenfit::fitToScreen(
        sheet, QSize(width, sheetframe::naturalHeight(parts.text, parts.footer, width)));
}

void refuseClose(QDialog *sheet, QCloseEvent *event)
{
    event->ignore();
    // The owner hides the sheet: a close comes from the window manager (or the program's end).
    if (sheet->parentWidget())
        QTimer::singleShot(0, sheet->parentWidget()->window(), &QWidget::close);
}

} // namespace varnello::warningsheet
