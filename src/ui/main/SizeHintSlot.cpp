#include "SizeHintSlot.h"

#include <QEvent>

namespace varnello {

SizeHintSlot::SizeHintSlot(QWidget *content, QWidget *parent) : QWidget(parent), m_content(content)
{
    content->setParent(this);
    setSizePolicy(content->sizePolicy());
    setMinimumSize(content->minimumSize());
    takeHints();
}

bool SizeHintSlot::takeHints()
{
    const QSize hint = m_content->sizeHint();
    const QSize minimumHint = m_content->minimumSizeHint();
    if (hint == m_hint && minimumHint == m_minimumHint)
        return false;
    m_hint = hint;
    m_minimumHint = minimumHint;
    return true;
}

bool SizeHintSlot::event(QEvent *event)
{
    // The content asks its parent for a new layout whenever it might need one, and again when
    // shown; only a real change of its hints reaches the window's layout.
    if ((event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) && takeHints())
        updateGeometry();
    return QWidget::event(event);
}

void SizeHintSlot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_content->setGeometry(rect());
}

} // namespace varnello
