#include "FilterPanelParts.h"

#include "Icons.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace varnello::filterparts {

QFont headlineFont(const QFont &base)
{
    QFont font = base;
    font.setBold(true);
    return font;
}

QFont subheadlineFont(const QFont &base, bool semibold)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.92);
    font.setWeight(semibold ? QFont::DemiBold : QFont::Normal);
    return font;
}

QFont captionFont(const QFont &base)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    QLabel *label = plainLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QPushButton *plainButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; }"));
    return button;
}

QFrame *divider(Qt::Orientation orientation, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QPixmap checkBoxPixmap(bool ticked, const QWidget *widget)
{
    QStyle *style = widget->style();
    QStyleOptionButton option;
    option.initFrom(widget);
    const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
    const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
    option.rect = QRect(0, 0, width, height);
    option.state = QStyle::State_Enabled | (ticked ? QStyle::State_On : QStyle::State_Off);
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, widget);
    return pixmap;
}

QHBoxLayout *sheetHeader(QWidget *sheet, const QString &title, const QString &countName,
                         const QString &widestCount, QLabel **count)
{
    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 14, 20, 14);
    auto *titleLabel = plainLabel(title, sheet);
    QFont titleFont = sheet->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setWeight(QFont::DemiBold);
    titleLabel->setFont(titleFont);
    *count = secondaryLabel(QString(), sheet);
    (*count)->setObjectName(countName);
    (*count)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    (*count)->setMinimumWidth((*count)->fontMetrics().horizontalAdvance(widestCount));
    header->addWidget(titleLabel);
    header->addStretch();
    header->addWidget(*count);
    return header;
}

SheetButtons sheetButtons(QWidget *sheet)
{
    SheetButtons buttons;
    buttons.layout = new QHBoxLayout;
    buttons.layout->setContentsMargins(16, 16, 16, 16);
    const auto make = [sheet](const QString &text, const QString &name) {
        auto *button = new QPushButton(text, sheet);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    buttons.clearAll = make(QStringLiteral("Clear All"), QStringLiteral("clearAll"));
    buttons.cancel = make(QStringLiteral("Cancel"), QStringLiteral("cancel"));
    buttons.save = make(QStringLiteral("Save"), QStringLiteral("save"));
    buttons.saveAndEnable =
        make(QStringLiteral("Save and Enable"), QStringLiteral("saveAndEnable"));
    buttons.saveAndEnable->setDefault(true);
    buttons.layout->addWidget(buttons.clearAll);
    buttons.layout->addStretch();
    buttons.layout->addWidget(buttons.cancel);
    buttons.layout->addWidget(buttons.save);
    buttons.layout->addWidget(buttons.saveAndEnable);
    return buttons;
}

QWidget *sheetFooter(QWidget *sheet, QLayout *buttons)
{
    auto *footer = new QWidget(sheet);
    footer->setObjectName(QStringLiteral("sheetFooter"));
    auto *layout = new QVBoxLayout(footer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(divider(Qt::Horizontal, footer));
    layout->addLayout(buttons);
    return footer;
}

QIcon icon(QStringView symbol, QStringView themeName, int fallback)
{
    const QIcon themed = themedIcon(symbol);
    if (!themed.isNull())
        return themed;
    return QIcon::fromTheme(themeName.toString(),
                            QApplication::style()->standardIcon(QStyle::StandardPixmap(fallback)));
}

} // namespace varnello::filterparts
