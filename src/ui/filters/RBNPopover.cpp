#include "RBNPopover.h"

#include "ClusterConnection.h"
#include "ContentView.h"
#include "FilterPanelParts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace varnello {

using namespace filterparts;

RBNPopover::RBNPopover(ContentView &view, QWidget *parent) : Popover(parent), m_view(view)
{
    setObjectName(QStringLiteral("rbnPopover"));
    setFixedWidth(270);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    auto *title = plainLabel(QStringLiteral("RBN Feed"), this);
    title->setFont(headlineFont(font()));
    layout->addWidget(title);

    m_loadingRow = new QWidget(this);
    m_loadingRow->setObjectName(QStringLiteral("loadingRow"));
    auto *loading = new QHBoxLayout(m_loadingRow);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->setSpacing(8);
    auto *spinner = new QProgressBar(m_loadingRow);
    spinner->setRange(0, 0);
    spinner->setFixedSize(40, 10);
    spinner->setTextVisible(false);
    loading->addWidget(spinner);
    loading->addWidget(secondaryLabel(QStringLiteral("Reading RBN status\u2026"), m_loadingRow));
    loading->addStretch();
    layout->addWidget(m_loadingRow);
    m_unavailable = secondaryLabel(QStringLiteral("RBN status unavailable"), this);
    m_unavailable->setObjectName(QStringLiteral("statusUnavailable"));
    layout->addWidget(m_unavailable);

    m_enabled = new QCheckBox(QStringLiteral("Enable RBN spots"), this);
    m_enabled->setObjectName(QStringLiteral("enableRBN"));
    connect(m_enabled, &QCheckBox::toggled, &m_view, &ContentView::setDraftRBNEnabled);
    layout->addWidget(m_enabled);
    layout->addWidget(divider(Qt::Horizontal, this));

    m_spotTypes = plainButton(QStringLiteral("Spot types"), this);
    m_spotTypes->setObjectName(QStringLiteral("spotTypes"));
    m_spotTypes->setFont(subheadlineFont(font(), false));
    m_spotTypes->setForegroundRole(QPalette::PlaceholderText);
    connect(m_spotTypes, &QPushButton::clicked, &m_view, &ContentView::toggleAllRBNModes);
    layout->addWidget(m_spotTypes, 0, Qt::AlignLeft);
    static const char *titles[] = {"CW", "Beacon", "PSK", "RTTY", "FT4/FT8"};
    for (RBNMode mode : allRBNModes) {
        auto *box = new QCheckBox(QString::fromLatin1(titles[int(mode)]), this);
        box->setObjectName(QStringLiteral("mode_") + toRaw(mode));
        connect(box, &QCheckBox::toggled, &m_view,
                [this, mode](bool on) { m_view.setDraftRBNMode(mode, on); });
        m_modes.append(box);
        layout->addWidget(box);
    }
    layout->addWidget(divider(Qt::Horizontal, this));

    auto *buttons = new QHBoxLayout;
    m_refresh = new QPushButton(QStringLiteral("Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("refresh"));
    m_refresh->setAutoDefault(false);
    connect(m_refresh, &QPushButton::clicked, &m_view, &ContentView::refreshRBNStatus);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, &m_view, &ContentView::cancelRBNChanges);
    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("apply"));
    m_apply->setDefault(true);
    connect(m_apply, &QPushButton::clicked, &m_view, &ContentView::applyRBNSettings);
    buttons->addWidget(m_refresh);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_apply);
    layout->addLayout(buttons);

    connect(&m_view, &ContentView::rbnDraftsChanged, this, &RBNPopover::refresh);
    if (ClusterConnection *cluster = m_view.cluster()) {
        connect(cluster, &ClusterConnection::isLoggedInChanged, this, &RBNPopover::refresh);
        connect(cluster, &ClusterConnection::rbnStateChanged, this, &RBNPopover::refresh);
    }
    refresh();
}

void RBNPopover::refresh()
{
    const ClusterConnection *cluster = m_view.cluster();
    const bool loading = cluster && cluster->rbnStatusLoading();
    m_loadingRow->setVisible(loading);
    m_unavailable->setVisible(!loading && !(cluster && cluster->rbnStatusKnown()));
    const bool enabled = m_view.draftRBNEnabled();
    {
        const QSignalBlocker blocker(m_enabled);
        m_enabled->setChecked(enabled);
    }
    m_spotTypes->setEnabled(enabled);
    for (qsizetype i = 0; i < m_modes.size(); ++i) {
        const QSignalBlocker blocker(m_modes[i]);
        m_modes[i]->setChecked(m_view.draftRBNModes().contains(allRBNModes[size_t(i)]));
        m_modes[i]->setEnabled(enabled);
    }
    m_refresh->setEnabled(m_view.canRefreshRBNStatus());
    m_apply->setEnabled(m_view.canApplyRBNSettings());
    if (!m_view.isRBNPopoverPresented() && isVisible())
        hide();
}

void RBNPopover::showBelow(QWidget *anchor)
{
    refresh();
    showFrom(anchor);
}

void RBNPopover::hideEvent(QHideEvent *event)
{
    Popover::hideEvent(event);
    // A click outside closes the popover and keeps the drafts; the next button press reseeds.
    m_view.setRBNPopoverPresented(false);
}

} // namespace varnello
