#include "ClusterNodesSettingsSection.h"

#include "AppSettingsStore.h"
#include "FeedSettings.h"
#include "SettingsConnectionLink.h"
#include "SettingsLayout.h"
#include "StoredControls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace varnello {

namespace {
constexpr int hostWidth = 146;
constexpr int portWidth = 80;
constexpr int labelWidth = 44;
} // namespace

ClusterNodesSettingsSection::ClusterNodesSettingsSection(AppSettingsStore &settings,
                                                         SettingsConnectionLink &connection,
                                                         QWidget *parent)
    : QGroupBox(QStringLiteral("DX Cluster Nodes (Varnello works best if you don't change the "
                               "Primary or Backup Cluster)"),
                parent),
      m_settings(settings), m_connection(connection),
      m_host(SettingsLayout::lineEdit(QStringLiteral("primaryHostField"), hostWidth)),
      m_port(SettingsLayout::lineEdit(QStringLiteral("primaryPortField"), portWidth)),
      m_backupEnabled(new QCheckBox(QStringLiteral("Enable backup cluster"))),
      m_backupHost(SettingsLayout::lineEdit(QStringLiteral("backupHostField"), hostWidth)),
      m_backupPort(SettingsLayout::lineEdit(QStringLiteral("backupPortField"), portWidth)),
      m_portMessage(SettingsLayout::problemLabel(QStringLiteral("primaryPortMessage"))),
      m_backupPortMessage(SettingsLayout::problemLabel(QStringLiteral("backupPortMessage")))
{
    setObjectName(QStringLiteral("clusterNodesSection"));
    using namespace SettingsLayout;

    auto *connectOnStartup = new QCheckBox(QStringLiteral("Connect on startup"));
    connectOnStartup->setObjectName(QStringLiteral("connectOnStartupCheckBox"));
    auto *autoReconnect = new QCheckBox(QStringLiteral("Automatically reconnect"));
    autoReconnect->setObjectName(QStringLiteral("autoReconnectCheckBox"));
    m_backupEnabled->setObjectName(QStringLiteral("backupEnabledCheckBox"));

    new StoredLineEdit(m_host, settings, SettingsKeys::clusterHost);
    new StoredLineEdit(m_port, settings, SettingsKeys::clusterPort);
    new StoredLineEdit(m_backupHost, settings, SettingsKeys::backupClusterHost);
    new StoredLineEdit(m_backupPort, settings, SettingsKeys::backupClusterPort);
    new StoredCheckBox(connectOnStartup, settings, SettingsKeys::autoConnectOnStartup);
    new StoredCheckBox(autoReconnect, settings, SettingsKeys::autoReconnectEnabled);
    new StoredCheckBox(m_backupEnabled, settings, SettingsKeys::backupClusterEnabled);

    // Primary column.
    auto *primary = new QVBoxLayout;
    primary->setSpacing(12);
    auto *primaryTitle = new QHBoxLayout;
    primaryTitle->addWidget(columnTitle(QStringLiteral("Primary Cluster")));
    primaryTitle->addStretch();
    primaryTitle->addWidget(connectOnStartup);
    primary->addLayout(primaryTitle);
    auto *primaryGrid = new QGridLayout;
    primaryGrid->setHorizontalSpacing(12);
    primaryGrid->setVerticalSpacing(12);
    auto *hostStack = new QVBoxLayout;
    hostStack->setSpacing(4);
    hostStack->addWidget(m_host);
    auto *recommended = secondaryText(
        QString(SettingsDefaults::primaryClusterHost) + QStringLiteral(" (recommended)"), true);
    recommended->setObjectName(QStringLiteral("recommendedHostCaption"));
    hostStack->addWidget(recommended);
    // Level with the field, not with the field and its caption.
    auto *hostLabel = fieldLabel(QStringLiteral("Host"), labelWidth);
    hostLabel->setFixedHeight(m_host->sizeHint().height());
    primaryGrid->addWidget(hostLabel, 0, 0, Qt::AlignTop | Qt::AlignLeading);
    primaryGrid->addLayout(hostStack, 0, 1, Qt::AlignLeading);
    primaryGrid->addWidget(fieldLabel(QStringLiteral("Port"), labelWidth), 1, 0);
    primaryGrid->addWidget(m_port, 1, 1, Qt::AlignLeading);
    primaryGrid->addWidget(m_portMessage, 1, 2);
    primaryGrid->setColumnStretch(2, 1);
    primary->addLayout(primaryGrid);
    primary->addSpacing(2);
    primary->addWidget(autoReconnect);
    primary->addStretch();

    // Backup column.
    auto *backup = new QVBoxLayout;
    backup->setSpacing(12);
    auto *backupTitle = new QHBoxLayout;
    backupTitle->addWidget(columnTitle(QStringLiteral("Backup Cluster")));
    backupTitle->addStretch();
    backupTitle->addWidget(m_backupEnabled);
    backup->addLayout(backupTitle);
    auto *backupGrid = new QGridLayout;
    backupGrid->setHorizontalSpacing(12);
    backupGrid->setVerticalSpacing(12);
    backupGrid->addWidget(fieldLabel(QStringLiteral("Host"), labelWidth), 0, 0);
    backupGrid->addWidget(m_backupHost, 0, 1, Qt::AlignLeading);
    backupGrid->addWidget(fieldLabel(QStringLiteral("Port"), labelWidth), 1, 0);
    backupGrid->addWidget(m_backupPort, 1, 1, Qt::AlignLeading);
    backupGrid->addWidget(m_backupPortMessage, 1, 2);
    backupGrid->setColumnStretch(2, 1);
    backup->addLayout(backupGrid);
    auto *note = secondaryText(QStringLiteral("If the primary cluster cannot be contacted, "
                                              "Varnello will use the backup and periodically "
                                              "check for the primary to return."),
                               true);
    note->setWordWrap(true);
    backup->addWidget(note);
    backup->addStretch();

    auto *row = new QHBoxLayout(this);
    row->setSpacing(0);
    row->setContentsMargins(12, 8, 12, 8);
    primary->setContentsMargins(0, 0, 28, 0);
    backup->setContentsMargins(28, 0, 0, 0);
    row->addLayout(primary, 1);
    row->addWidget(verticalDivider());
    row->addLayout(backup, 1);

    connect(&connection, &SettingsConnectionLink::connectionActivityChanged, this,
            &ClusterNodesSettingsSection::updateEnabledState);
    // A port is checked when its editing ends, not at every keystroke: "7" on the way to "7300"
    // is no mistake. The connection would only say "Invalid port" after Connect.
    connect(m_port, &QLineEdit::editingFinished, this,
            [this] { checkPort(m_port->text(), m_portMessage); });
    connect(m_backupPort, &QLineEdit::editingFinished, this,
            [this] { checkPort(m_backupPort->text(), m_backupPortMessage); });
    connect(&settings, &AppSettingsStore::valueChanged, this, [this](const QString &key) {
        if (key == SettingsKeys::clusterHost.name || key == SettingsKeys::clusterPort.name)
            forgetSuppressedNodeWarning();
        else if (key == SettingsKeys::backupClusterEnabled.name)
            updateEnabledState();
        // A port put right, here or elsewhere, takes its reason away at once.
        if (key == SettingsKeys::clusterPort.name && !m_portMessage->isHidden())
            checkPort(m_settings.string(SettingsKeys::clusterPort), m_portMessage);
        else if (key == SettingsKeys::backupClusterPort.name && !m_backupPortMessage->isHidden())
            checkPort(m_settings.string(SettingsKeys::backupClusterPort), m_backupPortMessage);
    });
    updateEnabledState();
    checkPort(m_settings.string(SettingsKeys::clusterPort), m_portMessage);
    checkPort(m_settings.string(SettingsKeys::backupClusterPort), m_backupPortMessage);
}

void ClusterNodesSettingsSection::checkPort(const QString &port, QLabel *message)
{
    SettingsLayout::showProblem(message, nodePortProblem(port));
}

void ClusterNodesSettingsSection::updateEnabledState()
{
    const bool locked = m_connection.isConnectionActive();
    const bool backupOn = m_settings.boolValue(SettingsKeys::backupClusterEnabled);
    m_host->setEnabled(!locked);
    m_port->setEnabled(!locked);
    m_backupEnabled->setEnabled(!locked);
    m_backupHost->setEnabled(!locked && backupOn);
    m_backupPort->setEnabled(!locked && backupOn);
    // Greyed fields say why.
    const QString reason = locked ? QStringLiteral("Disconnect to change the node.") : QString();
    const QList<QWidget *> nodeControls{m_host, m_port, m_backupEnabled, m_backupHost,
                                        m_backupPort};
    for (QWidget *control : nodeControls)
        control->setToolTip(reason);
}

void ClusterNodesSettingsSection::forgetSuppressedNodeWarning()
{
    m_connection.clearSuppressedNodeWarningIfChanged(m_settings.string(SettingsKeys::clusterHost),
                                                     m_settings.string(SettingsKeys::clusterPort));
}

void ClusterNodesSettingsSection::restoreBackupDefaults()
{
    // The default is the node's host name: a bare address stored here would be replaced only at
    // the next start, and until then the backup node could not be reached.
    if (m_settings.string(SettingsKeys::backupClusterHost).trimmed().isEmpty())
        m_settings.setString(SettingsKeys::backupClusterHost,
                             QString(SettingsDefaults::backupClusterHost));
    if (m_settings.string(SettingsKeys::backupClusterPort).trimmed().isEmpty())
        m_settings.setString(SettingsKeys::backupClusterPort,
                             QString(SettingsDefaults::clusterPort));
}

} // namespace varnello
