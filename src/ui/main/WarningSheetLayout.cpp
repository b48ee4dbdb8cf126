#include "WarningSheetLayout.h"

#include "Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

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

} // namespace varnello::warningsheet
