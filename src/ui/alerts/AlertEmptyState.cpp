#include "AlertEmptyState.h"

#include "AlertPanelStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace varnello {

using namespace alertstyle;

AlertEmptyState::AlertEmptyState(const QString &symbol, const QString &title, QWidget *parent)
    : QWidget(parent), m_title(plainLabel(title, this)), m_description(plainLabel(QString(), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(8);
    layout->addStretch(1);
    auto *icon = new QLabel(this);
    icon->setPixmap(alertstyle::symbol(symbol).pixmap(40, 40));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    setTextStyle(m_title, TextStyle::title2);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setObjectName(QStringLiteral("emptyStateTitle"));
    layout->addWidget(m_title);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setWordWrap(true);
    m_description->setObjectName(QStringLiteral("emptyStateDescription"));
    setSecondary(m_description);
    layout->addWidget(m_description);
    layout->addStretch(1);
}

void AlertEmptyState::setDescription(const QString &text)
{
    m_description->setText(text);
}

QString AlertEmptyState::title() const
{
    return m_title->text();
}

QString AlertEmptyState::description() const
{
    return m_description->text();
}

} // namespace varnello
