#include "RBNButton.h"

#include "ClusterConnection.h"
#include "ContentView.h"
#include "FilterPanelParts.h"
#include "RBNPopover.h"

#include <QStyle>

namespace varnello {

RBNButton::RBNButton(ContentView &view, QWidget *parent)
    : QPushButton(parent), m_view(view), m_popover(new RBNPopover(view, this))
{
    setObjectName(QStringLiteral("rbnButton"));
    setIcon(filterparts::icon(u"wave.3.right", u"network-wireless", QStyle::SP_DriveNetIcon));
    setToolTip(QStringLiteral("Configure Reverse Beacon Network spots"));
    setAutoDefault(false);
    m_popover->setAttribute(Qt::WA_NoMouseReplay);
    connect(this, &QPushButton::clicked, this, [this] {
        m_view.toggleRBNPopover();
        if (m_view.isRBNPopoverPresented())
            m_popover->showBelow(this);
    });
    connect(&m_view, &ContentView::rbnDraftsChanged, this, &RBNButton::refresh);
    if (ClusterConnection *cluster = m_view.cluster()) {
        connect(cluster, &ClusterConnection::rbnStateChanged, this, &RBNButton::refresh);
        connect(cluster, &ClusterConnection::isLoggedInChanged, this, &RBNButton::refresh);
        connect(cluster, &ClusterConnection::detectedNodeTypeChanged, this, &RBNButton::refresh);
    }
    refresh();
}

void RBNButton::refresh()
{
    setText(m_view.rbnButtonTitle());
    setEnabled(m_view.isRBNButtonEnabled());
}

} // namespace varnello
