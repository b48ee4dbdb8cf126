#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace varnello {

class AppSettingsStore;
class SettingsConnectionLink;

// The primary and backup nodes and the three connection switches. Node fields are locked while a
// connection is being made or is up; they take effect at the next connection.
class ClusterNodesSettingsSection final : public QGroupBox {
    Q_OBJECT

public:
    ClusterNodesSettingsSection(AppSettingsStore &settings, SettingsConnectionLink &connection,
                                QWidget *parent = nullptr);

    // Puts the default backup node back when its host or port was left blank. Run each time
    // the section comes on screen.
    void restoreBackupDefaults();

private:
    void forgetSuppressedNodeWarning();
    void updateEnabledState();
    // Says beside the field when the connection could not use its port.
    void checkPort(const QString &port, QLabel *message);

    AppSettingsStore &m_settings;
    SettingsConnectionLink &m_connection;
    QLineEdit *m_host;
    QLineEdit *m_port;
    QCheckBox *m_backupEnabled;
    QLineEdit *m_backupHost;
    QLineEdit *m_backupPort;
    QLabel *m_portMessage;
    QLabel *m_backupPortMessage;
};

} // namespace varnello
