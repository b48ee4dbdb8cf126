#include "LoginAndFeedsSettingsSection.h"

#include "AppSettingsStore.h"
#include "SettingsConnectionLink.h"
#include "SettingsLayout.h"
#include "StoredControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace varnello {

namespace {

QWidget *fixedColumn(QVBoxLayout *layout, int width)
{
    auto *column = new QWidget;
    column->setFixedWidth(width);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addStretch();
    column->setLayout(layout);
    return column;
}

QHBoxLayout *row(int spacing)
{
    auto *layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

QLabel *calloutLabel(const QString &text)
{
    auto *label = SettingsLayout::fieldLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    return label;
}

} // namespace

LoginAndFeedsSettingsSection::LoginAndFeedsSettingsSection(AppSettingsStore &settings,
                                                           SettingsConnectionLink &connection,
                                                           QWidget *parent)
    : QGroupBox(parent), m_settings(settings), m_connection(connection),
      m_applier(settings, connection),
      m_callsign(SettingsLayout::lineEdit(QStringLiteral("callsignField"), 90)),
      m_password(SettingsLayout::lineEdit(QStringLiteral("passwordField"), 90)),
      m_localServerEnabled(new QCheckBox(QStringLiteral("Enable local server"))),
      m_localPort(SettingsLayout::lineEdit(QStringLiteral("localServerPortField"), 64)),
      m_destination(SettingsLayout::lineEdit(QStringLiteral("udpDestinationField"), 82)),
      m_udpPort(SettingsLayout::lineEdit(QStringLiteral("udpPortField"), 46)),
      m_sendRow(new QWidget),
      m_localMessage(SettingsLayout::problemLabel(QStringLiteral("localServerPortMessage"))),
      m_udpMessage(SettingsLayout::problemLabel(QStringLiteral("udpFeedMessage")))
{
    setObjectName(QStringLiteral("loginAndFeedsSection"));
    using namespace SettingsLayout;

    // The password is never shown, copied or offered to input methods in clear.
    m_password->setEchoMode(QLineEdit::Password);
    m_localServerEnabled->setObjectName(QStringLiteral("localServerEnabledCheckBox"));
    auto *udpEnabled = new QCheckBox(QStringLiteral("Enable UDP feed"));
    udpEnabled->setObjectName(QStringLiteral("udpFeedEnabledCheckBox"));
    auto *everything = new QCheckBox(QStringLiteral("Everything"));
    everything->setObjectName(QStringLiteral("udpModeEverythingCheckBox"));
    auto *alerts = new QCheckBox(QStringLiteral("Alerts"));
    alerts->setObjectName(QStringLiteral("udpModeAlertsCheckBox"));
    m_sendRow->setObjectName(QStringLiteral("udpSendRow"));

    new StoredLineEdit(m_callsign, settings, SettingsKeys::clusterCallsign);
    new StoredLineEdit(m_password, settings, SettingsKeys::clusterPassword);
    new StoredCheckBox(m_localServerEnabled, settings, SettingsKeys::localTelnetServerEnabled);
    // Ports and the destination are stored as typed but applied only when their editing ends:
    // applied per keystroke, a port typed digit by digit would open a listener on every prefix
    // (dropping the clients each time), and "12.34.5.6" would pass through "12" and "12.34",
    // which the resolver reads as 0.0.0.12 and 12.0.0.34.
    new StoredLineEdit(m_localPort, settings, SettingsKeys::localTelnetServerPort,
                       [this](const QString &text) {
                           m_settings.setString(SettingsKeys::localTelnetServerPort, text,
                                                AppSettingsStore::SaveTiming::coalesced);
                           m_localPortPending = true;
                       });
    connect(m_localPort, &QLineEdit::editingFinished, this,
            &LoginAndFeedsSettingsSection::finishLocalPortEditing);
    new StoredCheckBox(udpEnabled, settings, SettingsKeys::udpFeedEnabled,
                       [this](bool checked) { setUDPFeedEnabled(checked); });
    new StoredLineEdit(m_destination, settings, SettingsKeys::udpFeedDestination,
                       [this](const QString &text) {
                           m_settings.setString(SettingsKeys::udpFeedDestination, text,
                                                AppSettingsStore::SaveTiming::coalesced);
                           m_udpPending = true;
                       });
    new StoredLineEdit(m_udpPort, settings, SettingsKeys::udpFeedPort, [this](const QString &text) {
        m_settings.setString(SettingsKeys::udpFeedPort, text,
                             AppSettingsStore::SaveTiming::coalesced);
        m_udpPending = true;
    });
    for (QLineEdit *field : {m_destination, m_udpPort})
        connect(field, &QLineEdit::editingFinished, this,
                &LoginAndFeedsSettingsSection::finishUDPEditing);
    new StoredChoice(
        {{everything, QStringLiteral("everything")}, {alerts, QStringLiteral("alerts")}}, settings,
        SettingsKeys::udpFeedMode, [this](const QString &mode) { setUDPFeedMode(mode); }, this);

    // Login column.
    auto *login = new QVBoxLayout;
    login->addWidget(columnTitle(QStringLiteral("Login")));
    auto *callsignRow = row(12);
    callsignRow->addWidget(fieldLabel(QStringLiteral("Callsign"), 66));
    callsignRow->addWidget(m_callsign);
    callsignRow->addStretch();
    login->addLayout(callsignRow);
    auto *passwordRow = row(12);
    passwordRow->addWidget(fieldLabel(QStringLiteral("Password"), 66));
    passwordRow->addWidget(m_password);
    passwordRow->addWidget(secondaryText(QStringLiteral("Optional")));
    passwordRow->addStretch();
    login->addLayout(passwordRow);

    // Local telnet server column.
    auto *local = new QVBoxLayout;
    local->addWidget(columnTitle(QStringLiteral("Local Telnet Server")));
    local->addWidget(m_localServerEnabled);
    auto *localPortRow = row(8);
    localPortRow->addWidget(fieldLabel(QStringLiteral("Port"), 28));
    localPortRow->addWidget(m_localPort);
    localPortRow->addStretch();
    local->addLayout(localPortRow);
    local->addWidget(m_localMessage);

    // UDP feed column.
    auto *udp = new QVBoxLayout;
    udp->addWidget(columnTitle(QStringLiteral("UDP Feed")));
    udp->addWidget(udpEnabled);
    auto *targetRow = row(5);
    targetRow->addWidget(calloutLabel(QStringLiteral("Destination")));
    targetRow->addWidget(m_destination);
    targetRow->addWidget(calloutLabel(QStringLiteral("Port")));
    targetRow->addWidget(m_udpPort);
    targetRow->addStretch();
    udp->addLayout(targetRow);
    auto *sendRow = row(10);
    sendRow->addWidget(fieldLabel(QStringLiteral("Send")));
    sendRow->addWidget(everything);
    sendRow->addWidget(alerts);
    sendRow->addStretch();
    m_sendRow->setLayout(sendRow);
    udp->addWidget(m_sendRow);
    udp->addWidget(m_udpMessage);

    auto *columns = new QHBoxLayout(this);
    columns->setSpacing(12);
    columns->setContentsMargins(12, 8, 12, 8);
    columns->addWidget(fixedColumn(login, 238), 0, Qt::AlignTop);
    columns->addWidget(verticalDivider());
    columns->addWidget(fixedColumn(local, 156), 0, Qt::AlignTop);
    columns->addWidget(verticalDivider());
    columns->addWidget(fixedColumn(udp, 242), 0, Qt::AlignTop);
    columns->addStretch();

    connect(&connection, &SettingsConnectionLink::connectionActivityChanged, this,
            &LoginAndFeedsSettingsSection::updateEnabledState);
    connect(&settings, &AppSettingsStore::valueChanged, this, [this](const QString &key) {
        if (key == SettingsKeys::localTelnetServerEnabled.name)
            applyLocalServer();
        if (key == SettingsKeys::localTelnetServerEnabled.name ||
            key == SettingsKeys::udpFeedEnabled.name)
            updateEnabledState();
    });
    updateEnabledState();
    // A server the program could not start with the stored settings is marked as not running.
    if (settings.boolValue(SettingsKeys::localTelnetServerEnabled) &&
        !connection.hasLocalServerListener())
        SettingsLayout::showProblem(m_localMessage, QStringLiteral("Not running."));
}

void LoginAndFeedsSettingsSection::applyLocalServer()
{
    m_localPortPending = false;
    SettingsLayout::showProblem(m_localMessage, m_applier.applyLocalServerSettings());
}

void LoginAndFeedsSettingsSection::applyUDPFeed(const FeedProblem &problem)
{
    m_udpPending = false;
    SettingsLayout::showProblem(m_udpMessage, problem);
}

void LoginAndFeedsSettingsSection::updateEnabledState()
{
    const bool locked = m_connection.isConnectionActive();
    m_callsign->setEnabled(!locked);
    m_password->setEnabled(!locked);
    const QString reason = locked ? QStringLiteral("Disconnect to change the login.") : QString();
    m_callsign->setToolTip(reason);
    m_password->setToolTip(reason);
    m_localPort->setEnabled(m_settings.boolValue(SettingsKeys::localTelnetServerEnabled));
    const bool udpOn = m_settings.boolValue(SettingsKeys::udpFeedEnabled);
    m_destination->setEnabled(udpOn);
    m_udpPort->setEnabled(udpOn);
    m_sendRow->setEnabled(udpOn);
}

void LoginAndFeedsSettingsSection::setUDPFeedEnabled(bool enabled)
{
    m_settings.setBool(SettingsKeys::udpFeedEnabled, enabled);
    applyUDPFeed(m_applier.applyUDPFeedSettings(enabled));
}

void LoginAndFeedsSettingsSection::setUDPFeedDestination(const QString &destination)
{
    m_settings.setString(SettingsKeys::udpFeedDestination, destination);
    applyUDPFeed(m_applier.applyUDPFeedSettings({}, destination));
}

void LoginAndFeedsSettingsSection::setUDPFeedPort(const QString &port)
{
    m_settings.setString(SettingsKeys::udpFeedPort, port);
    applyUDPFeed(m_applier.applyUDPFeedSettings({}, {}, port));
}

void LoginAndFeedsSettingsSection::setUDPFeedMode(const QString &mode)
{
    m_settings.setString(SettingsKeys::udpFeedMode, mode);
    applyUDPFeed(m_applier.applyUDPFeedSettings({}, {}, {}, mode));
}

void LoginAndFeedsSettingsSection::finishLocalPortEditing()
{
    if (m_localPortPending)
        applyLocalServer();
}

void LoginAndFeedsSettingsSection::finishUDPEditing()
{
    if (m_udpPending)
        applyUDPFeed(m_applier.applyUDPFeedSettings());
}

void LoginAndFeedsSettingsSection::finishFeedEditing()
{
    finishLocalPortEditing();
    finishUDPEditing();
}

} // namespace varnello
