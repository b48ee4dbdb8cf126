#pragma once

#include "FeedSettings.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace varnello {

class AppSettingsStore;
class SettingsConnectionLink;

// Login at the node, the local telnet server and the UDP feed. The login takes effect at the
// next connection; the two feeds are re-applied to the connection as they change.
class LoginAndFeedsSettingsSection final : public QGroupBox {
    Q_OBJECT

public:
    LoginAndFeedsSettingsSection(AppSettingsStore &settings, SettingsConnectionLink &connection,
                                 QWidget *parent = nullptr);

    void setUDPFeedEnabled(bool enabled);
    void setUDPFeedDestination(const QString &destination);
    void setUDPFeedPort(const QString &port);
    void setUDPFeedMode(const QString &mode);
    // Applies a destination typed but not yet applied (the window is going away).
    void finishDestinationEditing();

private:
    void updateEnabledState();

    AppSettingsStore &m_settings;
    SettingsConnectionLink &m_connection;
    FeedSettingsApplier m_applier;
    QLineEdit *m_callsign;
    QLineEdit *m_password;
    QCheckBox *m_localServerEnabled;
    QLineEdit *m_localPort;
    QLineEdit *m_destination;
    QLineEdit *m_udpPort;
    QWidget *m_sendRow;
    bool m_destinationPending = false;
};

} // namespace varnello
