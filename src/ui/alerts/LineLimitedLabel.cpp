#include "LineLimitedLabel.h"

#include "AlertPanelStyle.h"

#include <QEvent>

namespace varnello {

LineLimitedLabel::LineLimitedLabel(int maximumLines, QWidget *parent)
    : QLabel(parent), m_maximumLines(maximumLines)
{
    setTextFormat(Qt::PlainText);
    // The lines are broken here; QLabel's own wrapping would lay out the whole text.
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void LineLimitedLabel::setFullText(const QString &text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    setToolTip(alertstyle::plainToolTip(text));
    m_brokenAtWidth = -1;
    breakIntoLines();
}

QSize LineLimitedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void LineLimitedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    breakIntoLines();
}

void LineLimitedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_brokenAtWidth = -1;
        breakIntoLines();
    }
}

void LineLimitedLabel::breakIntoLines()
{
    const int room = contentsRect().width();
    if (room == m_brokenAtWidth)
        return;
    m_brokenAtWidth = room;
    // Before the first layout the width is not known yet: a column's width is a fair guess, and
    // the resize that follows breaks the text again.
    const int lineWidth = room > 40 ? room : 360;
    setText(alertstyle::elidedToLines(m_fullText, font(), lineWidth, m_maximumLines));
}

} // namespace varnello
