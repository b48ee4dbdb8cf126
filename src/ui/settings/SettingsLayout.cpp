#include "SettingsLayout.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace varnello::SettingsLayout {

QGroupBox *section(const QString &title, const QString &objectName, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(objectName);
    return box;
}

QLabel *columnTitle(const QString &text)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel *fieldLabel(const QString &text, int width)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    if (width > 0)
        label->setFixedWidth(width);
    return label;
}

QLabel *secondaryText(const QString &text, bool small)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setForegroundRole(QPalette::PlaceholderText);
    if (small) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.9);
        label->setFont(font);
    }
    return label;
}

QLabel *problemLabel(const QString &objectName)
{
    QLabel *label = secondaryText(QString());
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->hide();
    return label;
}

void showProblem(QLabel *label, const std::optional<QString> &problem)
{
    label->setText(problem.value_or(QString()));
    label->setVisible(problem.has_value());
}

QLineEdit *lineEdit(const QString &objectName, int width)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setFixedWidth(width);
    return edit;
}

QFrame *verticalDivider()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace varnello::SettingsLayout
