#include "EmptyStateView.h"

#include "Typography.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnello {

namespace {
constexpr int iconSize = 40;
constexpr int sideMargin = 48;
} // namespace

EmptyStateView::EmptyStateView(QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(this)),
      m_description(new QLabel(this)), m_action(new QPushButton(this))
{
    setObjectName(QStringLiteral("emptyState"));
    m_icon->setObjectName(QStringLiteral("emptyStateIcon"));
    m_title->setObjectName(QStringLiteral("emptyStateTitle"));
    m_description->setObjectName(QStringLiteral("emptyStateDescription"));
    m_action->setObjectName(QStringLiteral("emptyStateAction"));

    for (QLabel *label : {m_title, m_description}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignHCenter);
        label->setWordWrap(true);
    }
    m_icon->setAlignment(Qt::AlignHCenter);
    m_title->setFont(styledFont(TextStyle::title2, true));
    makeSecondary(m_description);
    makeSecondary(m_icon);
    m_action->hide();
    connect(m_action, &QPushButton::clicked, this, &EmptyStateView::actionTriggered);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(sideMargin, 0, sideMargin, 0);
    layout->addStretch(1);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    // Wrapped labels measure their height at the width the layout gives them: they take the
    // whole width and centre their lines.
    layout->addWidget(m_title);
    layout->addWidget(m_description);
    layout->addSpacing(6);
    layout->addWidget(m_action, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void EmptyStateView::setContent(const QIcon &icon, const QString &title, const QString &description,
                                const QString &actionTitle)
{
    m_icon->setPixmap(icon.pixmap(iconSize, iconSize));
    m_title->setText(title);
    m_description->setText(description);
    m_action->setText(actionTitle);
    m_action->setVisible(!actionTitle.isEmpty());
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::description() const
{
    return m_description->text();
}

QString EmptyStateView::actionTitle() const
{
    return m_action->isHidden() ? QString() : m_action->text();
}

} // namespace varnello
