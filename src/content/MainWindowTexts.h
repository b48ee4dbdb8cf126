#pragma once

#include "AutoReconnectController.h"

#include <QString>
#include <optional>

namespace varnello {

// The colour of the status bar's dot.
enum class StatusColor { red, orange, green };

// What the status bar's connect button is at the moment.
enum class ConnectButtonRole { connect, cancel, disconnect };
QString connectButtonTitle(ConnectButtonRole role);

// The one action the empty-state panel offers, if any.
enum class EmptyStateAction { none, openSettings, connect, cancel, clearSearch, clearFilters };
QString emptyStateActionTitle(EmptyStateAction action);

// What the empty-state chain looks at; filled in by ContentView from its state and the connection.
struct EmptyStateFacts {
    bool callsignConfigured = false;
    bool nodeConfigured = false;
    bool isConnected = false;
    bool isConnectionSequenceActive = false;
    bool alertsOnlyTab = false;
    // The connection's whole spot list, not the list shown.
    bool hasSpots = false;
    QString trimmedSearch;
    // Any local filter, the LoTW-only switch or the search; the same-entity switch is not counted.
    bool anyFilterActive = false;
    // Bands chosen, or any filter the "Clear Filters" action would clear.
    bool clearableFilters = false;
};

struct EmptyStateContent {
    QString title;
    // Icon name (see themedIcon).
    QString symbol;
    QString description;
    EmptyStateAction action = EmptyStateAction::none;

    bool operator==(const EmptyStateContent &) const = default;
};

// The panel shown over an empty table: the first test of the chain that holds decides title,
// icon and description; the action follows its own chain.
EmptyStateContent emptyStateContent(const EmptyStateFacts &facts);

// The automatic-reconnect alert: title, message, and the callsign its reconnect button offers
// (without one the alert has a single "OK").
struct AutoReconnectAlertContent {
    QString title;
    QString message;
    std::optional<QString> suggestedCallsign;
};
AutoReconnectAlertContent autoReconnectAlertContent(const std::optional<AutoReconnectAlert> &alert);

// "Unable to send spot" with the node's reason, or the fallback sentence.
QString spotSubmissionAlertMessageText(const std::optional<QString> &message);

} // namespace varnello
