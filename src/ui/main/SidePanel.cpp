#include "SidePanel.h"

#include <QGraphicsDropShadowEffect>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <cstdlib>

namespace varnello {

namespace {
constexpr qreal shadowOpacity = 0.18;
constexpr qreal shadowBlur = 16;
constexpr qreal shadowOffset = 3;
} // namespace

SidePanel::SidePanel(Edge edge, int width, QWidget *parent)
    : QFrame(parent), m_edge(edge), m_layout(new QVBoxLayout(this)),
      m_animation(new QPropertyAnimation(this, "pos", this))
{
    setFixedWidth(width);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_layout->setContentsMargins(0, 0, 0, 0);

    // The shadow sits on the panel only: on the table it would slow every repaint.
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, qRound(255 * shadowOpacity)));
    shadow->setBlurRadius(shadowBlur);
    shadow->setOffset(edge == Edge::leading ? shadowOffset : -shadowOffset, 0);
    setGraphicsEffect(shadow);

    m_animation->setDuration(slideMilliseconds);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QPropertyAnimation::finished, this, [this] {
        if (!m_shown)
            hide();
    });
    hide();
}

void SidePanel::setContentWidget(QWidget *content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    if (content)
        m_layout->addWidget(content);
}

QPoint SidePanel::shownPosition() const
{
    if (m_edge == Edge::leading || !parentWidget())
        return {0, 0};
    return {parentWidget()->width() - width(), 0};
}

QPoint SidePanel::hiddenPosition() const
{
    if (m_edge == Edge::leading || !parentWidget())
        return {-width(), 0};
    return {parentWidget()->width(), 0};
}

void SidePanel::setShown(bool shown, bool animate)
{
    // Already there or on the way: the window asks again at every refresh, and starting the
    // slide again would keep the panel from ever arriving while spots stream in.
    if (m_shown == shown)
        return;
    m_shown = shown;
    const QPoint target = shown ? shownPosition() : hiddenPosition();
    if (shown) {
        if (isHidden())
            move(hiddenPosition());
        show();
        raise();
    }
    if (!animate) {
        m_animation->stop();
        move(target);
        setVisible(shown);
        return;
    }
    // A reversal mid-slide covers only the way back, at the same pace.
    const int distance = std::abs(target.x() - pos().x());
    const int duration = width() > 0 ? slideMilliseconds * distance / width() : 0;
    m_animation->stop();
    if (duration <= 0) {
        move(target);
        setVisible(shown);
        return;
    }
    m_animation->setDuration(duration);
    m_animation->setStartValue(pos());
    m_animation->setEndValue(target);
    m_animation->start();
}

bool SidePanel::isSliding() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void SidePanel::place()
{
    if (parentWidget())
        resize(width(), parentWidget()->height());
    const QPoint target = m_shown ? shownPosition() : hiddenPosition();
    if (isSliding()) {
        // The slide goes on towards the edge's new place.
        m_animation->setEndValue(target);
        return;
    }
    move(target);
}

} // namespace varnello
