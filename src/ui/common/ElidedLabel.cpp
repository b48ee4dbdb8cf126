#include "ElidedLabel.h"

#include "NetworkText.h"

#include <QPainter>
#include <QStyle>

namespace varnello {

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("W\u2026")) + margins.left() +
                margins.right(),
            QLabel::minimumSizeHint().height()};
}

void ElidedLabel::setTextAndToolTip(const QString &text)
{
    setText(text);
    setToolTip(text.trimmed().isEmpty() ? QString() : plainToolTip(text));
}

bool ElidedLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = shownText();
    style()->drawItemText(&painter, area,
                          QStyle::visualAlignment(layoutDirection(), alignment()) |
                              Qt::TextSingleLine,
                          palette(), isEnabled(), shown, foregroundRole());
}

} // namespace varnello
