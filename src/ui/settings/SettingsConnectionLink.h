#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace varnello {

class ClusterConnection;

// What the Settings window reads of the node connection and asks of it. Tests put a recording
// fake in its place.
class SettingsConnectionLink : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // A connection is being made, is up or is logged in: node and login fields are locked.
    virtual bool isConnectionActive() const = 0;
    virtual void clearSuppressedNodeWarningIfChanged(const QString &host,
                                                     const QString &portText) = 0;

    virtual bool hasLocalServerListener() const = 0;
    virtual std::optional<quint16> localServerPort() const = 0;
    virtual void stopLocalSpotServer() = 0;
    // Nothing when the server listens on `port` afterwards, else why it does not (the sentence
    // the console also shows).
    virtual std::optional<QString> startLocalSpotServer(quint16 port) = 0;
    // Adds a line to the connection's console.
    virtual void appendConsoleLine(const QString &line) = 0;

    virtual void setUdpFeedMode(const QString &mode) = 0;
    virtual void configureUDPFeed(bool enabled, const QString &destination, quint16 port) = 0;

Q_SIGNALS:
    void connectionActivityChanged();
};

// The link to the program's one connection.
class ClusterConnectionLink final : public SettingsConnectionLink {
    Q_OBJECT

public:
    explicit ClusterConnectionLink(ClusterConnection &connection, QObject *parent = nullptr);

    bool isConnectionActive() const override;
    void clearSuppressedNodeWarningIfChanged(const QString &host, const QString &portText) override;
    bool hasLocalServerListener() const override;
    std::optional<quint16> localServerPort() const override;
    void stopLocalSpotServer() override;
    std::optional<QString> startLocalSpotServer(quint16 port) override;
    void appendConsoleLine(const QString &line) override;
    void setUdpFeedMode(const QString &mode) override;
    void configureUDPFeed(bool enabled, const QString &destination, quint16 port) override;

private:
    ClusterConnection &m_connection;
};

} // namespace varnello
