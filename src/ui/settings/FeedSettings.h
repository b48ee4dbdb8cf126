#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace varnello {

class AppSettingsStore;
class SettingsConnectionLink;

// A feed port as the Settings window reads it: the whole text, not trimmed, one or more decimal
// digits after at most one "+", from 1 to 65535.
std::optional<quint16> feedPortNumber(QStringView text);

// What is wrong with a feed setting, as a sentence shown beside its field; nothing when all is
// well.
using FeedProblem = std::optional<QString>;

// What is wrong with a cluster node's port: the connection forgives blanks around it, and
// otherwise reads it as a feed port.
FeedProblem nodePortProblem(QStringView text);

// A UDP destination must be an IPv4 address or a plausible host name (letters, digits and
// hyphens in dot-separated labels, not ending in an all-digit label); blanks around it are
// forgiven, as the feed trims it.
FeedProblem udpDestinationProblem(QStringView destination);

// Re-applies the stored local server and UDP feed settings to the running connection, connected
// or not. Every value not handed in is read from the settings.
class FeedSettingsApplier final {
public:
    FeedSettingsApplier(AppSettingsStore &settings, SettingsConnectionLink &connection);

    // Starts, restarts or stops the local telnet server. An unusable port while the server is
    // enabled leaves whatever runs on its old port. Tells what went wrong: an unusable port or a
    // listener that could not start (both also go to the console).
    FeedProblem applyLocalServerSettings();

    // Sets the connection's feed mode and reconfigures the feed; an unusable port or destination
    // closes it, which is reported while the feed is enabled.
    FeedProblem applyUDPFeedSettings(std::optional<bool> enabled = {},
                                     std::optional<QString> destination = {},
                                     std::optional<QString> port = {},
                                     std::optional<QString> mode = {});

private:
    AppSettingsStore &m_settings;
    SettingsConnectionLink &m_connection;
};

} // namespace varnello
