#pragma once

#include "FeedSettings.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace varnello {

class AppSettingsStore;
class SettingsConnectionLink;

// Login at the node, the local telnet server and the UDP feed. The login takes effect at the
// next connection. The feeds' switches are applied as they change; their ports and the
// destination are stored as typed and applied when their editing ends (Return, focus leaving,
// the window closing), so no half-typed port or address ever opens a listener or gets spots.
// What could not be applied is said beside the fields.
class LoginAndFeedsSettingsSection final : public QGroupBox {
    Q_OBJECT

public:
    LoginAndFeedsSettingsSection(AppSettingsStore &settings, SettingsConnectionLink &connection,
                                 QWidget *parent = nullptr);

    void setUDPFeedEnabled(bool enabled);
    void setUDPFeedDestination(const QString &destination);
    void setUDPFeedPort(const QString &port);
    void setUDPFeedMode(const QString &mode);
    // Applies ports and a destination typed but not yet applied (the window is going away).
    void finishFeedEditing();

private:
    void updateEnabledState();
    void applyLocalServer();
    void applyUDPFeed(const FeedProblem &problem);
    void finishLocalPortEditing();
    void finishUDPEditing();

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
    QLabel *m_localMessage;
    QLabel *m_udpMessage;
    bool m_localPortPending = false;
    bool m_udpPending = false;
};

} // namespace varnello
